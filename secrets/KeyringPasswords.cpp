#include "secrets/KeyringPasswords.h"

#include <QPointer>
#include <algorithm>
#include <set>
#include <utility>

#include "accounts/AccountStore.h"
#include "accounts/CAccountList.h"
#include "res/Strings.h"

namespace {

// An account without a user or a server names no item: its password stays in the file.
bool UsesKeyring(const CAccount& account) {
    return !account.m_strUser.empty() && !account.m_strServer.empty();
}

SecretOutcome Failure(const QString& reason) {
    return {SecretOutcome::Result::Failed, {}, reason};
}

}  // namespace

SecretKey KeyOf(const CAccount& account) {
    return {account.m_strUser, account.m_strServer};
}

struct CKeyringPasswords::Move {
    Origin origin = Origin::Start;
    bool out = false;     // a move out: the file is written once the missing passwords came
    bool wasOff = false;  // a tick that switched the keyring on: a failure switches it off again
    int pending = 1;      // jobs under way, plus one until every job was started
    QString failure;
    std::set<std::pair<SecretKey, std::string>> verified;  // stored and read back equal
    std::vector<SecretKey> removeAfter;                    // items no account should use any more
};

CKeyringPasswords::CKeyringPasswords(CAccountList& accounts, CAccountStore& file, ISecretStore& keyring,
                                     QObject* parent)
    : QObject(parent), m_accounts(accounts), m_file(file), m_keyring(keyring) {}

CKeyringPasswords::~CKeyringPasswords() = default;

std::shared_ptr<CKeyringPasswords::Move> CKeyringPasswords::Begin(Origin origin) {
    auto move = std::make_shared<Move>();
    move->origin = origin;
    return move;
}

void CKeyringPasswords::Start(bool on) {
    m_on = on;
    m_failing = false;
    if (!on) {
        return;
    }
    const auto move = Begin(Origin::Start);
    LoadEmptyPasswords(move);
    MoveIn(move, All());
    JobEnded(move, {});
}

void CKeyringPasswords::SetOn(bool on) {
    const auto move = Begin(Origin::Tick);
    if (!on) {
        if (!m_on) {
            JobEnded(move, {});
            return;
        }
        // Passwords that never came are asked for once more: they go back into the file too.
        move->out = true;
        LoadEmptyPasswords(move);
        JobEnded(move, {});
        return;
    }
    move->wasOff = !m_on;
    m_on = true;
    LoadEmptyPasswords(move);
    MoveIn(move, All());
    JobEnded(move, {});
}

void CKeyringPasswords::OnAdded(const CAccount& account) {
    if (!m_on) {
        return;
    }
    const auto move = Begin(Origin::Change);
    MoveIn(move, {&account});
    JobEnded(move, {});
}

void CKeyringPasswords::OnEdited(const CAccount& before, CAccount& after) {
    const bool keyChanged = KeyOf(before) != KeyOf(after);
    if (!m_on || (!keyChanged && before.m_strPassword == after.m_strPassword)) {
        return;
    }
    const auto move = Begin(Origin::Change);
    // The window's save that follows writes the new password into the file: it is there until
    // the keyring holds it.
    after.m_bPasswordInKeyring = false;
    // An old item is dropped only when its password was known: one that never came may be the
    // only copy.
    if (!before.m_strPassword.empty() && UsesKeyring(before)) {
        if (keyChanged) {
            move->removeAfter.push_back(KeyOf(before));
        } else if (after.m_strPassword.empty() && CountUsing(KeyOf(after)) == 1) {
            m_keyring.Remove(KeyOf(after), [](const SecretOutcome&) {});  // the user cleared it
        }
    }
    MoveIn(move, {&after});
    JobEnded(move, {});
}

void CKeyringPasswords::OnDeleted(const CAccount& account) {
    if (m_on && UsesKeyring(account) && CountUsing(KeyOf(account)) == 0) {
        m_keyring.Remove(KeyOf(account), [](const SecretOutcome&) {});
    }
}

std::vector<const CAccount*> CKeyringPasswords::All() const {
    std::vector<const CAccount*> all;
    for (const CAccount& account : m_accounts) {
        all.push_back(&account);
    }
    return all;
}

int CKeyringPasswords::CountUsing(const SecretKey& key) const {
    return static_cast<int>(std::count_if(m_accounts.begin(), m_accounts.end(),
                                          [&key](const CAccount& account) { return KeyOf(account) == key; }));
}

bool CKeyringPasswords::SharesItemDifferently(const CAccount& account) const {
    return std::any_of(m_accounts.begin(), m_accounts.end(), [&account](const CAccount& other) {
        return KeyOf(other) == KeyOf(account) && other.m_strPassword != account.m_strPassword;
    });
}

bool CKeyringPasswords::AnyHolds(const SecretKey& key, const std::string& password) const {
    return std::any_of(m_accounts.begin(), m_accounts.end(), [&](const CAccount& account) {
        return KeyOf(account) == key && account.m_strPassword == password;
    });
}

