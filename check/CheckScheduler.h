#pragma once

#include <QByteArray>
#include <QObject>
#include <deque>
#include <limits>

#include "accounts/CAccountList.h"

class CAlerts;
class IProber;
class ITrayNotifier;
struct ProbeOutcome;

// Decides when each account is probed and what the answer does: one timer per account, one probe
// at a time from a queue, results to the tray, the sound and the launch.
class CCheckScheduler : public QObject {
    Q_OBJECT

public:
    CCheckScheduler(CAccountList& accounts, ITrayNotifier& tray, CAlerts& alerts, IProber& prober,
                    QObject* parent = nullptr);
    ~CCheckScheduler() override;

    // At start-up: a timer for every complete account; the others keep timer id 0.
    void StartTimers();
    // A new account gets its timer whether it is complete or not.
    void SetTimerForAdded(CAccount& account);
    // An edited account's timer is replaced by one at its (new) interval.
    void RenewTimer(CAccount& account);
    // A deleted account's timer stops.
    void KillTimerOf(CAccount& account);
    // After the account at `position` (with last count `lastCount`) left the list: its tray icon
    // goes, and the icons of the accounts after it move to their new ids.
    void OnAccountRemoved(int position, int lastCount);
    // At the end: every account's tray icon goes.
    void RemoveAccountIcons();

    // A timer fired: queue a probe of the account holding it, when that account is enabled.
    void OnTimer(int timerId);
    // Every enabled account's timer as if it fired now, head to tail; the timers keep their rhythm.
    void CheckNow();

    // Longest a timer may be set to: its milliseconds must fit in an int.
    static constexpr int kMaxIntervalSeconds = std::numeric_limits<int>::max() / 1000;

signals:
    // Before a check: the window copies its check boxes into the accounts.
    void checkBoxesNeeded();
    // After a result was applied: the window shows the new counts.
    void accountsChecked();
    // The server's answer of a probe (POP3's STAT reply, IMAP's STATUS), for the status line.
    void statLineReceived(const QByteArray& line);
    // A check moved the count of the account at `position` from `previous` to `count` (0 after
    // an error too).
    void countChanged(int position, int previous, int count);
    // The account at `position` left the list.
    void accountRemoved(int position);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::uint32_t StartTimerFor(const CAccount& account);
    // Queues a probe of the account holding this timer unless one is queued or running already.
    void Enqueue(std::uint32_t timerId);
    void StartNextProbe();
    void OnProbeDone(std::uint32_t timerId, const ProbeOutcome& outcome);
    void ApplyResult(int position, int result);
    void ApplyToTrayAndAlerts(int position, int result);
    void AddAccountIcon(int position, const CAccount& account);
    // The account holding this timer, when there is one and it is switched on.
    const CAccount* EnabledAccountOf(std::uint32_t timerId) const;

    CAccountList& m_accounts;
    ITrayNotifier& m_tray;
    CAlerts& m_alerts;
    IProber& m_prober;
    std::deque<std::uint32_t> m_queue;  // timer ids of the accounts waiting for their probe
    std::uint32_t m_running = 0;        // timer id of the account being probed, 0 when none
    // The running probe's timer was killed: Qt may already have handed its id to another
    // account's timer, so the result belongs to nobody.
    bool m_runningOrphaned = false;
};
