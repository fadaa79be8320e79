#include <gtest/gtest.h>

#include <QAction>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "accounts/AccountStore.h"
#include "res/Strings.h"
#include "secrets/KeychainSecretStore.h"
#include "tests/servers/SecretServiceServer.h"
#include "tests/support/PrivateSettings.h"
#include "tests/support/TempDir.h"
#include "tests/support/WhenModal.h"
#include "ui/KeyringMenuItem.h"

namespace {

// Two accounts as an older copy writes them (bob's password in Shift_JIS), and as they are with
// the passwords in the keyring.
const QByteArray kInFile =
    "alice,pw-a,pop.example.test,60,1,0,C:\\a.wav,0,0,,,1\r\n"
    "bob,pw-\x83\x70,pop.example.test:1110,300,0,0,,0,0,,,0\r\n";
const QByteArray kInKeyring =
    "alice,,pop.example.test,60,1,0,C:\\a.wav,0,0,,,1\r\n"
    "bob,,pop.example.test:1110,300,0,0,,0,0,,,0\r\n";

// One run of the program's keyring side over ACCOUNT.CSV as it is: the accounts, QtKeychain, the
// menu item and the status line.
struct Session {
    Session(const QString& path, std::chrono::milliseconds limit) : file(path), keyring(limit) {
        file.Load(accounts);
        QObject::connect(&passwords, &CKeyringPasswords::moveEnded,
                         [this](CKeyringPasswords::Origin, const QString& failure) { failures << failure; });
        menu.Start();
    }
    bool Ended(int moves) {
        return QTest::qWaitFor([&] { return failures.size() >= moves; }, 20000);
    }
    std::string Password(int position) { return accounts.GetAt(position)->m_strPassword; }
    // What the keyring holds for an account. Jobs run in order: every earlier one has ended too.
    std::optional<std::string> Item(const char* user, const char* server) {
        std::optional<SecretOutcome> got;
        keyring.Load({user, server}, [&](const SecretOutcome& outcome) { got = outcome; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return got.has_value(); }, 20000));
        return got && got->Ok() ? std::optional(got->secret) : std::nullopt;
    }

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
    std::unique_ptr<Session> Start(int setting) {
        QSettings().setValue("Keyring", setting);
        return std::make_unique<Session>(dir.file("ACCOUNT.CSV"), limit);
    }
    QByteArray File() const { return dir.read("ACCOUNT.CSV"); }

    // Ticked on in one run; in the next the passwords come from the keyring, and the tick goes off.
    void MoveInAndBackOut() {
        auto first = Start(0);
        first->item->trigger();
        ASSERT_TRUE(first->Ended(1));
        EXPECT_EQ(first->failures, QStringList{""});
        EXPECT_TRUE(first->item->isChecked());
        EXPECT_EQ(File(), kInKeyring);
        EXPECT_EQ(first->Item("bob", "pop.example.test:1110"), "pw-\x83\x70");

        auto second = Start(QSettings().value("Keyring").toInt());
        QSignalSpy loaded(&second->passwords, &CKeyringPasswords::passwordLoaded);
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.size() == 2; }, 20000));
        EXPECT_EQ(second->Password(1), "pw-\x83\x70");
        EXPECT_TRUE(second->item->isChecked());
        second->item->trigger();
        ASSERT_TRUE(second->Ended(2));
        EXPECT_EQ(second->failures.last(), "");
        EXPECT_EQ(QSettings().value("Keyring").toInt(), 0);
        EXPECT_EQ(File(), kInFile);
        EXPECT_EQ(second->Item("alice", "pop.example.test"), std::nullopt);
    }

    TempDir dir;
    std::chrono::milliseconds limit = CKeychainSecretStore::kJobLimit;
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
         [](SecretServiceServer& s) {
             s.locked = true, s.prompter = SecretServiceServer::Prompter::Dismiss;
         }},
        {"vanishing after the first item", [](SecretServiceServer& s) { s.vanishAfterCreating = 1; }},
        {"answering too late",
         [this](SecretServiceServer& s) { s.holdAnswers = true, limit = std::chrono::milliseconds(300); }},
    };
    for (const auto& [name, arrange] : cases) {
        for (const bool atStart : {true, false}) {
            SCOPED_TRACE(std::string(name) + (atStart ? ", at start" : ", ticked"));
            SecretServiceServer server;
            if (arrange) {
                ASSERT_TRUE(server.Start());
                arrange(server);
            }
            QString box;
            QPointer<QTimer> noBox = atStart ? ExpectNoModal(5000) : nullptr;
            auto run = Start(atStart ? 1 : 0);
            if (!atStart) {
                AnswerMessageBox(&box);
                run->item->trigger();
            }
            ASSERT_TRUE(run->Ended(1));
            delete noBox.data();
            EXPECT_EQ(File(), kInFile);
            EXPECT_EQ(run->Password(0), "pw-a");
            EXPECT_EQ(run->status->text(), Str::Text(Str::kKeyringUnusable));
            EXPECT_FALSE(run->item->isChecked());
            EXPECT_EQ(QSettings().value("Keyring").toInt(), atStart ? 1 : 0);
            // The box says it with the reason.
            EXPECT_TRUE(atStart ||
                        (box.startsWith(run->status->text()) && box.size() > run->status->text().size() + 5))
                << box.toStdString();
            if (server.holdAnswers) {
                server.Release();  // the late answers go unheeded
                EXPECT_EQ(run->Item("alice", "pop.example.test"), "pw-a");
                EXPECT_EQ(File(), kInFile);
                EXPECT_EQ(run->failures.size(), 1);
            }
        }
    }
}

