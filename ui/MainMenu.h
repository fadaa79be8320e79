#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>

class CMailNotices;
class ILoginStart;
class QAction;
class QWidget;

// The main window's right-click menu: the About box, whether new mail shows a desktop
// notification, whether the program starts at login, whether the passwords live in the desktop's
// keyring, and a check of every account at once. The
// context-menu key and Shift+F10 open it at the control that has the focus; F1 on an item opens
// that item's help topic.
class CMainMenu : public QObject {
    Q_OBJECT

public:
    // Command ids; an item's help topic is 0x10000 + its id.
    static constexpr int kAboutId = 16;
    static constexpr int kNotifyId = 32771;
    static constexpr int kLoginStartId = 32772;
    static constexpr int kCheckNowId = 32773;
    static constexpr int kKeyringId = 32774;
    static constexpr int HelpContextOf(int commandId) { return 0x10000 + commandId; }

    // `loginStart` may be null: then the item is greyed. The "Notify" setting's default depends on
    // whether there is a tray.
    CMainMenu(QWidget* window, CMailNotices& notices, ILoginStart* loginStart, bool trayAvailable);
    ~CMainMenu() override;

    // Runs the menu at a screen position until an item is chosen or it is closed.
    void Popup(const QPoint& globalPos);
    void PopupAtFocus();

    // "パスワードをキーリングに保存する", greyed until a keyring takes it over (CKeyringMenuItem).
    QAction* KeyringItem() const { return m_keyring; }

signals:
    void aboutRequested();
    void checkNowRequested();

private:
    QAction* AddItem(const char* text, int commandId);
    void OnNotify(bool on);
    void OnLoginStart(bool on);

    QWidget* m_window;
    CMailNotices& m_notices;
    ILoginStart* m_loginStart;
    QPointer<QMenu> m_menu;  // the window's child, so that F1 in it falls back to the window's topic
    QAction* m_notify = nullptr;
    QAction* m_login = nullptr;
    QAction* m_keyring = nullptr;
};
