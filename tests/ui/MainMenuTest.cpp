#include <gtest/gtest.h>

#include <QMenu>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include "accounts/CAccountList.h"
#include "alerts/MailNotices.h"
#include "app/HelpLauncher.h"
#include "app/LoginStartEntry.h"
#include "res/Strings.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenModal.h"
#include "ui/MainMenu.h"

namespace {

class MainMenuTest : public ::testing::Test {
protected:
    MainMenuTest() { UsePrivateSettings(dir.file("config"), QStringLiteral("quillpost-test")); }

    QAction* Item(const char* text) {
        for (QAction* action : window.findChild<QMenu*>("IDR_MAIN_MENU")->actions()) {
            if (action->text() == Str::Text(text)) {
                return action;
            }
        }
        ADD_FAILURE() << "no item " << text;
        return nullptr;
    }

    TempDir dir;
    QWidget window;
    CAccountList accounts;
    RecordingNotifier notifier;
    CMailNotices notices{accounts, &notifier};
};

TEST_F(MainMenuTest, NotifyIsOnByDefaultOnlyWithoutATrayAndWrittenOnEveryClick) {
    {
        CMainMenu withTray(&window, notices, nullptr, true);
        EXPECT_FALSE(Item(Str::kNotifyMenuItem)->isChecked());
        EXPECT_FALSE(notices.IsEnabled());
        EXPECT_FALSE(QSettings().contains("Notify"));  // a default is not written
        Item(Str::kNotifyMenuItem)->trigger();
        EXPECT_EQ(QSettings().value("Notify").toInt(), 1);
        EXPECT_TRUE(notices.IsEnabled());
        Item(Str::kNotifyMenuItem)->trigger();
        EXPECT_EQ(QSettings().value("Notify").toInt(), 0);
        EXPECT_FALSE(notices.IsEnabled());
    }
    {
        CMainMenu keptOff(&window, notices, nullptr, false);  // a stored choice holds without a tray too
        EXPECT_FALSE(Item(Str::kNotifyMenuItem)->isChecked());
        EXPECT_FALSE(notices.IsEnabled());
    }
    QSettings().remove("Notify");
    CMainMenu noTray(&window, notices, nullptr, false);
    EXPECT_TRUE(Item(Str::kNotifyMenuItem)->isChecked());
    EXPECT_TRUE(notices.IsEnabled());
}

TEST_F(MainMenuTest, F1OnAnItemOpensThatItemsTopic) {
    QStringList fragments;
    CHelpLauncher help(dir.file("quillpost.html"), [&](const QUrl& url) {
        fragments << url.fragment();
        return true;
    });
    dir.write("quillpost.html", "<html></html>");
    qApp->installEventFilter(&help);
    window.setProperty("helpContext", 0x20066);
    CXdgAutostartEntry entry(dir.file("config"), "/usr/bin/quillpost");
    CMainMenu menu(&window, notices, &entry, true);
    window.show();
    WhenMenu([](QMenu* shown) {
        QTest::keyClick(shown, Qt::Key_F1);  // nothing highlighted: the window's topic
        for (int item = 0; item < 4; ++item) {
            QTest::keyClick(shown, Qt::Key_Down);
            QTest::keyClick(shown, Qt::Key_F1);
        }
        shown->close();
    });
    menu.Popup(window.mapToGlobal(QPoint(10, 10)));
    qApp->removeEventFilter(&help);
    EXPECT_EQ(fragments,
              (QStringList{"ctx-0x20066", "ctx-0x10010", "ctx-0x18003", "ctx-0x18004", "ctx-0x18005"}));
}

}  // namespace
