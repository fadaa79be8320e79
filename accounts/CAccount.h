#pragma once

#include <cstdint>
#include <string>
#include <tuple>

#include "accounts/AccountId.h"

// One watched POP3 or IMAP mailbox. Strings are bytes, kept exactly as read from ACCOUNT.CSV (often
// Shift_JIS) or as typed (the local 8-bit encoding); nothing here converts them.
class CAccount {
public:
    std::string m_strIconFile;  // empty: the built-in "no mail" picture
    std::string m_strUser;
    std::string m_strPassword;  // plain text: existing ACCOUNT.CSV files hold it so
    std::string m_strServer;
    std::int32_t m_nInterval = 0;   // seconds between checks
    std::int32_t m_bSound = 0;      // only 1 switches the sound on
    std::int32_t m_nSoundMode = 0;  // 0: at every check with mail, 1: only when the count grew
    std::string m_strSoundFile;
    std::int32_t m_bLaunch = 0;  // only 1 switches the launch on
    std::int32_t m_nLaunchMode = 0;
    std::string m_strLaunchFile;
    std::uint32_t m_nTimerId = 0;   // run time only; 0: no timer
    std::int32_t m_nLastCount = 0;  // run time only
    std::int32_t m_bEnabled = 0;
    AccountId m_id;  // run time only: given by the account list
    // Run time only: the password lives in the desktop's keyring, and the file's field stays empty.
    bool m_bPasswordInKeyring = false;

    // Only complete accounts get a timer at start-up.
    bool IsComplete() const { return !m_strUser.empty() && !m_strPassword.empty() && !m_strServer.empty(); }

    // Equal when they hold the same. Which account each one is, and whether its password came from
    // the keyring, do not count, so an account read back from the file equals the one written.
    bool operator==(const CAccount& other) const;

private:
    auto Fields() const {
        return std::tie(m_strIconFile, m_strUser, m_strPassword, m_strServer, m_nInterval, m_bSound,
                        m_nSoundMode, m_strSoundFile, m_bLaunch, m_nLaunchMode, m_strLaunchFile, m_nTimerId,
                        m_nLastCount, m_bEnabled);
    }
};

inline bool CAccount::operator==(const CAccount& other) const {
    return Fields() == other.Fields();
}
