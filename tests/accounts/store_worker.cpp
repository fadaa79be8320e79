// Reads ACCOUNT.CSV through the account store and saves it back, so that a test can run this as
// a user who may not read the file.
//   store_worker PATH [USER]
// Prints "read <Read|Missing|Incomplete> <reason>" and "kept <path>", then saves the accounts as
// read, or with an account for USER added, and prints "save 1" or "save 0 <reason>". Exits 0.
#include <cstdio>

#include "accounts/AccountStore.h"

namespace {

const char* Name(AccountFileRead::Result result) {
    switch (result) {
        case AccountFileRead::Result::Read:
            return "Read";
        case AccountFileRead::Result::Missing:
            return "Missing";
        case AccountFileRead::Result::Incomplete:
            return "Incomplete";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: store_worker PATH [USER]\n");
        return 2;
    }
    CAccountStore store(QString::fromLocal8Bit(argv[1]));
    CAccountList list;
    const AccountFileRead read = store.Load(list);
    std::printf("read %s %s\n", Name(read.result), qUtf8Printable(read.reason));
    std::printf("kept %s\n", qUtf8Printable(store.KeptPath()));
    if (argc > 2) {
        CAccount added;
        added.m_strUser = argv[2];
        added.m_nInterval = 60;
        list.AddTail(added);
    }
    QString reason;
    const bool saved = store.Save(list, &reason);
    std::printf("save %d %s\n", saved ? 1 : 0, qUtf8Printable(reason));
    return 0;
}
