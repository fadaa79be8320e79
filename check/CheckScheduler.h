#pragma once

#include <QByteArray>
#include <QObject>
#include <deque>
#include <limits>

#include "accounts/CAccountList.h"

class CAlerts;
class CSystemEvents;
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
    // The account's timer stops; a check of it that waits is dropped, and one that runs is for
    // settings it no longer has, so its result is dropped too.
    void KillTimerOf(CAccount& account);
    // An account about to leave the list: its timer stops, and what it shows (tray icon,
    // notification) goes. The other accounts keep theirs as they are.
    void ForgetAccount(CAccount& account);
    // At the end: every account's tray icon goes.
    void RemoveAccountIcons();

    // A timer fired: queue a probe of the account holding it, when that account is enabled.
    void OnTimer(int timerId);
    // Every enabled account's timer as if it fired now, head to tail; the timers keep their rhythm.
    void CheckNow();

    // The machine's sleep and network news (none when `events` is null) lead to OnWakeOrNetworkChange().
    void FollowSystemEvents(CSystemEvents* events);
    // After a resume from sleep or a change of network. What either can break unseen is a
    // connection kept open between checks; a check opens its own at every tick, so none needs
    // looking at again.
    void OnWakeOrNetworkChange() {}

    // Longest a timer may be set to: its milliseconds must fit in an int.
    static constexpr int kMaxIntervalSeconds = std::numeric_limits<int>::max() / 1000;

signals:
    // Before a check: the window copies its check boxes into the accounts.
    void checkBoxesNeeded();
    // After a result was applied: the window shows the new counts.
    void accountsChecked();
    // The server's answer of a probe (POP3's STAT reply, IMAP's STATUS), for the status line.
    void statLineReceived(const QByteArray& line);
    // A check moved the account's count from `previous` to `count` (0 after an error too).
    void countChanged(AccountId account, int previous, int count);
    // The account is leaving the list.
    void accountRemoved(AccountId account);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::uint32_t StartTimerFor(const CAccount& account);
    // Queues a probe of the account unless one is queued or running already.
    void Enqueue(AccountId id);
    void StartNextProbe();
    void OnProbeDone(AccountId id, const ProbeOutcome& outcome);
    void ApplyResult(CAccount& account, int result);
    void ApplyToTrayAndAlerts(CAccount& account, int result);
    void AddAccountIcon(const CAccount& account);
    // The account with this identity, when it is still in the list and switched on.
    const CAccount* EnabledAccount(AccountId id) const;

    CAccountList& m_accounts;
    ITrayNotifier& m_tray;
    CAlerts& m_alerts;
    IProber& m_prober;
    std::deque<AccountId> m_queue;  // the accounts waiting for their probe
    AccountId m_running;            // the account being probed, none when 0
    // The running probe's account was edited or deleted since: its result belongs to nobody.
    bool m_runningDropped = false;
};
