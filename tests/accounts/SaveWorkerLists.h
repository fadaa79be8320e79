#pragma once
// The account lists the save worker writes, shared with the test that checks what it left behind.

#include <QByteArray>
#include <string>

#include "accounts/AccountCsv.h"
#include "accounts/CAccountList.h"

// `count` accounts whose every line differs from the lines of any list with another `tag`.
inline CAccountList SaveWorkerList(int count, const std::string& tag) {
    CAccountList list;
    for (int i = 0; i < count; ++i) {
        CAccount a;
        a.m_strUser = tag + "-user" + std::to_string(i);
        a.m_strPassword = "secret-" + tag;
        a.m_strServer = "pop3s://mail" + std::to_string(i % 7) + ".example.org:995";
        a.m_nInterval = 60 + i;
        a.m_bSound = i % 2;
        a.m_nSoundMode = i % 2;
        a.m_strSoundFile = "/home/someone/sounds/" + tag + "/notify.wav";
        a.m_bLaunch = 1;
        a.m_strLaunchFile = "/usr/bin/mail-reader";
        a.m_bEnabled = 1;
        list.AddTail(a);
    }
    return list;
}

// That list as the account file holds it.
inline QByteArray SaveWorkerListBytes(int count, const std::string& tag) {
    return QByteArray::fromStdString(FormatAccountFile(SaveWorkerList(count, tag)));
}
