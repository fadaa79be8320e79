// Loading and saving ACCOUNT.CSV with 10,000 accounts (target: under 20 ms each), and the text
// format alone, to tell file system time from parsing time.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "accounts/AccountCsv.h"
#include "accounts/AccountFile.h"

namespace {

constexpr int kAccounts = 10'000;

// Accounts with every field filled, about 150 bytes a line.
CAccountList TypicalAccounts(int count) {
    CAccountList list;
    for (int i = 0; i < count; ++i) {
        CAccount a;
        a.m_strUser = "someone." + std::to_string(i);
        a.m_strPassword = "correct-horse-" + std::to_string(i * 7919);
        a.m_strServer = "pop3s://mail" + std::to_string(i % 13) + ".example.org:995";
        a.m_nInterval = 300;
        a.m_bSound = 1;
        a.m_nSoundMode = 1;
        a.m_strSoundFile = "/home/someone/sounds/new-mail.wav";
        a.m_bLaunch = i % 2;
        a.m_strLaunchFile = "/usr/bin/thunderbird";
        a.m_strIconFile = "/home/someone/icons/mail.svg";
        a.m_bEnabled = 1;
        list.AddTail(a);
    }
    return list;
}

void BM_SaveAccounts(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ACCOUNT.CSV");
    const CAccountList list = TypicalAccounts(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!SaveAccounts(path, list)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveAccounts)->Arg(kAccounts)->Unit(benchmark::kMillisecond);

void BM_LoadAccounts(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ACCOUNT.CSV");
    if (!SaveAccounts(path, TypicalAccounts(static_cast<int>(state.range(0))))) {
        state.SkipWithError("cannot write the file to load");
        return;
    }
    for (auto _ : state) {
        CAccountList list;
        LoadAccounts(path, list);
        benchmark::DoNotOptimize(list.GetCount());
        if (list.GetCount() != state.range(0)) {
            state.SkipWithError("loaded the wrong number of accounts");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadAccounts)->Arg(kAccounts)->Unit(benchmark::kMillisecond);

void BM_ParseAccountFile(benchmark::State& state) {
    const std::string text = FormatAccountFile(TypicalAccounts(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        CAccountList list;
        ParseAccountFile(text, list);
        benchmark::DoNotOptimize(list.GetCount());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseAccountFile)->Arg(kAccounts)->Unit(benchmark::kMillisecond);

void BM_FormatAccountFile(benchmark::State& state) {
    const CAccountList list = TypicalAccounts(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatAccountFile(list));
    }
}
BENCHMARK(BM_FormatAccountFile)->Arg(kAccounts)->Unit(benchmark::kMillisecond);

}  // namespace
