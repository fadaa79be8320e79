#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTableWidget>
#include <QTest>

#include "accounts/AccountFile.h"
#include "check/AccountIcon.h"
#include "res/Strings.h"
#include "tests/support/InspectableMainDlg.h"
#include "tests/support/ManualProber.h"
#include "tests/support/PostedEvents.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/RecordingAlertPlatform.h"
#include "tests/support/RecordingTray.h"
#include "tests/support/TempDir.h"
#include "tests/support/TemplateLayout.h"
#include "tests/support/TestAccount.h"
#include "tests/support/WhenModal.h"
#include "ui/CAboutDlg.h"
#include "ui/CAccountDlg.h"
#include "ui/CMainDlg.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"

namespace {

class MainDlgTest : public ::testing::Test {
protected:
    MainDlgTest() {
        UsePrivateSettings(dir.file("config"), QStringLiteral("quillpost-test"));
        parts.tray = &tray;
        parts.alerts = &platform;
        parts.prober = &prober;
        parts.accountFile = dir.file("ACCOUNT.CSV");
    }

    void WriteFile(std::initializer_list<CAccount> accounts) {
        CAccountList list;
        for (const CAccount& a : accounts) {
            list.AddTail(a);
        }
        ASSERT_TRUE(SaveAccounts(parts.accountFile, list));
    }
    CAccountList FileAccounts() const {
        CAccountList list;
        LoadAccounts(parts.accountFile, list);
        return list;
    }
    QByteArray FileBytes() const {
        return QFile::exists(parts.accountFile) ? dir.read("ACCOUNT.CSV") : "missing";
    }

    // The window as the application starts it.
    CMainDlg& Open() {
        dlg = std::make_unique<InspectableMainDlg>(parts);
        dlg->show();
        dlg->OnInitDialog();
        return *dlg;
    }

    QTableWidget* List() { return dlg->findChild<QTableWidget*>("IDC_ACCOUNT_LIST"); }
    QAbstractButton* Button(const char* id) { return dlg->findChild<QAbstractButton*>(id); }
    const CAccount& At(int position) { return *dlg->Accounts().GetAt(position); }
    QString Cell(int row, int column) { return List()->item(row, column)->text(); }
    bool Ticked(int row) { return List()->item(row, 0)->checkState() == Qt::Checked; }

    // A click on a row's check box, as the user makes it.
    void ClickCheckBox(int row) {
        QTableWidget* list = List();
        const QRect cell = list->visualItemRect(list->item(row, 0));
        const int indicator = list->style()->pixelMetric(QStyle::PM_IndicatorWidth);
        const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(cell.left() + margin + indicator / 2, cell.center().y()));
    }

    // One whole check of the account at `position`, with the given result.
    void Check(int position, int result, std::optional<QByteArray> statLine = std::nullopt) {
        dlg->Scheduler().OnTimer(static_cast<int>(At(position).m_nTimerId));
        ASSERT_EQ(prober.pending.size(), 1u);
        prober.Finish(result, statLine);
    }

    // Answers the settings dialog: `fill` sets its boxes, then OK (or Cancel) is pressed.
    void AnswerSettings(std::function<void(CAccountDlg*)> fill, bool ok = true) {
        WhenModal<CAccountDlg>([fill, ok](CAccountDlg* settings) {
            fill(settings);
            settings->findChild<QPushButton*>(ok ? "IDOK" : "IDCANCEL")->click();
        });
    }
    static void Type(CAccountDlg* settings, const char* id, const QString& text) {
        settings->findChild<QLineEdit*>(id)->setText(text);
    }

    TempDir dir;
    RecordingTray tray;
    RecordingAlertPlatform platform;
    ManualProber prober;
    CMainDlg::Parts parts;
    std::unique_ptr<InspectableMainDlg> dlg;
};

