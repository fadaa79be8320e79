#include "ui/AccountFileReport.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

#include "accounts/AccountStore.h"
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

namespace AccountFileReport {

void ReadFailed(QWidget* owner, const CAccountStore& store, const QString& reason) {
    Show(owner, Str::Text(Str::kReadFailed).arg(Native(store.Path()), reason, Native(store.KeptPath())),
         Str::kReadFailedId);
}

QString LeftBeside(const CAccountStore& store) {
    const QStringList names = store.LeftBeside();
    return names.isEmpty() ? QString() : Str::Text(Str::kLeftBeside).arg(names.join(QStringLiteral("、")));
}

void SaveAfterChange(QWidget* owner, CAccountStore& store, const CAccountList& list) {
    QString reason;
    if (!store.Save(list, &reason)) {
        Show(owner, Str::Text(Str::kSaveFailed).arg(Native(store.Path()), reason), Str::kSaveFailedId);
    }
}

void SaveAtExit(QWidget* owner, CAccountStore& store, const CAccountList& list, bool userIsThere) {
    QString reason;
    while (!store.Save(list, &reason)) {
        if (!userIsThere) {
            std::fprintf(stderr, "quillpost: %s: %s\n", qUtf8Printable(Native(store.Path())),
                         qUtf8Printable(reason));
            return;
        }
        const QString text = Str::Text(Str::kExitSaveFailed).arg(Native(store.Path()), reason);
        if (Show(owner, text, Str::kExitSaveFailedId, QMessageBox::Retry | QMessageBox::Cancel) !=
            QMessageBox::Retry) {
            return;
        }
    }
}

}  // namespace AccountFileReport
