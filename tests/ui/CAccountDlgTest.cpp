#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "accounts/CAccount.h"
#include "alerts/Alerts.h"
#include "res/Strings.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/TempDir.h"
#include "tests/support/TemplateLayout.h"
#include "tests/support/WhenModal.h"
#include "ui/CAccountDlg.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"

namespace {

class AccountDlgTest : public ::testing::Test {
protected:
    QLineEdit* Edit(const char* id) { return Find<QLineEdit>(id); }
    QAbstractButton* Button(const char* id) { return Find<QAbstractButton>(id); }

    template <class Widget>
    Widget* Find(const char* id) {
        auto* widget = dlg.findChild<Widget*>(QString::fromLatin1(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    // What the main window sets for a new account.
    void PrepareNew() {
        dlg.m_nInterval = 60;
        dlg.m_nSoundMode = 0;
        dlg.m_nLaunchMode = 0;
    }

    // Runs the dialog modally; `inside` acts on it while it is up and must end it.
    int Run(std::function<void()> inside) {
        WhenModal<CAccountDlg>([inside](CAccountDlg*) { inside(); });
        return dlg.exec();
    }

    // Enters `text` into the box (an empty text: pastes the clipboard) and presses OK: the dialog
    // must stay open, the box pointed at with its text selected; then OK takes `fixed`. Returns the
    // message shown.
    QString RefusedOnOk(const char* id, const QString& text, const QString& fixed) {
        QString message;
        const int result = Run([&] {
            if (text.isEmpty()) {
                Edit(id)->clear();
                Edit(id)->setFocus();
                QTest::keyClick(Edit(id), Qt::Key_V, Qt::ControlModifier);
            } else {
                Edit(id)->setText(text);
            }
            const QString entered = Edit(id)->text();
            AnswerMessageBox(&message);
            Button("IDOK")->click();
            EXPECT_TRUE(dlg.isVisible()) << id;
            EXPECT_EQ(dlg.focusWidget(), Edit(id)) << id;
            EXPECT_EQ(Edit(id)->selectedText(), entered) << id;
            Edit(id)->setText(fixed);
            Button("IDOK")->click();
        });
        EXPECT_EQ(result, QDialog::Accepted) << id;
        return message;
    }

    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
    CAccountDlg dlg{alerts};
    TempDir dir;
};

// The template's controls, in tab order.
const TemplateControl kControls[] = {
    {"IDC_USER", {50, 0, 165, 14}, ""},
    {"IDC_PASSWORD", {50, 15, 165, 14}, ""},
    {"IDC_SERVER", {50, 30, 165, 14}, ""},
    {"IDC_INTERVAL", {80, 45, 20, 14}, ""},
    {"IDC_SOUND", {10, 100, 48, 10}, Str::kSound},
    {"IDC_SOUND_ON_MAIL", {10, 110, 96, 10}, Str::kOnMail},
    {"IDC_SOUND_ON_INCREASE", {10, 125, 112, 10}, Str::kOnIncrease},
    {"IDC_SOUND_FILE", {10, 140, 130, 14}, ""},
    {"IDC_SOUND_BROWSE", {140, 140, 35, 14}, Str::kBrowse},
    {"IDC_SOUND_PREVIEW", {175, 140, 35, 14}, Str::kPreview},
    {"IDC_LAUNCH", {10, 165, 32, 10}, Str::kLaunch},
    {"IDC_LAUNCH_ON_MAIL", {10, 175, 96, 10}, Str::kOnMail},
    {"IDC_LAUNCH_ON_INCREASE", {10, 190, 112, 10}, Str::kOnIncrease},
    {"IDC_LAUNCH_FILE", {10, 205, 130, 14}, ""},
    {"IDC_LAUNCH_BROWSE", {140, 205, 35, 14}, Str::kBrowse},
    {"IDC_LAUNCH_PREVIEW", {175, 205, 35, 14}, Str::kPreview},
    {"IDOK", {90, 230, 59, 14}, Str::kOk},
    {"IDCANCEL", {155, 230, 59, 14}, Str::kCancel},
    {"IDC_ICON_FILE", {30, 70, 150, 14}, ""},
    {"IDC_ICON_BROWSE", {180, 70, 35, 14}, Str::kBrowse},
};

TEST_F(AccountDlgTest, ControlsSitAtTheirTemplatePlacesWithTheirCaptions) {
    const DialogUnits du(dlg.font());
    EXPECT_EQ(dlg.windowTitle(), Str::Text(Str::kSettingsCaption));
    EXPECT_EQ(dlg.size(), du.ToPixels(217, 245));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_EQ(dlg.property(HelpContext::kProperty).toInt(), 0x20083);

    ExpectTemplatePlaces(dlg, kControls);
    EXPECT_EQ(Find<QLabel>("IDC_ICON_PREVIEW")->pos(), du.ToPixels(5, 65, 20, 20).topLeft());

    QStringList labels;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        labels << label->text();
    }
    for (const char* text : {Str::kUserLabel, Str::kPasswordLabel, Str::kServerLabel, Str::kIntervalLabel}) {
        EXPECT_TRUE(labels.contains(Str::Text(text))) << text;
    }
    QStringList frames;
    for (const QGroupBox* frame : dlg.findChildren<QGroupBox*>()) {
        frames << frame->accessibleName();
        // The group's check box is its title: the frame's top line runs through it.
        auto* check =
            Find<QCheckBox>(frame->accessibleName() == Str::Text(Str::kSound) ? "IDC_SOUND" : "IDC_LAUNCH");
        EXPECT_TRUE(check->geometry().contains(QPoint(check->x() + 1, frame->y())))
            << check->objectName().toStdString();
        EXPECT_TRUE(check->autoFillBackground());
    }
    EXPECT_EQ(frames, (QStringList{Str::Text(Str::kSound), Str::Text(Str::kLaunch)}));

    // Every caption is whole: a button too narrow for the stand-in font gets narrower letters.
    for (auto* button : dlg.findChildren<QPushButton*>()) {
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width())
            << button->objectName().toStdString();
    }

    EXPECT_EQ(Edit("IDC_PASSWORD")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(Find<QPushButton>("IDOK")->isDefault());
    EXPECT_FALSE(Find<QPushButton>("IDCANCEL")->isDefault());
}

TEST_F(AccountDlgTest, TabOrderIsTheTemplateOrder) {
    EXPECT_EQ(TabOrder(Edit("IDC_USER")), IdsOf(kControls));
}

TEST_F(AccountDlgTest, ANewAccountShowsSixtySecondsAndTheFirstModes) {
    PrepareNew();
    dlg.show();
    EXPECT_EQ(Edit("IDC_INTERVAL")->text(), "60");
    EXPECT_TRUE(Button("IDC_SOUND_ON_MAIL")->isChecked());
    EXPECT_FALSE(Button("IDC_SOUND_ON_INCREASE")->isChecked());
    EXPECT_TRUE(Button("IDC_LAUNCH_ON_MAIL")->isChecked());
    EXPECT_FALSE(Button("IDC_SOUND")->isChecked());
    EXPECT_FALSE(Button("IDC_LAUNCH")->isChecked());
    EXPECT_TRUE(Edit("IDC_ICON_FILE")->text().isEmpty());
    EXPECT_EQ(dlg.m_iconPreview->pixmap().isNull(), true);
}

TEST_F(AccountDlgTest, AnAccountTravelsThroughTheControlsAndBackUnchanged) {
    CAccount account;
    account.m_strUser = "太郎";  // bytes in the local encoding, shown as text
    account.m_strPassword = "p w";
    account.m_strServer = "pop.example.test";
    account.m_nInterval = 300;
    account.m_bSound = 1;
    account.m_nSoundMode = 1;
    account.m_strSoundFile = "/snd/a.wav";
    account.m_bLaunch = 0;
    account.m_nLaunchMode = 1;
    account.m_strLaunchFile = "/bin/true";
    account.m_strIconFile = "/no/such.ico";
    account.m_nTimerId = 9;
    account.m_nLastCount = 4;
    account.m_bEnabled = 1;
    dlg.LoadFrom(account);
    dlg.show();
    EXPECT_EQ(Edit("IDC_USER")->text(), QStringLiteral("太郎"));
    EXPECT_EQ(Edit("IDC_INTERVAL")->text(), "300");
    EXPECT_TRUE(Button("IDC_SOUND")->isChecked());
    EXPECT_TRUE(Button("IDC_SOUND_ON_INCREASE")->isChecked());
    EXPECT_TRUE(Button("IDC_LAUNCH_ON_INCREASE")->isChecked());

    ASSERT_TRUE(dlg.TransferData(true));
    CAccount back;
    back.m_nTimerId = 1;
    back.m_nLastCount = 2;
    back.m_bEnabled = 0;
    dlg.StoreInto(back);
    // The dialog's fields come back; the run-time fields and the check box are not its business.
    CAccount expected = account;
    expected.m_nTimerId = 1;
    expected.m_nLastCount = 2;
    expected.m_bEnabled = 0;
    EXPECT_EQ(back, expected);
}

TEST_F(AccountDlgTest, RadioGroupsAndCheckBoxesFollowTheExchangeRules) {
    dlg.m_nSoundMode = -1;
    dlg.m_nLaunchMode = 0;
    dlg.m_bSound = 2;   // still shows ticked
    dlg.m_bLaunch = 5;  // outside 0 ... 2: unticked
    dlg.m_nInterval = 10;
    dlg.show();
    EXPECT_FALSE(Button("IDC_SOUND_ON_MAIL")->isChecked());
    EXPECT_FALSE(Button("IDC_SOUND_ON_INCREASE")->isChecked());
    EXPECT_TRUE(Button("IDC_SOUND")->isChecked());
    EXPECT_FALSE(Button("IDC_LAUNCH")->isChecked());

    // The two groups are independent of each other.
    Button("IDC_LAUNCH_ON_INCREASE")->click();
    Button("IDC_SOUND_ON_MAIL")->click();
    ASSERT_TRUE(dlg.TransferData(true));
    EXPECT_EQ(dlg.m_nSoundMode, 0);
    EXPECT_EQ(dlg.m_nLaunchMode, 1);
    EXPECT_EQ(dlg.m_bSound, 1);
    EXPECT_EQ(dlg.m_bLaunch, 0);
}

TEST_F(AccountDlgTest, ABadIntegerIsPointedOutAndTheDialogStaysOpen) {
    PrepareNew();
    QString message;
    const int result = Run([&] {
        Edit("IDC_PASSWORD")->setText("secret");
        Edit("IDC_USER")->setText("bob");
        Edit("IDC_INTERVAL")->setText("12x");
        AnswerMessageBox(&message);
        Button("IDOK")->click();
        // Still open, the box pointed at with its text selected.
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.focusWidget(), Edit("IDC_INTERVAL"));
        EXPECT_EQ(Edit("IDC_INTERVAL")->selectedText(), "12x");
        // The exchange stopped at the interval: what comes before it was read, what follows not.
        EXPECT_EQ(dlg.m_strPassword, "secret");
        EXPECT_EQ(dlg.m_strUser, "");
        Edit("IDC_INTERVAL")->setText(" 90 ");
        Button("IDOK")->click();
    });
    EXPECT_EQ(message, Str::Text(Str::kEnterInteger));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dlg.m_nInterval, 90);
    EXPECT_EQ(dlg.m_strUser, "bob");
}

TEST_F(AccountDlgTest, IntervalsOutsideOneToTheTimerLimitAreRefused) {
    PrepareNew();
    dlg.show();
    for (const char* text : {"0", "-5", "2147484", "99999999999"}) {
        Edit("IDC_INTERVAL")->setText(text);
        QString message;
        AnswerMessageBox(&message);
        EXPECT_FALSE(dlg.TransferData(true)) << text;
        EXPECT_EQ(message, QString::fromUtf8("1 から 2147483 までの整数を入力してください。")) << text;
        EXPECT_EQ(dlg.m_nInterval, 60) << text;
    }
    for (const char* text : {"1", "2147483"}) {
        Edit("IDC_INTERVAL")->setText(text);
        EXPECT_TRUE(dlg.TransferData(true)) << text;
        EXPECT_EQ(dlg.m_nInterval, QByteArray(text).toInt());
    }
}

TEST_F(AccountDlgTest, ACommaInAnyTextBoxIsRefusedOnOk) {
    PrepareNew();
    for (const char* id :
         {"IDC_USER", "IDC_PASSWORD", "IDC_SERVER", "IDC_SOUND_FILE", "IDC_LAUNCH_FILE", "IDC_ICON_FILE"}) {
        EXPECT_EQ(RefusedOnOk(id, "a,b", "ab"), Str::Text(Str::kNoComma)) << id;
    }
}

TEST_F(AccountDlgTest, WhatTheFileCannotHoldOrWouldGiveBackChangedIsRefusedOnOk) {
    PrepareNew();
    struct Case {
        const char* id;
        QString text;
        const char* message;
    };
    const Case cases[] = {
        {"IDC_PASSWORD", "", Str::kNoControlCharacter},  // pasted below: "secret" and a line end
        {"IDC_USER", QStringLiteral("a") + QChar(0) + "b", Str::kNoControlCharacter},
        {"IDC_SERVER", "pop\tserver", Str::kNoControlCharacter},
        {"IDC_PASSWORD", "pw ", Str::kNoEdgeBlank},
        {"IDC_SOUND_FILE", " /a.wav", Str::kNoEdgeBlank},
    };
    QGuiApplication::clipboard()->setText("secret\r\n");
    for (const Case& c : cases) {
        EXPECT_EQ(RefusedOnOk(c.id, c.text, "p w"), Str::Text(c.message)) << c.id;
    }
    EXPECT_EQ(dlg.m_strPassword, "p w");
}

TEST_F(AccountDlgTest, TextTheFileAlreadyHeldIsNotRefusedWhenLeftAsItWas) {
    CAccount account;
    account.m_strPassword =
        "a\x01"
        "b";  // a control character read from the file
    account.m_nInterval = 60;
    dlg.LoadFrom(account);
    const int result = Run([&] {
        Edit("IDC_INTERVAL")->setText("30");
        Button("IDOK")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dlg.m_strPassword, account.m_strPassword);
}

TEST_F(AccountDlgTest, BrowseButtonsAskWithTheirFilterAndTakeTheChosenPath) {
    struct Case {
        const char* button;
        const char* box;
        const char* initialName;
        const char* filter;
    };
    const Case cases[] = {
        {"IDC_SOUND_BROWSE", "IDC_SOUND_FILE", "*.WAV", "WAVEフォームサウンド(*.WAV)"},
        {"IDC_LAUNCH_BROWSE", "IDC_LAUNCH_FILE", "*.*", "すべてのファイル(*.*)"},
        {"IDC_ICON_BROWSE", "IDC_ICON_FILE", "*.ICO", "アイコン(*.ICO)"},
    };
    PrepareNew();
    dlg.show();
    for (const Case& c : cases) {
        std::vector<FileRequest> requests;
        std::optional<QString> answer;
        dlg.SetFileChooser([&](QWidget* parent, const FileRequest& request) {
            EXPECT_EQ(parent, &dlg);
            requests.push_back(request);
            return answer;
        });
        Edit(c.box)->setText("typed");
        Button(c.button)->click();  // the user cancels the file dialog
        EXPECT_EQ(Edit(c.box)->text(), "typed");
        answer = dir.file("chosen");
        Button(c.button)->click();
        EXPECT_EQ(Edit(c.box)->text(), dir.file("chosen"));
        ASSERT_EQ(requests.size(), 2u);
        // What the box held (typed, not yet saved) is handed to the file dialog.
        EXPECT_EQ(requests[0], (FileRequest{"typed", c.initialName, QString::fromUtf8(c.filter)}))
            << c.button;
    }
}

TEST_F(AccountDlgTest, ABadIntervalDuringBrowseIsPointedOutAndResetButTheChoiceGoesOn) {
    PrepareNew();
    dlg.m_strUser = "old";
    dlg.show();
    Edit("IDC_USER")->setText("new");
    Edit("IDC_INTERVAL")->setText("abc");
    dlg.SetFileChooser([&](QWidget*, const FileRequest&) { return std::optional<QString>("/x/a.wav"); });
    QString message;
    AnswerMessageBox(&message);
    Button("IDC_SOUND_BROWSE")->click();
    EXPECT_EQ(message, Str::Text(Str::kEnterInteger));
    EXPECT_EQ(Edit("IDC_SOUND_FILE")->text(), "/x/a.wav");
    EXPECT_EQ(Edit("IDC_INTERVAL")->text(), "60");
    EXPECT_EQ(Edit("IDC_USER")->text(), "old");
}

TEST_F(AccountDlgTest, ChoosingAnIconShowsItAndAFileWithoutOneLeavesThePicture) {
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(dir.file("red.png")));
    dir.write("notes.txt", "not a picture");

    PrepareNew();
    dlg.show();
    EXPECT_TRUE(dlg.m_iconPreview->pixmap().isNull());
    QString answer = dir.file("red.png");
    dlg.SetFileChooser([&](QWidget*, const FileRequest&) { return std::optional<QString>(answer); });
    Button("IDC_ICON_BROWSE")->click();
    const QPixmap shown = dlg.m_iconPreview->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.toImage().pixelColor(16, 16), QColor(Qt::red));

