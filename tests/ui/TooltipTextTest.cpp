#include <gtest/gtest.h>

#include "res/Strings.h"
#include "ui/TooltipText.h"

namespace {

// The local 8-bit encoding of this desktop is UTF-8: a Japanese character takes three bytes.
qsizetype Bytes(const QString& text) {
    return text.toUtf8().size();
}

TEST(CutTooltip, AsciiKeepsItsFirst63Bytes) {
    const QString exact(63, QChar('a'));
    EXPECT_EQ(CutTooltip(exact), exact);
    EXPECT_EQ(CutTooltip(exact + "b"), exact);
    const QString longName =
        QStringLiteral("a.very.long.user.name.for.a.pop3.mailbox@mail.example.com.invalid");
    ASSERT_GT(longName.size(), 63);
    EXPECT_EQ(CutTooltip(longName), longName.left(63));
    EXPECT_EQ(CutTooltip(QString()), QString());
}

TEST(CutTooltip, ShortJapaneseTextsStayWhole) {
    for (const char* text : {Str::kNoMail, Str::kConnectError, Str::kLoginError}) {
        EXPECT_EQ(CutTooltip(Str::Text(text)), Str::Text(text)) << text;
    }
    const QString count = Str::Text(Str::kMailCount).replace("%d", "2147483647");
    EXPECT_EQ(CutTooltip(count), count);
}

TEST(CutTooltip, JapaneseIsCutBetweenCharacters) {
    // 21 characters are exactly 63 bytes, a 22nd does not fit.
    const QString name = QString(25, QChar(0x30E1));  // メ
    EXPECT_EQ(CutTooltip(name), name.left(21));
    EXPECT_EQ(Bytes(CutTooltip(name)), 63);

    // One ASCII letter in front: 1 + 20 * 3 = 61 bytes, and the next character would need 64.
    const QString shifted = "a" + name;
    EXPECT_EQ(CutTooltip(shifted), shifted.left(21));
    EXPECT_EQ(Bytes(CutTooltip(shifted)), 61);

    // Half-width katakana take three bytes as well.
    const QString halfWidth = QString(62, QChar('x')) + Str::Text("ｿｹｯﾄ");
    EXPECT_EQ(CutTooltip(halfWidth), QString(62, QChar('x')));
}

TEST(CutTooltip, ACharacterMadeOfSeveralCodePointsIsKeptOrLeftOutWhole) {
    const QString prefix(60, QChar('u'));
    // A character outside the basic plane (a surrogate pair, four bytes) that does not fit.
    EXPECT_EQ(CutTooltip(prefix + QString::fromUtf8("\xF0\x9F\x93\xAC")), prefix);
    // か followed by a combining voiced mark: the letter alone would fit, but not with its mark.
    const QString ga = QString(QChar(0x304B)) + QChar(0x3099);
    EXPECT_EQ(CutTooltip(prefix + ga), prefix);
    EXPECT_EQ(CutTooltip(prefix.left(57) + ga), prefix.left(57) + ga);
}

TEST(CutTooltip, ACutResultIsAlwaysAWholePrefixWithinTheLimit) {
    const QString mixed =
        Str::Text("ユーザーname@サーバー.example.jp／メールボックス-") + QString(40, QChar(0x901A));
    for (int limit = 0; limit <= 80; ++limit) {
        const QString cut = CutTooltip(mixed, limit);
        ASSERT_TRUE(mixed.startsWith(cut)) << limit;
        ASSERT_LE(Bytes(cut), limit) << limit;
        // Nothing that would still have fitted was left out.
        if (cut.size() < mixed.size()) {
            ASSERT_GT(Bytes(mixed.left(cut.size() + 1)), limit) << limit;
        }
    }
}

}  // namespace
