#include "ui/CMainDlg.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>

#include "accounts/AccountText.h"
#include "check/AccountIcon.h"
#include "check/TrayNotifier.h"
#include "res/Strings.h"
#include "secrets/KeyringPasswords.h"
#include "ui/AccountFileReport.h"
#include "ui/CAboutDlg.h"
#include "ui/CAccountDlg.h"
#include "ui/CheckListKeys.h"
#include "ui/DialogUnits.h"
#include "ui/HelpContext.h"
#include "ui/KeyringMenuItem.h"
#include "ui/MainMenu.h"
#include "ui/MessageBox.h"
#include "ui/StartDispSetting.h"

namespace {

enum Column { kUser, kServer, kTime, kCount, kColumns };
constexpr const char* kColumnTitles[kColumns] = {Str::kColumnUser, Str::kColumnServer, Str::kColumnTime,
                                                 Str::kColumnCount};
constexpr int kColumnPadding = 20;
constexpr int kSmallIcon = 16;

constexpr int kButtonWidth = 50;

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

CMainDlg::CMainDlg(const Parts& parts, QWidget* parent)
    : QDialog(parent),
      m_accountFile(parts.accountFile),
      m_parts(parts),
      m_alerts(*parts.alerts),
      m_scheduler(m_accounts, *parts.tray, m_alerts, *parts.prober, this),
      m_notices(m_accounts, parts.notifier) {
    m_bStartDisp = StartDispSetting::Read(QSettings());
    // A caption and a close box (which ends the program like "終了"); no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    BuildControls(ApplyTemplate(this, {.id = "IDD_MAIN",
                                       .caption = Str::kMainCaption,
                                       .templateId = kTemplateId,
                                       .font = Str::kDialogFont,
                                       .cx = 222,
                                       .cy = 239}));

    connect(&m_scheduler, &CCheckScheduler::checkBoxesNeeded, this, &CMainDlg::SyncChecks);
    connect(&m_scheduler, &CCheckScheduler::accountsChecked, this, &CMainDlg::OnAccountsChecked);
    connect(&m_scheduler, &CCheckScheduler::statLineReceived, this, &CMainDlg::OnStatLine);
    // A box the user clears ends that account's watch at once; the account takes the box's state
    // at its next check, as ever.
    connect(m_list, &QTableWidget::itemChanged, this, [this](const QTableWidgetItem* item) {
        const CAccount* account = m_accounts.GetAt(item->row());
        if (item->column() == kUser && item->checkState() != Qt::Checked && account != nullptr) {
            m_scheduler.EndWatch(account->m_id);
        }
    });
    m_scheduler.FollowSystemEvents(parts.systemEvents);
    connect(&m_scheduler, &CCheckScheduler::countChanged, this,
            [this](AccountId id, int previous, int count) { m_notices.OnCount(id, previous, count); });
    connect(&m_scheduler, &CCheckScheduler::accountRemoved, this,
            [this](AccountId id) { m_notices.OnAccountRemoved(id); });

    m_menu = new CMainMenu(this, m_notices, parts.loginStart, parts.tray->IsAvailable());
    connect(m_menu, &CMainMenu::aboutRequested, this, &CMainDlg::OnAbout);
    connect(m_menu, &CMainMenu::checkNowRequested, &m_scheduler, &CCheckScheduler::CheckNow);
    if (parts.keyring != nullptr) {
        m_keyring = new CKeyringPasswords(m_accounts, m_accountFile, *parts.keyring, this);
        m_keyringItem = new CKeyringMenuItem(m_menu->KeyringItem(), *m_keyring, m_status, this);
        connect(m_keyring, &CKeyringPasswords::passwordLoaded, this, &CMainDlg::OnPasswordLoaded);
    }
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::BuildControls(const DialogUnits& du) {
    auto* ok = AddTemplateButton(this, du, Str::kCheckButton, "IDOK", 160, 225, kButtonWidth);
    ok->setDefault(true);
    auto* cancel = AddTemplateButton(this, du, Str::kExitButton, "IDCANCEL", 80, 225, kButtonWidth);

    m_status = new QLineEdit(this);
    m_status->setObjectName(QStringLiteral("IDC_STATUS"));
    du.Place(m_status, 5, 190, 210, 14);

    m_list = new QTableWidget(this);
    m_list->setObjectName(QStringLiteral("IDC_ACCOUNT_LIST"));
    du.Place(m_list, 5, 0, 160, 190);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->setIconSize(QSize(kSmallIcon, kSmallIcon));
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(std::max(kSmallIcon, m_list->fontMetrics().height()) + 2);
    m_list->horizontalHeader()->setSectionsMovable(true);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->horizontalHeader()->setHighlightSections(false);
    new CCheckListKeys(m_list);

    auto* add = AddTemplateButton(this, du, Str::kAddButton, "IDC_ADD", 170, 5, kButtonWidth);
    auto* edit = AddTemplateButton(this, du, Str::kEditButton, "IDC_EDIT", 170, 25, kButtonWidth);
    auto* remove = AddTemplateButton(this, du, Str::kDeleteButton, "IDC_DELETE", 170, 45, kButtonWidth);

    m_startDisp = new QCheckBox(Str::Text(Str::kStartDisp), this);
    m_startDisp->setObjectName(QStringLiteral("IDC_START_DISP"));
    du.Place(m_startDisp, 5, 210, 88, 10);

    connect(ok, &QPushButton::clicked, this, &CMainDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, &CMainDlg::OnAdd);
    connect(edit, &QPushButton::clicked, this, &CMainDlg::OnEdit);
    connect(remove, &QPushButton::clicked, this, &CMainDlg::OnDelete);
    connect(m_startDisp, &QCheckBox::clicked, this, &CMainDlg::OnStartDisp);
}

