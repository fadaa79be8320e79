#include "ui/TrayMessageNotifier.h"

#include <QSystemTrayIcon>

#include "check/AccountIcon.h"
#include "check/TrayNotifier.h"

CTrayMessageNotifier::CTrayMessageNotifier(MainTrayIcon mainTrayIcon, QObject* parent)
    : CDesktopNotifier(parent), m_mainTrayIcon(std::move(mainTrayIcon)) {}

void CTrayMessageNotifier::Show(int key, const QString& title, const QString& text) {
    QSystemTrayIcon* icon = m_mainTrayIcon ? m_mainTrayIcon() : nullptr;
    if (icon == nullptr) {
        return;
    }
    if (m_connectedIcon != icon) {
        m_connectedIcon = icon;
        connect(icon, &QSystemTrayIcon::messageClicked, this, [this] {
            if (m_shownKey != 0) {
                BringOwnerBack();
            }
        });
    }
    m_shownKey = key;
    icon->showMessage(title, text, BuiltinIcon(IconId::kMail));
}

void CTrayMessageNotifier::Withdraw(int key) {
    if (m_shownKey == key) {
        m_shownKey = 0;
    }
}
