#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "check/Pop3Dialogue.h"
#include "check/ProbeOutcome.h"
#include "check/ServerAddress.h"

class QHostInfo;
class QTcpSocket;

struct ProbeOptions {
    // How long a probe waits before it gives up: for the connection (name look-up, every address,
    // the TLS handshake), and then for each piece of the server's answer.
    static constexpr std::chrono::milliseconds kConnectTimeout{30000};
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};

    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::milliseconds idleTimeout = kIdleTimeout;
    // Trusted for TLS besides the system's certificate authorities.
    QList<QSslCertificate> extraCaCertificates;
};

// One running probe of one mailbox: it resolves the server, connects (plain or TLS), holds the
// POP3 dialogue and reports its outcome once, from the event loop. Destroying it abandons the
// probe without a report.
class CPop3Probe : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const ProbeOutcome&)>;

    CPop3Probe(const std::string& user, const std::string& password, const std::string& server,
               const ProbeOptions& options, Done done);
    ~CPop3Probe() override;

private:
    void Begin(const std::string& server);
    void OnLookedUp(const QHostInfo& info);
    void TryNextAddress();
    void OnSocketConnected();
    void OnConnectFailed();
    void OnReadyRead();
    void OnConnectionLost();
    void Send(const std::string& bytes);
    void DropSocket();
    void Finish(int result);

    CPop3Dialogue m_dialogue;
    ProbeOptions m_options;
    ServerAddress m_address;
    Done m_done;
    QList<QHostAddress> m_candidates;
    int m_lookupId = -1;
    QTcpSocket* m_socket = nullptr;  // a child; replaced for each address tried
    bool m_inDialogue = false;
    bool m_finished = false;
    QTimer m_connectTimer;
    QTimer m_idleTimer;
};

// Starts probing `server` for the mailbox of `user`; returns at once. `done` is called once, later,
// with the result and the raw STAT reply line, unless the returned probe is destroyed first.
std::unique_ptr<CPop3Probe> ProbeMailbox(const std::string& user, const std::string& password,
                                         const std::string& server, CPop3Probe::Done done,
                                         const ProbeOptions& options = {});
