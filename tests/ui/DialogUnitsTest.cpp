#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

#include "res/Strings.h"
#include "ui/DialogInteger.h"
#include "ui/DialogUnits.h"

namespace {

TEST(DialogUnits, ConvertsWithTheFontsAverageWidthAndHeight) {
    const QFont font = DialogUnits::DialogFont(Str::kDialogFont);
    const QFontMetrics metrics(font);
    const DialogUnits du(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ(du.BaseX(), qRound(letters / 52.0));
    EXPECT_EQ(du.BaseY(), metrics.height());
    EXPECT_EQ(du.X(4), du.BaseX());
    EXPECT_EQ(du.Y(8), du.BaseY());
    EXPECT_EQ(du.ToPixels(217, 245), QSize(qRound(217 * du.BaseX() / 4.0), qRound(245 * du.BaseY() / 8.0)));

    QWidget parent;
    auto* child = new QWidget(&parent);
    du.Place(child, 50, 15, 165, 14);
    EXPECT_EQ(child->geometry(), du.ToPixels(50, 15, 165, 14));
}

TEST(DialogUnits, AJapaneseFontStandsInForTheTemplateFonts) {
    for (const char* family : {Str::kDialogFont, Str::kAboutFont}) {
        const QFont font = DialogUnits::DialogFont(family);
        EXPECT_EQ(font.pointSize(), 9);
        const QFontMetrics metrics(font);
        // Captions of the dialogs: kanji, kana and half-width katakana must all have glyphs.
        for (const char* caption :
             {Str::kSettingsCaption, Str::kIntervalLabel, Str::kCancel, Str::kOnIncrease}) {
            for (const QChar c : Str::Text(caption)) {
                EXPECT_TRUE(metrics.inFont(c))
                    << QFontInfo(font).family().toStdString() << " lacks U+" << std::hex << int(c.unicode());
            }
        }
    }
    // The settings dialog's font is fixed-pitch, like the one its template names.
    const QFontMetrics settings(DialogUnits::DialogFont(Str::kDialogFont));
    EXPECT_EQ(settings.horizontalAdvance(u'i'), settings.horizontalAdvance(u'W'));
    EXPECT_EQ(2 * settings.horizontalAdvance(u'W'), settings.horizontalAdvance(QChar(0x8A2D)));
}

TEST(DialogInteger, TakesDecimalNumbersWithSignAndBlanks) {
    EXPECT_EQ(ParseDialogInteger("60"), 60);
    EXPECT_EQ(ParseDialogInteger(" \t-15\t "), -15);
    EXPECT_EQ(ParseDialogInteger("+7"), 7);
    EXPECT_EQ(ParseDialogInteger("0"), 0);
    EXPECT_EQ(ParseDialogInteger("  00"), 0);
    EXPECT_EQ(ParseDialogInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseDialogInteger("-2147483648"), -2147483647 - 1);
}

TEST(DialogInteger, ClampsBeyondThirtyTwoBits) {
    EXPECT_EQ(ParseDialogInteger("2147483648"), 2147483647);
    EXPECT_EQ(ParseDialogInteger("99999999999999999999999999"), 2147483647);
    EXPECT_EQ(ParseDialogInteger("-99999999999999999999999999"), -2147483647 - 1);
}

TEST(DialogInteger, RefusesWhatIsNotANumber) {
    for (const char* text :
         {"", "   ", "abc", "12a", "1 2", "- 5", "-0", "+0", "-", "0x10", "1.5", "1,000"}) {
        EXPECT_FALSE(ParseDialogInteger(QString::fromUtf8(text)).has_value()) << text;
    }
    EXPECT_FALSE(ParseDialogInteger(QStringLiteral("６０")).has_value());  // full-width digits
}

TEST(DialogInteger, LooksAtTheFirstThirtyOneCharactersOnly) {
    const QString blanks(29, u' ');
    EXPECT_EQ(ParseDialogInteger(blanks + "12" + "junk"), 12);  // the junk starts at character 32
    EXPECT_FALSE(ParseDialogInteger(blanks + "1x").has_value());
    EXPECT_FALSE(ParseDialogInteger(QString(31, u' ') + "5").has_value());  // the digit is not looked at
}

}  // namespace
