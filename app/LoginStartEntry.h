#pragma once

#include <QString>
#include <memory>

#include "ui/LoginStart.h"

class QSettings;

// The XDG autostart entry <config>/autostart/quillpost.desktop ($XDG_CONFIG_HOME, else
// ~/.config): the installed desktop file's fields, Exec= this executable's absolute path, enabled
// for GNOME too.
class CXdgAutostartEntry : public ILoginStart {
public:
    // `configHome` is the user's config folder; `executable` the absolute path the entry starts.
    CXdgAutostartEntry(QString configHome, QString executable);

    bool IsOn() const override;
    bool SetOn(bool on) override;

    QString FilePath() const;
    // The Exec= value for a path: quoted and escaped where the desktop-entry rules ask for it.
    static QString ExecValue(const QString& executable);

private:
    QString Contents() const;

    QString m_configHome;
    QString m_executable;
};

// The per-user Run key of Windows (HKCU\Software\Microsoft\Windows\CurrentVersion\Run): one value
// named after the program holding the quoted path of the executable.
class CRunKeyEntry : public ILoginStart {
public:
    CRunKeyEntry(std::unique_ptr<QSettings> runKey, QString executable);
    ~CRunKeyEntry() override;

    bool IsOn() const override;
    bool SetOn(bool on) override;

private:
    QString Command() const;

    std::unique_ptr<QSettings> m_runKey;
    QString m_executable;
};

// The entry of this platform for the running executable.
std::unique_ptr<ILoginStart> LoginStartForThisProgram();
