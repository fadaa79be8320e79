#include "check/CheckScheduler.h"

#include <QPointer>
#include <QTimerEvent>
#include <algorithm>

#include "accounts/AccountText.h"
#include "alerts/Alerts.h"
#include "check/AccountIcon.h"
#include "check/TrayNotifier.h"
#include "protocol/Prober.h"
#include "res/Strings.h"

namespace {

// Whether an alert with this on/off flag and mode goes off for a count that follows `lastCount`.
bool AlertDue(int enabled, int mode, int lastCount, int count) {
    return enabled == 1 && (mode == 0 || (mode == 1 && lastCount < count));
}

}  // namespace

CCheckScheduler::CCheckScheduler(CAccountList& accounts, ITrayNotifier& tray, CAlerts& alerts,
                                 IProber& prober, QObject* parent)
    : QObject(parent), m_accounts(accounts), m_tray(tray), m_alerts(alerts), m_prober(prober) {}

CCheckScheduler::~CCheckScheduler() = default;

std::uint32_t CCheckScheduler::StartTimerFor(const CAccount& account) {
    // The dialog keeps intervals in range; a value from an edited file is clamped to what a timer takes.
    const int seconds = std::clamp(account.m_nInterval, 1, kMaxIntervalSeconds);
    const int id = startTimer(seconds * 1000);
    return id > 0 ? static_cast<std::uint32_t>(id) : 0;
}

void CCheckScheduler::StartTimers() {
    for (CAccount& account : m_accounts) {
        if (account.IsComplete()) {
            account.m_nTimerId = StartTimerFor(account);
        }
    }
}

void CCheckScheduler::SetTimerForAdded(CAccount& account) {
    account.m_nTimerId = StartTimerFor(account);
}

void CCheckScheduler::RenewTimer(CAccount& account) {
    KillTimerOf(account);
    account.m_nTimerId = StartTimerFor(account);
}

void CCheckScheduler::KillTimerOf(CAccount& account) {
    if (account.m_nTimerId == 0) {
        return;
    }
    killTimer(static_cast<int>(account.m_nTimerId));
    if (account.m_nTimerId == m_running) {
        m_runningOrphaned = true;
    }
    // A queued check of this timer has no account to go to any more.
    std::erase(m_queue, account.m_nTimerId);
    account.m_nTimerId = 0;
}

void CCheckScheduler::OnAccountRemoved(int position, int lastCount) {
    emit accountRemoved(position);
    if (lastCount != 0) {
        m_tray.NotifyTray(TrayRequest::Delete, TrayId::kFirstAccount + position, {}, {});
    }
    // Every later account moved up one place: its icon follows it to its new id.
    for (int p = position; p < m_accounts.GetCount(); ++p) {
        const CAccount& account = *m_accounts.GetAt(p);
        if (account.m_nLastCount == 0) {
            continue;
        }
        m_tray.NotifyTray(TrayRequest::Delete, TrayId::kFirstAccount + p + 1, {}, {});
        AddAccountIcon(p, account);
    }
}

void CCheckScheduler::RemoveAccountIcons() {
    for (int position = 0; position < m_accounts.GetCount(); ++position) {
        if (m_accounts.GetAt(position)->m_nLastCount != 0) {
            m_tray.NotifyTray(TrayRequest::Delete, TrayId::kFirstAccount + position, {}, {});
        }
    }
}

void CCheckScheduler::AddAccountIcon(int position, const CAccount& account) {
    m_tray.NotifyTray(TrayRequest::Add, TrayId::kFirstAccount + position,
                      AccountTrayIcon(DisplayText(account.m_strIconFile)), DisplayText(account.m_strUser));
}

const CAccount* CCheckScheduler::EnabledAccountOf(std::uint32_t timerId) const {
    const CAccount* account = m_accounts.GetAt(m_accounts.FindByTimerId(timerId));
    return account != nullptr && account->m_bEnabled == 1 ? account : nullptr;
}

void CCheckScheduler::timerEvent(QTimerEvent* event) {
    OnTimer(event->timerId());
}

