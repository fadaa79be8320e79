#pragma once
// An alert platform that records every request in order, for tests of the alert rules.

#include <QString>
#include <QStringList>

#include "alerts/AlertPlatform.h"

class RecordingAlertPlatform : public IAlertPlatform {
public:
    bool HasOutputDevice() override {
        requests << "device?";
        return hasDevice;
    }
    void PlaySound(const QString& file) override { requests << "sound " + file; }
    void StopSound() override { requests << "stop"; }
    bool ShellPlay(const QString& file) override {
        requests << "play " + file;
        return playSucceeds;
    }
    bool ShellOpen(const QString& file) override {
        requests << "open " + file;
        return openSucceeds;
    }

    bool hasDevice = true;
    bool playSucceeds = false;
    bool openSucceeds = true;
    QStringList requests;
};
