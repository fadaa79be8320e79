#pragma once

#include "check/SystemEvents.h"

using GNetworkMonitor = struct _GNetworkMonitor;

// Linux: logind's PrepareForSleep(false) on the system bus says the machine woke, GIO's network
// monitor that the network changed. Qt's own network information loads GLib's back end here but
// never reports a change, so GIO is asked itself; its signals arrive because Qt's event loop runs
// GLib's main context. Without a system bus or logind only the network is reported.
class CLinuxSystemEvents : public CSystemEvents {
    Q_OBJECT

public:
    explicit CLinuxSystemEvents(QObject* parent = nullptr);
    ~CLinuxSystemEvents() override;

private slots:
    void OnPrepareForSleep(bool goingToSleep);

private:
    GNetworkMonitor* m_monitor = nullptr;
    unsigned long m_networkHandler = 0;
};
