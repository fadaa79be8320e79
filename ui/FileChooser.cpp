#include "ui/FileChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

std::optional<QString> ChooseFileWithDialog(QWidget* parent, const FileRequest& request) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(request.filter);
    // Open where the current choice lives, so that changing it starts next to it.
    const QFileInfo current(request.currentFile);
    if (!request.currentFile.isEmpty() && current.absoluteDir().exists()) {
        dialog.setDirectory(current.absoluteDir());
    }
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

QString QtFileFilter(const QString& pipeSeparated) {
    QStringList parts = pipeSeparated.split(u'|');
    while (!parts.isEmpty() && parts.constLast().isEmpty()) {
        parts.removeLast();
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // Qt reads the patterns from the last parentheses; keep a description that already ends
        // in them as it is.
        const QString bracketed = u'(' + patterns + u')';
        filters << (description.endsWith(bracketed) ? description : description + u' ' + bracketed);
    }
    return filters.join(QStringLiteral(";;"));
}
