#pragma once

#include <QString>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "accounts/CAccount.h"
#include "protocol/MailProber.h"
#include "tests/servers/DovecotServer.h"
#include "tests/servers/ScriptedPop3Server.h"
#include "tests/support/CountingProber.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"
#include "tests/support/TempDir.h"

class InspectableMainDlg;

// What a soak run saw. `faults` lists every broken expectation in words; empty means sound.
struct SoakReport {
    int accounts = 0;
    int enabled = 0;
    double seconds = 0;
    long long probes = 0;
    int mostAtOnce = 0;
    int fewestProbesOfAnAccount = 0;  // among the enabled ones
    int mostProbesOfAnAccount = 0;
    qint64 oldestLastProbeMs = 0;   // the longest an enabled account had gone unprobed at the end
    std::vector<long long> rssKb;   // sampled once a second
    std::vector<long long> heapKb;  // in use, at the same moments
    std::vector<std::string> faults;
};

// The whole program's logic under load: the main window with the real prober on short time-outs,
// 50 accounts on 1-3 s intervals against a real dovecot (with mail, without, wrong password, TLS,
// two switched off) and scripted servers that close, reset, stay silent, refuse the login or are
// not there at all. A recording tray and alert platform stand in for the desktop.
class SoakRig {
public:
    SoakRig();
    ~SoakRig();

    // Runs the program's event loop for `duration`, then checks what it left.
    SoakReport Run(std::chrono::milliseconds duration);

    static constexpr std::chrono::milliseconds kTimeout{2000};

private:
    struct Planned {
        CAccount account;
        int expected;  // the result each probe of it must give
    };

    void PlanDovecotAccounts();
    void PlanScriptedAccounts();
    void Plan(const std::string& user, const std::string& password, const std::string& server, int interval,
              int expected, int enabled = 1);
    ScriptedPop3Server& Serve(ServerScript script);
    void Sample(SoakReport& report);
    void CheckOutcome(SoakReport& report);
    void CheckEnd(SoakReport& report);

    TempDir m_dir;
    std::unique_ptr<DovecotServer> m_dovecot;
    std::vector<std::unique_ptr<ScriptedPop3Server>> m_scripted;
    std::vector<Planned> m_plan;
    RecordingTray m_tray;
    RecordingAlertPlatform m_platform;
    std::unique_ptr<CMailProber> m_realProber;
    std::unique_ptr<CountingProber> m_prober;
    std::unique_ptr<InspectableMainDlg> m_dlg;
};