TEST_F(MainDlgTest, ControlsSitAtTheirTemplatePlacesInTabOrder) {
    Open();
    const DialogUnits du(dlg->font());
    EXPECT_EQ(dlg->windowTitle(), "Quillpost 1.2");
    EXPECT_EQ(dlg->size(), du.ToPixels(222, 239));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_FALSE(dlg->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(dlg->property(HelpContext::kProperty).toInt(), 0x20066);

    const TemplateControl controls[] = {
        {"IDOK", {160, 225, 50, 14}, Str::kCheckButton},
        {"IDCANCEL", {80, 225, 50, 14}, Str::kExitButton},
        {"IDC_STATUS", {5, 190, 210, 14}, nullptr},
        {"IDC_ACCOUNT_LIST", {5, 0, 160, 190}, nullptr},
        {"IDC_ADD", {170, 5, 50, 14}, Str::kAddButton},
        {"IDC_EDIT", {170, 25, 50, 14}, Str::kEditButton},
        {"IDC_DELETE", {170, 45, 50, 14}, Str::kDeleteButton},
        {"IDC_START_DISP", {5, 210, 88, 10}, Str::kStartDisp},
    };
    ExpectTemplatePlaces(*dlg, controls);
    EXPECT_TRUE(qobject_cast<QPushButton*>(Button("IDOK"))->isDefault());
    EXPECT_EQ(TabOrder(Button("IDOK")), IdsOf(controls));
}

TEST_F(MainDlgTest, TheListShowsTheAccountsWithIconsAndCheckBoxes) {
    QImage green(16, 16, QImage::Format_ARGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(dir.file("green.png")));
    CAccount withIcon = TestAccount{"alice"};
    withIcon.m_strIconFile = dir.file("green.png").toStdString();
    CAccount incomplete = TestAccount{.user = "bob", .enabled = 0};
    incomplete.m_strServer.clear();
    incomplete.m_nInterval = 300;
    WriteFile({withIcon, incomplete});
    Open();

    QTableWidget* list = List();
    ASSERT_EQ(list->rowCount(), 2);
    ASSERT_EQ(list->columnCount(), 4);
    const QFontMetrics metrics = list->fontMetrics();
    int column = 0;
    for (const char* title : {"User", "Server", "Time", "Count"}) {
        EXPECT_EQ(list->horizontalHeaderItem(column)->text(), title);
        if (column > 0) {
            EXPECT_EQ(list->columnWidth(column), metrics.horizontalAdvance(title) + 20) << title;
        }
        ++column;
    }
    // The user column gives its text the same room beside the check box and the icon.
    EXPECT_GE(list->columnWidth(0), metrics.horizontalAdvance("User") + 20 + 2 * 16);
    EXPECT_EQ(Cell(0, 0), "alice");
    EXPECT_EQ(Cell(0, 1), "pop.example.test");
    EXPECT_EQ(Cell(1, 2), "300");
    EXPECT_EQ(Cell(1, 3), "0");
    EXPECT_TRUE(Ticked(0));
    EXPECT_FALSE(Ticked(1));
    EXPECT_EQ(list->item(0, 0)->icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::green));
    EXPECT_EQ(list->item(1, 0)->icon().pixmap(16, 16).toImage(), BuiltinIcon(129).pixmap(16, 16).toImage());
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->iconSize(), QSize(16, 16));

    // Timers for the complete accounts only; the main tray icon is up.
    EXPECT_NE(At(0).m_nTimerId, 0u);
    EXPECT_EQ(At(1).m_nTimerId, 0u);
    EXPECT_TRUE(tray.icons.contains(2000));
}

