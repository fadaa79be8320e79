#pragma once
// Passes probes on to a real prober and keeps count of how many ran at once.

#include <algorithm>
#include <string>
#include <vector>

#include "check/Prober.h"

class CountingProber : public IProber {
public:
    explicit CountingProber(IProber& inner) : m_inner(inner) {}

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override {
        ++running;
        mostAtOnce = std::max(mostAtOnce, running);
        started.push_back(user);
        m_inner.Start(user, password, server, [this, done = std::move(done)](const ProbeOutcome& outcome) {
            --running;
            ++finished;
            done(outcome);
        });
    }

    int running = 0;
    int mostAtOnce = 0;
    int finished = 0;
    std::vector<std::string> started;

private:
    IProber& m_inner;
};
