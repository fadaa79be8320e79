#pragma once

#include <QProcess>
#include <QSslCertificate>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "tests/servers/TestCertificate.h"

// A real POP3 and IMAP server for tests: Debian's dovecot, run in the foreground from a private
// configuration in a temporary folder, listening on free loopback ports (127.0.0.1 and ::1), for
// each protocol one plain listener (which also offers STLS or STARTTLS) and one TLS listener, with
// a self-signed certificate for localhost/127.0.0.1/::1. The plain IMAP listener is on 127.0.0.2
// too, where dovecot counts a connection from 127.0.0.1 as insecure: it lists LOGINDISABLED there
// until STARTTLS. Users come from a passwd-file; their Maildirs are filled by the test. Failed
// logins are answered at once. The constructor returns once the server accepts connections
// (or throws std::runtime_error); the destructor stops it and waits until it has gone.
class DovecotServer {
public:
    struct User {
        std::string name;
        std::string password;
    };

    explicit DovecotServer(std::vector<User> users = {{"alice", "secret"}});
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    quint16 Pop3Port() const { return m_pop3Port; }
    quint16 Pop3sPort() const { return m_pop3sPort; }
    quint16 ImapPort() const { return m_imapPort; }
    quint16 ImapsPort() const { return m_imapsPort; }
    bool HasIpv6() const { return m_hasIpv6; }
    // The server's certificate, for a client that is to trust it.
    const TestCertificate& Certificate() const { return m_certificate; }

    // Leaves exactly `count` small messages in the user's mailbox; the next STAT sees them.
    void SetMessageCount(const std::string& user, int count);
    // Delivers `count` more small messages, as a mail server would (an idling client hears of them).
    void Deliver(const std::string& user, int count = 1);
    // Drops the user's connections at once, as an administrator's `doveadm kick` does.
    void Kick(const std::string& user);
    // Marks `count` of the user's new messages seen, as a mail program elsewhere would.
    void MarkSeen(const std::string& user, int count);
    // Stops the server with all its sessions and starts it again on the same ports, as a service
    // manager does. The caller's event loop runs meanwhile; `whileDown` runs when nothing listens.
    void Restart(const std::function<void()>& whileDown);

    QString Log() const;

private:
    QString HomeOf(const std::string& user) const;
    void WriteConfiguration();
    void WriteUsers();
    void Start();
    void Stop();
    void WaitUntilListening();

    std::vector<User> m_users;
    QTemporaryDir m_folder;
    TestCertificate m_certificate;
    quint16 m_pop3Port = 0;
    quint16 m_pop3sPort = 0;
    quint16 m_imapPort = 0;
    quint16 m_imapsPort = 0;
    bool m_hasIpv6 = false;
    uint m_mailUid = 0;
    uint m_mailGid = 0;
    QProcess m_process;
};
