#pragma once

#include <QString>

// What the alerts need from the desktop: sound output and the shell's "play" and "open".
class IAlertPlatform {
public:
    virtual ~IAlertPlatform() = default;

    // Whether a sound output device exists (the alert sound needs one; the preview does not).
    virtual bool HasOutputDevice() = 0;
    // Starts playing `file` and returns at once, replacing a sound still playing. A file that
    // cannot be played gives the desktop's default sound instead.
    virtual void PlaySound(const QString& file) = 0;
    virtual void StopSound() = 0;
    // Plays an audio file without any window; false when `file` is not something it can play.
    virtual bool ShellPlay(const QString& file) = 0;
    // Opens `file` normally: an executable is started, anything else goes to its application.
    virtual bool ShellOpen(const QString& file) = 0;
};
