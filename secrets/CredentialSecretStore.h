#pragma once

#include <QObject>

#include "secrets/SecretStore.h"

// Windows' Credential Manager: one generic credential per account, named "quillpost:" + user + "@"
// + server, whose secret is the password's bytes exactly as ACCOUNT.CSV holds them (the ANSI code
// page), so that the server gets the very bytes it got before. The calls answer at once; their
// outcome is handed on from the event loop like any keyring's.
class CCredentialSecretStore : public QObject, public ISecretStore {
    Q_OBJECT

public:
    explicit CCredentialSecretStore(QObject* parent = nullptr) : QObject(parent) {}

    void Store(const SecretKey& key, const std::string& secret, Done done) override;
    void Load(const SecretKey& key, Done done) override;
    void Remove(const SecretKey& key, Done done) override;

    // The credential's name for an account.
    static QString TargetName(const SecretKey& key);

private:
    void Finish(Done done, SecretOutcome outcome);
};
