#pragma once

#include <optional>

#include <QByteArray>

// Result codes of one probe. A count n >= 1 means n messages wait; 0 means none.
namespace ProbeCode {
inline constexpr int kNoMail = 0;
// No usable connection: name, refusal, time-out, TLS, no or a refused STLS/STARTTLS, an IMAP
// server's BYE greeting or PREAUTH before STARTTLS.
inline constexpr int kConnectError = -1;
inline constexpr int kDialogueBroken = -2;  // the connection broke or went silent mid-dialogue
// Login refused or impossible (unsafe credentials, IMAP's LOGINDISABLED), an invalid STAT reply,
// INBOX's status refused or unreadable.
inline constexpr int kRefused = -3;
}  // namespace ProbeCode

struct ProbeOutcome {
    int result = ProbeCode::kConnectError;
    // The server's answer for the status line (without its line end), when one arrived: POP3's raw
    // STAT reply; IMAP's STATUS answer, or its refusal of the login or of STATUS.
    std::optional<QByteArray> statLine;
};
