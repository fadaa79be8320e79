#include "protocol/imap/ImapWatch.h"

#include <QLoggingCategory>
#include <QTcpSocket>

#include "protocol/ProbeOutcome.h"

Q_LOGGING_CATEGORY(lcWatch, "quillpost.watch", QtWarningMsg)

namespace {

QString PeerOf(const QTcpSocket& socket) {
    return socket.peerAddress().toString() + ':' + QString::number(socket.peerPort());
}

}  // namespace

CImapWatch::CImapWatch(QTcpSocket* socket, ImapSession session, std::chrono::milliseconds answerLimit)
    : m_socket(socket), m_dialogue(std::move(session)), m_answerLimit(answerLimit), m_limit(answerLimit) {
    m_socket->setParent(this);
    // A peer gone without a word (a dead route, a machine switched off) is found out some day even
    // where nothing is sent.
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, [this] {
        qCInfo(lcWatch) << "no answer in time from" << PeerOf(*m_socket);
        Send(m_dialogue.LogOut());
        AfterExchange();
    });
}

CImapWatch::~CImapWatch() {
    m_socket->disconnect(this);
    Send(m_dialogue.LogOut());
    m_socket->abort();
}

void CImapWatch::Follow(Counted counted, Ended ended) {
    m_counted = std::move(counted);
    m_ended = std::move(ended);
    m_following = true;
    connect(m_socket, &QTcpSocket::readyRead, this, &CImapWatch::OnReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &CImapWatch::OnConnectionLost);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CImapWatch::OnConnectionLost);
    Send(m_dialogue.Begin());
    AfterExchange();
    // What the check left unread in the socket, and an end that came before anyone listened.
    QMetaObject::invokeMethod(
        this,
        [this] {
            OnReadyRead();
            if (m_socket->state() != QAbstractSocket::ConnectedState) {
                OnConnectionLost();
            }
        },
        Qt::QueuedConnection);
}

void CImapWatch::CountNow() {
    Send(m_dialogue.CountNow());
    AfterExchange();
}

void CImapWatch::Renew(std::optional<std::chrono::milliseconds> answerLimit) {
    // A sooner limit holds until the watch idles again; a later one never lengthens the running one.
    m_limit = std::min(answerLimit.value_or(m_limit), m_limit);
    Send(m_dialogue.Renew());
    if (m_dialogue.AwaitsAnswer() &&
        (!m_answerTimer.isActive() || m_answerTimer.remainingTimeAsDuration() > m_limit)) {
        m_answerTimer.start(m_limit);
    }
    AfterExchange();
}

void CImapWatch::OnReadyRead() {
    char chunk[4096];
    while (!m_dialogue.IsOver() && m_socket->bytesAvailable() > 0) {
        const qint64 got = m_socket->read(chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        const std::string_view bytes(chunk, static_cast<std::size_t>(got));
        // What the server says unasked (its changes, that it is still there), by its first line.
        qCDebug(lcWatch).noquote() << PeerOf(*m_socket) << "says"
                                   << QByteArray(chunk, static_cast<qsizetype>(std::min(
                                                            bytes.find_first_of("\r\n"), bytes.size())));
        Send(m_dialogue.Receive(bytes));
    }
    AfterExchange();
}

void CImapWatch::OnConnectionLost() {
    if (!m_dialogue.IsOver()) {
        qCInfo(lcWatch) << "connection to" << PeerOf(*m_socket) << "lost:" << m_socket->errorString();
        OnReadyRead();
        m_dialogue.EndStream();
    }
    AfterExchange();
}

void CImapWatch::Send(const std::string& bytes) {
    if (bytes.empty()) {
        return;
    }
    if (m_socket->write(bytes.data(), static_cast<qint64>(bytes.size())) ==
        static_cast<qint64>(bytes.size())) {
        m_socket->flush();
        // Each command has the whole limit for its answer; what the server sends unasked does
        // not make the limit any longer.
        m_answerTimer.start(m_limit);
    } else {
        m_dialogue.EndStream();
    }
}

void CImapWatch::AfterExchange() {
    if (!m_dialogue.AwaitsAnswer()) {
        m_answerTimer.stop();
        m_limit = m_answerLimit;
    }
    // Reported from the event loop, so that the owner may let go of the watch as it hears.
    if (auto count = m_dialogue.TakeCount(); count && m_following) {
        ProbeOutcome outcome{.result = count->unseen, .statLine = std::nullopt, .watch = nullptr};
        if (count->line) {
            outcome.statLine = QByteArray::fromStdString(*count->line);
        }
        QMetaObject::invokeMethod(
            this, [this, outcome] { m_counted(outcome); }, Qt::QueuedConnection);
    }
    if (m_dialogue.IsOver() && m_following) {
        m_following = false;
        Close();
        QMetaObject::invokeMethod(
            this, [this, end = m_dialogue.Ending()] { m_ended(end); }, Qt::QueuedConnection);
    }
}

void CImapWatch::Close() {
    m_answerTimer.stop();
    m_socket->disconnect(this);
    // It may be in the middle of emitting the signal that brought us here.
    QMetaObject::invokeMethod(m_socket, &QTcpSocket::abort, Qt::QueuedConnection);
}
