// On Windows the account file's text is in the system's ANSI code page, as the files existing
// users have were written; run with code page 932 (wine: LANG=ja_JP.UTF-8).
#include <gtest/gtest.h>

#include <windows.h>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "accounts/AccountFile.h"
#include "accounts/AccountText.h"
#include "alerts/Alerts.h"
#include "res/Strings.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenModal.h"
#include "ui/CAccountDlg.h"

namespace {

TEST(AnsiCodePage, AShiftJisFileShowsItsJapaneseAndSavesByteForByte) {
    if (::GetACP() != 932) {
        GTEST_SKIP() << "needs code page 932 as the ANSI code page, not " << ::GetACP();
    }
    // User "太郎", sound file "C:\サウンド\着信.wav", icon "ﾒｰﾙ.ico" (half-width katakana).
    const QByteArray line =
        "\x91\xbe\x98\x59,pw,popsrv,300,1,0,C:\\\x83\x54\x83\x45\x83\x93\x83\x68\\\x92\x85\x90\x4d.wav,"
        "0,0,,\xd2\xb0\xd9.ico,1\r\n";
    TempDir dir;
    dir.write("ACCOUNT.CSV", line);
    CAccountList list;
    LoadAccounts(dir.file("ACCOUNT.CSV"), list);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(DisplayText(list.GetAt(0)->m_strUser), QString::fromUtf8("太郎"));
    EXPECT_EQ(DisplayText(list.GetAt(0)->m_strSoundFile), QString::fromUtf8("C:\\サウンド\\着信.wav"));
    EXPECT_EQ(DisplayText(list.GetAt(0)->m_strIconFile), QString::fromUtf8("ﾒｰﾙ.ico"));
    // Typed text goes into the file in the same code page.
    EXPECT_EQ(TypedBytes(QString::fromUtf8("太郎")), std::string("\x91\xbe\x98\x59"));

    ASSERT_TRUE(SaveAccounts(dir.file("ACCOUNT.CSV"), list));
    EXPECT_EQ(dir.read("ACCOUNT.CSV"), line);
}

// Typed or chosen, text the code page has no characters for would be saved as "?" (a password
// that no longer logs in): OK refuses it, naming the field and the character.
TEST(AnsiCodePage, TextTheCodePageCannotHoldIsRefusedOnOkNamingTheFieldAndTheCharacter) {
    if (::GetACP() != 932) {
        GTEST_SKIP() << "needs code page 932 as the ANSI code page, not " << ::GetACP();
    }
    RecordingAlertPlatform platform;
    CAlerts alerts(platform);
    CAccountDlg dlg(alerts);
    dlg.m_nInterval = 60;
    dlg.SetFileChooser(
        [](QWidget*, const FileRequest&) { return std::optional(QString::fromUtf8("C:\\Música\\a.wav")); });
    QString password;
    QString sound;
    WhenModal<CAccountDlg>([&](CAccountDlg*) {
        const auto type = [&dlg](const char* box, const char* text) {
            dlg.findChild<QLineEdit*>(box)->setText(QString::fromUtf8(text));
        };
        type("IDC_PASSWORD", "Café");
        AnswerMessageBox(&password);
        dlg.accept();
        type("IDC_PASSWORD", "Cafe");
        dlg.findChild<QPushButton*>("IDC_SOUND_BROWSE")->click();
        AnswerMessageBox(&sound);
        dlg.accept();
        type("IDC_SOUND_FILE", "C:\\Musica\\a.wav");
        dlg.accept();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    const QString refusal = Str::Text(Str::kUnstorableCharacter);
    EXPECT_EQ(password, refusal.arg(Str::Text(Str::kPasswordField), QString::fromUtf8("é")));
    EXPECT_EQ(sound, refusal.arg(Str::Text(Str::kSoundFileField), QString::fromUtf8("ú")));
    EXPECT_EQ(dlg.m_strPassword, "Cafe");
}

}  // namespace
