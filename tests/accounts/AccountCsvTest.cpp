#include <gtest/gtest.h>

#include "accounts/AccountCsv.h"

namespace {

CAccountList Parse(std::string_view bytes) {
    CAccountList list;
    ParseAccountFile(bytes, list);
    return list;
}

TEST(AccountCsv, ReadsAndWritesTheExampleLine) {
    const std::string line = R"(taro,,popsrv,300,1,0,C:\sounds\ding.wav,0,0,,,1)";
    const CAccount a = ParseAccountLine(line);
    EXPECT_EQ(a.m_strUser, "taro");
    EXPECT_EQ(a.m_strPassword, "");
    EXPECT_EQ(a.m_strServer, "popsrv");
    EXPECT_EQ(a.m_nInterval, 300);
    EXPECT_EQ(a.m_bSound, 1);
    EXPECT_EQ(a.m_nSoundMode, 0);
    EXPECT_EQ(a.m_strSoundFile, R"(C:\sounds\ding.wav)");
    EXPECT_EQ(a.m_bLaunch, 0);
    EXPECT_EQ(a.m_nLaunchMode, 0);
    EXPECT_EQ(a.m_strLaunchFile, "");
    EXPECT_EQ(a.m_strIconFile, "");
    EXPECT_EQ(a.m_bEnabled, 1);
    EXPECT_EQ(a.m_nTimerId, 0u);
    EXPECT_EQ(a.m_nLastCount, 0);
    EXPECT_EQ(FormatAccountLine(a), line);
}

TEST(AccountCsv, AnEmptyLineIsAnAccountWithIntervalOne) {
    const CAccount a = ParseAccountLine("");
    EXPECT_FALSE(a.IsComplete());
    EXPECT_EQ(a.m_nInterval, 1);
    EXPECT_EQ(FormatAccountLine(a), ",,,1,0,0,,0,0,,,0");
}

TEST(AccountCsv, CorrectsIntervalAndModesButTakesFlagsAsRead) {
    for (const char* interval : {"0", "-5", "abc"}) {
        EXPECT_EQ(ParseAccountLine(std::string("u,p,s,") + interval).m_nInterval, 1) << interval;
    }
    const CAccount a = ParseAccountLine("u,p,s,10,2,2,f,7,5,g,i,3");
    EXPECT_EQ(a.m_nInterval, 10);
    EXPECT_EQ(a.m_bSound, 2);
    EXPECT_EQ(a.m_nSoundMode, 0);
    EXPECT_EQ(a.m_bLaunch, 7);
    EXPECT_EQ(a.m_nLaunchMode, 0);
    EXPECT_EQ(a.m_bEnabled, 3);
    EXPECT_EQ(ParseAccountLine("u,p,s,10,1,1,f,1,1").m_nLaunchMode, 1);
}

TEST(AccountCsv, NumbersFollowTheCLibraryDecimalRules) {
    EXPECT_EQ(ReadDecimal("  42abc"), 42);
    EXPECT_EQ(ReadDecimal("+7"), 7);
    EXPECT_EQ(ReadDecimal("-12x"), -12);
    EXPECT_EQ(ReadDecimal("x12"), 0);
    EXPECT_EQ(ReadDecimal(""), 0);
    EXPECT_EQ(ReadDecimal("-"), 0);
    EXPECT_EQ(ReadDecimal("99999999999999999999"), 2147483647);
    EXPECT_EQ(ReadDecimal("-2147483648"), -2147483648LL);
    EXPECT_EQ(ReadDecimal("-99999999999"), -2147483648LL);
}

TEST(AccountCsv, NextFieldDropsSurroundingWhiteSpaceAndKeepsEmptyFieldsInPlace) {
    std::string line = " taro ,\tpw\t, ,srv";
    EXPECT_EQ(NextField(line), "taro");
    EXPECT_EQ(line, "\tpw\t, ,srv");
    EXPECT_EQ(NextField(line), "pw");
    EXPECT_EQ(NextField(line), "");
    EXPECT_EQ(NextField(line), "srv");
    EXPECT_EQ(line, "");
    EXPECT_EQ(NextField(line), "");

    std::string trailingComma = "a,";
    EXPECT_EQ(NextField(trailingComma), "a");
    EXPECT_EQ(trailingComma, "");

    // Multi-byte text is never split: no byte of a UTF-8 character is a comma.
    std::string japanese = "太郎 ,次";
    EXPECT_EQ(NextField(japanese), "太郎");
    EXPECT_EQ(NextField(japanese), "次");
}

TEST(AccountCsv, ACommaInAFieldShiftsEveryLaterField) {
    CAccount a;
    a.m_strUser = "ta,ro";
    a.m_strPassword = "pw";
    a.m_strServer = "srv";
    a.m_nInterval = 60;
    const CAccount back = ParseAccountLine(FormatAccountLine(a));
    EXPECT_EQ(back.m_strUser, "ta");
    EXPECT_EQ(back.m_strPassword, "ro");
    EXPECT_EQ(back.m_strServer, "pw");
    EXPECT_EQ(back.m_nInterval, 1);  // "srv" is no number
}

TEST(AccountCsv, TextAfterTheTwelfthFieldIsIgnored) {
    const CAccount a = ParseAccountLine("u,p,s,5,0,0,,0,0,,icon,1,extra,more");
    EXPECT_EQ(a.m_strIconFile, "icon");
    EXPECT_EQ(a.m_bEnabled, 1);
}

TEST(AccountCsv, LineEndsCrLfLfLoneCrAndCtrlZ) {
    const CAccountList list = Parse(
        "a,1\r\nb,2\nc\rd,3\r\n\r\ne,4\x1A"
        "f,5\r\n");
    ASSERT_EQ(list.GetCount(), 5);
    EXPECT_EQ(list.GetAt(0)->m_strUser, "a");
    EXPECT_EQ(list.GetAt(1)->m_strUser, "b");
    EXPECT_EQ(list.GetAt(2)->m_strUser, "c\rd");  // a lone CR stays inside the line
    EXPECT_EQ(list.GetAt(2)->m_strPassword, "3");
    EXPECT_EQ(list.GetAt(3)->m_strUser, "");   // the empty line is an account
    EXPECT_EQ(list.GetAt(4)->m_strUser, "e");  // Ctrl-Z ends the file: "f" never arrives
    EXPECT_EQ(list.GetAt(4)->m_strPassword, "4");
}

TEST(AccountCsv, TheLastLineCountsWithoutALineEndAndAnEndingNewlineAddsNothing) {
    EXPECT_EQ(Parse("a\r\nb").GetCount(), 2);
    EXPECT_EQ(Parse("a\r\nb\r\n").GetCount(), 2);
    EXPECT_EQ(Parse("").GetCount(), 0);
    EXPECT_EQ(Parse("\n").GetCount(), 1);
    EXPECT_EQ(Parse("\x1A\r\na\r\n").GetCount(), 0);
}

TEST(AccountCsv, AFileRoundTripsWithCrLfLines) {
    CAccountList list;
    CAccount a;
    a.m_strUser = "ユーザー";
    a.m_strPassword = "secret";
    a.m_strServer = "pop3s://mail.example:995";
    a.m_nInterval = 300;
    a.m_bEnabled = 1;
    list.AddTail(a);
    list.AddTail(CAccount{});
    const std::string text = FormatAccountFile(list);
    EXPECT_EQ(text, "ユーザー,secret,pop3s://mail.example:995,300,0,0,,0,0,,,1\r\n,,,0,0,0,,0,0,,,0\r\n");
    const CAccountList back = Parse(text);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(*back.GetAt(0), a);
    EXPECT_EQ(back.GetAt(1)->m_nInterval, 1);  // an interval of 0 comes back as 1
}

}  // namespace
