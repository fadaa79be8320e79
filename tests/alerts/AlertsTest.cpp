#include <gtest/gtest.h>

#include "alerts/Alerts.h"
#include "tests/support/RecordingAlertPlatform.h"

namespace {

class AlertsTest : public ::testing::Test {
protected:
    RecordingAlertPlatform platform;
    CAlerts alerts{platform};
};

TEST_F(AlertsTest, TheAlertSoundPlaysOnlyWhenThereIsAnOutputDevice) {
    alerts.PlayAlertSound("/sounds/new.wav");
    EXPECT_EQ(platform.requests, QStringList({"device?", "sound /sounds/new.wav"}));

    platform.requests.clear();
    platform.hasDevice = false;
    alerts.PlayAlertSound("/sounds/new.wav");
    EXPECT_EQ(platform.requests, QStringList({"device?"}));
}

TEST_F(AlertsTest, ThePreviewPlaysWithoutAskingForADevice) {
    platform.hasDevice = false;
    alerts.PreviewSound("/sounds/new.wav");
    alerts.StopSound();
    EXPECT_EQ(platform.requests, QStringList({"sound /sounds/new.wav", "stop"}));
}

TEST_F(AlertsTest, ALaunchOpensTheFileOnlyWhenPlayingItFails) {
    alerts.LaunchFile(nullptr, "/bin/mailer");
    EXPECT_EQ(platform.requests, QStringList({"play /bin/mailer", "open /bin/mailer"}));

    platform.requests.clear();
    platform.playSucceeds = true;
    alerts.LaunchFile(nullptr, "/sounds/tune.ogg");
    EXPECT_EQ(platform.requests, QStringList({"play /sounds/tune.ogg"}));
}

TEST_F(AlertsTest, ALaunchWithAnEmptyNameStillMakesBothRequests) {
    platform.openSucceeds = false;
    alerts.LaunchFile(nullptr, "");
    EXPECT_EQ(platform.requests, QStringList({"play ", "open "}));
}

}  // namespace
