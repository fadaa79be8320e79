// The real program in real processes: one running copy per account file, and an orderly end when
// the session ends it. Each copy of the program runs from a folder of its own, so
// its ACCOUNT.CSV lives there, with its runtime, settings and data folders in the test's.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenModal.h"

namespace {

constexpr int kWaitMs = 10000;
// Where copies keep their lock and socket: the runtime folder, on Windows the temporary one.
constexpr const char* kRuntimeVariables[] = {"XDG_RUNTIME_DIR", "TMP", "TEMP"};

class ProgramLifetimeTest : public ::testing::Test {
protected:
    ProgramLifetimeTest() {
        QDir().mkpath(home.file("program"));
        programFile = home.file("program/quillpost");
        accountFile = home.file("program/ACCOUNT.CSV");
        // This process meets the program's copies where they meet each other.
        for (const char* name : kRuntimeVariables) {
            m_runtimeHere.Set(name, runtime.path());
        }
    }

    void SetUp() override { ASSERT_TRUE(QFile::copy(QUILLPOST_PATH, programFile)); }

    ChildProcess& Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.file("config"));
        env.insert("XDG_DATA_HOME", home.file("data"));
        copies.push_back(std::make_unique<ChildProcess>(
            programFile, QStringList(), ChildOptions{.environment = env, .forwardErrors = true}));
        return *copies.back();
    }

    // Answering a second start: by then its signal handling is in place too.
    bool WaitUntilListening() const { return CSingleInstance(accountFile).AskRunningCopyToShow(kWaitMs); }

    QByteArray ReadAccountFile() const { return home.read("program/ACCOUNT.CSV"); }
    void WriteAccountFile(const QByteArray& bytes) const { home.write("program/ACCOUNT.CSV", bytes); }

    TempDir runtime;
    TempDir home;
    QString programFile;
    QString accountFile;
    std::vector<std::unique_ptr<ChildProcess>> copies;

private:
    ScopedEnvironment m_runtimeHere;
};

TEST_F(ProgramLifetimeTest, ASecondStartShowsTheRunningCopyAndEndsWithoutTouchingTheFile) {
    const QByteArray accounts = "taro,pw,popsrv,300,0,0,,0,0,,,1\r\n";
    WriteAccountFile(accounts);
    CSingleInstance running(accountFile);
    ASSERT_TRUE(running.TakeOver());
    QSignalSpy shown(&running, &CSingleInstance::showRequested);

    ChildProcess& second = Start();
    ASSERT_TRUE(second.WaitUntilEnded(kWaitMs)) << "the second copy kept running";
    EXPECT_FALSE(second.Crashed());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(ReadAccountFile(), accounts);
    EXPECT_EQ(QDir(home.file("program")).entryList(QDir::Files), (QStringList{"ACCOUNT.CSV", "quillpost"}));

    // A copy with its own account file elsewhere is not kept out.
    TempDir elsewhere;
    CSingleInstance other(elsewhere.file("ACCOUNT.CSV"));
    EXPECT_TRUE(other.TakeOver());
}

TEST_F(ProgramLifetimeTest, ALockLeftByAKilledCopyDoesNotStopTheNextStart) {
    ChildProcess& killed = Start();
    ASSERT_TRUE(WaitUntilListening());
    killed.Kill();
    ASSERT_FALSE(killed.IsRunning());
    ASSERT_FALSE(QDir(runtime.path()).entryList({"quillpost-*.lock"}, QDir::Files | QDir::Hidden).isEmpty());

    ChildProcess& next = Start();
    ASSERT_TRUE(next.Started());
    CSingleInstance probe(accountFile);
    EXPECT_TRUE(probe.AskRunningCopyToShow(kWaitMs)) << "the next start does not answer";
    EXPECT_TRUE(next.IsRunning()) << "the next start ended";
}

