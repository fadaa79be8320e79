#pragma once

#include "alerts/AlertPlatform.h"

// The alert platform on Windows: the system's own multimedia and shell calls. Sounds play through
// PlaySound (asynchronous; a file that cannot be played gives the system's default sound), the
// device test asks the first wave output device whether it has volume control, and "play" and
// "open" are the shell's verbs of those names. Nothing is ever reported to the user.
class CWinAlertPlatform : public IAlertPlatform {
public:
    bool HasOutputDevice() override;
    void PlaySound(const QString& file) override;
    void StopSound() override;
    bool ShellPlay(const QString& file) override;
    bool ShellOpen(const QString& file) override;
};
