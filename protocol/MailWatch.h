#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <QLoggingCategory>

struct ProbeOutcome;

// What becomes of watches, for QT_LOGGING_RULES="quillpost.watch.info=true"; silent by default.
Q_DECLARE_LOGGING_CATEGORY(lcWatch)

// A connection kept open after a successful check, on which the server tells of changes to the
// mailbox itself (IMAP IDLE). It counts again when the server announces a change or when asked,
// and reports each count as a probe's outcome. Destroying it ends the connection, with the
// protocol's farewell where the connection can still take one.
class IMailWatch {
public:
    // How a watch ended: the connection dropped (closed, reset, a farewell, no answer in time), or
    // the server would not let it watch at all (the mailbox or IDLE refused).
    enum class End { Dropped, Refused };
    using Counted = std::function<void(const ProbeOutcome&)>;
    using Ended = std::function<void(End)>;

    virtual ~IMailWatch() = default;

    // Starts watching. `counted` and `ended` are called from the event loop, never from inside a
    // call of the owner; `ended` once, after which nothing more is reported.
    virtual void Follow(Counted counted, Ended ended) = 0;
    // Counts again over the connection, as a check would.
    virtual void CountNow() = 0;
    // The server must show it is still there, within `answerLimit` where that is shorter than the
    // watch's own limit for an answer; else the watch has dropped.
    virtual void Renew(std::optional<std::chrono::milliseconds> answerLimit = std::nullopt) = 0;
};