void CMainDlg::OnInitDialog() {
    setWindowIcon(BuiltinIcon(IconId::kApp));
    m_parts.tray->NotifyTray(TrayRequest::Add, TrayId::kMain, TrayIcon::Builtin(IconId::kNoMail), {});
    m_startDisp->setChecked(StartDispSetting::ShowsTicked(m_bStartDisp));
    const AccountFileRead read = m_accountFile.Load(m_accounts);
    m_status->setText(AccountFileReport::LeftBeside(m_accountFile));
    m_scheduler.StartTimers();
    if (m_keyringItem != nullptr) {
        m_keyringItem->Start();
    }
    SetupColumns();
    RefreshList();
    if (m_bStartDisp == 0 && m_parts.tray->IsAvailable()) {
        // Posted, as a command would be: the window shows first, then goes to the tray.
        QTimer::singleShot(0, this, &CMainDlg::OnOK);
    }
    if (read.result == AccountFileRead::Result::Incomplete) {
        // Told from the event loop, over the window as it starts.
        QTimer::singleShot(0, this, [this, reason = read.reason] {
            AccountFileReport::ReadFailed(this, m_accountFile, reason);
        });
    }
}

void CMainDlg::DestroyWindow(bool userIsThere) {
    SyncChecks();
    AccountFileReport::SaveAtExit(this, m_accountFile, m_accounts, userIsThere);
    m_parts.tray->NotifyTray(TrayRequest::Delete, TrayId::kMain, {}, {});
    m_scheduler.RemoveAccountIcons();
    m_scheduler.EndWatches();
}

void CMainDlg::SetupColumns() {
    m_list->setColumnCount(kColumns);
    const QFontMetrics metrics = m_list->fontMetrics();
    for (int column = 0; column < kColumns; ++column) {
        const QString title = Str::Text(kColumnTitles[column]);
        m_list->setHorizontalHeaderItem(column, new QTableWidgetItem(title));
        // The user column also holds the check box and the icon; counted into the title's width
        // alone they would leave no room for the name.
        const int decorations = column == kUser ? UserDecorationWidth() : 0;
        m_list->setColumnWidth(column, metrics.horizontalAdvance(title) + kColumnPadding + decorations);
    }
}

void CMainDlg::RefreshList() {
    m_icons.ForgetFiles();  // an edit may have pointed an account at a changed icon file
    // A selection lost between a click and "編集" would make the button do nothing.
    const int selected = SelectedRow();
    const QSignalBlocker rebuilding(m_list);  // rows filled in are no boxes changed by the user
    m_list->clearContents();
    m_list->setRowCount(m_accounts.GetCount());
    int row = 0;
    for (const CAccount& account : m_accounts) {
        auto* user = Cell(DisplayText(account.m_strUser));
        user->setIcon(m_icons.AccountIcon(DisplayText(account.m_strIconFile)));
        user->setFlags(user->flags() | Qt::ItemIsUserCheckable);
        user->setCheckState(account.m_bEnabled != 0 ? Qt::Checked : Qt::Unchecked);
        m_list->setItem(row, kUser, user);
        m_list->setItem(row, kServer, Cell(DisplayText(account.m_strServer)));
        m_list->setItem(row, kTime, Cell(QString::number(account.m_nInterval)));
        m_list->setItem(row, kCount, Cell(QString::number(account.m_nLastCount)));
        ++row;
    }
    if (selected >= 0 && selected < m_list->rowCount()) {
        m_list->selectRow(selected);
    }
}

void CMainDlg::SyncChecks() {
    const int rows = std::min(m_list->rowCount(), m_accounts.GetCount());
    for (int row = 0; row < rows; ++row) {
        const QTableWidgetItem* user = m_list->item(row, kUser);
        if (user != nullptr) {
            m_accounts.GetAt(row)->m_bEnabled = user->checkState() == Qt::Checked ? 1 : 0;
        }
    }
}

int CMainDlg::UserDecorationWidth() const {
    const QStyle* style = m_list->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1;
    return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_list) + kSmallIcon + 3 * margin;
}

