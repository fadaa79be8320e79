#pragma once

#include <QString>

#include "accounts/AccountId.h"

// The tray as the rest of the program sees it: icons by id, each with a picture and a tooltip.
namespace TrayId {
inline constexpr int kMain = 2000;
inline constexpr int kFirstAccount = 2001;  // the first account's; the others follow by identity
// An account's icon keeps its id while other accounts are added and deleted.
inline int ForAccount(AccountId account) {
    return kFirstAccount + static_cast<int>(account.value) - 1;
}
}  // namespace TrayId

enum class TrayRequest { Add = 0, Modify = 1, Delete = 2 };

// A picture for the tray: one of the built-in icons (128 ... 131) or the first icon of a file.
struct TrayIcon {
    int resourceId = 0;  // 0 when `file` names the picture
    QString file;

    static TrayIcon Builtin(int id) { return {id, {}}; }
    static TrayIcon FromFile(const QString& path) { return {0, path}; }
    bool operator==(const TrayIcon&) const = default;
};

namespace IconId {
inline constexpr int kApp = 128;
inline constexpr int kNoMail = 129;
inline constexpr int kMail = 130;
inline constexpr int kError = 131;
}  // namespace IconId

class ITrayNotifier {
public:
    virtual ~ITrayNotifier() = default;

    // Add fails (returns false, changes nothing) when the id exists; Modify and Delete of a
    // missing id do nothing. An empty tooltip means the program name.
    virtual bool NotifyTray(TrayRequest request, int id, const TrayIcon& icon, const QString& tooltip) = 0;

    // Whether there is a tray to hide the main window into (the window only hides when there is).
    virtual bool IsAvailable() const = 0;
};
