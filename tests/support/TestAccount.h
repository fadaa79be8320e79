#pragma once
// The accounts tests use: complete (the given user, password "pw", server "pop.example.test"),
// checked every 60 seconds and ticked, unless the test says otherwise; it converts to a CAccount.

#include <string>

#include "accounts/CAccount.h"

class TestAccount {
public:
    explicit TestAccount(std::string user) {
        m_account.m_strUser = std::move(user);
        m_account.m_strPassword = "pw";
        m_account.m_strServer = "pop.example.test";
        m_account.m_nInterval = 60;
        m_account.m_bEnabled = 1;
    }

    TestAccount& Password(std::string password) {
        m_account.m_strPassword = std::move(password);
        return *this;
    }
    TestAccount& Server(std::string server) {
        m_account.m_strServer = std::move(server);
        return *this;
    }
    TestAccount& Interval(int seconds) {
        m_account.m_nInterval = seconds;
        return *this;
    }
    TestAccount& Enabled(int enabled) {
        m_account.m_bEnabled = enabled;
        return *this;
    }
    // The sound on at every check with mail.
    TestAccount& Sound(std::string file) {
        m_account.m_bSound = 1;
        m_account.m_strSoundFile = std::move(file);
        return *this;
    }

    operator CAccount() const { return m_account; }

private:
    CAccount m_account;
};
