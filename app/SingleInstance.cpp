#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";
constexpr int kRetryPauseMs = 50;

// The same account file gives the same name whichever way its path was written. Windows' pipe
// names are shared by all users, so there the user's home folder keeps them apart too.
QString KeyOf(const QString& accountFile) {
    const QFileInfo file(accountFile);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    QString identity = QDir(folder.isEmpty() ? file.absolutePath() : folder).filePath(file.fileName());
#ifdef Q_OS_WIN
    identity = (QDir::homePath() + u'\n' + identity).toLower();
#endif
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("quillpost-") + QString::fromLatin1(hash.toHex().left(16));
}

// Windows has no runtime folder of its own (Qt names the profile folder, which the user sees):
// the lock goes among the user's temporary files there, where an open lock cannot be deleted.
QString RuntimeFolder() {
#ifdef Q_OS_WIN
    return QDir::tempPath();
#else
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
#endif
}

QString SocketNameFor(const QString& key) {
#ifdef Q_OS_WIN
    return key;  // a pipe name
#else
    return QDir(RuntimeFolder()).filePath(key + QStringLiteral(".socket"));
#endif
}

}  // namespace

CSingleInstance::CSingleInstance(const QString& accountFile, QObject* parent)
    : QObject(parent),
      m_socketName(SocketNameFor(KeyOf(accountFile))),
      m_lock(QDir(RuntimeFolder()).filePath(KeyOf(accountFile) + QStringLiteral(".lock"))) {
    // Held for the whole run: only a holder that is gone makes it stale, never its age.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
}

bool CSingleInstance::TakeOver() {
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() == QLockFile::LockFailedError) {
            return false;
        }
        qWarning("quillpost: cannot make the lock that keeps a second copy out; running without it");
        return true;
    }
    QLocalServer::removeServer(m_socketName);  // a socket left by a copy that died
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_socketName)) {
        qWarning("quillpost: a second start cannot reach this copy: %s",
                 qUtf8Printable(m_server.errorString()));
    }
    return true;
}

bool CSingleInstance::AskRunningCopyToShow(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    // The running copy may have taken the lock a moment ago and not be listening yet.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketName);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(kShowRequest);
            while (socket.canReadLine() ||
                   socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                if (socket.canReadLine()) {
                    return socket.readLine() == kShownAnswer;
                }
            }
            return false;
        }
        QThread::msleep(kRetryPauseMs);
    }
    qWarning("quillpost: another copy is running with the same accounts but does not answer");
    return false;
}

void CSingleInstance::OnConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64) {
                    socket->abort();  // not one of ours
                }
                return;
            }
            if (socket->readLine() == kShowRequest) {
                emit showRequested();
                socket->write(kShownAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
