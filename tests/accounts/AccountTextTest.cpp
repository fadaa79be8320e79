#include <gtest/gtest.h>

#include "accounts/AccountText.h"

namespace {

TEST(AccountText, BytesShowAsUtf8WhereValidAndAsCodePage932Otherwise) {
    EXPECT_EQ(DisplayText("taro"), QStringLiteral("taro"));
    EXPECT_EQ(DisplayText("\xE5\xB1\xB1\xE7\x94\xB0"), QStringLiteral("山田"));  // UTF-8
    EXPECT_EQ(DisplayText("\x8E\x52\x93\x63"), QStringLiteral("山田"));          // code page 932
    // Half-width katakana, a path's backslashes and the NEC extensions of code page 932.
    EXPECT_EQ(DisplayText("C:\\\xB1\xB2\\\x87\x40.wav"), QStringLiteral("C:\\ｱｲ\\①.wav"));
    // A UTF-8 sequence cut off at the end is not UTF-8.
    EXPECT_FALSE(DisplayText("a\xE5\xB1").contains(QChar::ReplacementCharacter));
}

TEST(AccountText, TypedTextShowsAsTyped) {
    const QString typed = QStringLiteral("山田 ﾀﾛｳ");
    EXPECT_EQ(DisplayText(TypedBytes(typed)), typed);
}

}  // namespace
