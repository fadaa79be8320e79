#include "protocol/pop3/Pop3Probe.h"

#include "protocol/pop3/Pop3Dialogue.h"

CPop3Probe::CPop3Probe(const std::string& user, const std::string& password, const std::string& server,
                       const ProbeOptions& options, Done done)
    : CMailProbe(
          MailProtocol::Pop3, server,
          [&](bool stls) {
              return std::make_unique<CPop3Dialogue>(
                  user, password, stls ? CPop3Dialogue::Upgrade::Stls : CPop3Dialogue::Upgrade::None);
          },
          options, std::move(done)) {}

std::unique_ptr<CPop3Probe> ProbeMailbox(const std::string& user, const std::string& password,
                                         const std::string& server, CPop3Probe::Done done,
                                         const ProbeOptions& options) {
    return std::make_unique<CPop3Probe>(user, password, server, options, std::move(done));
}
