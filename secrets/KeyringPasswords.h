#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "accounts/CAccount.h"
#include "secrets/SecretStore.h"

class CAccountList;
class CAccountStore;

// Where the accounts' passwords live while the keyring is in use, and every move between the
// account file and the keyring. A password is in at least one of the two at every moment:
// - moving in stores each password, reads it back equal, and only then empties its field in the
//   file, with one save for all; any failure leaves the file untouched;
// - moving out writes the file first and removes the keyring's items after;
// - an account whose field is empty gets its password from the keyring at start, as it comes;
// - "not found" never counts as "no password": an item is removed only when its password has just
//   been written back into the file, or its account is gone.
// Two accounts with the same user and server share one item: when their passwords differ, both
// stay in the file.
class CKeyringPasswords : public QObject {
    Q_OBJECT

public:
    // What set a move off.
    enum class Origin { Start, Tick, Change };

    CKeyringPasswords(CAccountList& accounts, CAccountStore& file, ISecretStore& keyring,
                      QObject* parent = nullptr);
    ~CKeyringPasswords() override;

    // Whether the passwords belong in the keyring.
    bool IsOn() const { return m_on; }
    // Whether the keyring holds them: on, and neither the start's moves nor the last tick failed.
    bool Holds() const { return m_on && !m_failing; }

    // At start, after the file was read: while on, every empty password is asked of the keyring and
    // every password the file holds is moved in.
    void Start(bool on);
    // The user's tick: on moves every password in (again after a failure), off moves them out.
    void SetOn(bool on);

    // The window's changes, before it saves them. An added password is moved in; an edited one is
    // written to the file first, then moved to the account's (new) item; a deleted account's item
    // goes unless another account shares it. `before` is the account as it was before the edit.
    void OnAdded(const CAccount& account);
    void OnEdited(const CAccount& before, CAccount& after);
    void OnDeleted(const CAccount& account);

signals:
    // The password of this account came from the keyring: it is complete now.
    void passwordLoaded(AccountId id);
    // A move ended; `failure` is empty when it worked, else the keyring's or the file's words.
    void moveEnded(Origin origin, const QString& failure);

private:
    struct Move;
    std::shared_ptr<Move> Begin(Origin origin);
    std::vector<const CAccount*> All() const;
    void LoadEmptyPasswords(const std::shared_ptr<Move>& move);
    void Fill(const SecretKey& key, const std::string& password);
    void MoveIn(const std::shared_ptr<Move>& move, const std::vector<const CAccount*>& accounts);
    void Verify(const std::shared_ptr<Move>& move, const SecretKey& key, const std::string& password);
    void JobEnded(const std::shared_ptr<Move>& move, const SecretOutcome& outcome);
    void Complete(Move& move);
    void MarkMovedIn(Move& move);
    void MoveOut(Move& move);
    int CountUsing(const SecretKey& key) const;
    // Whether another account uses this account's item with another password.
    bool SharesItemDifferently(const CAccount& account) const;
    bool AnyHolds(const SecretKey& key, const std::string& password) const;

    CAccountList& m_accounts;
    CAccountStore& m_file;
    ISecretStore& m_keyring;
    bool m_on = false;
    bool m_failing = false;
};

// The item an account's password lives in.
SecretKey KeyOf(const CAccount& account);
