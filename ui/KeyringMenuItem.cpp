#include "ui/KeyringMenuItem.h"

#include <QAction>
#include <QLineEdit>
#include <QSettings>

#include "res/Strings.h"
#include "ui/KeyringSetting.h"
#include "ui/MessageBox.h"

CKeyringMenuItem::CKeyringMenuItem(QAction* item, CKeyringPasswords& passwords, QLineEdit* statusLine,
                                   QWidget* owner)
    : QObject(owner), m_item(item), m_passwords(passwords), m_statusLine(statusLine), m_owner(owner) {
    m_item->setCheckable(true);
    m_item->setEnabled(true);
    connect(m_item, &QAction::triggered, this, &CKeyringMenuItem::OnTicked);
    connect(&m_passwords, &CKeyringPasswords::moveEnded, this, &CKeyringMenuItem::OnMoveEnded);
}

void CKeyringMenuItem::Start() {
    m_passwords.Start(KeyringSetting::Read(QSettings()));
    m_item->setChecked(m_passwords.Holds());
}

void CKeyringMenuItem::OnTicked(bool on) {
    // Until the move ends the tick shows what holds now, and the item waits.
    m_askedOn = on;
    m_item->setChecked(!on);
    m_item->setEnabled(false);
    m_passwords.SetOn(on);
}

void CKeyringMenuItem::OnMoveEnded(CKeyringPasswords::Origin origin, const QString& failure) {
    m_item->setChecked(m_passwords.Holds());
    const bool ticked = origin == CKeyringPasswords::Origin::Tick;
    if (ticked) {
        m_item->setEnabled(true);
    }
    if (failure.isEmpty()) {
        if (ticked) {
            QSettings settings;
            KeyringSetting::Write(settings, m_passwords.IsOn());
        }
        return;
    }
    const bool movingOut = ticked && !m_askedOn;
    const char* text = movingOut ? Str::kKeyringMoveOutFailed : Str::kKeyringUnusable;
    m_statusLine->setText(Str::Text(text));
    m_statusLine->setCursorPosition(0);  // the line is narrower than the text: its start says most
    if (ticked) {
        ShowExclamation(m_owner, Str::Text(Str::kKeyringReason).arg(Str::Text(text), failure),
                        movingOut ? Str::kKeyringMoveOutFailedId : Str::kKeyringUnusableId);
    }
}
