#include "protocol/imap/ImapProbe.h"

#include "protocol/imap/ImapDialogue.h"

CImapProbe::CImapProbe(const std::string& user, const std::string& password, const std::string& server,
                       const ProbeOptions& options, Done done)
    : CMailProbe(
          MailProtocol::Imap, server,
          [&](bool startTls) {
              return std::make_unique<CImapDialogue>(
                  user, password, startTls ? CImapDialogue::Upgrade::StartTls : CImapDialogue::Upgrade::None);
          },
          options, std::move(done)) {}
