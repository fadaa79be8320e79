#pragma once

#include <atomic>

#include "check/SystemEvents.h"

// Windows: the power broadcast PBT_APMRESUMEAUTOMATIC says the machine woke (it reaches top-level
// windows only, so a hidden one of our own listens), NotifyIpInterfaceChange that the network
// changed. Qt's Windows build here has neither D-Bus nor a network information back end.
class CWinSystemEvents : public CSystemEvents {
    Q_OBJECT

public:
    explicit CWinSystemEvents(QObject* parent = nullptr);
    ~CWinSystemEvents() override;

    // From the system's notification thread: one networkChanged for each burst of changes.
    void PostNetworkChanged();

private:
    void* m_window = nullptr;                 // HWND
    void* m_interfaceNotification = nullptr;  // from NotifyIpInterfaceChange
    std::atomic_bool m_networkChangePosted{false};
};
