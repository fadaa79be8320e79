#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "protocol/ProbeOptions.h"
#include "protocol/ProbeOutcome.h"
#include "protocol/ServerAddress.h"
#include "protocol/pop3/Pop3Dialogue.h"

class CConnectionRace;
class QHostInfo;
class QSslSocket;
class QTcpSocket;

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
