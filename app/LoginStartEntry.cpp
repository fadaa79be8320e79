#include "app/LoginStartEntry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr char kEntryName[] = "quillpost";
constexpr char kExecKey[] = "Exec=";
constexpr char kAutostartKey[] = "X-GNOME-Autostart-enabled=";

// The installed desktop file, compiled in so that the entry carries its fields wherever the
// program runs from.
QStringList DesktopFileLines() {
    QFile file(QStringLiteral(":/quillpost.desktop"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// A key's value in a desktop file's lines (its last, as the desktop reads them), or a null string.
QString ValueOf(const QStringList& lines, QLatin1String key) {
    QString value;
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && QStringView(line).first(equals).trimmed() == key) {
            value = line.mid(equals + 1).trimmed();
        }
    }
    return value;
}

}  // namespace

CXdgAutostartEntry::CXdgAutostartEntry(QString configHome, QString executable)
    : m_configHome(std::move(configHome)), m_executable(std::move(executable)) {}

QString CXdgAutostartEntry::FilePath() const {
    return QDir(m_configHome).filePath(QStringLiteral("autostart/%1.desktop").arg(kEntryName));
}

QString CXdgAutostartEntry::ExecValue(const QString& executable) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString value;
    bool quote = false;
    for (const QChar c : executable) {
        quote = quote || reserved.contains(c);
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            value += '\\';  // escaped inside the quotes
        }
        value += c;
    }
    // A literal percent would start a field code.
    value.replace('%', QStringLiteral("%%"));
    if (quote) {
        value = '"' + value + '"';
    }
    // The value is a desktop-entry string, whose own escapes come on top.
    value.replace('\\', QStringLiteral("\\\\"));
    value.replace('\n', QStringLiteral("\\n"));
    return value;
}

QString CXdgAutostartEntry::Contents() const {
    QStringList lines;
    for (const QString& line : DesktopFileLines()) {
        if (line.startsWith(QLatin1String(kExecKey))) {
            lines << kExecKey + ExecValue(m_executable);
        } else if (!line.startsWith(QLatin1String(kAutostartKey))) {
            lines << line;
        }
    }
    lines << QLatin1String(kAutostartKey) + QStringLiteral("true");
    return lines.join('\n') + '\n';
}

// Only an entry that starts this executable counts, and only while the desktop's own settings have
// not switched it off (they write Hidden=true, or GNOME's X-GNOME-Autostart-enabled=false).
bool CXdgAutostartEntry::IsOn() const {
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    return ValueOf(lines, QLatin1String("Exec")) == ExecValue(m_executable) &&
           ValueOf(lines, QLatin1String("Hidden")) != QLatin1String("true") &&
           ValueOf(lines, QLatin1String("X-GNOME-Autostart-enabled")) != QLatin1String("false");
}

bool CXdgAutostartEntry::SetOn(bool on) {
    if (!on) {
        return !QFile::exists(FilePath()) || QFile::remove(FilePath());
    }
    if (!QDir().mkpath(QFileInfo(FilePath()).absolutePath())) {
        return false;
    }
    QSaveFile file(FilePath());
    return file.open(QIODevice::WriteOnly) && file.write(Contents().toUtf8()) >= 0 && file.commit();
}

CRunKeyEntry::CRunKeyEntry(std::unique_ptr<QSettings> runKey, QString executable)
    : m_runKey(std::move(runKey)), m_executable(std::move(executable)) {}

CRunKeyEntry::~CRunKeyEntry() = default;

QString CRunKeyEntry::Command() const {
    return '"' + QDir::toNativeSeparators(m_executable) + '"';
}

bool CRunKeyEntry::IsOn() const {
    return m_runKey->value(kEntryName).toString() == Command();
}

bool CRunKeyEntry::SetOn(bool on) {
    if (on) {
        m_runKey->setValue(kEntryName, Command());
    } else {
        m_runKey->remove(kEntryName);
    }
    m_runKey->sync();
    return m_runKey->status() == QSettings::NoError;
}

std::unique_ptr<ILoginStart> LoginStartForThisProgram() {
    const QString executable = QApplication::applicationFilePath();
#ifdef Q_OS_WIN
    return std::make_unique<CRunKeyEntry>(
        std::make_unique<QSettings>(
            QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
            QSettings::NativeFormat),
        executable);
#else
    return std::make_unique<CXdgAutostartEntry>(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), executable);
#endif
}