    answer = dir.file("notes.txt");
    Button("IDC_ICON_BROWSE")->click();
    EXPECT_EQ(Edit("IDC_ICON_FILE")->text(), dir.file("notes.txt"));
    EXPECT_EQ(dlg.m_iconPreview->pixmap().cacheKey(), shown.cacheKey());
}

TEST_F(AccountDlgTest, AnIconFileAlreadySetIsShownWhenTheDialogOpens) {
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(dir.file("blue.png")));
    PrepareNew();
    dlg.m_strIconFile = dir.file("blue.png").toStdString();
    dlg.show();
    ASSERT_FALSE(dlg.m_iconPreview->pixmap().isNull());
    EXPECT_EQ(dlg.m_iconPreview->pixmap().toImage().pixelColor(8, 8), QColor(Qt::blue));
}

TEST_F(AccountDlgTest, CancelDiscardsEveryChangeIncludingABrowsedFile) {
    PrepareNew();
    dlg.m_strSoundFile = "/old.wav";
    dlg.m_strUser = "u";
    dlg.SetFileChooser([&](QWidget*, const FileRequest&) { return std::optional<QString>("/new.wav"); });
    const int result = Run([&] {
        Edit("IDC_USER")->setText("changed");
        Button("IDC_SOUND_BROWSE")->click();
        EXPECT_EQ(Edit("IDC_SOUND_FILE")->text(), "/new.wav");
        Button("IDCANCEL")->click();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dlg.m_strSoundFile, "/old.wav");
    EXPECT_EQ(dlg.m_strUser, "u");
}

TEST_F(AccountDlgTest, PreviewsUseWhatTheBoxesHoldEvenWithTheAlertSwitchedOff) {
    PrepareNew();
    dlg.show();
    Edit("IDC_SOUND_FILE")->setText("/s/ding.wav");
    Edit("IDC_LAUNCH_FILE")->setText("/usr/bin/true");
    ASSERT_FALSE(Button("IDC_SOUND")->isChecked());
    Button("IDC_SOUND_PREVIEW")->click();
    Button("IDC_LAUNCH_PREVIEW")->click();
    EXPECT_EQ(platform.requests,
              (QStringList{"sound /s/ding.wav", "play /usr/bin/true", "open /usr/bin/true"}));
    EXPECT_EQ(dlg.m_strSoundFile, "/s/ding.wav");
}

TEST(FileFilter, PipeSeparatedPairsBecomeQtFilters) {
    EXPECT_EQ(QtFileFilter(Str::Text(Str::kSoundFilter)), QStringLiteral("WAVEフォームサウンド(*.WAV)"));
    EXPECT_EQ(QtFileFilter("Pictures|*.png;*.ico|All|*.*||"), "Pictures (*.png *.ico);;All (*.*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

}  // namespace
