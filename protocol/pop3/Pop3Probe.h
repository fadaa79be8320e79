#pragma once

#include <memory>
#include <string>

#include "protocol/MailProbe.h"

// One running probe of one POP3 mailbox: greeting, USER, PASS, STAT, QUIT, over plain text, TLS,
// or plain text upgraded with STLS, as the server field says. A field naming another protocol's
// server connects nowhere.
class CPop3Probe : public CMailProbe {
public:
    CPop3Probe(const std::string& user, const std::string& password, const std::string& server,
               const ProbeOptions& options, Done done);
};

// Starts probing `server` for the mailbox of `user`; returns at once. `done` is called once, later,
// with the result and the raw STAT reply line, unless the returned probe is destroyed first.
std::unique_ptr<CPop3Probe> ProbeMailbox(const std::string& user, const std::string& password,
                                         const std::string& server, CPop3Probe::Done done,
                                         const ProbeOptions& options = {});
