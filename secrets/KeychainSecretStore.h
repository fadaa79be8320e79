#pragma once

#include <QObject>
#include <chrono>

#include "secrets/SecretStore.h"

namespace QKeychain {
class Job;
}

// The desktop's keyring through QtKeychain: the Secret Service (libsecret) or KWallet on Linux, the
// Keychain on macOS. Items live under the service "quillpost" with the key user + "@" + server.
// A password that is UTF-8 is kept as that text, so that the desktop's password manager shows it;
// any other bytes are kept as binary data. The library's insecure fallback (a clear-text file) is
// never used.
class CKeychainSecretStore : public QObject, public ISecretStore {
    Q_OBJECT

public:
    // A keyring that hangs answers only after 50 s, a locked one may ask the user first: a job
    // that has not ended within this limit fails.
    static constexpr std::chrono::milliseconds kJobLimit{30000};

    explicit CKeychainSecretStore(std::chrono::milliseconds jobLimit = kJobLimit, QObject* parent = nullptr);

    void Store(const SecretKey& key, const std::string& secret, Done done) override;
    void Load(const SecretKey& key, Done done) override;
    void Remove(const SecretKey& key, Done done) override;

private:
    using Read = SecretOutcome (*)(QKeychain::Job& job);
    void Run(QKeychain::Job* job, const SecretKey& key, Done done, Read read);

    std::chrono::milliseconds m_jobLimit;
};
