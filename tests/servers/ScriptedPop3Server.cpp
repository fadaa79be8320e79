#include "tests/servers/ScriptedPop3Server.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <stdexcept>

namespace {
#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kShutWrite = SD_SEND;
#else
using NativeSocket = int;
constexpr int kShutWrite = SHUT_WR;
#endif

NativeSocket NativeOf(const QAbstractSocket& socket) {
    return static_cast<NativeSocket>(socket.socketDescriptor());
}
}  // namespace

struct ScriptedPop3Server::Session {
    QTcpSocket* socket = nullptr;  // owned by the server object
    std::size_t nextStep = 0;
    int linesReceived = 0;
    int linesAwaited = 0;
    bool gone = false;
    bool tlsStarted = false;
    QByteArray received;
    std::unique_ptr<QTimer> drip;
};

namespace {

QSslConfiguration ServerConfiguration(const ServerTls& tls) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(tls.certificate->certificate);
    config.setPrivateKey(tls.certificate->key);
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls.onlyTls11) {
        // OpenSSL 3 offers TLS 1.1 only at security level 0.
        config.setProtocol(QSsl::AnyProtocol);
        config.setBackendConfigurationOption("MaxProtocol", "TLSv1.1");
        config.setBackendConfigurationOption("CipherString", "DEFAULT:@SECLEVEL=0");
    }
    return config;
}

// Hands out TLS-capable sockets that speak plain text until told to start TLS.
class UpgradableServer : public QTcpServer {
public:
    explicit UpgradableServer(QSslConfiguration config) : m_config(std::move(config)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QSslSocket(this);
        socket->setSslConfiguration(m_config);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        addPendingConnection(socket);
    }

private:
    QSslConfiguration m_config;
};

}  // namespace

ServerScript& ServerScript::Send(const QByteArray& bytes) {
    m_steps.push_back({Step::Kind::Send, bytes});
    return *this;
}

ServerScript& ServerScript::SendTagged(const QByteArray& bytes) {
    m_steps.push_back({Step::Kind::SendTagged, bytes});
    return *this;
}

ServerScript& ServerScript::AwaitLine() {
    m_steps.push_back({Step::Kind::AwaitLine, {}});
    return *this;
}

ServerScript& ServerScript::Close() {
    m_steps.push_back({Step::Kind::Close, {}});
    return *this;
}

ServerScript& ServerScript::Reset() {
    m_steps.push_back({Step::Kind::Reset, {}});
    return *this;
}

ServerScript& ServerScript::StartTls() {
    m_steps.push_back({Step::Kind::StartTls, {}});
    return *this;
}

ServerScript& ServerScript::Drip(char byte, std::chrono::milliseconds interval) {
    m_steps.push_back({Step::Kind::Drip, QByteArray(1, byte), interval});
    return *this;
}

ServerScript ServerScript::Conversation(const QByteArray& greeting, const QList<QByteArray>& replies) {
    ServerScript script;
    script.Send(greeting);
    for (const QByteArray& reply : replies) {
        script.AwaitLine().Send(reply);
    }
    return script;
}

ScriptedPop3Server::ScriptedPop3Server(ServerScript script, const TestCertificate* tlsCertificate,
                                       bool onIpv6)
    : ScriptedPop3Server(std::move(script), ServerTls{.certificate = tlsCertificate}, onIpv6) {}

ScriptedPop3Server::ScriptedPop3Server(ServerScript script, const ServerTls& tls, bool onIpv6)
    : m_script(std::move(script)) {
    if (tls.certificate != nullptr && tls.fromFirstByte) {
        auto server = std::make_unique<QSslServer>();
        server->setSslConfiguration(ServerConfiguration(tls));
        m_server = std::move(server);
    } else if (tls.certificate != nullptr) {
        m_server = std::make_unique<UpgradableServer>(ServerConfiguration(tls));
    } else {
        m_server = std::make_unique<QTcpServer>();
    }
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, &ScriptedPop3Server::Accept);
    if (!m_server->listen(onIpv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, 0)) {
        throw std::runtime_error("scripted server cannot listen: " + m_server->errorString().toStdString());
    }
}

