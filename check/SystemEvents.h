#pragma once

#include <QObject>
#include <memory>

// What the machine says about itself that a connection kept open must answer to: it woke from
// sleep, or its network changed. A connection may be dead after either without knowing it. Each
// platform has a source of its own, which the application creates and the check scheduler
// follows; this base never says anything (the desktops we have no source for).
class CSystemEvents : public QObject {
    Q_OBJECT

public:
    explicit CSystemEvents(QObject* parent = nullptr) : QObject(parent) {}

    // The source of the system the program is built for: logind and GIO's network monitor on
    // Linux, the power broadcast and the IP interface notifications on Windows, none elsewhere.
    static std::unique_ptr<CSystemEvents> ForThisSystem();

signals:
    // The machine woke from sleep.
    void resumed();
    // The network came, went or moved: an interface or a route changed.
    void networkChanged();
};
