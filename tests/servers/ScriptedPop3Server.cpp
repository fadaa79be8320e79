#include "tests/servers/ScriptedPop3Server.h"

#include <sys/socket.h>

#include <QSslConfiguration>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <stdexcept>

struct ScriptedPop3Server::Session {
    QTcpSocket* socket = nullptr;  // owned by the server object
    std::size_t nextStep = 0;
    int linesReceived = 0;
    int linesAwaited = 0;
    bool gone = false;
    QByteArray received;
};

ServerScript& ServerScript::Send(const QByteArray& bytes) {
    m_steps.push_back({Step::Kind::Send, bytes});
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
    : m_script(std::move(script)) {
    if (tlsCertificate != nullptr) {
        auto tls = std::make_unique<QSslServer>();
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(tlsCertificate->certificate);
        config.setPrivateKey(tlsCertificate->key);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        tls->setSslConfiguration(config);
        m_server = std::move(tls);
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
        connect(socket, &QTcpSocket::disconnected, this, [&session] { session.gone = true; });
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
                ::shutdown(static_cast<int>(session.socket->socketDescriptor()), SHUT_WR);
                session.nextStep = steps.size();
                return;
            case ServerScript::Step::Kind::Reset: {
                session.socket->flush();
                // A zero linger time makes close() send a reset instead of an orderly end.
                const linger abortive{1, 0};
                ::setsockopt(static_cast<int>(session.socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &abortive, sizeof abortive);
                session.socket->abort();
                session.gone = true;
                session.nextStep = steps.size();
                return;
            }
        }
        ++session.nextStep;
    }
}
