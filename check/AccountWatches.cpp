#include "check/AccountWatches.h"

#include <QRandomGenerator>
#include <algorithm>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kFirstRetry{30 * 1000};
constexpr milliseconds kLongestRetry{15 * 60 * 1000};
constexpr double kJitter = 0.2;

}  // namespace

milliseconds ReconnectDelay(int failures, double random) {
    milliseconds delay = kFirstRetry;
    for (int n = 1; n < failures && delay < kLongestRetry; ++n) {
        delay *= 2;
    }
    const double spread = 1.0 - kJitter + 2 * kJitter * random;
    return milliseconds(
        static_cast<milliseconds::rep>(static_cast<double>(std::min(delay, kLongestRetry).count()) * spread));
}

CAccountWatches::CAccountWatches(CClockJumpDetector::WallClock now, QObject* parent)
    : QObject(parent), m_jumps(std::move(now)) {
    // On time to the second: a coarse timer may fire later than kRenewal, and a late one looks like
    // a resume.
    m_renewal.setTimerType(Qt::PreciseTimer);
    connect(&m_renewal, &QTimer::timeout, this, &CAccountWatches::OnRenewal);
}

CAccountWatches::~CAccountWatches() = default;

bool CAccountWatches::Settle(AccountId id, const ProbeOutcome& outcome, int shownCount) {
    const auto found = m_entries.find(id);
    if (found == m_entries.end() && !outcome.watch) {
        return true;
    }
    Entry& entry = m_entries[id];
    const bool unseen = entry.takingUp && outcome.result >= 0 && outcome.result == shownCount;
    if (outcome.watch) {
        Adopt(id, entry, outcome.watch);
    } else if (outcome.result >= 0) {
        // Back, but the server no longer offers to watch: its timer's checks will do.
        m_entries.erase(id);
    } else if (entry.takingUp && outcome.result != ProbeCode::kRefused &&
               entry.quietRetries < kQuietRetries.size()) {
        RetryLater(id, entry, kQuietRetries.at(entry.quietRetries++));
        return false;
    } else {
        entry.takingUp = false;
        RetryLater(id, entry, ReconnectDelay(++entry.failures, QRandomGenerator::global()->generateDouble()));
    }
    return !unseen;
}

bool CAccountWatches::CountNow(AccountId id) {
    const auto found = m_entries.find(id);
    if (found == m_entries.end() || !found->second.watch) {
        return false;
    }
    found->second.watch->CountNow();
    return true;
}

void CAccountWatches::End(AccountId id) {
    m_entries.erase(id);
}

void CAccountWatches::EndAll() {
    m_entries.clear();
    m_renewal.stop();
}

void CAccountWatches::CheckAll() {
    std::vector<AccountId> due;
    for (auto& [id, entry] : m_entries) {
        if (entry.watch) {
            entry.watch->Renew(kWakeAnswer);
        } else if (entry.retry) {
            entry.retry.reset();
            due.push_back(id);
        }
    }
    for (AccountId id : due) {
        emit checkDue(id);
    }
}

void CAccountWatches::Adopt(AccountId id, Entry& entry, std::shared_ptr<IMailWatch> watch) {
    qCInfo(lcWatch) << "account" << id.value << "watched"
                    << (entry.takingUp || entry.failures > 0 ? "again" : "");
    entry.watch = std::move(watch);
    entry.since = std::chrono::steady_clock::now();
    entry.failures = 0;
    entry.takingUp = false;
    entry.quietRetries = 0;
    entry.retry.reset();
    entry.watch->Follow([this, id](const ProbeOutcome& outcome) { emit counted(id, outcome); },
                        [this, id](IMailWatch::End end) { OnEnded(id, end); });
    if (!m_renewal.isActive()) {
        m_renewal.start(kRenewal);
        m_jumps.TimerStarted(kRenewal);
    }
}

void CAccountWatches::OnEnded(AccountId id, IMailWatch::End end) {
    const auto found = m_entries.find(id);
    if (found == m_entries.end()) {
        return;
    }
    Entry& entry = found->second;
    entry.watch.reset();
    if (end == IMailWatch::End::Refused) {
        qCInfo(lcWatch) << "account" << id.value << "cannot be watched; checked by its timer";
        m_entries.erase(found);
        return;
    }
    const bool quick = std::chrono::steady_clock::now() - entry.since < kSteadyLife;
    entry.quickDrops = quick ? entry.quickDrops + 1 : 0;
    entry.takingUp = true;
    if (entry.quickDrops > 1) {
        RetryLater(id, entry,
                   ReconnectDelay(entry.quickDrops - 1, QRandomGenerator::global()->generateDouble()));
        return;
    }
    qCInfo(lcWatch) << "account" << id.value << "dropped; taking it up again";
    emit checkDue(id);
}

void CAccountWatches::RetryLater(AccountId id, Entry& entry, milliseconds delay) {
    qCInfo(lcWatch) << "account" << id.value << "tried again in" << delay.count() / 1000 << "s";
    // Forgetting the retry (a check that settled it, the account's end) cancels it.
    entry.retry = std::make_unique<QObject>();
    QTimer::singleShot(delay, entry.retry.get(), [this, id] { emit checkDue(id); });
}

void CAccountWatches::OnRenewal() {
    const bool slept = m_jumps.FiredAfterJump();
    m_jumps.TimerStarted(kRenewal);
    if (slept) {
        CheckAll();
        return;
    }
    bool any = false;
    for (auto& [id, entry] : m_entries) {
        if (entry.watch) {
            entry.watch->Renew();
            any = true;
        }
    }
    if (!any) {
        m_renewal.stop();
    }
}
