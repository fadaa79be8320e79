#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QWidget>

#include "accounts/CAccountList.h"
#include "alerts/MailNotices.h"
#include "app/LoginStartEntry.h"
#include "res/Strings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "ui/MainMenu.h"

namespace {

// desktop-file-validate's verdict: empty when the file is valid and draws no warning.
QString Validate(const QString& file) {
    const ChildRun validate = RunChild(QStringLiteral("desktop-file-validate"), {file});
    if (validate.exitCode == -1) {
        return QStringLiteral("desktop-file-validate did not run (scripts/deps.sh installs it)");
    }
    const QString output = QString::fromUtf8(validate.output).trimmed();
    return validate.succeeded ? output : QStringLiteral("failed: ") + output;
}

class LoginStartTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnvironment configHome{"XDG_CONFIG_HOME", dir.file("config")};
};

TEST_F(LoginStartTest, TheMenuItemWritesAValidEntryForThisProgramAndRemovesIt) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the autostart file and desktop-file-validate are the Linux desktop's";
#endif
    UsePrivateSettings(dir.file("settings"), QStringLiteral("quillpost-test"));
    const auto entry = LoginStartForThisProgram();
    QWidget window;
    CAccountList accounts;
    CMailNotices notices{accounts, nullptr};
    CMainMenu menu(&window, notices, entry.get(), true);
    QAction* item = nullptr;
    for (QAction* action : window.findChild<QMenu*>("IDR_MAIN_MENU")->actions()) {
        item = action->text() == Str::Text(Str::kLoginStartMenuItem) ? action : item;
    }
    ASSERT_NE(item, nullptr);
    const QString file = dir.file("config/autostart/quillpost.desktop");
    ASSERT_FALSE(QFile::exists(file));

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(written.readAll()).split('\n');
    EXPECT_TRUE(lines.contains("Exec=" + QApplication::applicationFilePath()));
    EXPECT_TRUE(lines.contains("X-GNOME-Autostart-enabled=true"));
    EXPECT_TRUE(lines.contains("Name=Quillpost"));
    EXPECT_TRUE(lines.contains("Type=Application"));
    EXPECT_EQ(Validate(file), "");

    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(LoginStartTest, OnlyAnEntryThatStartsThisExecutableCountsAndOddPathsAreQuoted) {
#ifndef Q_OS_WIN  // desktop-file-validate is the Linux desktop's
    const QString odd = QStringLiteral("/opt/my apps/100%/\"quill$post\\\"");
    CXdgAutostartEntry entry(dir.file("config"), odd);
    ASSERT_TRUE(entry.SetOn(true));
    EXPECT_TRUE(entry.IsOn());
    EXPECT_EQ(Validate(entry.FilePath()), "");
    EXPECT_EQ(CXdgAutostartEntry::ExecValue(odd), R"("/opt/my apps/100%%/\\"quill\\$post\\\\\\"")");
    EXPECT_FALSE(CXdgAutostartEntry(dir.file("config"), "/usr/bin/quillpost").IsOn());  // another copy's
    // The desktop's own settings switch an entry off without removing it.
    const QByteArray written = dir.read("config/autostart/quillpost.desktop");
    dir.write("config/autostart/quillpost.desktop", written + "Hidden = true\n");
    EXPECT_FALSE(entry.IsOn());
    dir.write("config/autostart/quillpost.desktop",
              QByteArray(written).replace("enabled=true", "enabled=false"));
    EXPECT_FALSE(entry.IsOn());
#endif

    auto runKey = std::make_unique<QSettings>(dir.file("run.ini"), QSettings::IniFormat);
    QSettings* values = runKey.get();
    CRunKeyEntry windows(std::move(runKey), "/c/Program Files/quillpost.exe");
    EXPECT_FALSE(windows.IsOn());
    ASSERT_TRUE(windows.SetOn(true));
    EXPECT_TRUE(windows.IsOn());
    values->setValue("quillpost", "\"C:\\other\\quillpost.exe\"");
    EXPECT_FALSE(windows.IsOn());
    ASSERT_TRUE(windows.SetOn(false));
    EXPECT_FALSE(values->contains("quillpost"));
}

}  // namespace
