#include "alerts/WinAlertPlatform.h"

#include <QDir>

// clang-format off
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
// clang-format on
#undef PlaySound  // the system's name for PlaySoundA/PlaySoundW, not this class's member

namespace {

std::wstring Native(const QString& file) {
    return QDir::toNativeSeparators(file).toStdWString();
}

// The shell reports failure as a number below 32 in place of an instance handle. An empty or
// relative name is refused, as elsewhere: the shell would look it up (the working folder, the
// system's folders, PATH) and could start a program the user never chose.
bool ShellExecuteVerb(const wchar_t* verb, const QString& file, int show) {
    if (file.isEmpty() || QDir::isRelativePath(file)) {
        return false;
    }
    const HINSTANCE result = ::ShellExecuteW(nullptr, verb, Native(file).c_str(), nullptr, nullptr, show);
    return reinterpret_cast<INT_PTR>(result) >= 32;
}

}  // namespace

bool CWinAlertPlatform::HasOutputDevice() {
    if (::waveOutGetNumDevs() == 0) {
        return false;
    }
    WAVEOUTCAPSW caps{};
    if (::waveOutGetDevCapsW(0, &caps, sizeof caps) != MMSYSERR_NOERROR) {
        return false;
    }
    return (caps.dwSupport & WAVECAPS_VOLUME) != 0;
}

void CWinAlertPlatform::PlaySound(const QString& file) {
    // Without SND_NODEFAULT a file that cannot be found or played gives the default sound.
    ::PlaySoundW(Native(file).c_str(), nullptr, SND_ASYNC | SND_FILENAME);
}

void CWinAlertPlatform::StopSound() {
    ::PlaySoundW(nullptr, nullptr, 0);
}

bool CWinAlertPlatform::ShellPlay(const QString& file) {
    return ShellExecuteVerb(L"play", file, SW_HIDE);
}

bool CWinAlertPlatform::ShellOpen(const QString& file) {
    return ShellExecuteVerb(L"open", file, SW_SHOWNORMAL);
}
