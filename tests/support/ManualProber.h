#pragma once
// A prober whose probes finish only when the test says so, recording what was asked and how many
// ran at once.

#include <algorithm>
#include <deque>
#include <string>

#include "protocol/Prober.h"

class ManualProber : public IProber {
public:
    struct Pending {
        std::string user;
        std::string password;
        std::string server;
        Done done;
    };

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override {
        pending.push_back({user, password, server, std::move(done)});
        started.push_back(user);
        mostAtOnce = std::max(mostAtOnce, static_cast<int>(pending.size()));
    }

    // Finishes the oldest running probe.
    void Finish(int result, std::optional<QByteArray> statLine = std::nullopt) {
        Pending p = std::move(pending.front());
        pending.pop_front();
        p.done(ProbeOutcome{result, std::move(statLine), nullptr});
    }

    std::deque<Pending> pending;
    std::vector<std::string> started;
    int mostAtOnce = 0;
};
