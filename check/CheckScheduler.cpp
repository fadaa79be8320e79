#include "check/CheckScheduler.h"

#include <QPointer>
#include <QTimerEvent>
#include <algorithm>

#include "accounts/AccountText.h"
#include "alerts/Alerts.h"
#include "check/AccountIcon.h"
#include "check/SystemEvents.h"
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
    if (account.m_nTimerId != 0) {
        killTimer(static_cast<int>(account.m_nTimerId));
        account.m_nTimerId = 0;
    }
    std::erase(m_queue, account.m_id);
    if (account.m_id && account.m_id == m_running) {
        m_runningDropped = true;
    }
}

void CCheckScheduler::ForgetAccount(CAccount& account) {
    KillTimerOf(account);
    if (account.m_nLastCount != 0) {
        m_tray.NotifyTray(TrayRequest::Delete, TrayId::ForAccount(account.m_id), {}, {});
    }
    emit accountRemoved(account.m_id);
}

void CCheckScheduler::RemoveAccountIcons() {
    for (const CAccount& account : m_accounts) {
        if (account.m_nLastCount != 0) {
            m_tray.NotifyTray(TrayRequest::Delete, TrayId::ForAccount(account.m_id), {}, {});
        }
    }
}

void CCheckScheduler::AddAccountIcon(const CAccount& account) {
    m_tray.NotifyTray(TrayRequest::Add, TrayId::ForAccount(account.m_id),
                      AccountTrayIcon(DisplayText(account.m_strIconFile)), DisplayText(account.m_strUser));
}

const CAccount* CCheckScheduler::EnabledAccount(AccountId id) const {
    const CAccount* account = m_accounts.Find(id);
    return account != nullptr && account->m_bEnabled == 1 ? account : nullptr;
}

void CCheckScheduler::timerEvent(QTimerEvent* event) {
    OnTimer(event->timerId());
}

void CCheckScheduler::OnTimer(int timerId) {
    emit checkBoxesNeeded();
    const CAccount* account = m_accounts.GetAt(m_accounts.FindByTimerId(static_cast<std::uint32_t>(timerId)));
    if (account != nullptr) {
        Enqueue(account->m_id);
    }
    StartNextProbe();
}

void CCheckScheduler::CheckNow() {
    emit checkBoxesNeeded();
    // An account without a timer is never checked by one either.
    for (const CAccount& account : m_accounts) {
        if (account.m_nTimerId != 0) {
            Enqueue(account.m_id);
        }
    }
    StartNextProbe();
}

void CCheckScheduler::FollowSystemEvents(CSystemEvents* events) {
    if (events != nullptr) {
        connect(events, &CSystemEvents::resumed, this, &CCheckScheduler::OnWakeOrNetworkChange);
        connect(events, &CSystemEvents::networkChanged, this, &CCheckScheduler::OnWakeOrNetworkChange);
    }
}

void CCheckScheduler::Enqueue(AccountId id) {
    if (EnabledAccount(id) == nullptr) {
        return;
    }
    // A slow server delays the next check of its account instead of stacking checks up.
    const bool running = m_running == id && !m_runningDropped;
    if (running || std::find(m_queue.begin(), m_queue.end(), id) != m_queue.end()) {
        return;
    }
    m_queue.push_back(id);
}

void CCheckScheduler::StartNextProbe() {
    while (!m_running && !m_queue.empty()) {
        const AccountId id = m_queue.front();
        m_queue.pop_front();
        const CAccount* account = EnabledAccount(id);
        // Switched off while it waited: the check boxes were read again when the last probe ended.
        if (account == nullptr) {
            continue;
        }
        m_running = id;
        m_runningDropped = false;
        QPointer<CCheckScheduler> self(this);
        m_prober.Start(account->m_strUser, account->m_strPassword, account->m_strServer,
                       [self, id](const ProbeOutcome& outcome) {
                           if (self) {
                               self->OnProbeDone(id, outcome);
                           }
                       });
    }
}

void CCheckScheduler::OnProbeDone(AccountId id, const ProbeOutcome& outcome) {
    const bool dropped = m_runningDropped;
    m_running = {};
    m_runningDropped = false;
    // A deleted account is not found: its identity is never given again.
    CAccount* account = dropped ? nullptr : m_accounts.Find(id);
    if (account != nullptr) {
        if (outcome.statLine) {
            emit statLineReceived(*outcome.statLine);
        }
        ApplyResult(*account, outcome.result);
        emit accountsChecked();
    }
    StartNextProbe();
}

void CCheckScheduler::ApplyResult(CAccount& account, int result) {
    const int previous = account.m_nLastCount;
    ApplyToTrayAndAlerts(account, result);
    emit countChanged(account.m_id, previous, account.m_nLastCount);
}

void CCheckScheduler::ApplyToTrayAndAlerts(CAccount& account, int result) {
    if (result <= 0) {
        m_tray.NotifyTray(TrayRequest::Delete, TrayId::ForAccount(account.m_id), {}, {});
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
    AddAccountIcon(account);
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
