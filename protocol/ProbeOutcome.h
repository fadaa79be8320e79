#pragma once

#include <optional>

#include <QByteArray>

// Result codes of one probe. A count n >= 1 means n messages wait; 0 means none.
namespace ProbeCode {
inline constexpr int kNoMail = 0;
inline constexpr int kConnectError = -1;    // could not connect (name, refusal, time-out, TLS, no STLS)
inline constexpr int kDialogueBroken = -2;  // the connection broke or went silent mid-dialogue
inline constexpr int kRefused = -3;         // login refused, invalid STAT reply, unsafe credentials
}  // namespace ProbeCode

struct ProbeOutcome {
    int result = ProbeCode::kConnectError;
    // The raw STAT reply line (without its line end), when one arrived; it goes to the status line.
    std::optional<QByteArray> statLine;
};