#ifdef _WIN32
TEST(ProgramResources, TheManifestCarriesTheProjectsVersion) {
    const std::wstring exe = QDir::toNativeSeparators(QUILLPOST_PATH).toStdWString();
    const HMODULE program = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    const HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // the manifest
    ASSERT_NE(found, nullptr);
    const QByteArray manifest(static_cast<const char*>(::LockResource(::LoadResource(program, found))),
                              static_cast<qsizetype>(::SizeofResource(program, found)));
    ::FreeLibrary(program);
    EXPECT_TRUE(manifest.contains("\"HALVERN.Quillpost\" version=\"" QUILLPOST_VERSION "."))
        << manifest.toStdString();
}
#endif

// A logout that did not end the program must not leave it believing the session is ending: a
// later "終了" whose save fails would then lose the change without offering to try again.
TEST(SessionEnd, ALogoutEndsWithTheUsersNextActionOrItsCancellation) {
    CSessionEnd end;
    QWidget window;
    window.show();
    end.OnLogoutBegun();
    EXPECT_TRUE(end.IsEnding());
    QTest::mouseClick(&window, Qt::LeftButton);
    EXPECT_FALSE(end.IsEnding());
#ifdef _WIN32
    end.OnLogoutBegun();
    MSG cancelled{nullptr, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, 0, {}};
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG", &cancelled, &result);
    EXPECT_FALSE(end.IsEnding());
#endif
}

// Unix users and folders; on Windows the lock lies in the user's own temporary folder.
#ifndef _WIN32
TEST_F(ProgramLifetimeTest, ALockTakenFirstInASharedFolderKeepsNoCopyOutAndASilentCopyIsReported) {
    QStringList names;
    {
        CSingleInstance learn(accountFile);
        ASSERT_TRUE(learn.TakeOver());
        names = QDir(runtime.path()).entryList({"quillpost-*.lock"}, QDir::Files | QDir::Hidden);
        ASSERT_EQ(names.size(), 1);
    }
    // No runtime folder (su, ssh): another user has taken Qt's fallback folder's name and the lock's
    // name in the shared temporary folder.
    TempDir shared;
    QFile::setPermissions(shared.path(), QFile::Permissions(0x7777));
    shared.write("runtime-" + QString::fromLocal8Bit(getpwuid(geteuid())->pw_name), "");
    TempDir cache;
    ScopedEnvironment noRuntime;
    noRuntime.Set("XDG_RUNTIME_DIR", {}).Set("TMPDIR", shared.path()).Set("XDG_CACHE_HOME", cache.path());
    QLockFile squatter(shared.file(names[0]));
    ASSERT_TRUE(squatter.tryLock(0));

    CSingleInstance running(accountFile);
    EXPECT_TRUE(running.TakeOver());
    CSingleInstance second(accountFile);
    ASSERT_FALSE(second.TakeOver());
    // This process does not answer while it waits: the second start says so and fails.
    QString message;
    AnswerMessageBox(&message);
    EXPECT_EQ(HandOverToRunningCopy(second, accountFile), 1);
    EXPECT_TRUE(message.contains(accountFile)) << message.toStdString();
}

// Unix signals; Windows ends a program through the session manager instead.
TEST_F(ProgramLifetimeTest, TermHangUpAndInterruptEndTheProgramWithTheExitSave) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        // The exit save writes the file as the program writes it: trimmed, the interval corrected.
        WriteAccountFile(" taro ,pw,popsrv,0,0,0,,0,0,,,1\r\n");
        ChildProcess& copy = Start();
        ASSERT_TRUE(WaitUntilListening()) << signal;
        ASSERT_EQ(kill(static_cast<pid_t>(copy.Pid()), signal), 0);
        ASSERT_TRUE(copy.WaitUntilEnded(kWaitMs)) << signal;
        EXPECT_FALSE(copy.Crashed()) << signal;
        EXPECT_EQ(copy.ExitCode(), 0) << signal;
        EXPECT_EQ(ReadAccountFile(), "taro,pw,popsrv,1,0,0,,0,0,,,1\r\n") << signal;
        // The ended copy's socket is gone, so the next round waits for its own.
        ASSERT_TRUE(QDir(runtime.path()).entryList({"quillpost-*.socket"}, QDir::System).isEmpty()) << signal;
    }
}
#endif

}  // namespace
