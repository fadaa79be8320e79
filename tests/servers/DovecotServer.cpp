#include "tests/servers/DovecotServer.h"

#include <QtGlobal>
#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <set>
#include <stdexcept>
#include <tuple>

#include "tests/servers/HostCommand.h"

namespace {

// When dovecot runs as root, mail is served under this uid (it refuses root for mail, and the uid
// needs no account of its own).
constexpr uint kMailUidAsRoot = 2000;
constexpr int kStartAttempts = 3;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

// Who runs the tests on the host, and the host's names for files: a Windows test program under
// wine asks the host's own programs.
#ifndef Q_OS_WIN
uint HostUid() {
    return ::geteuid();
}
uint HostGid() {
    return ::getegid();
}

void ChangeOwner(const QString& path, uint uid, uint gid) {
    if (::chown(QFile::encodeName(path).constData(), uid, gid) != 0) {
        throw std::runtime_error("cannot chown " + path.toStdString());
    }
}

QByteArray NameOf(uint uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? QByteArray(entry->pw_name) : QByteArray::number(uid);
}

QByteArray GroupOf(uint gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? QByteArray(entry->gr_name) : QByteArray::number(gid);
}
#else
uint HostUid() {
    static const uint uid = RunHostCommand("id", {"-u"}).trimmed().toUInt();
    return uid;
}
uint HostGid() {
    static const uint gid = RunHostCommand("id", {"-g"}).trimmed().toUInt();
    return gid;
}

void ChangeOwner(const QString& path, uint uid, uint gid) {
    RunHostCommand("chown", {QString("%1:%2").arg(uid).arg(gid), HostPath(path)});
}

QByteArray NameOf(uint uid) {
    return RunHostCommand("id", {"-un", QString::number(uid)}).trimmed();
}

QByteArray GroupOf(uint gid) {
    return RunHostCommand("getent", {"group", QString::number(gid)}).split(':').value(0);
}
#endif

// A folder or file named in dovecot's configuration, as dovecot knows it.
QByteArray ConfigName(const QString& path) {
    return QFile::encodeName(HostPath(path));
}

// A port nobody listens on right now, on 127.0.0.1 and (when it exists) ::1.
quint16 FreePort(bool withIpv6) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        QTcpServer v4;
        if (!v4.listen(QHostAddress::LocalHost, 0)) {
            continue;
        }
        QTcpServer v6;
        if (!withIpv6 || v6.listen(QHostAddress::LocalHostIPv6, v4.serverPort())) {
            return v4.serverPort();
        }
    }
    throw std::runtime_error("no free loopback port");
}

bool Ipv6LoopbackExists() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

#ifndef Q_OS_WIN
// Debian installs dovecot in /usr/sbin, which is on root's PATH but not on an ordinary user's.
QString DovecotExecutable() {
    QString found = QStandardPaths::findExecutable(QStringLiteral("dovecot"));
    if (found.isEmpty()) {
        found = QStandardPaths::findExecutable(QStringLiteral("dovecot"), {"/usr/sbin", "/sbin"});
    }
    if (found.isEmpty()) {
        throw std::runtime_error("dovecot is not installed (scripts/deps.sh installs it)");
    }
    return found;
}
#endif

}  // namespace

DovecotServer::DovecotServer(std::vector<User> users) : m_users(std::move(users)) {
    if (!m_folder.isValid()) {
        throw std::runtime_error("cannot create a folder for dovecot");
    }
    // Dovecot's unprivileged processes must reach the folder.
    QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther);
    const bool asRoot = HostUid() == 0;
    m_mailUid = asRoot ? kMailUidAsRoot : HostUid();
    m_mailGid = asRoot ? kMailUidAsRoot : HostGid();
    m_certificate = MakeLoopbackCertificate(m_folder.path(), "dovecot");
    m_hasIpv6 = Ipv6LoopbackExists();
    WriteUsers();
    // Another program may take a free port before dovecot binds it; then new ports are chosen.
    for (int attempt = 1;; ++attempt) {
        std::set<quint16> ports;
        while (ports.size() < 4) {
            ports.insert(FreePort(m_hasIpv6));
        }
        std::tie(m_pop3Port, m_pop3sPort, m_imapPort, m_imapsPort) = std::tuple(
            *ports.begin(), *std::next(ports.begin()), *std::next(ports.begin(), 2), *ports.rbegin());
        WriteConfiguration();
        try {
            Start();
            return;
        } catch (const std::runtime_error&) {
            Stop();
            if (attempt == kStartAttempts) {
                throw;
            }
        }
    }
}

