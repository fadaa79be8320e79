#include "ui/TrayService.h"

#include <QWidget>

#include "res/Strings.h"
#include "ui/TooltipText.h"

CTrayService::CTrayService(QObject* parent) : QObject(parent) {}

CTrayService::~CTrayService() {
    qDeleteAll(m_icons);
}

bool CTrayService::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CTrayService::NotifyTray(TrayRequest request, int id, const TrayIcon& icon, const QString& tooltip) {
    QSystemTrayIcon* existing = m_icons.value(id, nullptr);
    switch (request) {
        case TrayRequest::Add: {
            if (existing != nullptr) {
                return false;  // an icon already there stays as it is
            }
            auto* trayIcon = new QSystemTrayIcon(this);
            trayIcon->setObjectName(QString::number(id));  // named by its id, as controls are
            Apply(trayIcon, icon, tooltip);
            connect(trayIcon, &QSystemTrayIcon::activated, this,
                    [this, id](QSystemTrayIcon::ActivationReason reason) { OnTrayNotify(id, reason); });
            m_icons.insert(id, trayIcon);
            trayIcon->show();
            return true;
        }
        case TrayRequest::Modify:
            if (existing == nullptr) {
                return false;
            }
            Apply(existing, icon, tooltip);
            return true;
        case TrayRequest::Delete:
            if (existing == nullptr) {
                return false;
            }
            m_icons.remove(id);
            existing->hide();
            delete existing;
            return true;
    }
    return false;
}

void CTrayService::Apply(QSystemTrayIcon* trayIcon, const TrayIcon& icon, const QString& tooltip) {
    trayIcon->setIcon(m_pictures.Picture(icon));
    trayIcon->setToolTip(CutTooltip(tooltip.isEmpty() ? Str::Text(Str::kAppName) : tooltip));
}

void CTrayService::OnTrayNotify(int id, QSystemTrayIcon::ActivationReason reason) {
    if (id != TrayId::kMain || reason != QSystemTrayIcon::Trigger || m_window.isNull()) {
        return;
    }
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}
