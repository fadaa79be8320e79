#include "protocol/MailProbe.h"

#include <QHostInfo>
#include <QSslSocket>
#include <QTcpSocket>

#include "accounts/AccountText.h"
#include "protocol/AddressOrder.h"
#include "protocol/ConnectionRace.h"
#include "protocol/MailWatch.h"
#include "protocol/TlsSettings.h"

namespace {

// How much is taken from the socket at a time: several reply lines of the longest kind.
constexpr qint64 kReadChunk = 4096;
// The kernel holds at most about twice this for the probe, and every notification drains it, so a
// server that floods holds the probe to a fixed amount of memory. Much smaller makes a flood crawl.
constexpr int kReceiveBufferBytes = 256 * 1024;

std::optional<ServerAddress> AddressFor(MailProtocol protocol, const std::string& server) {
    auto address = ParseServerAddress(server);
    return address && address->protocol == protocol ? address : std::nullopt;
}

}  // namespace

CMailProbe::CMailProbe(MailProtocol protocol, const std::string& server, const MakeDialogue& makeDialogue,
                       const ProbeOptions& options, Done done)
    : m_options(options),
      m_address(AddressFor(protocol, server)),
      m_dialogue(makeDialogue(m_address && m_address->security == ConnectionSecurity::StartTls)),
      m_done(std::move(done)) {
    for (QTimer* timer : {&m_probeTimer, &m_connectTimer, &m_idleTimer}) {
        timer->setSingleShot(true);
    }
    m_probeTimer.setInterval(m_options.probeTimeout);
    m_connectTimer.setInterval(m_options.connectTimeout);
    m_idleTimer.setInterval(m_options.idleTimeout);
    connect(&m_probeTimer, &QTimer::timeout, this, &CMailProbe::GiveUp);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] { Finish(ProbeCode::kConnectError); });
    connect(&m_idleTimer, &QTimer::timeout, this, &CMailProbe::GiveUp);
    m_probeTimer.start();
    Begin();
}

CMailProbe::~CMailProbe() {
    if (m_lookupId != -1) {
        QHostInfo::abortHostLookup(m_lookupId);
    }
    delete m_race;
    // The socket must not call back into a half-destroyed probe while it closes.
    if (m_socket != nullptr) {
        m_socket->disconnect(this);
        if (!m_finished) {
            Send(m_dialogue->Abandon());
        }
        delete m_socket;
    }
}

void CMailProbe::Begin() {
    if (m_dialogue->IsDone()) {
        Finish(m_dialogue->Result());
        return;
    }
    if (!m_address) {
        Finish(ProbeCode::kConnectError);
        return;
    }
    m_connectTimer.start();
    m_host = DisplayText(m_address->host);
    // An address literal needs no look-up (QHostInfo would even look up its name in reverse).
    const QHostAddress literal(m_host);
    if (!literal.isNull()) {
        Connect({literal});
    } else if (m_options.resolve) {
        Connect(m_options.resolve(m_host));
    } else {
        m_lookupId = QHostInfo::lookupHost(m_host, this, &CMailProbe::OnLookedUp);
    }
}

void CMailProbe::OnLookedUp(const QHostInfo& info) {
    m_lookupId = -1;
    Connect(info.addresses());
}

void CMailProbe::Connect(const QList<QHostAddress>& addresses) {
    if (addresses.isEmpty()) {
        Finish(ProbeCode::kConnectError);
        return;
    }
    const bool tlsFirst = m_address->security == ConnectionSecurity::Tls;
    m_race = new CConnectionRace(
        {.addresses = InterleaveFamilies(addresses),
         .port = m_address->port,
         .tlsPeerName = tlsFirst ? m_host : QString()},
        [this] { return MakeSocket(); }, m_options.nextAddressDelay, this);
    connect(m_race, &CConnectionRace::Won, this, &CMailProbe::OnConnected);
    connect(m_race, &CConnectionRace::Lost, this, [this] { Finish(ProbeCode::kConnectError); });
    m_race->Start();
}