DovecotServer::~DovecotServer() {
    Stop();
}

#ifdef Q_OS_WIN
// Under wine dovecot runs as a daemon of the host, known by its pid file.
void DovecotServer::Stop() {
    const QString pidFile = m_folder.filePath("run/master.pid");
    if (!QFile::exists(pidFile)) {
        return;
    }
    try {
        RunHostCommand("sh", {"-c", "kill -TERM \"$(cat \"$1\")\"", "sh", HostPath(pidFile)});
    } catch (const std::runtime_error&) {
        return;  // gone already
    }
    QElapsedTimer waited;
    waited.start();
    while (QFile::exists(pidFile) && waited.elapsed() < 10000) {
        QThread::msleep(20);
    }
}

void DovecotServer::Start() {
    // A stale socket left in base_dir costs seconds at start-up. The host removes it: wine would
    // follow dovecot's link there to the configuration and delete that instead.
    RunHostCommand("rm", {"-rf", HostPath(m_folder.filePath("run"))});
    // wine gives new files no read access for dovecot's own users; permission bits are the host's.
    RunHostCommand("chmod", {"-R", "a+rX", HostPath(m_folder.path())});
    RunHostCommand("dovecot", {"-c", HostPath(m_folder.filePath("dovecot.conf"))});
    WaitUntilListening();
}
#else
void DovecotServer::Stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}
#endif

void DovecotServer::Restart(const std::function<void()>& whileDown) {
    // The sessions end with the server, as when a service manager stops its whole group.
#ifdef Q_OS_WIN
    const QString pidFile = m_folder.filePath("run/master.pid");
    RunHostCommand(
        "sh", {"-c", "pkill -TERM -P \"$(cat \"$1\")\" -x 'imap|pop3'; kill -TERM \"$(cat \"$1\")\"", "sh",
               HostPath(pidFile)});
    const auto gone = [&] { return !QFile::exists(pidFile); };
#else
    QProcess::execute("pkill", {"-TERM", "-P", QString::number(m_process.processId()), "-x", "imap|pop3"});
    m_process.terminate();
    const auto gone = [this] { return m_process.state() == QProcess::NotRunning; };
#endif
    if (!QTest::qWaitFor(gone, 10000)) {
        throw std::runtime_error("dovecot does not stop");
    }
    whileDown();
    Start();
}

QString DovecotServer::HomeOf(const std::string& user) const {
    return m_folder.filePath("home/" + QString::fromStdString(user));
}

