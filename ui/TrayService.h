#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include "check/IconCache.h"
#include "check/TrayNotifier.h"

class QWidget;

// The tray: one QSystemTrayIcon per tray id. A left click on the main icon brings the owner
// window back; nothing else reacts to clicks, and there is no tray menu.
class CTrayService : public QObject, public ITrayNotifier {
    Q_OBJECT

public:
    explicit CTrayService(QObject* parent = nullptr);
    ~CTrayService() override;

    void SetOwnerWindow(QWidget* window) { m_window = window; }

    bool NotifyTray(TrayRequest request, int id, const TrayIcon& icon, const QString& tooltip) override;
    bool IsAvailable() const override;

    // What a click on the icon with this id does.
    void OnTrayNotify(int id, QSystemTrayIcon::ActivationReason reason);

private:
    void Apply(QSystemTrayIcon* trayIcon, const TrayIcon& icon, const QString& tooltip);

    QPointer<QWidget> m_window;
    QMap<int, QSystemTrayIcon*> m_icons;
    CIconCache m_pictures;
};
