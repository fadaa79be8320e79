#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "alerts/Alerts.h"
#include "app/HelpLauncher.h"
#include "check/CheckScheduler.h"
#include "res/Strings.h"
#include "tests/support/ManualProber.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenModal.h"
#include "ui/CAboutDlg.h"
#include "ui/CAccountDlg.h"
#include "ui/CMainDlg.h"
#include "ui/MainMenu.h"

namespace {

class HelpTest : public ::testing::Test {
protected:
    HelpTest() {
        dir.write("quillpost.html", "<html></html>");
        qApp->installEventFilter(&help);
    }
    ~HelpTest() override { qApp->removeEventFilter(&help); }

    QStringList Fragments() const {
        QStringList fragments;
        for (const QUrl& url : opened) {
            fragments << url.fragment();
        }
        return fragments;
    }

    TempDir dir;
    QList<QUrl> opened;
    bool opens = true;
    CHelpLauncher help{dir.file("quillpost.html"), [this](const QUrl& url) {
                           opened << url;
                           return opens;
                       }};
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
};

TEST_F(HelpTest, TopicsAreAnchorsOfThePageBesideTheProgram) {
    const QUrl url = CHelpLauncher::TopicUrl("/opt/qp/quillpost.html", 0x20066);
    EXPECT_EQ(url.toString(), "file:///opt/qp/quillpost.html#ctx-0x20066");
    EXPECT_TRUE(CHelpLauncher::HelpFileForThisProgram().endsWith(
        QFileInfo(QApplication::applicationFilePath()).completeBaseName() + ".html"));
}

TEST_F(HelpTest, AnInstalledCopyFindsItsPageInItsDataFolder) {
    TempDir dir;
    QDir(dir.path()).mkpath("usr/bin");
    QDir(dir.path()).mkpath("usr/share/quillpost");
    const QString program = dir.file("usr/bin/quillpost");
    EXPECT_EQ(CHelpLauncher::HelpFileFor(program),
              dir.file("usr/bin/quillpost.html"));  // nothing installed yet
    dir.write("usr/share/quillpost/quillpost.html", "<html></html>");
    EXPECT_EQ(CHelpLauncher::HelpFileFor(program), dir.file("usr/share/quillpost/quillpost.html"));
    dir.write("usr/bin/quillpost.html", "<html></html>");
    EXPECT_EQ(CHelpLauncher::HelpFileFor(program), dir.file("usr/bin/quillpost.html"));  // beside comes first
}

TEST_F(HelpTest, F1InADialogOpensItsTopicButNotWithModifiers) {
    CAccountDlg settings(alerts);
    settings.show();
    auto* user = settings.findChild<QLineEdit*>("IDC_USER");
    for (Qt::KeyboardModifier modifier : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(user, Qt::Key_F1, modifier);
    }
    EXPECT_TRUE(opened.isEmpty());
    QTest::keyClick(user, Qt::Key_F1);
    CAboutDlg about;
    about.show();
    QTest::keyClick(about.findChild<QPushButton*>("IDOK"), Qt::Key_F1);
    EXPECT_EQ(Fragments(), (QStringList{"ctx-0x20083", "ctx-0x20064"}));
    EXPECT_EQ(opened.first().toLocalFile(), dir.file("quillpost.html"));
}

TEST_F(HelpTest, F1InAMessageBoxOpensTheTopicOfItsText) {
    CAccountDlg settings(alerts);
    settings.m_nInterval = 60;
    settings.show();
    settings.findChild<QLineEdit*>("IDC_INTERVAL")->setText("x");
    WhenModal<QMessageBox>([](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_F1);
        box->button(QMessageBox::Ok)->click();
    });
    settings.findChild<QPushButton*>("IDOK")->click();
    EXPECT_EQ(Fragments(), QStringList{"ctx-0x3f110"});
}

TEST_F(HelpTest, AWindowWithoutATopicUsesItsOwners) {
    CAccountDlg settings(alerts);
    settings.show();
    QDialog chooser(&settings);  // e.g. the open-file dialog
    chooser.show();
    QTest::keyClick(&chooser, Qt::Key_F1);
    EXPECT_EQ(Fragments(), QStringList{"ctx-0x20083"});
}

