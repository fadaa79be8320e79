#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

class QTcpSocket;

// Connects to whichever of a name's addresses answers first, as RFC 8305 ("Happy Eyeballs")
// describes, so that a dead first address never hides a working one: the addresses are tried in
// the order given; when an attempt has not completed within the delay, the next one starts beside
// it; when one fails, the next starts at once. The first attempt to complete (its TLS handshake
// included, for TLS from the first byte) wins and every other is dropped. It sets no time limit of
// its own.
class CConnectionRace : public QObject {
    Q_OBJECT

public:
    struct Target {
        QList<QHostAddress> addresses;
        quint16 port = 0;
        // For TLS from the first byte: the name the certificate must carry. Empty: plain TCP.
        QString tlsPeerName;
    };
    // Makes one attempt's socket, not yet connecting: a QSslSocket when `tlsPeerName` is set.
    using MakeSocket = std::function<QTcpSocket*()>;

    CConnectionRace(Target target, MakeSocket makeSocket, std::chrono::milliseconds nextAttemptDelay,
                    QObject* parent);
    ~CConnectionRace() override;

    // Starts the first attempt. Won or Lost may be emitted before it returns.
    void Start();
    // Gives the race up at once: every attempt is closed now, so that none can still complete
    // (even in this same pass of the event loop) and be left connected with nobody to own it.
    void Abandon();

signals:
    // The winning socket, connected; it is no longer the race's (its parent is cleared).
    void Won(QTcpSocket* socket);
    // Every address failed.
    void Lost();

private:
    void StartNextAttempt();
    void OnAttemptCompleted(QTcpSocket* socket);
    void OnAttemptFailed(QTcpSocket* socket);
    void Drop(QTcpSocket* socket);

    Target m_target;
    MakeSocket m_makeSocket;
    QTimer m_nextAttemptTimer;
    std::vector<QTcpSocket*> m_attempts;  // children, still connecting
    bool m_over = false;
};
