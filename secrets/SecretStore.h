#pragma once
// Where a password can live outside ACCOUNT.CSV: the desktop's keyring. One item per account,
// named by the account's user and server, holding the password itself.

#include <QString>
#include <functional>
#include <string>

// The account an item belongs to, as bytes exactly as the account holds them.
struct SecretKey {
    std::string user;
    std::string server;

    bool operator==(const SecretKey&) const = default;
    auto operator<=>(const SecretKey&) const = default;
};

// What one job came to. `NotFound` only says that the keyring gave nothing back: a locked keyring
// answers so for an item it holds, so it never means that the account has no password.
struct SecretOutcome {
    enum class Result { Done, NotFound, Failed };
    Result result = Result::Done;
    std::string secret;  // what a load found
    QString reason;      // the keyring's words (or our own limit's) for a failure

    bool Ok() const { return result == Result::Done; }
};

// Asynchronous jobs on the desktop's keyring. Every job ends: `done` is called exactly once, later,
// from the event loop (never from inside the call), also when the keyring does not answer within
// the store's own time limit. Jobs run in the order they were started. Destroying the store
// abandons its jobs without calling `done`.
class ISecretStore {
public:
    using Done = std::function<void(const SecretOutcome&)>;

    virtual ~ISecretStore() = default;

    // Creates the item or replaces its secret.
    virtual void Store(const SecretKey& key, const std::string& secret, Done done) = 0;
    virtual void Load(const SecretKey& key, Done done) = 0;
    // Removing an item that is not there is no failure.
    virtual void Remove(const SecretKey& key, Done done) = 0;
};
