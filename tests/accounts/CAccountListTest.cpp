#include <gtest/gtest.h>

#include "accounts/CAccountList.h"

namespace {

CAccount Named(const char* user) {
    CAccount a;
    a.m_strUser = user;
    return a;
}

TEST(CAccountList, PositionsOutsideTheListYieldNothing) {
    CAccountList list;
    EXPECT_EQ(list.GetAt(0), nullptr);
    list.AddTail(Named("a"));
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(1), nullptr);
    ASSERT_NE(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(0)->m_strUser, "a");
    EXPECT_FALSE(list.RemoveAt(1));
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(CAccountList, RemovingKeepsOrderAndAnEmptiedListCanGrowAgain) {
    CAccountList list;
    for (const char* name : {"a", "b", "c"}) {
        list.AddTail(Named(name));
    }
    ASSERT_TRUE(list.RemoveAt(1));
    EXPECT_EQ(list.GetAt(0)->m_strUser, "a");
    EXPECT_EQ(list.GetAt(1)->m_strUser, "c");
    ASSERT_TRUE(list.RemoveAt(0));
    ASSERT_TRUE(list.RemoveAt(0));
    EXPECT_TRUE(list.IsEmpty());
    list.AddTail(Named("d"));
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0)->m_strUser, "d");
}

TEST(CAccountList, FindsTheAccountHoldingATimerButNeverForIdZero) {
    CAccountList list;
    list.AddTail(Named("a"));
    list.AddTail(Named("b"));
    list.GetAt(1)->m_nTimerId = 7;
    EXPECT_EQ(list.FindByTimerId(7), 1);
    EXPECT_EQ(list.FindByTimerId(8), -1);
    EXPECT_EQ(list.FindByTimerId(0), -1);  // account "a" has no timer, not timer 0
}

TEST(CAccount, CompleteNeedsUserPasswordAndServer) {
    CAccount a;
    a.m_strUser = "u";
    a.m_strPassword = "p";
    EXPECT_FALSE(a.IsComplete());
    a.m_strServer = "s";
    EXPECT_TRUE(a.IsComplete());
    a.m_strPassword.clear();
    EXPECT_FALSE(a.IsComplete());
}

}  // namespace