int CMainDlg::SelectedRow() const {
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void CMainDlg::OnAccountsChecked() {
    // The user may have changed a check box while the probe ran; it stays as the user left it.
    SyncChecks();
    if (m_list->rowCount() != m_accounts.GetCount()) {
        RefreshList();
        return;
    }
    // Only counts change with a check. Rebuilding every row after every result would stall the
    // window for a long list and make the user's selection and scroll position jump.
    for (int row = 0; row < m_accounts.GetCount(); ++row) {
        const QString count = QString::number(m_accounts.GetAt(row)->m_nLastCount);
        QTableWidgetItem* cell = m_list->item(row, kCount);
        if (cell != nullptr && cell->text() != count) {
            cell->setText(count);
        }
    }
}

// A password from the keyring makes its account complete: it is checked from now on, like one
// that was complete at start.
void CMainDlg::OnPasswordLoaded(AccountId id) {
    CAccount* account = m_accounts.Find(id);
    if (account != nullptr && account->m_nTimerId == 0) {
        m_scheduler.SetTimerForAdded(*account);
    }
}

void CMainDlg::OnStatLine(const QByteArray& line) {
    m_status->setText(DisplayText(line.toStdString()));
}

void CMainDlg::OnOK() {
    // Without a tray the user could never bring a hidden window back.
    if (m_parts.tray->IsAvailable()) {
        hide();
    } else {
        showMinimized();
    }
}

bool CMainDlg::RunAccountDialog(CAccountDlg& dialog) {
    if (m_parts.chooseFile) {
        dialog.SetFileChooser(m_parts.chooseFile);
    }
    return dialog.exec() == QDialog::Accepted;
}

void CMainDlg::OnAdd() {
    SyncChecks();
    CAccountDlg dialog(m_alerts, this);
    dialog.m_nInterval = 60;
    dialog.m_nSoundMode = 0;
    dialog.m_nLaunchMode = 0;
    if (!RunAccountDialog(dialog)) {
        return;
    }
    // A new account is not polled until the user ticks it.
    CAccount account;
    dialog.StoreInto(account);
    m_scheduler.SetTimerForAdded(account);
    m_accounts.AddTail(account);
    if (m_keyring != nullptr) {
        m_keyring->OnAdded(account);
    }
    AccountFileReport::SaveAfterChange(this, m_accountFile, m_accounts);
    RefreshList();
}

void CMainDlg::OnEdit() {
    SyncChecks();
    const int position = SelectedRow();
    const CAccount* opened = m_accounts.GetAt(position);
    if (opened == nullptr) {
        return;
    }
    // The account as the dialog shows it: a password from the keyring may come while it is open.
    const CAccount shown = *opened;
    CAccountDlg dialog(m_alerts, this);
    dialog.LoadFrom(shown);
    if (!RunAccountDialog(dialog)) {
        return;
    }
    // Only the dialog's fields: a check that finished while the dialog was open keeps its count.
    CAccount* current = m_accounts.GetAt(position);
    if (current == nullptr) {
        return;
    }
    const CAccount previous = *current;
    dialog.StoreInto(*current);
    // A password that came from the keyring while the dialog showed none stays.
    if (current->m_strPassword == shown.m_strPassword) {
        current->m_strPassword = previous.m_strPassword;
    }
    if (m_keyring != nullptr) {
        m_keyring->OnEdited(previous, *current);
    }
    m_scheduler.RenewTimer(*current);
    AccountFileReport::SaveAfterChange(this, m_accountFile, m_accounts);
    RefreshList();
}

void CMainDlg::OnDelete() {
    const int position = SelectedRow();
    if (position < 0) {
        return;
    }
    if (ShowExclamation(this, Str::Text(Str::kConfirmDelete), 0, QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok) {
        return;
    }
    SyncChecks();  // rows and accounts still line up here
    CAccount* account = m_accounts.GetAt(position);
    if (account == nullptr) {
        return;
    }
    m_scheduler.ForgetAccount(*account);
    const CAccount removed = *account;
    m_accounts.RemoveAt(position);
    // Rows and accounts line up again before anything (a check ending while the save's message
    // is up) reads the check boxes.
    m_list->clearSelection();  // the next account must not be one click from deletion
    RefreshList();
    AccountFileReport::SaveAfterChange(this, m_accountFile, m_accounts);
    if (m_keyring != nullptr) {
        m_keyring->OnDeleted(removed);
    }
}

void CMainDlg::OnStartDisp() {
    m_bStartDisp = m_startDisp->isChecked() ? 1 : 0;
    QSettings settings;
    StartDispSetting::Write(settings, m_bStartDisp);
}

void CMainDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

// Where the window menu would carry it, a right click offers the About box, with the settings
// that the window's template has no room for.
void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The menu's own keys already opened it for the keyboard.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        m_menu->Popup(event->globalPos());
    }
}
