#include "protocol/imap/ImapProbe.h"

#include "protocol/imap/ImapDialogue.h"
#include "protocol/imap/ImapWatch.h"

CImapProbe::CImapProbe(const std::string& user, const std::string& password, const std::string& server,
                       const ProbeOptions& options, Done done)
    : CMailProbe(
          MailProtocol::Imap, server,
          [&](bool startTls) {
              return std::make_unique<CImapDialogue>(
                  user, password, startTls ? CImapDialogue::Upgrade::StartTls : CImapDialogue::Upgrade::None,
                  options.watch ? CImapDialogue::Keep::WhereIdle : CImapDialogue::Keep::No);
          },
          options, std::move(done)),
      m_answerLimit(options.idleTimeout) {}

std::shared_ptr<IMailWatch> CImapProbe::KeepConnection(QTcpSocket* socket, const IMailDialogue& dialogue) {
    // The dialogue is the one made above.
    const auto& session = static_cast<const CImapDialogue&>(dialogue).Session();
    return std::make_shared<CImapWatch>(socket, *session, m_answerLimit);
}
