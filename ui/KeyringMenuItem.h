#pragma once

#include <QObject>
#include <QString>

#include "secrets/KeyringPasswords.h"

class QAction;
class QLineEdit;
class QWidget;

// The right-click menu's "パスワードをキーリングに保存する" and what the user sees of the keyring:
// the tick shows whether the keyring really holds the passwords; a failure shows on the status
// line, and a tick that failed explains why in a box (never at start). The setting "Keyring"
// changes only when a tick's move worked.
class CKeyringMenuItem : public QObject {
    Q_OBJECT

public:
    CKeyringMenuItem(QAction* item, CKeyringPasswords& passwords, QLineEdit* statusLine, QWidget* owner);

    // Reads the setting and starts the keyring's side of the accounts just read.
    void Start();

private:
    void OnTicked(bool on);
    void OnMoveEnded(CKeyringPasswords::Origin origin, const QString& failure);

    QAction* m_item;
    CKeyringPasswords& m_passwords;
    QLineEdit* m_statusLine;
    QWidget* m_owner;
    bool m_askedOn = false;  // the direction of the tick under way
};
