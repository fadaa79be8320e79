#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

#include "protocol/MailWatch.h"
#include "protocol/imap/ImapWatchDialogue.h"

class QTcpSocket;

// An IMAP connection kept open after a check, watching INBOX with IDLE over its socket: each answer
// the dialogue awaits must come within the answer limit, else the watch has dropped; TCP keep-alive
// is on. Destroying it sends LOGOUT (after DONE where it idles) and closes the connection.
class CImapWatch : public QObject, public IMailWatch {
    Q_OBJECT

public:
    // Takes over `socket`, connected and logged in, where the check's dialogue left it.
    CImapWatch(QTcpSocket* socket, ImapSession session, std::chrono::milliseconds answerLimit);
    ~CImapWatch() override;

    void Follow(Counted counted, Ended ended) override;
    void CountNow() override;
    void Renew(std::optional<std::chrono::milliseconds> answerLimit) override;

private:
    void OnReadyRead();
    void OnConnectionLost();
    // Sends what the dialogue asked for, then reports and times what follows from it.
    void Send(const std::string& bytes);
    void AfterExchange();
    void Close();

    QTcpSocket* m_socket;  // a child
    CImapWatchDialogue m_dialogue;
    std::chrono::milliseconds m_answerLimit;
    std::chrono::milliseconds m_limit;  // for the answers awaited now
    QTimer m_answerTimer;
    Counted m_counted;
    Ended m_ended;
    bool m_following = false;
};
