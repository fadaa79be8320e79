#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "protocol/MailDialogue.h"
#include "protocol/ProbeOptions.h"
#include "protocol/ProbeOutcome.h"
#include "protocol/ServerAddress.h"

class CConnectionRace;
class QHostInfo;
class QTcpSocket;

// One running probe of one mailbox, whatever the protocol: it resolves the server, connects
// (plain, TLS, or plain then upgraded as the dialogue asks), lets the protocol's dialogue hold the
// conversation within the connect, idle and whole-probe limits, and reports the outcome once, from
// the event loop. Destroying it abandons the probe without a report.
class CMailProbe : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const ProbeOutcome&)>;
    // Makes the protocol's dialogue; `upgradeToTls` when the server field asks for plain text
    // upgraded to TLS.
    using MakeDialogue = std::function<std::unique_ptr<IMailDialogue>(bool upgradeToTls)>;

    // A server field that names no server of `protocol` connects nowhere.
    CMailProbe(MailProtocol protocol, const std::string& server, const MakeDialogue& makeDialogue,
               const ProbeOptions& options, Done done);
    ~CMailProbe() override;

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
    void GiveUp();
    void Send(const std::string& bytes);
    void DropRace();
    void DropSocket();
    void Finish(int result);

    ProbeOptions m_options;
    std::optional<ServerAddress> m_address;  // nothing for a field naming no server to ask
    std::unique_ptr<IMailDialogue> m_dialogue;
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
