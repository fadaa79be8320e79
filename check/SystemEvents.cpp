#include "check/SystemEvents.h"

#if defined(Q_OS_WIN)
#include "check/WinSystemEvents.h"
#elif defined(QUILLPOST_HAVE_LINUX_SYSTEM_EVENTS)
#include "check/LinuxSystemEvents.h"
#endif

std::unique_ptr<CSystemEvents> CSystemEvents::ForThisSystem() {
#if defined(Q_OS_WIN)
    return std::make_unique<CWinSystemEvents>();
#elif defined(QUILLPOST_HAVE_LINUX_SYSTEM_EVENTS)
    return std::make_unique<CLinuxSystemEvents>();
#else
    return std::make_unique<CSystemEvents>();
#endif
}
