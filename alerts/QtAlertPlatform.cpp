#include "alerts/QtAlertPlatform.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMimeDatabase>
#include <QProcess>
#include <QSoundEffect>
#include <QUrl>

namespace {

bool IsWave(const QMimeType& type) {
    return type.inherits(QStringLiteral("audio/x-wav"));
}

// The type comes from the name's extension, and from the content only when the extension says
// nothing: as with the shell, a file named ".wav" is always sound and is never run as a program.
QMimeType TypeOf(const QString& file) {
    return QMimeDatabase().mimeTypeForFile(file);
}

QUrl FileUrl(const QString& file) {
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
}

}  // namespace

CQtAlertPlatform::CQtAlertPlatform(QObject* parent) : QObject(parent) {}

CQtAlertPlatform::~CQtAlertPlatform() = default;

bool CQtAlertPlatform::HasOutputDevice() {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

void CQtAlertPlatform::PlaySound(const QString& file) {
    // A fresh effect for every sound: it replaces one still playing, and it takes the output
    // device that is the default now.
    delete m_sound;
    m_sound = nullptr;
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        PlayDefaultSound();
        return;
    }
    m_sound = new QSoundEffect(this);
    QSoundEffect* sound = m_sound;
    // Whether the file decodes is only known once it has loaded.
    connect(sound, &QSoundEffect::statusChanged, this, [this, sound] {
        if (sound->status() == QSoundEffect::Error) {
            PlayDefaultSound();
        }
    });
    sound->setSource(FileUrl(file));
    sound->play();
}

void CQtAlertPlatform::StopSound() {
    if (m_sound != nullptr) {
        m_sound->stop();
    }
}

void CQtAlertPlatform::PlayDefaultSound() {
    QApplication::beep();
}

bool CQtAlertPlatform::ShellPlay(const QString& file) {
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        return false;
    }
    const QMimeType type = TypeOf(file);
    if (!type.name().startsWith(QLatin1String("audio/"))) {
        return false;
    }
    if (IsWave(type)) {
        PlayThroughSoundEffect(file);
    } else {
        PlayThroughMediaPlayer(file);
    }
    return true;
}

void CQtAlertPlatform::PlayThroughSoundEffect(const QString& file) {
    delete m_shellSound;
    m_shellSound = new QSoundEffect(this);
    m_shellSound->setSource(FileUrl(file));
    m_shellSound->play();
}

void CQtAlertPlatform::PlayThroughMediaPlayer(const QString& file) {
    if (m_shellPlayer == nullptr) {
        m_shellPlayer = new QMediaPlayer(this);
        m_shellPlayer->setAudioOutput(new QAudioOutput(m_shellPlayer));
    }
    m_shellPlayer->stop();
    m_shellPlayer->setSource(FileUrl(file));
    m_shellPlayer->play();
}

bool CQtAlertPlatform::ShellOpen(const QString& file) {
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists()) {
        return false;
    }
    if (info.isFile() && info.isExecutable()) {
        // Started directly, never through a shell, so nothing in the name is interpreted; the
        // absolute path keeps a bare name from being looked up in PATH.
        return QProcess::startDetached(info.absoluteFilePath(), {});
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}