TEST_F(MainDlgTest, ACheckBoxReachesTheAccountAtTheNextCheckAndTheFileOnlyLater) {
    WriteFile({TestAccount{.user = "a", .enabled = 0}, TestAccount{.user = "b", .enabled = 1}});
    const QByteArray before = FileBytes();
    Open();
    ClickCheckBox(0);
    ASSERT_TRUE(Ticked(0));
    EXPECT_EQ(At(0).m_bEnabled, 0);  // not yet

    // A check pass takes the boxes first: the newly ticked account is probed at once.
    dlg->Scheduler().OnTimer(static_cast<int>(At(0).m_nTimerId));
    EXPECT_EQ(At(0).m_bEnabled, 1);
    ASSERT_EQ(prober.started, std::vector<std::string>{"a"});
    EXPECT_EQ(FileBytes(), before);

    // While the probe runs, the user clears "b" and selects it; the result must undo neither.
    ClickCheckBox(1);
    List()->selectRow(1);
    prober.Finish(3, QByteArray("+OK 3 594"));
    EXPECT_EQ(Cell(0, 3), "3");
    EXPECT_FALSE(Ticked(1));
    EXPECT_EQ(At(1).m_bEnabled, 0);
    EXPECT_EQ(List()->selectionModel()->selectedRows().value(0).row(), 1);
    EXPECT_EQ(dlg->findChild<QLineEdit*>("IDC_STATUS")->text(), "+OK 3 594");
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(MainDlgTest, EachStatReplyReplacesTheStatusLine) {
    WriteFile({TestAccount{"a"}, TestAccount{"b"}});
    Open();
    auto* status = dlg->findChild<QLineEdit*>("IDC_STATUS");
    status->setText("typed by the user");
    Check(0, 2, QByteArray("+OK 2 100"));
    EXPECT_EQ(status->text(), "+OK 2 100");
    Check(1, 0, QByteArray("+OK 0 0"));
    EXPECT_EQ(status->text(), "+OK 0 0");
    Check(0, ProbeCode::kConnectError);  // no reply: the line stays
    EXPECT_EQ(status->text(), "+OK 0 0");
}

TEST_F(MainDlgTest, AddAppendsAnUntickedAccountAndSavesWithTheCheckBoxes) {
    WriteFile({TestAccount{.user = "a", .enabled = 0}});
    Open();
    ClickCheckBox(0);
    AnswerSettings([](CAccountDlg* settings) {
        EXPECT_EQ(settings->findChild<QLineEdit*>("IDC_INTERVAL")->text(), "60");
        Type(settings, "IDC_USER", "carol");
        Type(settings, "IDC_PASSWORD", "secret");
        Type(settings, "IDC_SERVER", "mail.example.test");
        Type(settings, "IDC_INTERVAL", "120");
    });
    Button("IDC_ADD")->click();

    ASSERT_EQ(dlg->Accounts().GetCount(), 2);
    EXPECT_EQ(At(1).m_strUser, "carol");
    EXPECT_EQ(At(1).m_nInterval, 120);
    EXPECT_EQ(At(1).m_bEnabled, 0);
    EXPECT_NE(At(1).m_nTimerId, 0u);
    EXPECT_EQ(Cell(1, 0), "carol");
    EXPECT_FALSE(Ticked(1));
    const CAccountList saved = FileAccounts();
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_EQ(saved.GetAt(0)->m_bEnabled, 1);  // the box ticked before adding
    EXPECT_EQ(saved.GetAt(1)->m_strServer, "mail.example.test");
}

TEST_F(MainDlgTest, CancelledAddAndEditChangeNothingEvenAfterABrowse) {
    WriteFile({TestAccount{"a"}});
    const QByteArray before = FileBytes();
    parts.chooseFile = [](QWidget*, const FileRequest&) { return std::optional<QString>("/chosen.wav"); };
    Open();
    const CAccount original = At(0);

    AnswerSettings([](CAccountDlg* settings) { Type(settings, "IDC_USER", "x"); }, false);
    Button("IDC_ADD")->click();
    List()->selectRow(0);
    AnswerSettings(
        [](CAccountDlg* settings) {
            Type(settings, "IDC_USER", "changed");
            settings->findChild<QPushButton*>("IDC_SOUND_BROWSE")->click();
            EXPECT_EQ(settings->findChild<QLineEdit*>("IDC_SOUND_FILE")->text(), "/chosen.wav");
        },
        false);
    Button("IDC_EDIT")->click();

    EXPECT_EQ(dlg->Accounts().GetCount(), 1);
    EXPECT_EQ(At(0), original);
    EXPECT_EQ(Cell(0, 0), "a");
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(MainDlgTest, EditWritesTheDialogsFieldsAndKeepsAResultThatCameMeanwhile) {
    WriteFile({TestAccount{"a"}, TestAccount{"b"}});
    Open();
    ClickCheckBox(0);  // reaches the file with the edit
    List()->selectRow(1);
    dlg->Scheduler().OnTimer(static_cast<int>(At(1).m_nTimerId));
    ASSERT_EQ(prober.pending.size(), 1u);
    AnswerSettings([this](CAccountDlg* settings) {
        EXPECT_EQ(settings->findChild<QLineEdit*>("IDC_USER")->text(), "b");
        prober.Finish(4);  // the check ends while the dialog is open
        Type(settings, "IDC_SERVER", "new.example.test");
        Type(settings, "IDC_INTERVAL", "30");
    });
    Button("IDC_EDIT")->click();

    EXPECT_EQ(At(1).m_strServer, "new.example.test");
    EXPECT_EQ(At(1).m_nInterval, 30);
    EXPECT_EQ(At(1).m_nLastCount, 4);
    EXPECT_EQ(At(1).m_bEnabled, 1);
    EXPECT_NE(At(1).m_nTimerId, 0u);
    EXPECT_EQ(Cell(1, 1), "new.example.test");
    EXPECT_EQ(Cell(1, 3), "4");
    EXPECT_EQ(FileAccounts().GetAt(1)->m_nInterval, 30);
    EXPECT_EQ(FileAccounts().GetAt(0)->m_bEnabled, 0);

    // The renewed timer is the account's: a check of it probes the edited server.
    Check(1, 1);
    EXPECT_EQ(At(1).m_nLastCount, 1);
}

TEST_F(MainDlgTest, EditAndDeleteWithoutASelectionDoNothing) {
    WriteFile({TestAccount{"a"}});
    const QByteArray before = FileBytes();
    Open();
    const QPointer<QTimer> watch = ExpectNoModal();
    Button("IDC_EDIT")->click();
    Button("IDC_DELETE")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 10000));
    EXPECT_EQ(dlg->Accounts().GetCount(), 1);
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(MainDlgTest, DeleteAsksThenRemovesTheAccountItsTimerAndItsTrayIcon) {
    WriteFile({TestAccount{"a"}, TestAccount{"b"}, TestAccount{.user = "c", .enabled = 0}});
    Open();
    Check(0, 2);
    Check(1, 5);
    ASSERT_TRUE(tray.icons.contains(2001));
    ASSERT_TRUE(tray.icons.contains(2002));
    const std::uint32_t timerOfA = At(0).m_nTimerId;

    List()->selectRow(0);
    QString question;
    AnswerMessageBox(&question, QMessageBox::Cancel);
    Button("IDC_DELETE")->click();
    EXPECT_EQ(question, Str::Text(Str::kConfirmDelete));
    EXPECT_EQ(dlg->Accounts().GetCount(), 3);

    ClickCheckBox(2);  // reaches the file with the deletion
    AnswerMessageBox(nullptr, QMessageBox::Ok);
    Button("IDC_DELETE")->click();
    ASSERT_EQ(dlg->Accounts().GetCount(), 2);
    EXPECT_EQ(At(0).m_strUser, "b");
    EXPECT_EQ(At(1).m_bEnabled, 1);
    EXPECT_EQ(Cell(0, 0), "b");
    EXPECT_TRUE(List()->selectionModel()->selectedRows().isEmpty());
    // "b" moved up but keeps its icon, and nothing of "a" is left in the tray.
    EXPECT_EQ(tray.icons.value(2002).tooltip, "b");
    EXPECT_FALSE(tray.icons.contains(2001));
    const CAccountList saved = FileAccounts();
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_EQ(saved.GetAt(1)->m_bEnabled, 1);
    // The deleted account's timer is gone: firing it probes nothing.
    dlg->Scheduler().OnTimer(static_cast<int>(timerOfA));
    EXPECT_TRUE(prober.pending.empty());
}

TEST_F(MainDlgTest, EscEndsTheProgramAndTheEndSavesAndClearsTheTray) {
    WriteFile({TestAccount{.user = "a", .enabled = 0}, TestAccount{"b"}});
    Open();
    Check(1, 3);
    ClickCheckBox(0);
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Rejected);
    dlg->DestroyWindow();
    const CAccountList saved = FileAccounts();
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_EQ(saved.GetAt(0)->m_bEnabled, 1);
    EXPECT_TRUE(tray.icons.isEmpty());
}

