#include "check/Pop3Probe.h"

#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include "accounts/LocalText.h"

namespace {

// The stream buffer size the probe has always used.
constexpr qint64 kReadChunk = 4096;
// The kernel holds at most about twice this for the probe, and every notification drains it, so a
// server that floods holds the probe to a fixed amount of memory. Much smaller makes a flood crawl.
constexpr int kReceiveBufferBytes = 256 * 1024;

}  // namespace

CPop3Probe::CPop3Probe(const std::string& user, const std::string& password, const std::string& server,
                       const ProbeOptions& options, Done done)
    : m_dialogue(user, password), m_options(options), m_done(std::move(done)) {
    m_connectTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    m_connectTimer.setInterval(m_options.connectTimeout);
    m_idleTimer.setInterval(m_options.idleTimeout);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] { Finish(ProbeCode::kConnectError); });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        m_dialogue.Abandon();
        Finish(m_dialogue.Result());
    });
    Begin(server);
}

CPop3Probe::~CPop3Probe() {
    if (m_lookupId != -1) {
        QHostInfo::abortHostLookup(m_lookupId);
    }
    // The socket must not call back into a half-destroyed probe while it closes.
    if (m_socket != nullptr) {
        m_socket->disconnect(this);
        delete m_socket;
    }
}

void CPop3Probe::Begin(const std::string& server) {
    if (m_dialogue.IsDone()) {
        Finish(m_dialogue.Result());
        return;
    }
    const auto address = ParseServerAddress(server);
    if (!address) {
        Finish(ProbeCode::kConnectError);
        return;
    }
    m_address = *address;
    m_connectTimer.start();
    // An address literal needs no look-up (QHostInfo would even look up its name in reverse).
    const QString host = LocalText(m_address.host);
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        m_candidates = {literal};
        TryNextAddress();
        return;
    }
    m_lookupId = QHostInfo::lookupHost(host, this, &CPop3Probe::OnLookedUp);
}

void CPop3Probe::OnLookedUp(const QHostInfo& info) {
    m_lookupId = -1;
    m_candidates = info.addresses();
    TryNextAddress();
}

void CPop3Probe::TryNextAddress() {
    if (m_candidates.isEmpty()) {
        Finish(ProbeCode::kConnectError);
        return;
    }
    const QHostAddress address = m_candidates.takeFirst();
    QTcpSocket* socket = nullptr;
    QSslSocket* tlsSocket = nullptr;
    if (m_address.tls) {
        tlsSocket = new QSslSocket(this);
        QSslConfiguration config = tlsSocket->sslConfiguration();
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!m_options.extraCaCertificates.isEmpty()) {
            config.addCaCertificates(m_options.extraCaCertificates);
        }
        tlsSocket->setSslConfiguration(config);
        connect(tlsSocket, &QSslSocket::encrypted, this, &CPop3Probe::OnSocketConnected);
        socket = tlsSocket;
    } else {
        socket = new QTcpSocket(this);
        connect(socket, &QTcpSocket::connected, this, &CPop3Probe::OnSocketConnected);
    }
    connect(socket, &QTcpSocket::connected, socket, [socket] {
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    });
    connect(socket, &QTcpSocket::readyRead, this, &CPop3Probe::OnReadyRead);
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this] { m_inDialogue ? OnConnectionLost() : OnConnectFailed(); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this] { m_inDialogue ? OnConnectionLost() : OnConnectFailed(); });
    m_socket = socket;
    // A failure may be reported from inside the connect call, so nothing may follow it.
    if (tlsSocket != nullptr) {
        tlsSocket->connectToHostEncrypted(address.toString(), m_address.port, LocalText(m_address.host));
    } else {
        socket->connectToHost(address, m_address.port);
    }
}

void CPop3Probe::OnSocketConnected() {
    m_connectTimer.stop();
    m_inDialogue = true;
    m_idleTimer.start();
    OnReadyRead();
}

void CPop3Probe::OnConnectFailed() {
    if (m_finished) {
        return;
    }
    DropSocket();
    TryNextAddress();
}

void CPop3Probe::OnReadyRead() {
    char chunk[kReadChunk];
    while (!m_finished && m_inDialogue && m_socket != nullptr && m_socket->bytesAvailable() > 0) {
        const qint64 got = m_socket->read(chunk, kReadChunk);
        if (got <= 0) {
            break;
        }
        m_idleTimer.start();
        Send(m_dialogue.Receive(std::string_view(chunk, static_cast<std::size_t>(got))));
        if (m_dialogue.IsDone()) {
            Finish(m_dialogue.Result());
        }
    }
}

void CPop3Probe::OnConnectionLost() {
    if (m_finished) {
        return;
    }
    // What arrived before the close still counts.
    OnReadyRead();
    m_dialogue.EndStream();
    Finish(m_dialogue.Result());
}

void CPop3Probe::Send(const std::string& bytes) {
    if (bytes.empty() || m_socket == nullptr) {
        return;
    }
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        m_dialogue.Abandon();
        return;
    }
    // Each command goes out before the next reply is awaited.
    m_socket->flush();
}

void CPop3Probe::DropSocket() {
    if (m_socket == nullptr) {
        return;
    }
    m_socket->disconnect(this);
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->disconnectFromHost();
    }
    m_socket->abort();
    // It may be in the middle of emitting the signal that brought us here.
    m_socket->deleteLater();
    m_socket = nullptr;
}

void CPop3Probe::Finish(int result) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_connectTimer.stop();
    m_idleTimer.stop();
    if (m_lookupId != -1) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    DropSocket();
    ProbeOutcome outcome{.result = result, .statLine = std::nullopt};
    if (const auto& line = m_dialogue.StatLine()) {
        outcome.statLine = QByteArray(line->data(), static_cast<qsizetype>(line->size()));
    }
    // Reported from the event loop, so that `done` may destroy this probe.
    QMetaObject::invokeMethod(
        this,
        [this, outcome] {
            const Done done = std::move(m_done);
            done(outcome);
        },
        Qt::QueuedConnection);
}

std::unique_ptr<CPop3Probe> ProbeMailbox(const std::string& user, const std::string& password,
                                         const std::string& server, CPop3Probe::Done done,
                                         const ProbeOptions& options) {
    return std::make_unique<CPop3Probe>(user, password, server, options, std::move(done));
}
