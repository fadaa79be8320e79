#pragma once
// Passes probes on to a real prober and keeps count: how many ran at once, who was started, and
// per mailbox (user and server) how often and when it last reported and with what. The mailbox
// records stay one per mailbox; a long run clears `started` now and then.

#include <QElapsedTimer>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "protocol/Prober.h"

class CountingProber : public IProber {
public:
    struct Mailbox {
        int probes = 0;
        int lastResult = 0;
        int resultChanges = 0;       // reports whose result differed from the one before
        qint64 lastDoneMs = -1;      // on Clock(); -1 before the first report
        long long lastSequence = 0;  // `finished` just after its last report
    };

    explicit CountingProber(IProber& inner) : m_inner(inner) { m_clock.start(); }

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override {
        ++running;
        mostAtOnce = std::max(mostAtOnce, running);
        started.push_back(user);
        m_inner.Start(user, password, server,
                      [this, key = KeyOf(user, server), done = std::move(done)](const ProbeOutcome& outcome) {
                          --running;
                          ++finished;
                          Record(key, outcome.result);
                          done(outcome);
                      });
    }

    // Null when the mailbox has not reported yet.
    const Mailbox* Find(const std::string& user, const std::string& server) const {
        const auto found = m_mailboxes.find(KeyOf(user, server));
        return found == m_mailboxes.end() ? nullptr : &found->second;
    }
    // Mailboxes that have reported at least once.
    std::size_t Mailboxes() const { return m_mailboxes.size(); }
    const QElapsedTimer& Clock() const { return m_clock; }

    int running = 0;
    int mostAtOnce = 0;
    long long finished = 0;
    int lastResult = 0;  // of the probe that reported last
    std::vector<std::string> started;

private:
    static std::string KeyOf(const std::string& user, const std::string& server) {
        return user + '@' + server;
    }

    void Record(const std::string& key, int result) {
        Mailbox& box = m_mailboxes[key];
        box.resultChanges += box.probes > 0 && box.lastResult != result;
        ++box.probes;
        box.lastResult = result;
        box.lastDoneMs = m_clock.elapsed();
        box.lastSequence = finished;
        lastResult = result;
    }

    IProber& m_inner;
    QElapsedTimer m_clock;
    std::map<std::string, Mailbox> m_mailboxes;
};
