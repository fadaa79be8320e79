#include "ui/MessageBox.h"

#include "res/Strings.h"
#include "ui/HelpContext.h"

QMessageBox::StandardButton ShowExclamation(QWidget* owner, const QString& text, int stringId,
                                            QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Warning, Str::Text(Str::kAppName), text, buttons, owner);
    if (stringId != 0) {
        HelpContext::Set(&box, HelpContext::ForMessage(stringId));
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
