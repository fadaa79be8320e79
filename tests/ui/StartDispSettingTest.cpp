#include <gtest/gtest.h>

#include <QSettings>

#include "tests/support/TempDir.h"
#include "ui/StartDispSetting.h"

namespace {

class StartDispSettingTest : public ::testing::Test {
protected:
    TempDir dir;
    QSettings settings{dir.file("settings.ini"), QSettings::IniFormat};
};

TEST_F(StartDispSettingTest, AMissingOrUnfittingValueReadsAsShowTheWindow) {
    EXPECT_EQ(StartDispSetting::Read(settings), 1);
    settings.setValue("StartDisp", "not a number");
    EXPECT_EQ(StartDispSetting::Read(settings), 1);
    settings.setValue("StartDisp", 4294967296LL);  // does not fit in 32 bits
    EXPECT_EQ(StartDispSetting::Read(settings), 1);
}

TEST_F(StartDispSettingTest, WrittenValuesReadBackAndOnlyOneAndTwoShowTicked) {
    StartDispSetting::Write(settings, 0);
    QSettings reread(dir.file("settings.ini"), QSettings::IniFormat);
    EXPECT_EQ(StartDispSetting::Read(reread), 0);
    settings.setValue("StartDisp", -7);
    EXPECT_EQ(StartDispSetting::Read(settings), -7);  // any 32-bit value is taken as stored
    EXPECT_FALSE(StartDispSetting::ShowsTicked(0));
    EXPECT_TRUE(StartDispSetting::ShowsTicked(1));
    EXPECT_TRUE(StartDispSetting::ShowsTicked(2));
    EXPECT_FALSE(StartDispSetting::ShowsTicked(3));
    EXPECT_FALSE(StartDispSetting::ShowsTicked(-7));
}

}  // namespace
