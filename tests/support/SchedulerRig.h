#pragma once
// The check scheduler with recording parts around it.

#include "accounts/CAccountList.h"
#include "alerts/Alerts.h"
#include "check/CheckScheduler.h"
#include "tests/support/ManualProber.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"

struct SchedulerRig {
    CAccountList accounts;
    RecordingTray tray;
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
    ManualProber prober;
    CCheckScheduler scheduler{accounts, tray, alerts, prober};
};
