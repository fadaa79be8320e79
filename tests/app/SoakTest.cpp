#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "tests/app/SoakRig.h"

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) {
        all += line + '\n';
    }
    return all;
}

// Half a minute of the whole program checking fifty mailboxes, good and hostile, as fast as their
// timers allow. The same run, longer, is the soak benchmark.
TEST(SoakTest, FiftyAccountsKeepOneProbeAtATimeAndTheTrayTrueToTheLastResults) {
    SoakRig rig;
    const SoakReport report = rig.Run(std::chrono::seconds(25));

    std::cout << "probes " << report.probes << " in " << report.seconds << " s, most at once "
              << report.mostAtOnce << ", per account " << report.fewestProbesOfAnAccount << "-"
              << report.mostProbesOfAnAccount << ", longest unprobed at the end " << report.oldestLastProbeMs
              << " ms, RSS " << report.rssKb.front() << " -> " << report.rssKb.back() << " kB, heap "
              << report.heapKb.front() << " -> " << report.heapKb.back() << " kB\n";
    EXPECT_TRUE(report.faults.empty()) << Lines(report.faults);
    EXPECT_EQ(report.accounts, 50);
    EXPECT_EQ(report.enabled, 48);
    // Every account came round again, not just once at the start.
    EXPECT_GE(report.fewestProbesOfAnAccount, 2);
}

}  // namespace