// A locked keyring says "not found" for an item it holds: the account waits without its password,
// which is no failure, and moving out leaves the item alone.
TEST_F(KeyringTest, ALockedKeyringHidesAPasswordButNeverLosesIt) {
    SecretServiceServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(Start(1)->Ended(1));
    ASSERT_EQ(File(), kInKeyring);
    server.locked = true;
    server.prompter = SecretServiceServer::Prompter::Dismiss;
    auto run = Start(1);
    ASSERT_TRUE(run->Ended(1));
    EXPECT_EQ(run->Password(0), "");
    EXPECT_EQ(run->failures, QStringList{""});
    run->item->trigger();
    ASSERT_TRUE(run->Ended(2));
    EXPECT_EQ(File(), kInKeyring);
    server.locked = false;
    EXPECT_EQ(run->Item("alice", "pop.example.test"), "pw-a");
}

TEST_F(KeyringTest, AnEditMovesOrReplacesTheSecretAndADeleteRemovesIt) {
    SecretServiceServer server;
    ASSERT_TRUE(server.Start());
    auto run = Start(1);
    ASSERT_TRUE(run->Ended(1));
    const auto edit = [&](int position, auto change) {
        CAccount& account = *run->accounts.GetAt(position);
        const CAccount before = account;
        change(account);
        run->passwords.OnEdited(before, account);
        ASSERT_TRUE(run->Ended(run->failures.size() + 1));
    };
    edit(0, [](CAccount& a) { a.m_strUser = "alice2"; });
    edit(1, [](CAccount& a) { a.m_strPassword = "new"; });
    EXPECT_EQ(File(), "alice2" + kInKeyring.mid(5));
    const CAccount bob = *run->accounts.GetAt(1);
    run->accounts.RemoveAt(1);
    run->passwords.OnDeleted(bob);
    EXPECT_EQ(run->Item("alice2", "pop.example.test"), "pw-a");
    EXPECT_EQ(run->Item("alice", "pop.example.test"), std::nullopt);
    EXPECT_EQ(server.attributes.size(), 1u);
}

// The real keyring, once: gnome-keyring-daemon with a new login keyring, unlocked, in a home of
// its own.
TEST_F(KeyringTest, GnomeKeyringTakesThePasswordsAndGivesThemBack) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", dir.file("home"));
    environment.insert("XDG_RUNTIME_DIR", dir.file("home"));
    ASSERT_TRUE(QDir().mkpath(dir.file("home")));
    QFile::setPermissions(dir.file("home"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess daemon;
    daemon.setProcessEnvironment(environment);
    daemon.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    daemon.write("login-password");
    daemon.closeWriteChannel();
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.secrets");
        },
        20000));
    MoveInAndBackOut();
    daemon.terminate();
    daemon.waitForFinished();
}

}  // namespace
