#pragma once

#include <memory>
#include <string>

#include "protocol/MailProbe.h"

// One running probe of one IMAP mailbox: its unread messages in INBOX, over TLS, plain text
// upgraded with STARTTLS, or plain text, as the server field says (imaps://, imap+starttls://,
// imap://). A field naming another protocol's server connects nowhere.
class CImapProbe : public CMailProbe {
public:
    CImapProbe(const std::string& user, const std::string& password, const std::string& server,
               const ProbeOptions& options, Done done);
};
