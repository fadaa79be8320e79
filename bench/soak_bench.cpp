// The soak of the whole program's logic, run for minutes: fifty accounts on 1-3 s intervals
// against dovecot and hostile scripted servers (the rig the CI soak test runs for 25 s).
//
// Usage: soak_bench [seconds = 180]   (prints Markdown; exits 1 when the run broke an expectation)
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tests/app/SoakRig.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 180;

    SoakRig rig;
    const SoakReport report = rig.Run(std::chrono::seconds(seconds));

    const auto [lowest, highest] = std::minmax_element(report.rssKb.begin(), report.rssKb.end());
    // The first samples cover start-up (TLS back end, first connections); the flat part follows.
    const long long afterWarmUp = report.rssKb[std::min<std::size_t>(10, report.rssKb.size() - 1)];
    std::printf("| Soak, %.0f s, %d accounts (%d on) | measured |\n|---|---|\n", report.seconds,
                report.accounts, report.enabled);
    std::printf("| probes done | %lld |\n", report.probes);
    std::printf("| most probes running at once | %d |\n", report.mostAtOnce);
    std::printf("| probes per account (fewest-most) | %d-%d |\n", report.fewestProbesOfAnAccount,
                report.mostProbesOfAnAccount);
    std::printf("| longest an account was unprobed at the end | %.1f s |\n",
                static_cast<double>(report.oldestLastProbeMs) / 1000);
    std::printf("| RSS at start / after 10 s / at end (kB) | %lld / %lld / %lld |\n", report.rssKb.front(),
                afterWarmUp, report.rssKb.back());
    std::printf("| RSS lowest / highest (kB) | %lld / %lld |\n", *lowest, *highest);
    std::printf("| heap in use at start / after 10 s / at end (kB) | %lld / %lld / %lld |\n",
                report.heapKb.front(), report.heapKb[std::min<std::size_t>(10, report.heapKb.size() - 1)],
                report.heapKb.back());
    std::printf("| RSS / heap in use every 30 s (kB) |");
    for (std::size_t i = 0; i < report.rssKb.size(); i += 30) {
        std::printf(" %lld / %lld;", report.rssKb[i], report.heapKb[i]);
    }
    std::printf(" |\n| faults | %zu |\n", report.faults.size());
    for (const std::string& fault : report.faults) {
        std::printf("- %s\n", fault.c_str());
    }
    return report.faults.empty() ? 0 : 1;
}