QTcpSocket* CMailProbe::MakeSocket() const {
    QTcpSocket* socket = nullptr;
    if (m_address->security == ConnectionSecurity::Plain) {
        socket = new QTcpSocket;
    } else {
        auto* tlsSocket = new QSslSocket;
        ConfigureTls(tlsSocket, m_host, m_options.extraCaCertificates);
        socket = tlsSocket;
    }
    connect(socket, &QTcpSocket::connected, socket, [socket] {
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    });
    return socket;
}

void CMailProbe::OnConnected(QTcpSocket* socket) {
    DropRace();
    m_connectTimer.stop();
    m_socket = socket;
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &CMailProbe::OnReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CMailProbe::OnConnectionLost);
    connect(m_socket, &QTcpSocket::disconnected, this, &CMailProbe::OnConnectionLost);
    m_idleTimer.start();
    OnReadyRead();
}

void CMailProbe::OnReadyRead() {
    char chunk[kReadChunk];
    while (!m_finished && !m_tlsStarting && m_socket != nullptr && m_socket->bytesAvailable() > 0) {
        const qint64 got = m_socket->read(chunk, kReadChunk);
        if (got <= 0) {
            break;
        }
        m_idleTimer.start();
        // Bytes read while the dialogue awaits TLS end it: they never count as replies.
        Send(m_dialogue->Receive(std::string_view(chunk, static_cast<std::size_t>(got))));
        if (m_dialogue->IsDone()) {
            Finish(m_dialogue->Result());
        }
    }
    if (!m_finished && !m_tlsStarting && m_dialogue->AwaitsTls()) {
        StartTls();
    }
}

void CMailProbe::StartTls() {
    auto* tlsSocket = qobject_cast<QSslSocket*>(m_socket);
    if (tlsSocket == nullptr) {
        m_dialogue->Abandon();
        Finish(m_dialogue->Result());
        return;
    }
    m_tlsStarting = true;
    connect(tlsSocket, &QSslSocket::encrypted, this, &CMailProbe::OnTlsStarted);
    // Anything the server sends from here on goes to the handshake, never to the dialogue.
    tlsSocket->startClientEncryption();
}

void CMailProbe::OnTlsStarted() {
    m_tlsStarting = false;
    m_idleTimer.start();
    Send(m_dialogue->TlsStarted());
    OnReadyRead();
}

void CMailProbe::OnConnectionLost() {
    if (m_finished) {
        return;
    }
    // What arrived before the close still counts.
    OnReadyRead();
    m_dialogue->EndStream();
    Finish(m_dialogue->Result());
}

void CMailProbe::GiveUp() {
    if (m_socket == nullptr) {
        Finish(ProbeCode::kConnectError);
        return;
    }
    Send(m_dialogue->Abandon());
    Finish(m_dialogue->Result());
}

void CMailProbe::Send(const std::string& bytes) {
    if (bytes.empty() || m_socket == nullptr) {
        return;
    }
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
        m_dialogue->Abandon();
        return;
    }
    // Each command goes out before the next reply is awaited.
    m_socket->flush();
}

std::shared_ptr<IMailWatch> CMailProbe::KeepConnection(QTcpSocket* socket, const IMailDialogue&) {
    delete socket;
    return nullptr;
}

void CMailProbe::DropRace() {
    if (m_race == nullptr) {
        return;
    }
    m_race->disconnect(this);
    m_race->Abandon();
    // It may be in the middle of emitting the signal that brought us here.
    m_race->deleteLater();
    m_race = nullptr;
}

void CMailProbe::DropSocket() {
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

void CMailProbe::Finish(int result) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    for (QTimer* timer : {&m_probeTimer, &m_connectTimer, &m_idleTimer}) {
        timer->stop();
    }
    if (m_lookupId != -1) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    DropRace();
    ProbeOutcome outcome{.result = result, .statLine = std::nullopt, .watch = nullptr};
    if (m_socket != nullptr && m_dialogue->KeepsConnection()) {
        m_socket->disconnect(this);
        outcome.watch = KeepConnection(std::exchange(m_socket, nullptr), *m_dialogue);
    }
    DropSocket();
    if (const auto& line = m_dialogue->StatLine()) {
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
