#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include "res/Strings.h"
#include "ui/MessageBox.h"

#ifdef Q_OS_WIN
#include <windows.h>
// clang-format off
#include <sddl.h>
// clang-format on
#include <vector>
#else
#include <unistd.h>
#endif

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";
constexpr int kRetryPauseMs = 50;

// The same account file gives the same name whichever way its path was written.
QString KeyOf(const QString& accountFile) {
    const QFileInfo file(accountFile);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    QString identity = QDir(folder.isEmpty() ? file.absolutePath() : folder).filePath(file.fileName());
#ifdef Q_OS_WIN
    identity = identity.toLower();
#endif
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("quillpost-") + QString::fromLatin1(hash.toHex().left(16));
}

#ifdef Q_OS_WIN
// The user's security identifier: pipe names are shared by every session on the machine, so the
// user's own goes into the name.
QString UserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    QString sid;
    LPWSTR text = nullptr;
    if (::GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}
#else
// Only a folder of this user's that no one else may write to keeps the names from being taken
// first by another user.
bool IsPrivateFolder(const QString& path) {
    const QFileInfo folder(path);
    return !path.isEmpty() && folder.isDir() && folder.ownerId() == ::geteuid() &&
           !(folder.permissions() & (QFile::WriteGroup | QFile::WriteOther));
}
#endif

// Where the lock and the socket go. On Windows the user's temporary folder (Qt names the profile
// folder as the runtime folder, which the user sees); an open lock cannot be deleted there.
// Elsewhere the runtime folder, else a folder of the program's among the user's cached files,
// never a folder that others can write to, such as /tmp.
QString RuntimeFolder() {
#ifdef Q_OS_WIN
    return QDir::tempPath();
#else
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (IsPrivateFolder(runtime)) {
        return runtime;
    }
    const QString cache =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)).filePath("quillpost");
    if (QDir().mkpath(cache)) {
        QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return IsPrivateFolder(cache) ? cache : QString();
#endif
}

QString SocketNameFor(const QString& key) {
#ifdef Q_OS_WIN
    return key + u'-' + UserSid();  // a pipe name
#else
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(key + QStringLiteral(".socket"));
#endif
}

#ifdef Q_OS_WIN
// Windows brings a window to the front only for the program the user is working with, or one it
// allows: this second start, which the user has just started, allows the running copy.
void AllowToComeForward(const QLocalSocket& socket) {
    ULONG runningCopy = 0;
    if (!::GetNamedPipeServerProcessId(reinterpret_cast<HANDLE>(socket.socketDescriptor()), &runningCopy) ||
        !::AllowSetForegroundWindow(runningCopy)) {
        qWarning("quillpost: the running copy may not come to the front (error %lu)", ::GetLastError());
    }
}
#endif

QString LockNameFor(const QString& key) {
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(key + QStringLiteral(".lock"));
}

}  // namespace

CSingleInstance::CSingleInstance(const QString& accountFile, QObject* parent)
    : QObject(parent),
      m_socketName(SocketNameFor(KeyOf(accountFile))),
      m_lock(LockNameFor(KeyOf(accountFile))) {
    // Held for the whole run: only a holder that is gone makes it stale, never its age.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
}

bool CSingleInstance::TakeOver() {
    if (m_lock.fileName().isEmpty() || !m_lock.tryLock(0)) {
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
#ifdef Q_OS_WIN
            AllowToComeForward(socket);
#endif
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

int HandOverToRunningCopy(CSingleInstance& instance, const QString& accountFile) {
    if (instance.AskRunningCopyToShow()) {
        return 0;
    }
    ShowExclamation(nullptr, Str::Text(Str::kRunningCopySilent).arg(QDir::toNativeSeparators(accountFile)),
                    0);
    return 1;
}
