#include "alerts/Alerts.h"

#include "alerts/AlertPlatform.h"

void CAlerts::PlayAlertSound(const QString& file) {
    if (m_platform.HasOutputDevice()) {
        m_platform.PlaySound(file);
    }
}

void CAlerts::PreviewSound(const QString& file) {
    m_platform.PlaySound(file);
}

void CAlerts::StopSound() {
    m_platform.StopSound();
}

void CAlerts::LaunchFile(QWidget* /*owner*/, const QString& file) {
    if (!m_platform.ShellPlay(file)) {
        m_platform.ShellOpen(file);
    }
}