TEST_F(MainDlgTest, ShiftJisTextShowsAsJapaneseAndAnEditOfAnotherFieldKeepsItsBytes) {
    const std::string yamada = "\x8E\x52\x93\x63";                               // 山田 in code page 932
    const std::string sound = "C:\\\x83\x54\x83\x45\x83\x93\x83\x68\\ding.wav";  // C:\サウンド\ding.wav
    CAccount account = TestAccount{yamada};
    account.m_strSoundFile = sound;
    WriteFile({account});
    Open();
    EXPECT_EQ(Cell(0, 0), QStringLiteral("山田"));
    Check(0, 2);
    EXPECT_EQ(tray.icons.value(2001).tooltip, QStringLiteral("山田"));

    List()->selectRow(0);
    AnswerSettings([](CAccountDlg* settings) {
        EXPECT_EQ(settings->findChild<QLineEdit*>("IDC_USER")->text(), QStringLiteral("山田"));
        EXPECT_EQ(settings->findChild<QLineEdit*>("IDC_SOUND_FILE")->text(),
                  QStringLiteral("C:\\サウンド\\ding.wav"));
        Type(settings, "IDC_INTERVAL", "90");
    });
    Button("IDC_EDIT")->click();
    const CAccountList saved = FileAccounts();
    ASSERT_EQ(saved.GetCount(), 1);
    EXPECT_EQ(saved.GetAt(0)->m_strUser, yamada);
    EXPECT_EQ(saved.GetAt(0)->m_strSoundFile, sound);
    EXPECT_EQ(saved.GetAt(0)->m_nInterval, 90);
}

