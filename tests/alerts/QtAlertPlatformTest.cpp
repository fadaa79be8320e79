// The real alert platform on a machine without any sound server, and its "play" and "open".
#include <gtest/gtest.h>

#include <algorithm>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSoundEffect>
#include <QTest>
#include <QUrl>

#include "alerts/Alerts.h"
#include "alerts/QtAlertPlatform.h"
#include "tests/alerts/Tones.h"
#include "tests/support/PostedEvents.h"
#include "tests/support/TempDir.h"

namespace {

// Point the sound library at a server that does not exist, so this runs as on a machine without
// sound whatever this machine has (it also keeps the library from starting a server of its own).
const bool kNoSoundServer = qputenv("PULSE_SERVER", "unix:/nonexistent/quillpost-test/native");

// Counts the default sounds instead of ringing the bell.
class CountingPlatform : public CQtAlertPlatform {
public:
    int defaultSounds = 0;

protected:
    void PlayDefaultSound() override { ++defaultSounds; }
};

// Takes the desktop's "open" of local files, so that no real application starts.
class FileUrlCatcher : public QObject {
    Q_OBJECT
public:
    FileUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~FileUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    Q_INVOKABLE void Open(const QUrl& url) { opened << url; }
    QList<QUrl> opened;
};

class QtAlertPlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kNoSoundServer);
        dir.write("tone.wav", ToneWav(440, 0.2));
        dir.write("noname", ToneWav(440, 0.2));
        dir.write("tone.au", ToneAu(440, 0.2));
        dir.write("broken.wav", "RIFF, but nothing after it");
        dir.write("letter.txt", "Dear user,\n");
    }

    // A shell script that leaves the file `marker` in the temporary folder.
    QString Script(const QString& name, bool executable = true, const QString& marker = "ran") {
        dir.write(name, "#!/bin/sh\necho ran > '" + dir.file(marker).toUtf8() + "'\n");
        if (executable) {
            QFile::setPermissions(dir.file(name), QFile::permissions(dir.file(name)) | QFile::ExeOwner);
        }
        return dir.file(name);
    }
    // Qt loads sound files on a thread of its own; a process that ends while a load is under way
    // leaks it, so every test lets loads finish.
    void TearDown() override { EXPECT_TRUE(LoadsFinished()); }

    // Whether every sound the platform has begun to load has loaded or failed (within a while).
    bool LoadsFinished() {
        return QTest::qWaitFor(
            [this] {
                const QList<QSoundEffect*> sounds = platform.findChildren<QSoundEffect*>();
                return std::none_of(sounds.begin(), sounds.end(),
                                    [](QSoundEffect* s) { return s->status() == QSoundEffect::Loading; });
            },
            10000);
    }

    bool ScriptRan(const QString& marker = "ran") {
        return QTest::qWaitFor([this, marker] { return QFile::exists(dir.file(marker)); }, 5000);
    }

    TempDir dir;
    CountingPlatform platform;
    FileUrlCatcher desktop;
};

TEST_F(QtAlertPlatformTest, WithoutASoundServerThereIsNoDeviceAndNothingBreaks) {
    EXPECT_FALSE(platform.HasOutputDevice());

    CAlerts alerts(platform);
    // The alert sound needs a device: not even the default sound for a missing file.
    alerts.PlayAlertSound(dir.file("missing.wav"));
    alerts.PlayAlertSound(dir.file("tone.wav"));
    ASSERT_TRUE(LoadsFinished());
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(platform.defaultSounds, 0);

    // The preview plays anyway (silently here) and can be stopped.
    alerts.PreviewSound(dir.file("tone.wav"));
    alerts.PreviewSound(dir.file("tone.wav"));
    alerts.StopSound();
    ASSERT_TRUE(LoadsFinished());
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_EQ(platform.defaultSounds, 0);
}

