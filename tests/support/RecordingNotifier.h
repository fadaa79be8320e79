#pragma once
// A notifier that records every request and keeps what is on screen, for tests of the rule that
// decides when a notification appears, is replaced or goes.

#include <QMap>
#include <QString>
#include <QStringList>

#include "alerts/MailNotifier.h"

class RecordingNotifier : public IMailNotifier {
public:
    void Show(int key, const QString& title, const QString& text) override {
        requests << QStringLiteral("show %1").arg(key);
        shown[key] = title + '|' + text;
    }
    void Withdraw(int key) override {
        requests << QStringLiteral("withdraw %1").arg(key);
        shown.remove(key);
    }

    QStringList requests;
    QMap<int, QString> shown;  // key -> "title|text"
};
