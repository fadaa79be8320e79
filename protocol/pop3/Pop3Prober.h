#pragma once

#include <list>
#include <memory>

#include "protocol/Prober.h"
#include "protocol/pop3/Pop3Probe.h"

// The prober the program uses: each Start runs one CPop3Probe over the network.
class CPop3Prober : public IProber {
public:
    explicit CPop3Prober(ProbeOptions options = {}) : m_options(std::move(options)) {}
    // Running probes are abandoned: their connections close and `done` is never called.
    ~CPop3Prober() override = default;

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override;

private:
    ProbeOptions m_options;
    std::list<std::unique_ptr<CPop3Probe>> m_running;
};
