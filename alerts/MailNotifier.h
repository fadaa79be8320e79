#pragma once

#include <QString>

// Desktop notifications as the rest of the program sees them: at most one per key, shown again
// under the same key to replace it, and withdrawn by key.
class IMailNotifier {
public:
    virtual ~IMailNotifier() = default;

    // Shows a notification, replacing the one already shown under `key` (never stacking a second).
    virtual void Show(int key, const QString& title, const QString& text) = 0;
    // Takes the notification shown under `key` away; nothing happens when there is none.
    virtual void Withdraw(int key) = 0;
};
