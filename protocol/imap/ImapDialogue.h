#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/MailDialogue.h"
#include "protocol/imap/ImapCommands.h"
#include "protocol/imap/ImapResponseReader.h"

struct ImapResponseParts;

// The probe's conversation with an IMAP server, without any I/O: greeting, CAPABILITY where the
// greeting did not list them, STARTTLS where asked for, the login, `STATUS INBOX (UNSEEN)`, LOGOUT.
// The count is INBOX's unseen messages; the status line gets the STATUS answer, or the server's
// refusal of the login or of STATUS.
//
// The login is AUTHENTICATE PLAIN where the server lists it (with the credentials in the command
// where it lists SASL-IR, else after its continuation request), otherwise LOGIN. A server that
// lists LOGINDISABLED gets no credentials at all.
//
// Upgraded with STARTTLS, it sends nothing but CAPABILITY and STARTTLS before TLS is up, and every
// failure there is a connection error: STARTTLS not listed or not answered OK, a PREAUTH greeting
// (already logged in, in plain text), the connection ending. Bytes after STARTTLS's OK and before
// TLS could come from an attacker in the middle, so they end it too. What the server said it can
// do before TLS is forgotten inside it and asked again.
//
// Every connection it ends while the server could still take a command ends with LOGOUT, whose
// answer is not waited for.
class CImapDialogue : public IMailDialogue {
public:
    enum class Upgrade { None, StartTls };

    // Credentials holding CR, LF or NUL could smuggle commands to the server; such a dialogue is
    // over before it starts, refused.
    CImapDialogue(std::string_view user, std::string_view password, Upgrade upgrade = Upgrade::None);

    std::string Receive(std::string_view bytes) override;
    void EndStream() override;
    std::string Abandon() override;

    bool AwaitsTls() const override { return m_step == Step::TlsHandshake; }
    std::string TlsStarted() override;

    bool IsDone() const override { return m_step == Step::Done; }
    int Result() const override { return m_result; }
    const std::optional<std::string>& StatLine() const override { return m_statLine; }

    // Whether the server lists the capability (an upper-case name), as it last said; inside TLS
    // only what it said there counts.
    bool HasCapability(std::string_view upperCaseName) const;

private:
    enum class Step {
        Greeting,      // waiting for the server's first words
        Capability,    // CAPABILITY sent
        StartTls,      // STARTTLS sent
        TlsHandshake,  // STARTTLS accepted: nothing more until TLS is up
        Login,         // LOGIN or AUTHENTICATE sent, perhaps only its first piece
        Status,        // STATUS sent
        Done
    };

    std::string OnResponse(const ImapResponse& response);
    std::string OnGreeting(const ImapResponseParts& parts);
    std::string OnUntagged(const ImapResponseParts& parts, const std::string& text);
    std::string OnTagged(const ImapResponseParts& parts, const std::string& text);
    std::string OnContinuation();
    std::string AfterCapabilities();
    std::string LogIn();
    std::string AskStatus();
    void LearnCapabilities(std::string_view list);
    void LearnCapabilitiesFromCode(std::string_view code);
    // Tags the command and sends its first piece; the rest wait for continuation requests.
    std::string Send(const std::string& command);
    std::string Send(ImapCommandPieces pieces);
    std::string NextTag();
    bool IsNegotiatingTls() const;
    // The result of a dialogue that breaks off here.
    int Broken() const;
    bool TakesCommands() const;
    // Ends the dialogue; returns LOGOUT when asked for and the connection can still take it.
    std::string FinishWith(int result, bool logOut);

    std::string m_user;
    std::string m_password;
    Upgrade m_upgrade;
    bool m_tlsUp = false;
    bool m_greeted = false;
    std::vector<std::string> m_capabilities;
    CImapResponseReader m_reader;
    Step m_step = Step::Greeting;
    unsigned m_tagNumber = 0;
    std::string m_pendingTag;
    ImapCommandPieces m_piecesToCome;  // of the pending command, each after a continuation request
    bool m_authenticating = false;
    std::optional<int> m_unseen;
    std::optional<std::string> m_statusLine;  // the STATUS answer that gave m_unseen
    int m_result;
    std::optional<std::string> m_statLine;
};
