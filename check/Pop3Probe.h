#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "check/Pop3Dialogue.h"
#include "check/ProbeOutcome.h"
#include "check/ServerAddress.h"

class CConnectionRace;
class QHostInfo;
class QSslSocket;
class QTcpSocket;

struct ProbeOptions {
    // How long a probe waits before it gives up: for the connection (name look-up, every address,
    // the TLS handshake), then for each piece of the server's answer, and for the whole probe from
    // its start, so that a server that keeps sending a trickle never holds it for ever.
    static constexpr std::chrono::milliseconds kConnectTimeout{30000};
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};
    static constexpr std::chrono::milliseconds kProbeTimeout{60000};
    // How long one address may take to connect before the next is tried beside it (RFC 8305).
    static constexpr std::chrono::milliseconds kNextAddressDelay{250};

    std::chrono::milliseconds connectTimeout = kConnectTimeout;
    std::chrono::milliseconds idleTimeout = kIdleTimeout;
    std::chrono::milliseconds probeTimeout = kProbeTimeout;
    std::chrono::milliseconds nextAddressDelay = kNextAddressDelay;
    // Trusted for TLS besides the system's certificate authorities.
    QList<QSslCertificate> extraCaCertificates;
    // Gives a name's addresses in the order to try them, in place of the system's resolver; for
    // tests that need a name with addresses of their choosing.
    std::function<QList<QHostAddress>(const QString& name)> resolve;
};

// One running probe of one mailbox: it resolves the server, connects (plain, TLS, or plain then
// STLS), holds the POP3 dialogue and reports its outcome once, from the event loop. Destroying it
// abandons the probe without a report.
class CPop3Probe : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const ProbeOutcome&)>;

    CPop3Probe(const std::string& user, const std::string& password, const std::string& server,
               const ProbeOptions& options, Done done);
    ~CPop3Probe() override;

private:
    void Begin();
    void OnLookedUp(const QHostInfo& info);
    void Connect(const QList<QHostAddress>& addresses);
    QTcpSocket* MakeSocket() const;
    void ConfigureTls(QSslSocket* socket) const;
    void OnConnected(QTcpSocket* socket);
    void OnReadyRead();
    void StartTls();
    void OnTlsStarted();
    void OnConnectionLost();
    void OnProbeTimeout();
    void Send(const std::string& bytes);
    void DropRace();
    void DropSocket();
    void Finish(int result);

    ProbeOptions m_options;
    std::optional<ServerAddress> m_address;  // nothing for a server field that names none
    CPop3Dialogue m_dialogue;
    QString m_host;
    Done m_done;
    int m_lookupId = -1;
    CConnectionRace* m_race = nullptr;  // a child, while connecting
    QTcpSocket* m_socket = nullptr;     // a child, once connected
    bool m_tlsStarting = false;
    bool m_finished = false;
    QTimer m_probeTimer;
    QTimer m_connectTimer;
    QTimer m_idleTimer;
};

// Starts probing `server` for the mailbox of `user`; returns at once. `done` is called once, later,
// with the result and the raw STAT reply line, unless the returned probe is destroyed first.
std::unique_ptr<CPop3Probe> ProbeMailbox(const std::string& user, const std::string& password,
                                         const std::string& server, CPop3Probe::Done done,
                                         const ProbeOptions& options = {});