TEST_F(HelpTest, AHelpPageThatCannotBeOpenedIsReported) {
    CAccountDlg settings(alerts);
    settings.show();
    opens = false;
    QString message;
    AnswerMessageBox(&message);
    QTest::keyClick(&settings, Qt::Key_F1);
    EXPECT_EQ(message, Str::Text(Str::kHelpFailed));
    EXPECT_EQ(opened.size(), 1);

    // A missing page is reported without asking the desktop (a browser would show an error page).
    opens = true;
    QFile::remove(dir.file("quillpost.html"));
    message.clear();
    AnswerMessageBox(&message);
    QTest::keyClick(&settings, Qt::Key_F1);
    EXPECT_EQ(message, Str::Text(Str::kHelpFailed));
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(HelpTest, F1InTheMainWindowAndItsDeleteQuestionOpensTheMainTopic) {
    UsePrivateSettings(dir.file("config"), QStringLiteral("quillpost-test"));
    RecordingTray tray;
    ManualProber prober;
    CMainDlg::Parts parts{&tray, &platform, &prober, dir.file("ACCOUNT.CSV"), {}, nullptr, nullptr};
    CMainDlg main(parts);
    main.show();
    main.OnInitDialog();
    QTest::keyClick(main.findChild<QWidget*>("IDC_ACCOUNT_LIST"), Qt::Key_F1);
    main.findChild<QPushButton*>("IDC_ADD")->setFocus();
    WhenModal<CAccountDlg>([](CAccountDlg* settings) {
        settings->findChild<QLineEdit*>("IDC_USER")->setText("a");
        settings->findChild<QPushButton*>("IDOK")->click();
    });
    main.OnAdd();
    main.findChild<QTableWidget*>("IDC_ACCOUNT_LIST")->selectRow(0);
    // The question is no text of the string table: its topic is the window's.
    WhenModal<QMessageBox>([](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_F1);
        box->button(QMessageBox::Cancel)->click();
    });
    main.OnDelete();
    EXPECT_EQ(Fragments(), (QStringList{"ctx-0x20066", "ctx-0x20066"}));
}

TEST(HelpPage, HasATopicForEveryContextTheProgramUses) {
    QFile page(QStringLiteral(QUILLPOST_HELP_PAGE));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    const int contexts[] = {0x20000 + 102,
                            0x20000 + CAccountDlg::kTemplateId,
                            0x20000 + CAboutDlg::kTemplateId,
                            0x30000 + Str::kSocketInitFailedId,
                            0x30000 + Str::kEnterIntegerId,
                            0x30000 + Str::kIntervalRangeId,
                            0x30000 + Str::kNoCommaId,
                            0x30000 + Str::kNoControlCharacterId,
                            0x30000 + Str::kNoEdgeBlankId,
                            0x30000 + Str::kUnstorableCharacterId,
                            0x30000 + Str::kReadFailedId,
                            0x30000 + Str::kSaveFailedId,
                            0x30000 + Str::kExitSaveFailedId,
                            CMainMenu::HelpContextOf(CMainMenu::kAboutId),
                            CMainMenu::HelpContextOf(CMainMenu::kNotifyId),
                            CMainMenu::HelpContextOf(CMainMenu::kLoginStartId),
                            CMainMenu::HelpContextOf(CMainMenu::kCheckNowId)};
    for (int context : contexts) {
        const QString fragment = CHelpLauncher::TopicUrl("x", context).fragment();
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(fragment))) << fragment.toStdString();
    }
    EXPECT_TRUE(html.contains(Str::Text(Str::kEnterInteger)));
    EXPECT_TRUE(html.contains(Str::Text(Str::kIntervalRange).arg(CCheckScheduler::kMaxIntervalSeconds)));
    EXPECT_TRUE(html.contains(QStringLiteral("Quillpost " QUILLPOST_VERSION " ")));
}

}  // namespace