TEST_F(MainDlgTest, AnAccountFileThatCannotBeReadIsReportedAndKeptBeforeTheFirstChangeIsSaved) {
    // A folder where the file should be: it exists, and nobody, root included, can read it.
    ASSERT_TRUE(QDir(dir.path()).mkpath("ACCOUNT.CSV"));
    dir.write("ACCOUNT.CSV/inside", "x");
    QString message;
    AnswerMessageBox(&message);
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 5000));
    CAccountList none;
    EXPECT_EQ(LoadAccounts(parts.accountFile, none).result, AccountFileRead::Result::Incomplete);
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(parts.accountFile)));
    EXPECT_TRUE(message.contains(LoadAccounts(parts.accountFile, none).reason)) << message.toStdString();
    const QString kept = QDir::fromNativeSeparators(message.split('\n').last());
    EXPECT_TRUE(kept.startsWith(parts.accountFile + ".unreadable-")) << kept.toStdString();

    // Ending with nothing changed leaves the file as it is.
    dlg->DestroyWindow();
    EXPECT_TRUE(QFileInfo(parts.accountFile).isDir());
    EXPECT_FALSE(QFileInfo::exists(kept));

    message.clear();
    AnswerMessageBox(&message);
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !message.isEmpty(); }, 5000));
    const QString keptNow = QDir::fromNativeSeparators(message.split('\n').last());
    AnswerSettings([](CAccountDlg* settings) { Type(settings, "IDC_USER", "carol"); });
    Button("IDC_ADD")->click();
    EXPECT_EQ(dir.read(keptNow.mid(dir.path().size() + 1) + "/inside"), "x");
    ASSERT_EQ(FileAccounts().GetCount(), 1);
    EXPECT_EQ(FileAccounts().GetAt(0)->m_strUser, "carol");

    // Should the file then go missing, the next start points at what was kept beside it.
    ASSERT_TRUE(QFile::remove(parts.accountFile));
    Open();
    EXPECT_TRUE(dlg->findChild<QLineEdit*>("IDC_STATUS")->text().contains(QFileInfo(keptNow).fileName()));
}

