#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QDBusConnectionInterface>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <iostream>

#include "accounts/AccountStore.h"
#include "res/Strings.h"
#include "secrets/KeychainSecretStore.h"
#include "secrets/KeyringPasswords.h"
#include "tests/servers/SecretServiceServer.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/TempDir.h"
#include "tests/ui/WhenModal.h"
#include "ui/KeyringMenuItem.h"

namespace {

using Origin = CKeyringPasswords::Origin;

// Two accounts as an older copy writes them, and the same with the passwords in the keyring.
const QByteArray kInFile = "alice,pw-a,pop.example.test,60,1,0,C:\\a.wav,0,0,,,1\r\n"
                           "bob,pw-\x83\x70,pop.example.test:1110,300,0,0,,0,0,,,0\r\n";
const QByteArray kInKeyring = "alice,,pop.example.test,60,1,0,C:\\a.wav,0,0,,,1\r\n"
                              "bob,,pop.example.test:1110,300,0,0,,0,0,,,0\r\n";

// One run of the program's keyring side over the account file as it is: the accounts, the
// keyring through QtKeychain, the menu item and the status line.
struct Session {
    explicit Session(const QString& path, std::chrono::milliseconds limit) : file(path), keyring(limit) {
        file.Load(accounts);
        QObject::connect(&passwords, &CKeyringPasswords::moveEnded, [this](Origin, const QString& failure) {
            failures << failure;
        });
    }
    // Waits until `count` moves have ended.
    bool Ended(int count) {
        return QTest::qWaitFor([&] { return failures.size() >= count; }, 20000);
    }
    std::string Password(int position) { return accounts.GetAt(position)->m_strPassword; }

    CAccountList accounts;
    CAccountStore file;
    CKeychainSecretStore keyring;
    CKeyringPasswords passwords{accounts, file, keyring};
    QWidget owner;
    QAction* item = new QAction(&owner);
    QLineEdit* status = new QLineEdit(&owner);
    CKeyringMenuItem menu{item, passwords, status, &owner};
    QStringList failures;
};

class KeyringTest : public ::testing::Test {
protected:
    KeyringTest() {
        UsePrivateSettings(dir.file("config"), QStringLiteral("quillpost-test"));
        dir.write("ACCOUNT.CSV", kInFile);
    }
    void SetUp() override { ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under with-session-bus.sh"; }

    std::unique_ptr<Session> NewRun() { return std::make_unique<Session>(dir.file("ACCOUNT.CSV"), limit); }
    QByteArray File() const { return dir.read("ACCOUNT.CSV"); }
    static int Setting() { return QSettings().value("Keyring", -1).toInt(); }
    // What the keyring holds for an account, as a later run would find it.
    std::optional<std::string> Item(Session& run, const char* user, const char* server) {
        std::optional<std::string> found;
        bool ended = false;
        run.keyring.Load({user, server}, [&](const SecretOutcome& outcome) {
            found = outcome.Ok() ? std::optional(outcome.secret) : std::nullopt;
            ended = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, 20000));
        return found;
    }

    // The menu item ticked on in one run, and off in the next, which first gets the passwords.
    void MoveInAndBackOut() {
        std::cout << "ACCOUNT.CSV before:\n" << File().toStdString();
        auto first = NewRun();
        first->menu.Start();
        EXPECT_FALSE(first->item->isChecked());
        first->item->trigger();
        ASSERT_TRUE(first->Ended(1));
        EXPECT_EQ(first->failures, QStringList{""});
        EXPECT_TRUE(first->item->isChecked());
        EXPECT_EQ(Setting(), 1);
        EXPECT_EQ(File(), kInKeyring);
        std::cout << "after moving in:\n" << File().toStdString();
        EXPECT_EQ(Item(*first, "bob", "pop.example.test:1110"), "pw-\x83\x70");
        first.reset();

        auto second = NewRun();
        QSignalSpy loaded(&second->passwords, &CKeyringPasswords::passwordLoaded);
        second->menu.Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.size() == 2; }, 20000));
        EXPECT_EQ(second->Password(0), "pw-a");
        EXPECT_EQ(second->Password(1), "pw-\x83\x70");
        EXPECT_TRUE(second->item->isChecked());
        second->item->trigger();
        ASSERT_TRUE(second->Ended(2));
        EXPECT_EQ(second->failures.last(), "");
        EXPECT_FALSE(second->item->isChecked());
        EXPECT_EQ(Setting(), 0);
        EXPECT_EQ(File(), kInFile);
        std::cout << "after moving out:\n" << File().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Item(*second, "alice", "pop.example.test"); }, 20000));
    }

    TempDir dir;
    std::chrono::milliseconds limit{300};
};

TEST_F(KeyringTest, MovesInAndBackOutLeavingEveryOtherByteAsItWas) {
    SecretServiceServer server;
    ASSERT_TRUE(server.Start());
    MoveInAndBackOut();
}

