#include "tests/app/SoakRig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <stdexcept>

#include "accounts/AccountFile.h"
#include "check/TrayNotifier.h"
#include "protocol/ProbeOutcome.h"
#include "res/Strings.h"
#include "tests/support/InspectableMainDlg.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/ProcessMemory.h"
#include "tests/support/TestAccount.h"
#include "ui/CMainDlg.h"

namespace {

const QByteArray kGreeting = "+OK ready\r\n";

std::string Numbered(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

// A loopback port that nothing listens on: the connection is refused at once.
quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

std::string At(quint16 port) {
    return "127.0.0.1:" + std::to_string(port);
}

void Fault(SoakReport& report, const std::string& user, const std::string& what) {
    report.faults.push_back(user + ": " + what);
}

int MainIconFor(int result) {
    return result > 0 ? IconId::kMail : result == 0 ? IconId::kNoMail : IconId::kError;
}

}  // namespace

SoakRig::SoakRig() {
    UsePrivateSettings(m_dir.file("config"), QStringLiteral("quillpost-soak"));

    PlanDovecotAccounts();
    PlanScriptedAccounts();
    CAccountList list;
    for (const Planned& planned : m_plan) {
        list.AddTail(planned.account);
    }
    if (!SaveAccounts(m_dir.file("ACCOUNT.CSV"), list)) {
        throw std::runtime_error("cannot write the soak's account file");
    }

    ProbeOptions options;
    options.connectTimeout = kTimeout;
    options.idleTimeout = kTimeout;
    options.extraCaCertificates = {m_dovecot->Certificate().certificate};
    m_realProber = std::make_unique<CMailProber>(options);
    m_prober = std::make_unique<CountingProber>(*m_realProber);
}

// The window goes before the probers it uses.
SoakRig::~SoakRig() {
    m_dlg.reset();
}

void SoakRig::Plan(const std::string& user, const std::string& password, const std::string& server,
                   int interval, int expected, int enabled) {
    m_plan.push_back(
        {TestAccount{
             .user = user, .password = password, .server = server, .interval = interval, .enabled = enabled},
         expected});
}

void SoakRig::PlanDovecotAccounts() {
    struct Box {
        std::string user;
        int messages;
    };
    std::vector<Box> boxes;
    for (int i = 0; i < 12; ++i) {
        boxes.push_back({Numbered("mail", i), 1 + i % 3});
    }
    for (int i = 0; i < 10; ++i) {
        boxes.push_back({Numbered("empty", i), 0});
    }
    for (int i = 0; i < 4; ++i) {
        boxes.push_back({Numbered("tls", i), i % 2 == 0 ? 2 : 0});
    }
    for (int i = 0; i < 2; ++i) {
        boxes.push_back({Numbered("off", i), 1});
    }
    std::vector<DovecotServer::User> users;
    for (const Box& box : boxes) {
        users.push_back({box.user, "pw-" + box.user});
    }
    for (int i = 0; i < 4; ++i) {
        users.push_back({Numbered("wrong", i), "right"});
    }
    m_dovecot = std::make_unique<DovecotServer>(users);

    const std::string plain = At(m_dovecot->Pop3Port());
    const std::string tls = "pop3s://" + At(m_dovecot->Pop3sPort());
    int n = 0;
    for (const Box& box : boxes) {
        m_dovecot->SetMessageCount(box.user, box.messages);
        const bool off = box.user.starts_with("off");
        Plan(box.user, "pw-" + box.user, box.user.starts_with("tls") ? tls : plain, 1 + n++ % 3, box.messages,
             off ? 0 : 1);
    }
    for (int i = 0; i < 4; ++i) {
        Plan(Numbered("wrong", i), "wrong", plain, 1 + n++ % 3, ProbeCode::kRefused);
    }
}

ScriptedPop3Server& SoakRig::Serve(ServerScript script) {
    m_scripted.push_back(std::make_unique<ScriptedPop3Server>(std::move(script)));
    return *m_scripted.back();
}

void SoakRig::PlanScriptedAccounts() {
    const std::string closing = At(Serve(ServerScript().Send(kGreeting).Close()).Port());
    const std::string resetting =
        At(Serve(ServerScript::Conversation(kGreeting, {"+OK\r\n"}).AwaitLine().Reset()).Port());
    const std::string silent = At(Serve(ServerScript()).Port());
    const std::string refusing =
        At(Serve(ServerScript::Conversation(kGreeting,
                                            {"+OK\r\n", "-ERR no\r\n", "-ERR who?\r\n", "+OK bye\r\n"})
                     .Close())
               .Port());
    const std::string counting =
        At(Serve(ServerScript::Conversation(kGreeting, {"+OK\r\n", "+OK\r\n", "+OK 5 120\r\n", "+OK bye\r\n"})
                     .Close())
               .Port());
    const std::string absent = At(ClosedPort());

    int n = 0;
    const auto plan = [&](const char* prefix, int count, const std::string& server, int expected) {
        for (int i = 0; i < count; ++i) {
            Plan(Numbered(prefix, i), "pw", server, 1 + n++ % 3, expected);
        }
    };
    plan("closes", 3, closing, ProbeCode::kDialogueBroken);
    plan("resets", 3, resetting, ProbeCode::kDialogueBroken);
    plan("silent", 2, silent, ProbeCode::kDialogueBroken);
    plan("refuses", 3, refusing, ProbeCode::kRefused);
    plan("absent", 3, absent, ProbeCode::kConnectError);
    plan("five", 4, counting, 5);
}

SoakReport SoakRig::Run(std::chrono::milliseconds duration) {
    CMainDlg::Parts parts;
    parts.tray = &m_tray;
    parts.alerts = &m_platform;
    parts.prober = m_prober.get();
    parts.accountFile = m_dir.file("ACCOUNT.CSV");
    m_dlg = std::make_unique<InspectableMainDlg>(parts);
    m_dlg->show();
    m_dlg->OnInitDialog();

    SoakReport report;
    QEventLoop loop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { Sample(report); });
    Sample(report);
    sampler.start(1000);
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
    sampler.stop();
    Sample(report);