TEST_F(MainDlgTest, EveryFailedSaveIsReportedAndTheAccountsStayAsTheyAre) {
    parts.accountFile = dir.file("data/ACCOUNT.CSV");
    WriteFile({TestAccount{"a"}, TestAccount{"b"}});
    Open();
    // The file's folder turns into a plain file: nothing can be saved there, whoever runs this.
    ASSERT_TRUE(QDir(dir.path()).rename("data", "away"));
    dir.write("data", "x");
    QString reason;
    ASSERT_FALSE(SaveAccounts(parts.accountFile, {}, &reason));
    const auto expectReport = [&](const QString& message, const char* action) {
        EXPECT_TRUE(message.startsWith(Str::Text(Str::kSaveFailed).section('\n', 0, 0))) << action;
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(parts.accountFile))) << action;
        EXPECT_TRUE(message.contains(reason)) << action << ": " << message.toStdString();
    };

    QString message;
    AnswerSettings([&](CAccountDlg* settings) {
        Type(settings, "IDC_USER", "c");
        AnswerMessageBox(&message);
    });
    Button("IDC_ADD")->click();
    expectReport(message, "add");
    ASSERT_EQ(dlg->Accounts().GetCount(), 3);

    message.clear();
    List()->selectRow(0);
    AnswerSettings([&](CAccountDlg* settings) {
        Type(settings, "IDC_SERVER", "edited.example.test");
        AnswerMessageBox(&message);
    });
    Button("IDC_EDIT")->click();
    expectReport(message, "edit");
    EXPECT_EQ(At(0).m_strServer, "edited.example.test");

    message.clear();
    List()->selectRow(1);
    WhenModal<QMessageBox>([&](QMessageBox* confirm) {
        AnswerMessageBox(&message);
        confirm->button(QMessageBox::Ok)->click();
    });
    Button("IDC_DELETE")->click();
    expectReport(message, "delete");
    ASSERT_EQ(dlg->Accounts().GetCount(), 2);

    // At exit the user may try again, here once the folder is back.
    message.clear();
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        QFile::remove(dir.file("data"));
        QDir(dir.path()).rename("away", "data");
        box->button(QMessageBox::Retry)->click();
    });
    dlg->DestroyWindow();
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(message.contains(reason)) << message.toStdString();
    const CAccountList saved = FileAccounts();
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_EQ(saved.GetAt(0)->m_strServer, "edited.example.test");
    EXPECT_EQ(saved.GetAt(1)->m_strUser, "c");
}

TEST_F(MainDlgTest, TabLeavesTheListWhileArrowsMoveInsideAndSpaceTicksTheCurrentRow) {
    WriteFile({TestAccount{.user = "a", .enabled = 0}, TestAccount{.user = "b", .enabled = 0}});
    Open();
    QTableWidget* list = List();
    list->setFocus();
    list->setCurrentCell(0, 0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Right);  // onto the server's cell of the row
    EXPECT_EQ(list->currentRow(), 1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(Ticked(0));
    EXPECT_TRUE(Ticked(1));

    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(dlg->focusWidget(), Button("IDC_ADD"));
    QTest::keyClick(Button("IDC_ADD"), Qt::Key_Backtab);
    EXPECT_EQ(dlg->focusWidget(), list);
    QTest::keyClick(list, Qt::Key_Backtab);
    EXPECT_EQ(dlg->focusWidget(), dlg->findChild<QLineEdit*>("IDC_STATUS"));
}

TEST_F(MainDlgTest, TheCloseBoxAndExitEndTheProgramWhileEnterOnlyHides) {
    Open();
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    EXPECT_TRUE(dlg->isHidden());
    EXPECT_EQ(finished.size(), 0);

    tray.available = false;  // nowhere to hide into: the window is minimised instead
    dlg->show();
    Button("IDOK")->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->isMinimized());
    EXPECT_EQ(finished.size(), 0);

    dlg->showNormal();
    dlg->close();
    EXPECT_EQ(finished.size(), 1);
    dlg->show();
    Button("IDCANCEL")->click();
    EXPECT_EQ(finished.size(), 2);
}

