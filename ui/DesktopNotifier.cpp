#include "ui/DesktopNotifier.h"

#ifdef QUILLPOST_HAVE_DBUS
#include "ui/DBusNotifier.h"
#else
#include "ui/TrayMessageNotifier.h"
#endif

std::unique_ptr<CDesktopNotifier> CDesktopNotifier::ForThisDesktop(MainTrayIcon mainTrayIcon) {
#ifdef QUILLPOST_HAVE_DBUS
    Q_UNUSED(mainTrayIcon);
    return std::make_unique<CDBusNotifier>();
#else
    return std::make_unique<CTrayMessageNotifier>(std::move(mainTrayIcon));
#endif
}
