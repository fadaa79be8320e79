#pragma once
// The check scheduler with recording parts around it, and a complete account to feed it.

#include "accounts/CAccountList.h"
#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "tests/support/ManualProber.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"

inline CAccount CompleteAccount(const char* user, int enabled = 1, int interval = 60,
                                const char* server = "127.0.0.1") {
    CAccount a;
    a.m_strUser = user;
    a.m_strPassword = "pw";
    a.m_strServer = server;
    a.m_nInterval = interval;
    a.m_bEnabled = enabled;
    return a;
}

struct SchedulerRig {
    CAccountList accounts;
    RecordingTray tray;
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
    ManualProber prober;
    CCheckScheduler scheduler{accounts, tray, alerts, prober};
};
