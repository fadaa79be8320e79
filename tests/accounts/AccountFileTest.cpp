#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <csignal>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "accounts/AccountFile.h"
#include "accounts/AccountStore.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace {

CAccountList ManyAccounts(int count) {
    CAccountList list;
    for (int i = 0; i < count; ++i) {
        CAccount a;
        a.m_strUser = "user" + std::to_string(i);
        a.m_strPassword = "password";
        a.m_strServer = "pop.example.org";
        a.m_nInterval = 60 + i;
        a.m_strSoundFile = "/usr/share/sounds/some/long/path/to/a/sound/file.wav";
        list.AddTail(a);
    }
    return list;
}

#ifndef _WIN32
// Qt's owner, group and other permission bits (its "user" bits repeat the owner's for us).
constexpr int kOwnerGroupOther = 0x7077;

// Runs `body` with the process's file-size limit lowered, so that writes past it fail.
template <typename Body>
void WithFileSizeLimit(rlim_t bytes, Body body) {
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old;
    lowered.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    body();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}
#endif

TEST(AccountFile, AMissingFileGivesAnEmptyList) {
    TempDir dir;
    CAccountList list;
    LoadAccounts(dir.file("ACCOUNT.CSV"), list);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(AccountFile, LoadsAnExistingFileInOrder) {
    TempDir dir;
    dir.write("ACCOUNT.CSV",
              "taro,,popsrv,300,1,0,C:\\sounds\\ding.wav,0,0,,,1\r\n\r\nhanako,pw,srv,60,0,1,,1,1,,,0");
    CAccountList list;
    LoadAccounts(dir.file("ACCOUNT.CSV"), list);
    ASSERT_EQ(list.GetCount(), 3);
    EXPECT_EQ(list.GetAt(0)->m_strUser, "taro");
    EXPECT_EQ(list.GetAt(1)->m_nInterval, 1);
    EXPECT_EQ(list.GetAt(2)->m_strUser, "hanako");
    EXPECT_EQ(list.GetAt(2)->m_nSoundMode, 1);
}

TEST(AccountFile, SaveWritesCrLfLinesThatLoadBackTheSame) {
    TempDir dir;
    const CAccountList list = ManyAccounts(3);
    ASSERT_TRUE(SaveAccounts(dir.file("ACCOUNT.CSV"), list));
    const QByteArray bytes = dir.read("ACCOUNT.CSV");
    EXPECT_EQ(bytes.count("\r\n"), 3);
    EXPECT_EQ(bytes.count('\n'), 3);
    EXPECT_TRUE(bytes.startsWith("user0,password,pop.example.org,60,0,0,"));
    CAccountList back;
    LoadAccounts(dir.file("ACCOUNT.CSV"), back);
    ASSERT_EQ(back.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(*back.GetAt(i), *list.GetAt(i));
    }
}

// Unix permission bits and a file-size limit; Windows keeps a user's files private through the
// access list of the folder they are in, and has no file-size limit to fail a write with.
#ifndef _WIN32
TEST(AccountFile, ANewFileIsPrivateAndAnExistingFileKeepsItsPermissions) {
    TempDir dir;
    const QString path = dir.file("ACCOUNT.CSV");
    ASSERT_TRUE(SaveAccounts(path, ManyAccounts(1)));
    EXPECT_EQ(QFileInfo(path).permissions() & kOwnerGroupOther,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    const auto shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, shared));
    ASSERT_TRUE(SaveAccounts(path, ManyAccounts(2)));
    EXPECT_EQ(QFileInfo(path).permissions() & kOwnerGroupOther, shared);
}

TEST(AccountFile, AWriteFailingPartWayLeavesTheOldFileWhole) {
    TempDir dir;
    const QString path = dir.file("ACCOUNT.CSV");
    ASSERT_TRUE(SaveAccounts(path, ManyAccounts(2)));
    const QByteArray before = dir.read("ACCOUNT.CSV");

    bool saved = true;
    WithFileSizeLimit(4096, [&] { saved = SaveAccounts(path, ManyAccounts(1000)); });

    EXPECT_FALSE(saved);
    EXPECT_EQ(dir.read("ACCOUNT.CSV"), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";
}

TEST(AccountFile, AfterAnIncompleteReadAFailingSaveLeavesTheUnreadFileWhereItWas) {
    TempDir dir;
    // A folder where the file should be: it exists, and nobody, root included, can read it.
    ASSERT_TRUE(QDir(dir.path()).mkpath("ACCOUNT.CSV"));
    CAccountStore store(dir.file("ACCOUNT.CSV"));
    CAccountList none;
    ASSERT_EQ(store.Load(none).result, AccountFileRead::Result::Incomplete);

    bool saved = true;
    WithFileSizeLimit(4096, [&] { saved = store.Save(ManyAccounts(1000)); });
    EXPECT_FALSE(saved);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"ACCOUNT.CSV"});
}
#endif

TEST(AccountFile, ASaveThatCannotOpenLeavesNothingHalfDone) {
    TempDir dir;
    // The account file's folder is a plain file: nothing can be created there.
    dir.write("blocker", "x");
    EXPECT_FALSE(SaveAccounts(dir.file("blocker/ACCOUNT.CSV"), ManyAccounts(1)));
    EXPECT_EQ(dir.read("blocker"), QByteArray("x"));
}

TEST(AccountFile, LivesBesideTheProgramUnlessThatFolderCannotTakeIt) {
    TempDir exeDir;
    TempDir userDir;
    EXPECT_EQ(AccountFilePath(exeDir.path(), userDir.path()), exeDir.file("ACCOUNT.CSV"));

    // A folder that cannot be written into (here: not a folder at all) sends the file to the
    // per-user folder...
    exeDir.write("not-a-folder", "");
    EXPECT_EQ(AccountFilePath(exeDir.file("not-a-folder"), userDir.path()), userDir.file("ACCOUNT.CSV"));

    // An installed copy keeps out of the program folder even when it could write there...
    QDir(exeDir.path()).mkpath("prefix/bin");
    QDir(exeDir.path()).mkpath("prefix/share/quillpost");
    EXPECT_EQ(AccountFilePath(exeDir.file("prefix/bin"), userDir.path()), userDir.file("ACCOUNT.CSV"));
    // ...unless a file is already there from before.
    exeDir.write("prefix/bin/ACCOUNT.CSV", "");
    EXPECT_EQ(AccountFilePath(exeDir.file("prefix/bin"), userDir.path()),
              exeDir.file("prefix/bin/ACCOUNT.CSV"));

#ifdef Q_OS_WIN
    // Windows' program folders are never written, whatever they hold and whoever may write there.
    QDir(exeDir.path()).mkpath("Program Files/Quillpost");
    exeDir.write("Program Files/Quillpost/ACCOUNT.CSV", "");
    {
        const ScopedEnvironment programFiles("ProgramFiles",
                                             QDir::toNativeSeparators(exeDir.file("Program Files")));
        EXPECT_EQ(AccountFilePath(exeDir.file("Program Files/Quillpost"), userDir.path()),
                  userDir.file("ACCOUNT.CSV"));
    }
#endif

    // A saved file creates the per-user folder.
    const QString perUser = AccountFilePath(exeDir.file("not-a-folder"), userDir.file("sub/app"));
    ASSERT_TRUE(SaveAccounts(perUser, ManyAccounts(1)));
    CAccountList back;
    LoadAccounts(perUser, back);
    EXPECT_EQ(back.GetCount(), 1);
}

}  // namespace
