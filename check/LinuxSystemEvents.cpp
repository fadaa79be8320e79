#include "check/LinuxSystemEvents.h"

#include <QDBusConnection>

// GLib's headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace {

void OnNetworkChanged(GNetworkMonitor*, gboolean /*available*/, gpointer events) {
    emit static_cast<CLinuxSystemEvents*>(events)->networkChanged();
}

}  // namespace

CLinuxSystemEvents::CLinuxSystemEvents(QObject* parent) : CSystemEvents(parent) {
    // Qt passes on the signal only when the name's owner sent it: no other client of the bus can
    // make us believe the machine woke.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(OnPrepareForSleep(bool)));
    m_monitor = G_NETWORK_MONITOR(g_object_ref(g_network_monitor_get_default()));
    m_networkHandler = g_signal_connect(m_monitor, "network-changed", G_CALLBACK(OnNetworkChanged), this);
}

CLinuxSystemEvents::~CLinuxSystemEvents() {
    g_signal_handler_disconnect(m_monitor, m_networkHandler);
    g_object_unref(m_monitor);
}

void CLinuxSystemEvents::OnPrepareForSleep(bool goingToSleep) {
    if (!goingToSleep) {
        emit resumed();
    }
}
