// winsock2.h comes before windows.h (which Qt's headers may bring), ws2ipdef.h before iphlpapi.h
// (without it the interface notifications are left out).
// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include "check/WinSystemEvents.h"

namespace {

// The hidden window that hears the power broadcast.
constexpr const wchar_t* kWindowClass = L"QuillpostSystemEvents";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_POWERBROADCAST && wParam == PBT_APMRESUMEAUTOMATIC) {
        auto* events = reinterpret_cast<CWinSystemEvents*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (events != nullptr) {
            // The system sends the broadcast and waits: the news goes out from the event loop.
            QMetaObject::invokeMethod(
                events, [events] { emit events->resumed(); }, Qt::QueuedConnection);
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK OnInterfaceChange(PVOID events, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    static_cast<CWinSystemEvents*>(events)->PostNetworkChanged();
}

HINSTANCE ThisModule() {
    return GetModuleHandleW(nullptr);
}

void RegisterWindowClassOnce() {
    [[maybe_unused]] static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassW(&windowClass) != 0;
    }();
}

}  // namespace

CWinSystemEvents::CWinSystemEvents(QObject* parent) : CSystemEvents(parent) {
    RegisterWindowClassOnce();
    // Top-level but never shown: a message-only window would not hear broadcasts.
    HWND window =
        CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_window = window;
    }
    HANDLE notification = nullptr;
    if (NotifyIpInterfaceChange(AF_UNSPEC, OnInterfaceChange, this, FALSE, &notification) == NO_ERROR) {
        m_interfaceNotification = notification;
    }
}

CWinSystemEvents::~CWinSystemEvents() {
    // Waits for a notification on its way: none reaches this object after.
    if (m_interfaceNotification != nullptr) {
        CancelMibChangeNotify2(static_cast<HANDLE>(m_interfaceNotification));
    }
    if (m_window != nullptr) {
        DestroyWindow(static_cast<HWND>(m_window));
    }
}

void CWinSystemEvents::PostNetworkChanged() {
    // A change comes as a burst (a call per interface and address family): whatever arrives before
    // the event loop passes the news on is the same news.
    if (m_networkChangePosted.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_networkChangePosted = false;
            emit networkChanged();
        },
        Qt::QueuedConnection);
}