void CKeyringPasswords::LoadEmptyPasswords(const std::shared_ptr<Move>& move) {
    std::set<SecretKey> asked;
    for (const CAccount& account : m_accounts) {
        const SecretKey key = KeyOf(account);
        if (!account.m_strPassword.empty() || !UsesKeyring(account) || !asked.insert(key).second) {
            continue;
        }
        ++move->pending;
        m_keyring.Load(key, [self = QPointer(this), move, key](const SecretOutcome& outcome) {
            if (self == nullptr) {
                return;
            }
            if (outcome.Ok()) {
                self->Fill(key, outcome.secret);
            }
            // Nothing found is no failure here: the account may simply have no password.
            self->JobEnded(move,
                           outcome.result == SecretOutcome::Result::NotFound ? SecretOutcome{} : outcome);
        });
    }
}

void CKeyringPasswords::Fill(const SecretKey& key, const std::string& password) {
    for (CAccount& account : m_accounts) {
        // An account edited meanwhile keeps what the user gave it.
        if (KeyOf(account) == key && account.m_strPassword.empty() && !password.empty()) {
            account.m_strPassword = password;
            account.m_bPasswordInKeyring = true;
            emit passwordLoaded(account.m_id);
        }
    }
}

void CKeyringPasswords::MoveIn(const std::shared_ptr<Move>& move,
                               const std::vector<const CAccount*>& accounts) {
    std::set<std::pair<SecretKey, std::string>> started;
    for (const CAccount* account : accounts) {
        if (account->m_bPasswordInKeyring || account->m_strPassword.empty() || !UsesKeyring(*account) ||
            SharesItemDifferently(*account)) {
            continue;
        }
        const SecretKey key = KeyOf(*account);
        const std::string password = account->m_strPassword;
        if (!started.insert({key, password}).second) {
            continue;
        }
        ++move->pending;
        m_keyring.Store(key, password,
                        [self = QPointer(this), move, key, password](const SecretOutcome& outcome) {
                            if (self == nullptr) {
                                return;
                            }
                            if (outcome.Ok()) {
                                self->Verify(move, key, password);
                            } else {
                                self->JobEnded(move, outcome);
                            }
                        });
    }
}

void CKeyringPasswords::Verify(const std::shared_ptr<Move>& move, const SecretKey& key,
                               const std::string& password) {
    m_keyring.Load(key, [self = QPointer(this), move, key, password](const SecretOutcome& outcome) {
        if (self == nullptr) {
            return;
        }
        if (outcome.Ok() && outcome.secret == password) {
            move->verified.insert({key, password});
            self->JobEnded(move, {});
        } else if (!self->AnyHolds(key, password)) {
            self->JobEnded(move, {});  // edited or deleted meanwhile: a later change takes over
        } else if (outcome.Ok()) {
            self->JobEnded(move, Failure(Str::Text(Str::kKeyringMismatch)));
        } else {
            self->JobEnded(
                move, outcome.result == SecretOutcome::Result::NotFound ? Failure(outcome.reason) : outcome);
        }
    });
}

void CKeyringPasswords::JobEnded(const std::shared_ptr<Move>& move, const SecretOutcome& outcome) {
    if (outcome.result == SecretOutcome::Result::Failed && move->failure.isEmpty()) {
        move->failure = outcome.reason.isEmpty() ? Str::Text(Str::kKeyringNoReason) : outcome.reason;
    }
    if (--move->pending == 0) {
        Complete(*move);
    }
}

void CKeyringPasswords::Complete(Move& move) {
    if (move.out) {
        MoveOut(move);
        return;
    }
    if (move.failure.isEmpty() && m_on) {
        MarkMovedIn(move);
    }
    const bool failed = !move.failure.isEmpty();
    if (move.origin != Origin::Change || failed) {
        m_failing = failed;
    }
    if (failed && move.wasOff) {
        m_on = false;
    }
    emit moveEnded(move.origin, move.failure);
}

void CKeyringPasswords::MarkMovedIn(Move& move) {
    std::vector<CAccount*> marked;
    for (CAccount& account : m_accounts) {
        if (!account.m_bPasswordInKeyring &&
            move.verified.count({KeyOf(account), account.m_strPassword}) != 0 &&
            !SharesItemDifferently(account)) {
            account.m_bPasswordInKeyring = true;
            marked.push_back(&account);
        }
    }
    if (!marked.empty() && !m_file.Save(m_accounts, &move.failure)) {
        for (CAccount* account : marked) {
            account->m_bPasswordInKeyring = false;
        }
        return;
    }
    for (const SecretKey& key : move.removeAfter) {
        if (CountUsing(key) == 0) {
            m_keyring.Remove(key, [](const SecretOutcome&) {});
        }
    }
}

void CKeyringPasswords::MoveOut(Move& move) {
    std::vector<CAccount*> written;
    if (move.failure.isEmpty()) {
        for (CAccount& account : m_accounts) {
            if (account.m_bPasswordInKeyring) {
                account.m_bPasswordInKeyring = false;
                written.push_back(&account);
            }
        }
        if (!written.empty() && !m_file.Save(m_accounts, &move.failure)) {
            for (CAccount* account : written) {
                account->m_bPasswordInKeyring = true;
            }
        }
    }
    if (!move.failure.isEmpty()) {
        emit moveEnded(move.origin, move.failure);
        return;
    }
    m_on = false;
    m_failing = false;
    // The file holds them now: only then do the items go.
    std::set<SecretKey> removed;
    for (const CAccount* account : written) {
        if (removed.insert(KeyOf(*account)).second) {
            m_keyring.Remove(KeyOf(*account), [](const SecretOutcome&) {});
        }
    }
    emit moveEnded(move.origin, {});
}