void CCheckScheduler::OnTimer(int timerId) {
    emit checkBoxesNeeded();
    Enqueue(static_cast<std::uint32_t>(timerId));
    StartNextProbe();
}

void CCheckScheduler::CheckNow() {
    emit checkBoxesNeeded();
    // An account without a timer is never checked by one either.
    for (const CAccount& account : m_accounts) {
        if (account.m_nTimerId != 0) {
            Enqueue(account.m_nTimerId);
        }
    }
    StartNextProbe();
}

void CCheckScheduler::Enqueue(std::uint32_t timerId) {
    if (EnabledAccountOf(timerId) == nullptr) {
        return;
    }
    // A slow server delays the next check of its account instead of stacking checks up.
    const bool running = m_running == timerId && !m_runningOrphaned;
    if (running || std::find(m_queue.begin(), m_queue.end(), timerId) != m_queue.end()) {
        return;
    }
    m_queue.push_back(timerId);
}

void CCheckScheduler::StartNextProbe() {
    while (m_running == 0 && !m_queue.empty()) {
        const std::uint32_t id = m_queue.front();
        m_queue.pop_front();
        const CAccount* account = EnabledAccountOf(id);
        // Switched off while it waited: the check boxes were read again when the last probe ended.
        if (account == nullptr) {
            continue;
        }
        m_running = id;
        m_runningOrphaned = false;
        QPointer<CCheckScheduler> self(this);
        m_prober.Start(account->m_strUser, account->m_strPassword, account->m_strServer,
                       [self, id](const ProbeOutcome& outcome) {
                           if (self) {
                               self->OnProbeDone(id, outcome);
                           }
                       });
    }
}

void CCheckScheduler::OnProbeDone(std::uint32_t timerId, const ProbeOutcome& outcome) {
    const bool orphaned = m_runningOrphaned;
    m_running = 0;
    m_runningOrphaned = false;
    // A deleted or re-timed account no longer holds the timer, and its result is dropped.
    const int position = orphaned ? -1 : m_accounts.FindByTimerId(timerId);
    if (position >= 0) {
        if (outcome.statLine) {
            emit statLineReceived(*outcome.statLine);
        }
        ApplyResult(position, outcome.result);
        emit accountsChecked();
    }
    StartNextProbe();
}

void CCheckScheduler::ApplyResult(int position, int result) {
    CAccount& account = *m_accounts.GetAt(position);
    const int previous = account.m_nLastCount;
    ApplyToTrayAndAlerts(position, result);
    emit countChanged(position, previous, account.m_nLastCount);
}

void CCheckScheduler::ApplyToTrayAndAlerts(int position, int result) {
    CAccount& account = *m_accounts.GetAt(position);
    if (result <= 0) {
        m_tray.NotifyTray(TrayRequest::Delete, TrayId::kFirstAccount + position, {}, {});
        if (result == 0) {
            m_tray.NotifyTray(TrayRequest::Modify, TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail),
                              Str::Text(Str::kNoMail));
        } else {
            const bool connectionFailed =
                result == ProbeCode::kConnectError || result == ProbeCode::kDialogueBroken;
            m_tray.NotifyTray(TrayRequest::Modify, TrayId::kMain, TrayIcon::Builtin(IconId::kError),
                              Str::Text(connectionFailed ? Str::kConnectError : Str::kLoginError));
        }
        m_alerts.StopSound();
        account.m_nLastCount = 0;
        return;
    }
    AddAccountIcon(position, account);
    m_tray.NotifyTray(TrayRequest::Modify, TrayId::kMain, TrayIcon::Builtin(IconId::kMail),
                      QString::asprintf(Str::kMailCount, result));
    if (AlertDue(account.m_bSound, account.m_nSoundMode, account.m_nLastCount, result)) {
        m_alerts.PlayAlertSound(DisplayText(account.m_strSoundFile));
    }
    if (AlertDue(account.m_bLaunch, account.m_nLaunchMode, account.m_nLastCount, result)) {
        m_alerts.LaunchFile(nullptr, DisplayText(account.m_strLaunchFile));
    }
    account.m_nLastCount = result;
}
