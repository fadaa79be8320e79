#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <chrono>
#include <memory>
#include <vector>

#include "tests/servers/TestCertificate.h"

class QTcpServer;
class QTcpSocket;

// What a scripted server does on every connection, step by step. A script that runs out leaves
// the connection open and silent.
class ServerScript {
public:
    struct Step {
        enum class Kind { Send, SendTagged, AwaitLine, Close, Reset, StartTls, Drip };
        Kind kind;
        QByteArray bytes;
        std::chrono::milliseconds interval{0};
    };

    // Sends bytes exactly as given.
    ServerScript& Send(const QByteArray& bytes);
    // Sends the first word of the last line awaited, a space and the bytes: an IMAP server's
    // answer under the tag of the command it completes.
    ServerScript& SendTagged(const QByteArray& bytes);
    // Waits until the client has sent one more line (ended by "\n").
    ServerScript& AwaitLine();
    // Ends the server's side in order (after what was sent has gone out); what the client still
    // sends is recorded until it closes too.
    ServerScript& Close();
    // Drops the connection abruptly: the client sees a reset.
    ServerScript& Reset();
    // Upgrades the connection to TLS as the server side of STLS (what was sent before goes out
    // first); the script goes on once the handshake is done. Needs a server made to upgrade.
    ServerScript& StartTls();
    // Sends `byte` now and again after every `interval`, for as long as the connection lasts.
    ServerScript& Drip(char byte, std::chrono::milliseconds interval);

    // A well-behaved server's shape: `greeting`, then one reply per command line the client sends.
    static ServerScript Conversation(const QByteArray& greeting, const QList<QByteArray>& replies);

    const std::vector<Step>& Steps() const { return m_steps; }

private:
    std::vector<Step> m_steps;
};

// How a scripted server speaks TLS.
struct ServerTls {
    const TestCertificate* certificate = nullptr;
    // From the first byte, or only where the script says StartTls.
    bool fromFirstByte = true;
    // Offers TLS 1.1 and nothing newer, with the weak settings OpenSSL 3 needs for it.
    bool onlyTls11 = false;
};

// A POP3 server (or IMAP, with tagged answers) on 127.0.0.1 (or ::1) in this process that follows a script on
// each connection and records every byte clients send (inside TLS: as decrypted). With a certificate it
// speaks TLS from the first byte. It runs on the test's own event loop.
class ScriptedPop3Server : public QObject {
    Q_OBJECT

public:
    explicit ScriptedPop3Server(ServerScript script, const TestCertificate* tlsCertificate = nullptr,
                                bool onIpv6 = false);
    ScriptedPop3Server(ServerScript script, const ServerTls& tls, bool onIpv6 = false);
    ~ScriptedPop3Server() override;

    quint16 Port() const;
    // Everything clients sent, all connections in the order they were accepted.
    QByteArray Received() const;
    // Connections accepted (for TLS: that finished the handshake).
    int Connections() const { return static_cast<int>(m_sessions.size()); }
    // Whether every accepted client has closed or lost its connection.
    bool AllClientsGone() const;
    // Lets go of the connections whose clients have gone, and of what they sent, so that a long
    // run does not pile them up.
    void ForgetFinishedSessions();

private:
    struct Session;

    void Accept();
    void Advance(Session& session);

    ServerScript m_script;
    std::unique_ptr<QTcpServer> m_server;
    std::vector<std::unique_ptr<Session>> m_sessions;
};
