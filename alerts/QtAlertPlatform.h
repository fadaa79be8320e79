#pragma once

#include <QObject>

#include "alerts/AlertPlatform.h"

class QMediaPlayer;
class QSoundEffect;

// The alert platform of this desktop: sound through Qt Multimedia, "play" as windowless playback
// of an audio file, "open" as a detached start of an executable or the desktop's handler for
// anything else. Nothing is ever reported to the user.
class CQtAlertPlatform : public QObject, public IAlertPlatform {
    Q_OBJECT

public:
    explicit CQtAlertPlatform(QObject* parent = nullptr);
    ~CQtAlertPlatform() override;

    bool HasOutputDevice() override;
    void PlaySound(const QString& file) override;
    void StopSound() override;
    bool ShellPlay(const QString& file) override;
    bool ShellOpen(const QString& file) override;

protected:
    // What the user hears instead of a sound file that cannot be played.
    virtual void PlayDefaultSound();

private:
    void PlayThroughMediaPlayer(const QString& file);
    void PlayThroughSoundEffect(const QString& file);

    QSoundEffect* m_sound = nullptr;        // the alert or preview sound
    QSoundEffect* m_shellSound = nullptr;   // a wave file played by "play"
    QMediaPlayer* m_shellPlayer = nullptr;  // any other audio file played by "play"
};
