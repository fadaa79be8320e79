// The Windows alert platform for real: the wave device query, PlaySound and the shell's verbs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "alerts/Alerts.h"
#include "alerts/WinAlertPlatform.h"
#include "tests/support/TempDir.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

namespace {

class WinAlertPlatformTest : public ::testing::Test {
protected:
    // A batch file that leaves the file "ran" in the temporary folder.
    QString Program(const QString& name) {
        dir.write(name, "@echo ran> \"" + QDir::toNativeSeparators(dir.file("ran")).toLocal8Bit() + "\"\r\n");
        return dir.file(name);
    }
    bool ProgramRan() {
        return QTest::qWaitFor([this] { return QFile::exists(dir.file("ran")); }, 10000);
    }

    TempDir dir;
    CWinAlertPlatform platform;
};

TEST_F(WinAlertPlatformTest, WithoutAWaveDeviceAlertSoundsAreSkippedAndPreviewsDoNotBlock) {
    if (::waveOutGetNumDevs() != 0) {
        GTEST_SKIP() << "this machine has a wave output device";
    }
    EXPECT_FALSE(platform.HasOutputDevice());
    CAlerts alerts(platform);
    alerts.PlayAlertSound(dir.file("missing.wav"));
    // A missing file asks for the default sound; with nothing to play it on, nothing happens.
    alerts.PreviewSound(dir.file("missing.wav"));
    alerts.PreviewSound(QString());
    alerts.StopSound();
    SUCCEED();
}

TEST_F(WinAlertPlatformTest, ALaunchStartsAProgram) {
    const QString program = Program("on mail.cmd");
    CAlerts alerts(platform);
    alerts.LaunchFile(nullptr, program);
    EXPECT_TRUE(ProgramRan());
}

TEST_F(WinAlertPlatformTest, NothingToOpenFails) {
    EXPECT_FALSE(platform.ShellOpen(dir.file("missing.exe")));
    EXPECT_FALSE(platform.ShellPlay(dir.file("missing.wav")));
    EXPECT_FALSE(platform.ShellOpen(QString()));
    EXPECT_FALSE(platform.ShellPlay(QString()));
    // A relative name is not looked up, not even in the working folder where it lies.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QFileInfo(Program("relative.cmd")).path());
    const bool opened = platform.ShellOpen(QStringLiteral("relative.cmd"));
    QDir::setCurrent(previous);
    EXPECT_FALSE(opened);
}

}  // namespace