ScriptedPop3Server::~ScriptedPop3Server() {
    for (const auto& session : m_sessions) {
        session->socket->disconnect(this);
    }
}

quint16 ScriptedPop3Server::Port() const {
    return m_server->serverPort();
}

QByteArray ScriptedPop3Server::Received() const {
    QByteArray all;
    for (const auto& session : m_sessions) {
        all += session->received;
    }
    return all;
}

bool ScriptedPop3Server::AllClientsGone() const {
    for (const auto& session : m_sessions) {
        if (!session->gone) {
            return false;
        }
    }
    return true;
}

void ScriptedPop3Server::ForgetFinishedSessions() {
    std::erase_if(m_sessions, [this](const std::unique_ptr<Session>& session) {
        if (!session->gone) {
            return false;
        }
        // Its handlers refer to the session: they must not run once it is gone.
        session->socket->disconnect(this);
        session->socket->deleteLater();
        return true;
    });
}

void ScriptedPop3Server::Accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(m_server.get());
        m_sessions.push_back(std::make_unique<Session>());
        Session& session = *m_sessions.back();
        session.socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, &session] {
            const QByteArray bytes = session.socket->readAll();
            session.received += bytes;
            session.linesReceived += static_cast<int>(bytes.count('\n'));
            Advance(session);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, &session] { Advance(session); });
        connect(socket, &QTcpSocket::disconnected, this, [&session] {
            session.gone = true;
            session.drip.reset();
        });
        if (auto* tlsSocket = qobject_cast<QSslSocket*>(socket)) {
            connect(tlsSocket, &QSslSocket::encrypted, this, [this, &session] { Advance(session); });
        }
        Advance(session);
    }
}

void ScriptedPop3Server::Advance(Session& session) {
    const auto& steps = m_script.Steps();
    while (!session.gone && session.nextStep < steps.size()) {
        const ServerScript::Step& step = steps[session.nextStep];
        switch (step.kind) {
            case ServerScript::Step::Kind::Send:
                session.socket->write(step.bytes);
                break;
            case ServerScript::Step::Kind::SendTagged: {
                const QByteArray line = session.received.split('\n').value(session.linesAwaited - 1);
                session.socket->write(line.left(line.indexOf(' ')) + ' ' + step.bytes);
                break;
            }
            case ServerScript::Step::Kind::AwaitLine:
                if (session.linesReceived == session.linesAwaited) {
                    return;
                }
                ++session.linesAwaited;
                break;
            case ServerScript::Step::Kind::Close:
                session.socket->flush();
                if (session.socket->bytesToWrite() > 0) {
                    return;  // again once more has been written
                }
                ::shutdown(NativeOf(*session.socket), kShutWrite);
                session.nextStep = steps.size();
                return;
            case ServerScript::Step::Kind::Reset: {
                session.socket->flush();
                // A zero linger time makes close() send a reset instead of an orderly end.
                const linger abortive{1, 0};
                ::setsockopt(NativeOf(*session.socket), SOL_SOCKET, SO_LINGER,
                             reinterpret_cast<const char*>(&abortive), sizeof abortive);
                session.socket->abort();
                session.gone = true;
                session.nextStep = steps.size();
                return;
            }
            case ServerScript::Step::Kind::StartTls: {
                auto* tlsSocket = qobject_cast<QSslSocket*>(session.socket);
                if (tlsSocket == nullptr) {
                    qFatal("StartTls needs a server made to upgrade");
                }
                if (!session.tlsStarted) {
                    session.tlsStarted = true;
                    tlsSocket->flush();
                    tlsSocket->startServerEncryption();
                }
                if (!tlsSocket->isEncrypted()) {
                    return;  // again once the handshake is done
                }
                break;
            }
            case ServerScript::Step::Kind::Drip:
                session.drip = std::make_unique<QTimer>();
                connect(session.drip.get(), &QTimer::timeout, this,
                        [&session, byte = step.bytes] { session.socket->write(byte); });
                session.drip->start(step.interval);
                session.socket->write(step.bytes);
                session.nextStep = steps.size();
                return;
        }
        ++session.nextStep;
    }
}
