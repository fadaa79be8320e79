#include "protocol/MailProber.h"

#include "protocol/imap/ImapProbe.h"
#include "protocol/pop3/Pop3Probe.h"

std::unique_ptr<CMailProbe> StartMailProbe(const std::string& user, const std::string& password,
                                           const std::string& server, CMailProbe::Done done,
                                           const ProbeOptions& options) {
    const auto address = ParseServerAddress(server);
    if (address && address->protocol == MailProtocol::Imap) {
        return std::make_unique<CImapProbe>(user, password, server, options, std::move(done));
    }
    return std::make_unique<CPop3Probe>(user, password, server, options, std::move(done));
}

void CMailProber::Start(const std::string& user, const std::string& password, const std::string& server,
                        Done done) {
    m_running.emplace_back();
    const auto slot = std::prev(m_running.end());
    *slot = StartMailProbe(
        user, password, server,
        [this, slot, done = std::move(done)](const ProbeOutcome& outcome) {
            // The finished probe goes only after `done` has run, which may start the next one.
            const std::unique_ptr<CMailProbe> finished = std::move(*slot);
            m_running.erase(slot);
            done(outcome);
        },
        m_options);
}