    report.seconds = static_cast<double>(m_prober->Clock().elapsed()) / 1000;
    CheckOutcome(report);
    CheckEnd(report);
    return report;
}

// The recorders' histories are dropped as the run goes on: only the program's memory is watched.
void SoakRig::Sample(SoakReport& report) {
    const ProcessMemory now = ProcessMemory::Now();
    report.rssKb.push_back(now.rssKb);
    report.heapKb.push_back(now.heapKb);
    m_tray.calls.clear();
    m_platform.requests.clear();
    m_prober->started.clear();
    for (const auto& server : m_scripted) {
        server->ForgetFinishedSessions();
    }
}

void SoakRig::CheckOutcome(SoakReport& report) {
    const CAccountList& accounts = m_dlg->Accounts();
    report.accounts = accounts.GetCount();
    report.probes = m_prober->finished;
    report.mostAtOnce = m_prober->mostAtOnce;
    report.fewestProbesOfAnAccount = std::numeric_limits<int>::max();
    if (report.mostAtOnce != 1) {
        report.faults.push_back("probes running at once: " + std::to_string(report.mostAtOnce));
    }
    for (int p = 0; p < accounts.GetCount(); ++p) {
        const CAccount& account = *accounts.GetAt(p);
        const Planned& planned = m_plan[static_cast<std::size_t>(p)];
        const CountingProber::Mailbox* box = m_prober->Find(account.m_strUser, account.m_strServer);
        const bool hasIcon = m_tray.icons.contains(TrayId::ForAccount(account.m_id));
        if (account.m_bEnabled != 1) {
            if (box != nullptr || hasIcon) {
                Fault(report, account.m_strUser, "switched off, yet probed or shown");
            }
            continue;
        }
        ++report.enabled;
        if (box == nullptr) {
            Fault(report, account.m_strUser, "never probed");
            continue;
        }
        report.fewestProbesOfAnAccount = std::min(report.fewestProbesOfAnAccount, box->probes);
        report.mostProbesOfAnAccount = std::max(report.mostProbesOfAnAccount, box->probes);
        report.oldestLastProbeMs =
            std::max(report.oldestLastProbeMs, m_prober->Clock().elapsed() - box->lastDoneMs);
        if (box->lastResult != planned.expected || box->resultChanges != 0) {
            Fault(report, account.m_strUser,
                  "result " + std::to_string(box->lastResult) + " (expected " +
                      std::to_string(planned.expected) + "), changed " + std::to_string(box->resultChanges) +
                      " times");
        }
        // Each account waits its turn once per round of the queue: more than two rounds of other
        // probes since its last one means it was passed over.
        if (m_prober->finished - box->lastSequence > 2LL * accounts.GetCount()) {
            Fault(report, account.m_strUser,
                  "not probed for " + std::to_string(m_prober->finished - box->lastSequence) + " probes");
        }
        if (hasIcon != (box->lastResult > 0) || account.m_nLastCount != std::max(box->lastResult, 0)) {
            Fault(report, account.m_strUser, "tray icon or count disagrees with the last result");
        }
    }
    if (m_prober->finished > 0 &&
        (!m_tray.icons.contains(TrayId::kMain) ||
         m_tray.icons[TrayId::kMain].icon.resourceId != MainIconFor(m_prober->lastResult))) {
        report.faults.push_back("the main tray icon disagrees with the last result");
    }
}

// The program's end must still save every account and clear the tray after all this.
void SoakRig::CheckEnd(SoakReport& report) {
    m_dlg->DestroyWindow();
    if (!m_tray.icons.isEmpty()) {
        report.faults.push_back("tray icons left after the end: " + std::to_string(m_tray.icons.size()));
    }
    CAccountList saved;
    LoadAccounts(m_dir.file("ACCOUNT.CSV"), saved);
    if (saved.GetCount() != static_cast<int>(m_plan.size())) {
        report.faults.push_back("accounts saved at the end: " + std::to_string(saved.GetCount()));
        return;
    }
    for (int p = 0; p < saved.GetCount(); ++p) {
        CAccount expected = m_plan[static_cast<std::size_t>(p)].account;
        if (!(*saved.GetAt(p) == expected)) {
            Fault(report, expected.m_strUser, "saved differently at the end");
        }
    }
}
