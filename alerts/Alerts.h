#pragma once

#include <QString>

class IAlertPlatform;
class QWidget;

// The sound and launch alerts, used when a check finds mail and by the settings dialog's preview
// buttons. Nothing is ever reported: a failure simply plays or opens nothing.
class CAlerts {
public:
    explicit CAlerts(IAlertPlatform& platform) : m_platform(platform) {}

    // The alert sound needs an output device; without one it plays nothing.
    void PlayAlertSound(const QString& file);
    // The preview plays regardless of the device test.
    void PreviewSound(const QString& file);
    void StopSound();
    // "play" (an audio file, without a window) first; if that fails, "open". An empty name still
    // makes both requests. `owner` is the window the launch belongs to (unused on this desktop).
    void LaunchFile(QWidget* owner, const QString& file);

private:
    IAlertPlatform& m_platform;
};
