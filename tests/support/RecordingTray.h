#pragma once
// A tray that records every request and keeps the icons it holds, for tests of the logic that
// drives the tray.

#include <QMap>
#include <QString>
#include <vector>

#include "check/TrayNotifier.h"

struct TrayCall {
    TrayRequest request;
    int id;
    TrayIcon icon;
    QString tooltip;
    bool operator==(const TrayCall&) const = default;
};

class RecordingTray : public ITrayNotifier {
public:
    struct Shown {
        TrayIcon icon;
        QString tooltip;
    };

    bool NotifyTray(TrayRequest request, int id, const TrayIcon& icon, const QString& tooltip) override {
        calls.push_back({request, id, icon, tooltip});
        switch (request) {
            case TrayRequest::Add:
                if (icons.contains(id)) {
                    return false;
                }
                icons.insert(id, {icon, tooltip});
                return true;
            case TrayRequest::Modify:
                if (!icons.contains(id)) {
                    return false;
                }
                icons[id] = {icon, tooltip};
                return true;
            case TrayRequest::Delete:
                return icons.remove(id) > 0;
        }
        return false;
    }
    bool IsAvailable() const override { return available; }

    bool available = true;
    std::vector<TrayCall> calls;
    QMap<int, Shown> icons;
};
