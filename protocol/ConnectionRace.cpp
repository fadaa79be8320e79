#include "protocol/ConnectionRace.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <algorithm>

CConnectionRace::CConnectionRace(Target target, MakeSocket makeSocket,
                                 std::chrono::milliseconds nextAttemptDelay, QObject* parent)
    : QObject(parent), m_target(std::move(target)), m_makeSocket(std::move(makeSocket)) {
    m_nextAttemptTimer.setSingleShot(true);
    m_nextAttemptTimer.setInterval(nextAttemptDelay);
    connect(&m_nextAttemptTimer, &QTimer::timeout, this, &CConnectionRace::StartNextAttempt);
}

CConnectionRace::~CConnectionRace() {
    // The sockets must not call back into a half-destroyed race while they close.
    for (QTcpSocket* socket : m_attempts) {
        socket->disconnect(this);
    }
}

void CConnectionRace::Start() {
    StartNextAttempt();
}

void CConnectionRace::Abandon() {
    m_over = true;
    m_nextAttemptTimer.stop();
    while (!m_attempts.empty()) {
        Drop(m_attempts.back());
    }
}

void CConnectionRace::StartNextAttempt() {
    if (m_over || m_target.addresses.isEmpty()) {
        return;
    }
    const QHostAddress address = m_target.addresses.takeFirst();
    QTcpSocket* socket = m_makeSocket();
    socket->setParent(this);
    m_attempts.push_back(socket);
    auto* tlsSocket = m_target.tlsPeerName.isEmpty() ? nullptr : qobject_cast<QSslSocket*>(socket);
    if (tlsSocket != nullptr) {
        connect(tlsSocket, &QSslSocket::encrypted, this, [this, socket] { OnAttemptCompleted(socket); });
    } else {
        connect(socket, &QTcpSocket::connected, this, [this, socket] { OnAttemptCompleted(socket); });
    }
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { OnAttemptFailed(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnAttemptFailed(socket); });
    m_nextAttemptTimer.start();
    // A failure may be reported from inside the connect call, so nothing may follow it.
    if (tlsSocket != nullptr) {
        tlsSocket->connectToHostEncrypted(address.toString(), m_target.port, m_target.tlsPeerName);
    } else {
        socket->connectToHost(address, m_target.port);
    }
}

void CConnectionRace::OnAttemptCompleted(QTcpSocket* socket) {
    if (m_over) {
        return;
    }
    std::erase(m_attempts, socket);
    socket->disconnect(this);
    socket->setParent(nullptr);
    Abandon();
    emit Won(socket);
}

void CConnectionRace::OnAttemptFailed(QTcpSocket* socket) {
    if (m_over || std::find(m_attempts.begin(), m_attempts.end(), socket) == m_attempts.end()) {
        return;
    }
    Drop(socket);
    if (!m_target.addresses.isEmpty()) {
        StartNextAttempt();
        return;
    }
    if (m_attempts.empty()) {
        m_over = true;
        emit Lost();
    }
}

void CConnectionRace::Drop(QTcpSocket* socket) {
    std::erase(m_attempts, socket);
    socket->disconnect(this);
    socket->abort();
    // It may be in the middle of emitting the signal that brought us here.
    socket->deleteLater();
}
