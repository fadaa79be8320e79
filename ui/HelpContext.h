#pragma once
// Help topics by context number: a dialog's is 0x20000 + its template id, a message box's
// 0x30000 + the id of its text. Windows carry theirs in a property that the F1 handling reads.

#include <QObject>

namespace HelpContext {

inline constexpr char kProperty[] = "helpContext";

inline constexpr int kDialogBase = 0x20000;
inline constexpr int kMessageBase = 0x30000;

inline constexpr int ForDialog(int templateId) {
    return kDialogBase + templateId;
}
inline constexpr int ForMessage(int stringId) {
    return kMessageBase + stringId;
}

inline void Set(QObject* window, int context) {
    window->setProperty(kProperty, context);
}

}  // namespace HelpContext
