#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

// F1 help for every window of the program: an application-wide event filter that opens the help
// page at the topic of the window in front (its "helpContext" property; a window without one
// takes its owner's). A context of 0 marks a window without help.
class CHelpLauncher : public QObject {
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit CHelpLauncher(QString helpFile, UrlOpener opener = DefaultOpener(), QObject* parent = nullptr);

    // The help page beside the executable, under the executable's own base name.
    static QString HelpFileForThisProgram();
    // The page beside the executable (same base name, ".html"), else an installed copy's among
    // its data (InstalledDataFolder).
    static QString HelpFileFor(const QString& executablePath);
    // The page's address at the topic of a context number, e.g. "...#ctx-0x20066".
    static QUrl TopicUrl(const QString& helpFile, int context);

    // Opens the topic; when that fails, the user is told so over `owner`.
    bool ShowHelp(int context, QWidget* owner);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static UrlOpener DefaultOpener();
    static int ContextOf(QWidget* window);

    QString m_helpFile;
    UrlOpener m_open;
};
