#include "ui/MainMenu.h"

#include <QMenu>
#include <QSettings>
#include <QShortcut>

#include "alerts/MailNotices.h"
#include "res/Strings.h"
#include "ui/HelpContext.h"
#include "ui/LoginStart.h"
#include "ui/NotifySetting.h"

namespace {
constexpr char kCommandId[] = "commandId";
}  // namespace

CMainMenu::CMainMenu(QWidget* window, CMailNotices& notices, ILoginStart* loginStart, bool trayAvailable)
    : QObject(window),
      m_window(window),
      m_notices(notices),
      m_loginStart(loginStart),
      m_menu(new QMenu(window)) {
    m_menu->setObjectName(QStringLiteral("IDR_MAIN_MENU"));
    connect(AddItem(Str::kAboutMenuItem, kAboutId), &QAction::triggered, this, &CMainMenu::aboutRequested);
    m_menu->addSeparator();
    m_notify = AddItem(Str::kNotifyMenuItem, kNotifyId);
    m_notify->setCheckable(true);
    m_login = AddItem(Str::kLoginStartMenuItem, kLoginStartId);
    m_login->setCheckable(true);
    m_login->setEnabled(m_loginStart != nullptr);
    m_keyring = AddItem(Str::kKeyringMenuItem, kKeyringId);
    m_keyring->setEnabled(false);
    connect(AddItem(Str::kCheckNowMenuItem, kCheckNowId), &QAction::triggered, this,
            &CMainMenu::checkNowRequested);
    connect(m_notify, &QAction::triggered, this, &CMainMenu::OnNotify);
    connect(m_login, &QAction::triggered, this, &CMainMenu::OnLoginStart);

    const bool notify = NotifySetting::Read(QSettings(), trayAvailable);
    m_notify->setChecked(notify);
    m_notices.SetEnabled(notify);

    // F1 asks the menu window for its topic: the highlighted item's, else the main window's.
    connect(m_menu, &QMenu::hovered, this, [this](QAction* action) {
        HelpContext::Set(m_menu, HelpContextOf(action->property(kCommandId).toInt()));
    });
    connect(m_menu, &QMenu::aboutToHide, this, [this] { m_menu->setProperty(HelpContext::kProperty, {}); });
    // The entry may have been changed or removed outside the program since the menu last showed.
    connect(m_menu, &QMenu::aboutToShow, this,
            [this] { m_login->setChecked(m_loginStart && m_loginStart->IsOn()); });

    for (const QKeySequence& key : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        connect(new QShortcut(key, window), &QShortcut::activated, this, &CMainMenu::PopupAtFocus);
    }
}

CMainMenu::~CMainMenu() {
    delete m_menu.data();
}

QAction* CMainMenu::AddItem(const char* text, int commandId) {
    QAction* action = m_menu->addAction(Str::Text(text));
    action->setProperty(kCommandId, commandId);
    return action;
}

void CMainMenu::Popup(const QPoint& globalPos) {
    m_menu->exec(globalPos);
}

void CMainMenu::PopupAtFocus() {
    const QWidget* focus = m_window->focusWidget();
    const QWidget* at = focus != nullptr ? focus : m_window;
    Popup(at->mapToGlobal(at->rect().center()));
}

void CMainMenu::OnNotify(bool on) {
    QSettings settings;
    NotifySetting::Write(settings, on);
    m_notices.SetEnabled(on);
}

void CMainMenu::OnLoginStart(bool on) {
    if (m_loginStart != nullptr) {
        m_loginStart->SetOn(on);
    }
    // The tick tells what is on disk, also when writing or removing the entry failed.
    m_login->setChecked(m_loginStart != nullptr && m_loginStart->IsOn());
}
