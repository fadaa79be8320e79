#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/MailDialogue.h"
#include "protocol/pop3/Pop3LineReader.h"

// What "%s %d" makes of a STAT reply: its first white-space-delimited word and the decimal
// integer after it, if one can be read.
struct StatReply {
    std::string token;
    std::optional<int> count;
};

StatReply ParseStatReply(std::string_view line);

// The probe's result for a STAT reply: the count when the token starts with "+OK"; a reply
// without a readable count is no mail; anything else, or a negative count, is a refusal.
int StatResult(const StatReply& reply);

// The probe's fixed conversation with a POP3 server, without any I/O: greeting, USER, PASS, STAT,
// QUIT. Only the STAT reply is looked at. It is fed what the server sends and answers with the
// bytes to send next; once done, it holds the result code (ProbeCode or a message count) and the
// STAT reply line.
//
// Upgraded with STLS, it first asks CAPA and sends STLS only when the server offers it; on "+OK" it
// waits until the caller has started TLS and said so. Until then nothing but a clean "+OK" to
// STLS moves it on, and any failure is a connection error: the credentials never go out in plain
// text. Bytes after that "+OK" and before TLS cannot be told from an attacker's in the middle, who
// would put them there to answer USER, PASS and STAT himself, so they end it as well.
class CPop3Dialogue : public IMailDialogue {
public:
    enum class Upgrade { None, Stls };

    // Credentials holding CR, LF or NUL could smuggle extra commands to the server; such a
    // dialogue is over before it starts, refused.
    CPop3Dialogue(std::string_view user, std::string_view password, Upgrade upgrade = Upgrade::None);

    std::string Receive(std::string_view bytes) override;
    void EndStream() override;
    // Sends nothing: QUIT goes out only after the STAT reply.
    std::string Abandon() override;

    // The server agreed to STLS.
    bool AwaitsTls() const override { return m_step == Step::TlsHandshake; }
    std::string TlsStarted() override;

    bool IsDone() const override { return m_step == Step::Done; }
    int Result() const override { return m_result; }
    // The STAT reply line as text (up to its first NUL), when one arrived.
    const std::optional<std::string>& StatLine() const override { return m_statLine; }

private:
    enum class Step {
        Greeting,
        CapaReply,
        CapaList,
        StlsReply,
        TlsHandshake,
        UserReply,
        PassReply,
        StatReply,
        Done
    };

    std::string OnLine();
    std::string OnCapaLine(std::string_view line);
    std::string OnStlsReply(std::string_view line);
    std::string SendUser();
    bool IsNegotiatingTls() const;
    void FinishWith(int result);

    std::string m_user;
    std::string m_password;
    Upgrade m_upgrade;
    bool m_stlsOffered = false;
    CPop3LineReader m_reader;
    Step m_step = Step::Greeting;
    int m_result;
    std::optional<std::string> m_statLine;
};