TEST_F(MainDlgTest, StartDispIsReadAtStartAndWrittenOnEveryClick) {
    Open();
    EXPECT_EQ(dlg->StartDisp(), 1);  // missing: shown
    auto* box = qobject_cast<QCheckBox*>(Button("IDC_START_DISP"));
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_EQ(QSettings().value("StartDisp").toInt(), 0);
    dlg = nullptr;

    Open();
    EXPECT_EQ(dlg->StartDisp(), 0);
    EXPECT_FALSE(Button("IDC_START_DISP")->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->isHidden(); }, 10000));  // straight into the tray
    Button("IDC_START_DISP")->click();
    EXPECT_EQ(QSettings().value("StartDisp").toInt(), 1);

    QSettings().setValue("StartDisp", 7);  // outside 0 ... 2: shown, but unticked
    dlg = nullptr;
    Open();
    EXPECT_EQ(dlg->StartDisp(), 7);
    EXPECT_FALSE(Button("IDC_START_DISP")->isChecked());
    ASSERT_TRUE(DeliverQueuedEvents());  // what the start posted to itself, hiding included
    EXPECT_TRUE(dlg->isVisible());

    QSettings().setValue("StartDisp", 0);  // hidden at start, but with no tray to come back from
    tray.available = false;
    dlg = nullptr;
    Open();
    ASSERT_TRUE(DeliverQueuedEvents());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(dlg->isMinimized());
}

TEST_F(MainDlgTest, ARightClickOffersTheAboutBoxAndTheDesktopItems) {
    Open();
    bool aboutShown = false;
    WhenMenu([&](QMenu* menu) {
        QStringList items;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                items << action->text();
            }
        }
        EXPECT_EQ(items,
                  (QStringList{Str::Text(Str::kAboutMenuItem), Str::Text("新着メールを通知する"),
                               Str::Text("ログイン時に起動する"),
                               Str::Text("パスワードをキーリングに保存する"), Str::Text("今すぐチェック")}));
        WhenModal<CAboutDlg>([&](CAboutDlg* about) {
            aboutShown = true;
            about->accept();
        });
        menu->actions().first()->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 300), dlg->mapToGlobal(QPoint(300, 300)));
    QApplication::sendEvent(dlg.get(), &event);
    EXPECT_TRUE(aboutShown);
}

TEST_F(MainDlgTest, ShiftF10AndTheMenuKeyOpenTheMenuAndCheckNowProbesTheTickedAccounts) {
    WriteFile({TestAccount{"a"}, TestAccount{.user = "off", .enabled = 0}, TestAccount{"c"}});
    // Each key in a window of its own: the offscreen platform gives no window the focus back
    // after a menu has closed.
    const auto openActive = [this] {
        dlg = nullptr;
        Open();
        dlg->activateWindow();
        return QTest::qWaitForWindowActive(dlg.get());
    };
#ifndef Q_OS_WIN  // there the key reaches the window as the system's context-menu message
    ASSERT_TRUE(openActive());
    bool opened = false;
    WhenMenu([&](QMenu* menu) {
        opened = true;
        menu->close();
    });
    QTest::keyClick(List(), Qt::Key_Menu);
    EXPECT_TRUE(opened);
#endif

    ASSERT_TRUE(openActive());
    // The last item, by keyboard alone.
    WhenMenu([](QMenu* menu) {
        QTest::keyClick(menu, Qt::Key_Up);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier);
    // The menu may still be open when the key has been handled; its answer starts the check.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !prober.started.empty(); }, 20000));
    ASSERT_EQ(prober.started, std::vector<std::string>{"a"});
    prober.Finish(0);
    EXPECT_EQ(prober.started, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(prober.mostAtOnce, 1);
}

}  // namespace
