#include <gtest/gtest.h>

#include <QTest>

#include "accounts/OwnerOnlyAccess.h"
#include "secrets/CredentialSecretStore.h"
#include "tests/support/TempDir.h"

namespace {

// Wine keeps generic credentials in its prefix as Windows does; it does not keep access lists, so
// of those only the call's result can be checked.
TEST(CredentialManager, ACredentialIsStoredReadAndRemovedAndTheFileMadePrivate) {
    CCredentialSecretStore store;
    const SecretKey key{"taro", "pop.example.test:1110"};
    std::vector<SecretOutcome> outcomes;
    const auto record = [&](const SecretOutcome& outcome) { outcomes.push_back(outcome); };
    store.Store(key, "pw-\x83\x70", record);
    store.Load(key, record);
    store.Remove(key, record);
    store.Load(key, record);
    EXPECT_TRUE(outcomes.empty()) << "answered from inside the call";
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcomes.size() == 4; }, 10000));
    EXPECT_TRUE(outcomes[0].Ok()) << outcomes[0].reason.toStdString();
    EXPECT_EQ(outcomes[1].secret, "pw-\x83\x70");
    EXPECT_TRUE(outcomes[2].Ok()) << outcomes[2].reason.toStdString();
    EXPECT_EQ(outcomes[3].result, SecretOutcome::Result::NotFound);

    TempDir dir;
    dir.write("ACCOUNT.CSV", "x");
    EXPECT_TRUE(RestrictToOwner(dir.file("ACCOUNT.CSV")));
    EXPECT_FALSE(RestrictToOwner(dir.file("missing.csv")));
}

}  // namespace