void DovecotServer::WriteUsers() {
    QByteArray lines;
    for (const User& user : m_users) {
        const QString home = HomeOf(user.name);
        for (const char* sub : {"/Maildir/new", "/Maildir/cur", "/Maildir/tmp"}) {
            QDir().mkpath(home + sub);
        }
        for (const char* sub : {"", "/Maildir", "/Maildir/new", "/Maildir/cur", "/Maildir/tmp"}) {
            ChangeOwner(home + sub, m_mailUid, m_mailGid);
        }
        lines += QByteArray::fromStdString(user.name) + ":{PLAIN}" +
                 QByteArray::fromStdString(user.password) + ":" + QByteArray::number(m_mailUid) + ":" +
                 QByteArray::number(m_mailGid) + "::" + ConfigName(home) + "::\n";
    }
    WriteFile(m_folder.filePath("users"), lines);
    QFile::setPermissions(m_folder.filePath("users"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

void DovecotServer::WriteConfiguration() {
    const QByteArray folder = ConfigName(m_folder.path());
    QByteArray config;
    config += "base_dir = " + folder + "/run\n";
    config += "state_dir = " + folder + "/state\n";
    config += "log_path = " + folder + "/dovecot.log\n";
    config += "protocols = pop3 imap\n";
    const QByteArray loopback = m_hasIpv6 ? "127.0.0.1, ::1" : "127.0.0.1";
    config += "listen = " + loopback + "\n";
    // Plain-text logins stay allowed wherever client and server share an address.
    config += "disable_plaintext_auth = yes\nauth_mechanisms = plain login\n";
    // Failed logins answered at once, and no penalty for the next login from 127.0.0.1.
    config += "auth_failure_delay = 0\n";
    config += "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n";
    if (HostUid() != 0) {
        config += "  chroot =\n";
    }
    config += "}\n";
    config += "ssl = yes\nssl_cert = <" + ConfigName(m_certificate.certificateFile) + "\n";
    config += "ssl_key = <" + ConfigName(m_certificate.keyFile) + "\n";
    config += "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + folder + "/users\n}\n";
    config += "userdb {\n  driver = passwd-file\n  args = " + folder + "/users\n}\n";
    config += "mail_location = maildir:~/Maildir\n";
    config += "service pop3-login {\n";
    config += "  inet_listener pop3 {\n    port = " + QByteArray::number(m_pop3Port) + "\n  }\n";
    config +=
        "  inet_listener pop3s {\n    port = " + QByteArray::number(m_pop3sPort) + "\n    ssl = yes\n  }\n";
    if (HostUid() != 0) {
        config += "  chroot =\n";
    }
    config += "}\n";
    config += "service imap-login {\n";
    config += "  inet_listener imap {\n    address = 127.0.0.2, " + loopback +
              "\n    port = " + QByteArray::number(m_imapPort) + "\n  }\n";
    config +=
        "  inet_listener imaps {\n    port = " + QByteArray::number(m_imapsPort) + "\n    ssl = yes\n  }\n";
    if (HostUid() != 0) {
        config += "  chroot =\n";
    }
    config += "}\n";
    if (HostUid() != 0) {
        // An ordinary user cannot switch to dovecot's own users; everything runs as this user.
        const QByteArray me = NameOf(HostUid());
        config += "default_internal_user = " + me + "\ndefault_login_user = " + me + "\n";
        config += "default_internal_group = " + GroupOf(HostGid()) + "\n";
    }
    WriteFile(m_folder.filePath("dovecot.conf"), config);
}

#ifndef Q_OS_WIN
void DovecotServer::Start() {
    // A stale socket left in base_dir costs seconds at start-up.
    QDir(m_folder.filePath("run")).removeRecursively();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(DovecotExecutable(), {"-F", "-c", m_folder.filePath("dovecot.conf")});
    if (!m_process.waitForStarted(10000)) {
        throw std::runtime_error("cannot start dovecot: " + m_process.errorString().toStdString());
    }
    WaitUntilListening();
}
#endif

void DovecotServer::WaitUntilListening() {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
#ifndef Q_OS_WIN
        if (m_process.state() == QProcess::NotRunning) {
            throw std::runtime_error("dovecot stopped: " + m_process.readAll().toStdString() +
                                     Log().toStdString());
        }
#endif
        const auto listens = [](quint16 port) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            return socket.waitForConnected(1000);
        };
        if (listens(m_pop3Port) && listens(m_pop3sPort) && listens(m_imapPort) && listens(m_imapsPort)) {
            return;
        }
        QThread::msleep(20);
    }
    throw std::runtime_error("dovecot does not listen: " + Log().toStdString());
}

void DovecotServer::SetMessageCount(const std::string& user, int count) {
    const QString maildir = HomeOf(user) + "/Maildir";
    for (const char* sub : {"/new", "/cur"}) {
        QDir box(maildir + sub);
        for (const QString& name : box.entryList(QDir::Files)) {
            box.remove(name);
        }
    }
    Deliver(user, count);
}

void DovecotServer::Deliver(const std::string& user, int count) {
    const QString maildir = HomeOf(user) + "/Maildir";
    static int serial = 0;
    for (int i = 0; i < count; ++i) {
        const QString name = QString("%1.M%2P%3.quillpost-test")
                                 .arg(QDateTime::currentSecsSinceEpoch())
                                 .arg(++serial)
                                 .arg(QCoreApplication::applicationPid());
        const QString staged = maildir + "/tmp/" + name;
        WriteFile(staged, "From: sender@example.org\r\nSubject: test " + QByteArray::number(i) +
                              "\r\n\r\nHello.\r\n");
        ChangeOwner(staged, m_mailUid, m_mailGid);
        if (!QFile::rename(staged, maildir + "/new/" + name)) {
            throw std::runtime_error("cannot deliver " + name.toStdString());
        }
    }
}

void DovecotServer::Kick(const std::string& user) {
    RunHostCommand("doveadm",
                   {"-c", HostPath(m_folder.filePath("dovecot.conf")), "kick", QString::fromStdString(user)});
}

void DovecotServer::MarkSeen(const std::string& user, int count) {
    QDir maildir(HomeOf(user) + "/Maildir");
    const QStringList unseen = QDir(maildir.filePath("new")).entryList(QDir::Files, QDir::Name);
    for (const QString& name : unseen.mid(0, count)) {
        // Maildir keeps the flags in the name, after a colon, which Windows names cannot hold: S is \Seen.
        RunHostCommand("mv", {HostPath(maildir.filePath("new/" + name)),
                              HostPath(maildir.filePath("cur")) + "/" + name + ":2,S"});
    }
}

QString DovecotServer::Log() const {
    QFile log(m_folder.filePath("dovecot.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
