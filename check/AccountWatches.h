#pragma once

#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <map>
#include <memory>

#include "accounts/AccountId.h"
#include "check/ClockJumpDetector.h"
#include "protocol/MailWatch.h"
#include "protocol/ProbeOutcome.h"

// How long an account waits to be tried again after `failures` failed reconnects in a row: 30 s,
// doubling up to 15 minutes, each spread by up to 20 % either way (`random` in [0, 1)), so that
// accounts that failed together do not all come back at the same moment.
std::chrono::milliseconds ReconnectDelay(int failures, double random);

// The connections kept open between checks (IMAP IDLE), at most one per account, and what becomes
// of them. A watch that drops is taken up again at once by a check of its account (which the
// scheduler queues); if that cannot reach the server, it is tried again unseen after
// kQuietRetries; a failure after those shows, and the account is tried again after
// ReconnectDelay (its timer's checks go on meanwhile). IDLE is renewed every kRenewal; when that timer fires
// far later by the wall clock than set, the machine slept, and every watch is checked as after a resume.
class CAccountWatches : public QObject {
    Q_OBJECT

public:
    // Well inside the 29 minutes of RFC 2177, and inside the time after which many routers forget a
    // silent connection.
    static constexpr std::chrono::milliseconds kRenewal{9 * 60 * 1000};
    // After a resume or a network change, how soon a watch must show it is still there.
    static constexpr std::chrono::milliseconds kWakeAnswer{5000};
    // A watch that drops sooner than this after it began, twice in a row, is not taken up again at
    // once: a server or network that drops every watch would have it reconnect without pause.
    static constexpr std::chrono::milliseconds kSteadyLife{60000};
    // A server restarting, or a network coming back, refuses for a moment: a watch whose take-up
    // cannot reach its server is tried again after these pauses, unseen, before the failure shows.
    static constexpr std::array<std::chrono::milliseconds, 2> kQuietRetries{std::chrono::milliseconds(1000),
                                                                            std::chrono::milliseconds(4000)};

    explicit CAccountWatches(CClockJumpDetector::WallClock now = &std::chrono::system_clock::now,
                             QObject* parent = nullptr);
    ~CAccountWatches() override;

    // A check of the account finished with `outcome`; the account shows `shownCount`. A watch the
    // check kept becomes the account's. Returns whether the user is to see the result: not when
    // the check took a dropped watch up again and found the count the account shows.
    bool Settle(AccountId id, const ProbeOutcome& outcome, int shownCount);
    // Counts again over the account's watch; false when it has none.
    bool CountNow(AccountId id);
    // The account's watch ends (with LOGOUT), and the account is no longer taken up again.
    void End(AccountId id);
    void EndAll();
    // After a resume or a network change: every watch must answer within kWakeAnswer, and the
    // accounts waiting to be tried again are tried now.
    void CheckAll();

signals:
    // A count over the account's watch.
    void counted(AccountId id, const ProbeOutcome& outcome);
    // The account is to be checked now, to take its watch up again.
    void checkDue(AccountId id);

private:
    struct Entry {
        std::shared_ptr<IMailWatch> watch;  // none while it is being taken up again
        std::chrono::steady_clock::time_point since;
        int quickDrops = 0;              // in a row, each sooner than kSteadyLife after its watch began
        int failures = 0;                // failed reconnects in a row
        bool takingUp = false;           // dropped, and the user was shown nothing since
        std::size_t quietRetries = 0;    // of kQuietRetries, used since it dropped
        std::unique_ptr<QObject> retry;  // while a retry waits: the context of its timer
    };

    void Adopt(AccountId id, Entry& entry, std::shared_ptr<IMailWatch> watch);
    void OnEnded(AccountId id, IMailWatch::End end);
    void RetryLater(AccountId id, Entry& entry, std::chrono::milliseconds delay);
    void OnRenewal();

    std::map<AccountId, Entry> m_entries;
    QTimer m_renewal;
    CClockJumpDetector m_jumps;
};
