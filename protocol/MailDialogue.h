#pragma once

#include <optional>
#include <string>
#include <string_view>

// A probe's conversation with a mail server, without any I/O: it is fed what the server sends and
// answers with the bytes to send next; once done, it holds the probe's result (ProbeCode or a
// message count) and the server's answer for the status line. The probe drives it over a socket.
class IMailDialogue {
public:
    virtual ~IMailDialogue() = default;

    // Bytes from the server; returns what to send now, in order (often nothing).
    virtual std::string Receive(std::string_view bytes) = 0;
    // The server closed the connection, or it broke.
    virtual void EndStream() = 0;
    // The probe gave up waiting for the server; returns what to send before the connection
    // closes (a farewell, where the protocol has one and the connection can still take it).
    virtual std::string Abandon() = 0;

    // The server agreed to an upgrade: the caller starts TLS on the connection, then calls
    // TlsStarted(). Nothing the server sends in between is ever taken for an answer.
    virtual bool AwaitsTls() const = 0;
    // TLS is up; returns the first command to send inside it.
    virtual std::string TlsStarted() = 0;

    virtual bool IsDone() const = 0;
    virtual int Result() const = 0;
    // The server's answer to show in the status line, as text, when one arrived.
    virtual const std::optional<std::string>& StatLine() const = 0;
};
