#include "ui/AccountFileMessages.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "res/Strings.h"
#include "ui/HelpContext.h"

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QMessageBox::StandardButton Show(QWidget* owner, const QString& text, int stringId,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
    QMessageBox box(QMessageBox::Warning, Str::Text(Str::kAppName), text, buttons, owner);
    HelpContext::Set(&box, HelpContext::ForMessage(stringId));
    if (buttons.testFlag(QMessageBox::Retry)) {
        box.button(QMessageBox::Retry)->setText(Str::Text(Str::kRetryButton));
        box.button(QMessageBox::Cancel)->setText(Str::Text(Str::kEndWithoutSaving));
        box.setDefaultButton(QMessageBox::Retry);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

namespace AccountFileMessages {

void ShowReadFailure(QWidget* owner, const QString& path, const QString& reason, const QString& keptPath) {
    Show(owner, Str::Text(Str::kReadFailed).arg(Native(path), reason, Native(keptPath)), Str::kReadFailedId);
}

void ShowSaveFailure(QWidget* owner, const QString& path, const QString& reason) {
    Show(owner, Str::Text(Str::kSaveFailed).arg(Native(path), reason), Str::kSaveFailedId);
}

bool AskRetryExitSave(QWidget* owner, const QString& path, const QString& reason) {
    return Show(owner, Str::Text(Str::kExitSaveFailed).arg(Native(path), reason), Str::kExitSaveFailedId,
                QMessageBox::Retry | QMessageBox::Cancel) == QMessageBox::Retry;
}

void LogExitSaveFailure(const QString& path, const QString& reason) {
    std::fprintf(stderr, "quillpost: %s: %s\n", qUtf8Printable(Native(path)), qUtf8Printable(reason));
}

}  // namespace AccountFileMessages
