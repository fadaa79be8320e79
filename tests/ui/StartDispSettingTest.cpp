#include <gtest/gtest.h>

#include <QSettings>

#include "tests/support/TempDir.h"
#include "ui/StartDispSetting.h"

#ifdef Q_OS_WIN
#include <windows.h>
#include <QCoreApplication>
#include <QUuid>
#endif

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

#ifdef Q_OS_WIN
// The program's settings object is the registry key HKCU\Software\HALVERN\<program name>, and
// StartDisp is a 32-bit value there, as existing installations have it.
TEST(StartDispRegistry, TheSettingIsADwordUnderTheVendorAndProgramKey) {
    const QString name = "quillpost-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const std::wstring key = (QStringLiteral("Software\\HALVERN\\") + name).toStdWString();
    QCoreApplication::setOrganizationName("HALVERN");
    QCoreApplication::setApplicationName(name);
    QSettings::setDefaultFormat(QSettings::NativeFormat);  // as the program leaves it
    {
        QSettings settings;
        StartDispSetting::Write(settings, 0);
    }
    DWORD type = 0;
    DWORD data = 99;
    DWORD size = sizeof data;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"StartDisp", RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 0u);

    // A value an earlier installation left reads back as it stands.
    data = 2;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"StartDisp", REG_DWORD, &data, sizeof data),
              ERROR_SUCCESS);
    EXPECT_EQ(StartDispSetting::Read(QSettings()), 2);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
#endif

}  // namespace
