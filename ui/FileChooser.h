#pragma once
// Choosing a file to open, behind a seam so that tests can answer in place of the user.

#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct FileRequest {
    QString currentFile;  // the box's current value, so the dialog opens in its folder
    QString initialName;  // e.g. "*.WAV"
    QString filter;       // in Qt's form, e.g. "アイコン(*.ICO)"
    bool operator==(const FileRequest&) const = default;
};

// The chosen file's full path, or nothing when the user cancels.
using FileChooser = std::function<std::optional<QString>(QWidget* parent, const FileRequest& request)>;

// The desktop's open-file dialog.
std::optional<QString> ChooseFileWithDialog(QWidget* parent, const FileRequest& request);

// "desc|pattern|desc|pattern||" (patterns separated by ';') as Qt's "desc (pattern);;..." form.
QString QtFileFilter(const QString& pipeSeparated);
