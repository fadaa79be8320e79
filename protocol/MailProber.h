#pragma once

#include <list>
#include <memory>

#include "protocol/MailProbe.h"
#include "protocol/Prober.h"

// The prober the program uses: each Start runs one probe over the network, POP3 or IMAP as the
// server field's form says.
class CMailProber : public IProber {
public:
    explicit CMailProber(ProbeOptions options = {}) : m_options(std::move(options)) {}
    // Running probes are abandoned: their connections close and `done` is never called.
    ~CMailProber() override = default;

    void Start(const std::string& user, const std::string& password, const std::string& server,
               Done done) override;

private:
    ProbeOptions m_options;
    std::list<std::unique_ptr<CMailProbe>> m_running;
};

// Starts probing the mailbox of `user` on `server` in the protocol its form names (POP3 unless it
// names IMAP); returns at once. `done` is called once, later, unless the probe is destroyed first.
std::unique_ptr<CMailProbe> StartMailProbe(const std::string& user, const std::string& password,
                                           const std::string& server, CMailProbe::Done done,
                                           const ProbeOptions& options = {});
