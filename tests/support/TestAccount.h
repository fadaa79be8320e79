#pragma once
// The accounts tests use: complete (the given user, password "pw", server "pop.example.test"),
// checked every 60 seconds and ticked, unless the test says otherwise; it converts to a CAccount.

#include <string>

#include "accounts/CAccount.h"

struct TestAccount {
    std::string user{};
    std::string password = "pw";
    std::string server = "pop.example.test";
    int interval = 60;
    int enabled = 1;
    std::string soundFile{};  // set: the sound on at every check with mail

    operator CAccount() const {
        CAccount account;
        account.m_strUser = user;
        account.m_strPassword = password;
        account.m_strServer = server;
        account.m_nInterval = interval;
        account.m_bEnabled = enabled;
        account.m_bSound = soundFile.empty() ? 0 : 1;
        account.m_strSoundFile = soundFile;
        return account;
    }
};