TEST_F(KeyringTest, WhenTheKeyringFailsNothingMovesAndTheUserIsTold) {
    using Arrange = std::function<void(SecretServiceServer&)>;
    const std::pair<const char*, Arrange> cases[] = {
        {"no service", nullptr},
        {"locked, no prompter", [](SecretServiceServer& s) { s.locked = true; }},
        {"locked, prompt dismissed",
         [](SecretServiceServer& s) { s.locked = true, s.prompter = SecretServiceServer::Prompter::Dismiss; }},
        {"vanishing after the first item", [](SecretServiceServer& s) { s.vanishAfterCreating = 1; }},
        {"answering too late", [](SecretServiceServer& s) { s.holdAnswers = true; }},
    };
    for (const auto& [name, arrange] : cases) {
        for (const bool atStart : {true, false}) {
            SCOPED_TRACE(std::string(name) + (atStart ? ", at start" : ", ticked"));
            QSettings().setValue("Keyring", atStart ? 1 : 0);
            SecretServiceServer server;
            if (arrange) {
                ASSERT_TRUE(server.Start());
                arrange(server);
            }
            auto run = NewRun();
            run->menu.Start();
            QString box;
            QPointer<QTimer> noBox;
            if (atStart) {
                noBox = ExpectNoModal(5000);
            } else {
                AnswerMessageBox(&box);
                run->item->trigger();
            }
            ASSERT_TRUE(run->Ended(1));
            delete noBox.data();
            EXPECT_EQ(File(), kInFile);
            EXPECT_EQ(run->Password(0), "pw-a");
            EXPECT_EQ(run->status->text(), Str::Text(Str::kKeyringUnusable));
            EXPECT_FALSE(run->item->isChecked());
            EXPECT_EQ(Setting(), atStart ? 1 : 0);
            EXPECT_EQ(box.startsWith(Str::Text(Str::kKeyringUnusable)), !atStart) << box.toStdString();
            EXPECT_TRUE(atStart || box.size() > Str::Text(Str::kKeyringUnusable).size() + 5) << "the reason";
            if (server.holdAnswers) {
                // The late answers come and go unheeded: jobs run in order, so once a later one has
                // ended, they have too.
                server.Release();
                EXPECT_EQ(Item(*run, "alice", "pop.example.test"), "pw-a");
                EXPECT_EQ(File(), kInFile);
                EXPECT_EQ(run->failures.size(), 1);
            }
        }
    }
}

// A locked keyring says "not found" for an item it holds: the account waits without its password,
// and moving out leaves the item alone.
TEST_F(KeyringTest, ALockedKeyringHidesAPasswordButNeverLosesIt) {
    dir.write("ACCOUNT.CSV", kInKeyring);
    QSettings().setValue("Keyring", 1);
    SecretServiceServer server;
    ASSERT_TRUE(server.Start());
    server.Put("alice@pop.example.test", "pw-a");
    server.locked = true;
    server.prompter = SecretServiceServer::Prompter::Dismiss;
    auto run = NewRun();
    run->menu.Start();
    ASSERT_TRUE(run->Ended(1));
    EXPECT_EQ(run->Password(0), "");
    EXPECT_EQ(run->failures, QStringList{""});
    run->item->trigger();
    ASSERT_TRUE(run->Ended(2));
    EXPECT_EQ(File(), kInKeyring);
    EXPECT_EQ(server.Find("alice@pop.example.test"), "pw-a");
}

TEST_F(KeyringTest, AnEditMovesOrReplacesTheSecretAndADeleteRemovesIt) {
    QSettings().setValue("Keyring", 1);
    SecretServiceServer server;
    ASSERT_TRUE(server.Start());
    auto run = NewRun();
    run->menu.Start();
    ASSERT_TRUE(run->Ended(1));
    const auto edit = [&](int position, auto change) {
        CAccount* account = run->accounts.GetAt(position);
        const CAccount before = *account;
        change(*account);
        run->passwords.OnEdited(before, *account);
        ASSERT_TRUE(run->Ended(run->failures.size() + 1));
    };
    edit(0, [](CAccount& a) { a.m_strUser = "alice2"; });
    edit(1, [](CAccount& a) { a.m_strPassword = "new"; });
    EXPECT_EQ(server.Find("alice2@pop.example.test"), "pw-a");
    EXPECT_EQ(server.Find("bob@pop.example.test:1110"), "new");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !server.Find("alice@pop.example.test"); }, 20000));
    EXPECT_EQ(File(), "alice2" + kInKeyring.mid(5));

    const CAccount bob = *run->accounts.GetAt(1);
    run->accounts.RemoveAt(1);
    run->passwords.OnDeleted(bob);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !server.Find("bob@pop.example.test:1110"); }, 20000));
    EXPECT_EQ(server.attributes.size(), 1u);
}

// The real keyring, once: gnome-keyring-daemon with a new login keyring, unlocked, in a home of
// its own.
TEST_F(KeyringTest, GnomeKeyringTakesThePasswordsAndGivesThemBack) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", dir.file("home"));
    environment.insert("XDG_RUNTIME_DIR", dir.file("run"));
    ASSERT_TRUE(QDir().mkpath(dir.file("run")) && QDir().mkpath(dir.file("home")));
    QFile::setPermissions(dir.file("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess daemon;
    daemon.setProcessEnvironment(environment);
    daemon.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    ASSERT_TRUE(daemon.waitForStarted());
    daemon.write("login-password");
    daemon.closeWriteChannel();
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.secrets"); },
        20000));
    limit = CKeychainSecretStore::kJobLimit;
    MoveInAndBackOut();
    daemon.terminate();
    daemon.waitForFinished();
}

}  // namespace
