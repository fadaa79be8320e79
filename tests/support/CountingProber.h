#pragma once
// Passes every probe on to a real prober and keeps count: how many ran at once at most, how many
// finished, and per mailbox (user and server) when it last finished and with what. It holds one
// record per mailbox, so a long run does not make it grow.

#include <QElapsedTimer>
#include <algorithm>
#include <map>
#include <string>

#include "check/Prober.h"

class CountingProber : public IProber {
public:
    struct Mailbox {
        int probes = 0;
        int lastResult = 0;
        qint64 lastDoneMs = -1;      // on Clock(); -1 before the first report
        long long lastSequence = 0;  // Finished() just after its last report
        int resultChanges = 0;       // reports whose result differed from the one before
    };

    explicit CountingProber(IProber& inner) : m_inner(inner) { m_clock.start(); }

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override {
        ++m_running;
        ++m_started;
        m_mostAtOnce = std::max(m_mostAtOnce, m_running);
        m_inner.Start(user, password, server,
                      [this, key = KeyOf(user, server), done = std::move(done)](const ProbeOutcome& outcome) {
                          --m_running;
                          ++m_finished;
                          Mailbox& box = m_mailboxes[key];
                          box.resultChanges += box.probes > 0 && box.lastResult != outcome.result;
                          ++box.probes;
                          box.lastResult = outcome.result;
                          box.lastDoneMs = m_clock.elapsed();
                          box.lastSequence = m_finished;
                          m_lastResult = outcome.result;
                          done(outcome);
                      });
    }

    static std::string KeyOf(const std::string& user, const std::string& server) {
        return user + '@' + server;
    }

    int MostAtOnce() const { return m_mostAtOnce; }
    int Running() const { return m_running; }
    long long Started() const { return m_started; }
    long long Finished() const { return m_finished; }
    // The result of the probe that reported last.
    int LastResult() const { return m_lastResult; }
    const QElapsedTimer& Clock() const { return m_clock; }
    // Mailboxes that have reported at least once.
    std::size_t Mailboxes() const { return m_mailboxes.size(); }
    // Null when the mailbox has not reported yet.
    const Mailbox* Find(const std::string& user, const std::string& server) const {
        const auto found = m_mailboxes.find(KeyOf(user, server));
        return found == m_mailboxes.end() ? nullptr : &found->second;
    }

private:
    IProber& m_inner;
    QElapsedTimer m_clock;
    int m_running = 0;
    int m_mostAtOnce = 0;
    long long m_started = 0;
    long long m_finished = 0;
    int m_lastResult = 0;
    std::map<std::string, Mailbox> m_mailboxes;
};