TEST_F(QtAlertPlatformTest, ASoundThatCannotBePlayedGivesTheDefaultSound) {
    platform.PlaySound(dir.file("missing.wav"));
    EXPECT_EQ(platform.defaultSounds, 1);
    platform.PlaySound(QString());
    EXPECT_EQ(platform.defaultSounds, 2);
    platform.PlaySound(dir.path());
    EXPECT_EQ(platform.defaultSounds, 3);
    // A file that is there but does not decode is only found out once it has loaded.
    platform.PlaySound(dir.file("broken.wav"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return platform.defaultSounds == 4; }, 5000));
    platform.StopSound();
}

TEST_F(QtAlertPlatformTest, PlayTakesAudioFilesOnly) {
    EXPECT_TRUE(platform.ShellPlay(dir.file("tone.wav")));
    // Known as a wave by its content alone.
    EXPECT_TRUE(platform.ShellPlay(dir.file("noname")));
    // Other audio goes to the media player, which plays nothing here and must not stall.
    EXPECT_TRUE(platform.ShellPlay(dir.file("tone.au")));
    EXPECT_FALSE(platform.ShellPlay(Script("alert.sh")));
    EXPECT_FALSE(platform.ShellPlay(dir.file("letter.txt")));
    EXPECT_FALSE(platform.ShellPlay(dir.file("missing.wav")));
    EXPECT_FALSE(platform.ShellPlay(dir.path()));
    EXPECT_FALSE(platform.ShellPlay(QString()));
    EXPECT_FALSE(QFile::exists(dir.file("ran")));
}

TEST_F(QtAlertPlatformTest, OpenStartsAnExecutableWithoutAShell) {
    // Characters a shell would act on are just part of the name.
    const QString script = Script("run me; touch INJECTED $(touch SUB).sh");
    EXPECT_TRUE(platform.ShellOpen(script));
    EXPECT_TRUE(ScriptRan());
    for (const QString& folder : {dir.path(), QDir::currentPath()}) {
        EXPECT_FALSE(QFile::exists(folder + "/INJECTED"));
        EXPECT_FALSE(QFile::exists(folder + "/SUB"));
    }
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(QtAlertPlatformTest, OpenHandsEverythingElseToTheDesktop) {
    EXPECT_TRUE(platform.ShellOpen(dir.file("letter.txt")));
    EXPECT_TRUE(platform.ShellOpen(Script("not-executable.sh", false)));
    EXPECT_TRUE(platform.ShellOpen(dir.path()));
    EXPECT_EQ(desktop.opened, QList<QUrl>({QUrl::fromLocalFile(dir.file("letter.txt")),
                                           QUrl::fromLocalFile(dir.file("not-executable.sh")),
                                           QUrl::fromLocalFile(dir.path())}));
    // Had the script been run, it would have by the time one started after it has.
    EXPECT_TRUE(platform.ShellOpen(Script("afterwards.sh", true, "afterwards")));
    ASSERT_TRUE(ScriptRan("afterwards"));
    EXPECT_FALSE(QFile::exists(dir.file("ran")));
}

TEST_F(QtAlertPlatformTest, OpenOfNothingDoesNothing) {
    EXPECT_FALSE(platform.ShellOpen(QString()));
    EXPECT_FALSE(platform.ShellOpen(dir.file("missing.exe")));
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(QtAlertPlatformTest, ALaunchPlaysSoundAndStartsPrograms) {
    CAlerts alerts(platform);
    alerts.LaunchFile(nullptr, dir.file("tone.wav"));
    EXPECT_TRUE(desktop.opened.isEmpty());  // played, so not opened as well

    // A program disguised as sound is treated as sound, never run.
    alerts.LaunchFile(nullptr, Script("on-mail.wav"));
    EXPECT_TRUE(desktop.opened.isEmpty());

    // A real program runs; had the disguised one run, it would have by now.
    alerts.LaunchFile(nullptr, Script("on-mail.sh", true, "program ran"));
    EXPECT_TRUE(ScriptRan("program ran"));
    EXPECT_FALSE(QFile::exists(dir.file("ran")));
    EXPECT_TRUE(desktop.opened.isEmpty());

    alerts.LaunchFile(nullptr, dir.file("letter.txt"));
    EXPECT_EQ(desktop.opened, QList<QUrl>({QUrl::fromLocalFile(dir.file("letter.txt"))}));
}

}  // namespace

#include "QtAlertPlatformTest.moc"
