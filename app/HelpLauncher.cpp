#include "app/HelpLauncher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

#include "accounts/InstalledCopy.h"
#include "res/Strings.h"
#include "ui/HelpContext.h"

CHelpLauncher::CHelpLauncher(QString helpFile, UrlOpener opener, QObject* parent)
    : QObject(parent), m_helpFile(std::move(helpFile)), m_open(std::move(opener)) {}

CHelpLauncher::UrlOpener CHelpLauncher::DefaultOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

QString CHelpLauncher::HelpFileForThisProgram() {
    return HelpFileFor(QApplication::applicationFilePath());
}

QString CHelpLauncher::HelpFileFor(const QString& executablePath) {
    const QFileInfo executable(executablePath);
    const QString name = executable.completeBaseName() + QStringLiteral(".html");
    const QString beside = executable.absoluteDir().filePath(name);
    // An installed copy keeps its help page with its other data.
    const QString data = InstalledDataFolder(executable.absolutePath());
    const QString installed = data.isEmpty() ? QString() : QDir(data).filePath(name);
    if (QFileInfo::exists(beside) || installed.isEmpty() || !QFileInfo::exists(installed)) {
        return beside;
    }
    return installed;
}

QUrl CHelpLauncher::TopicUrl(const QString& helpFile, int context) {
    QUrl url = QUrl::fromLocalFile(helpFile);
    url.setFragment(QStringLiteral("ctx-0x%1").arg(context, 0, 16));
    return url;
}

bool CHelpLauncher::ShowHelp(int context, QWidget* owner) {
    // A browser would show its own error page for a missing file and report success.
    if (QFileInfo(m_helpFile).isFile() && m_open(TopicUrl(m_helpFile, context))) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, Str::Text(Str::kAppName), Str::Text(Str::kHelpFailed),
                    QMessageBox::Ok, owner);
    HelpContext::Set(&box, 0);  // F1 here would only fail again
    box.exec();
    return false;
}

int CHelpLauncher::ContextOf(QWidget* window) {
    for (QWidget* w = window; w != nullptr; w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
        const QVariant context = w->property(HelpContext::kProperty);
        if (context.isValid()) {
            return context.toInt();
        }
    }
    return 0;
}

bool CHelpLauncher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers held =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (key->key() != Qt::Key_F1 || held != Qt::NoModifier) {
        return false;
    }
    QWidget* window = static_cast<QWidget*>(watched)->window();
    const int context = ContextOf(window);
    if (context != 0 && !key->isAutoRepeat()) {
        ShowHelp(context, window);
    }
    return true;
}
