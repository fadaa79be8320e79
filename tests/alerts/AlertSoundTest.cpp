// Real sound: the alert platform plays through a PulseAudio null sink (with-pulseaudio.sh starts
// it), and what the sink's monitor records is analysed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <memory>
#include <vector>

#include "alerts/Alerts.h"
#include "alerts/QtAlertPlatform.h"
#include "tests/alerts/Tones.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kWindow = kToneRate / 100;  // 10 ms
constexpr double kLoudRms = 1000;         // a played tone is near 11000, the idle sink exactly 0

// Records the null sink's monitor as 16-bit mono samples. Recording takes about two seconds to
// begin, so one recorder serves all tests; each takes what was recorded since it began.
class Recorder {
public:
    bool Start() {
        QObject::connect(&m_pacat, &QProcess::readyReadStandardOutput,
                         [this] { m_raw += m_pacat.readAllStandardOutput(); });
        m_pacat.start(QStringLiteral("pacat"),
                      {"--record", "--device=null.monitor", "--format=s16le", "--rate=44100", "--channels=1",
                       "--latency-msec=20", "--raw"});
        return m_pacat.waitForStarted(5000) && QTest::qWaitFor([this] { return !m_raw.isEmpty(); }, 10000);
    }
    ~Recorder() {
        m_pacat.terminate();
        m_pacat.waitForFinished(5000);
    }

    void Mark() { m_mark = m_raw.size() & ~qsizetype(1); }

    std::vector<qint16> SinceMark() const {
        std::vector<qint16> samples((m_raw.size() - m_mark) / 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = qFromLittleEndian<qint16>(m_raw.constData() + m_mark + 2 * i);
        }
        return samples;
    }

private:
    QProcess m_pacat;
    QByteArray m_raw;
    qsizetype m_mark = 0;
};

bool IsLoud(const std::vector<qint16>& samples, size_t start) {
    double sum = 0;
    for (size_t i = start; i < start + kWindow; ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return std::sqrt(sum / kWindow) > kLoudRms;
}

// How long something was heard, in seconds.
double LoudSeconds(const std::vector<qint16>& samples) {
    int loud = 0;
    for (size_t start = 0; start + kWindow <= samples.size(); start += kWindow) {
        loud += IsLoud(samples, start) ? 1 : 0;
    }
    return loud / 100.0;
}

// The pitch of the last 100 ms heard, from its zero crossings.
double LastPitch(const std::vector<qint16>& samples) {
    size_t end = 0;
    for (size_t start = 0; start + kWindow <= samples.size(); start += kWindow) {
        end = IsLoud(samples, start) ? start + kWindow : end;
    }
    if (end < 12 * kWindow) {
        return 0;
    }
    // Leave out the very end, where the sound may have been cut off.
    const size_t from = end - 12 * kWindow;
    const size_t to = end - 2 * kWindow;
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        crossings += (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
    }
    return crossings / 2.0 / (double(to - from) / kToneRate);
}

class AlertSoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        recorder = std::make_unique<Recorder>();
        recordingStarted = recorder->Start();
    }
    static void TearDownTestSuite() { recorder.reset(); }

    void SetUp() override {
        ASSERT_TRUE(recordingStarted);
        dir.write("a440.wav", ToneWav(440, 0.5));
        dir.write("a660.wav", ToneWav(660, 0.5));
        dir.write("a550.au", ToneAu(550, 0.5));
        dir.write("long440.wav", ToneWav(440, 2.0));
        dir.write("short880.wav", ToneWav(880, 0.3));
        recorder->Mark();
    }

    // What was heard once a sound was heard and then 0.3 s of silence recorded (or after a long
    // while, for a sound that never comes or never stops).
    static std::vector<qint16> HeardUntilQuiet() {
        const auto soundThenQuiet = [] {
            const std::vector<qint16> heard = recorder->SinceMark();
            const size_t quiet = 30 * kWindow;
            return heard.size() > quiet && LoudSeconds(heard) > 0 &&
                   LoudSeconds(std::vector<qint16>(heard.end() - quiet, heard.end())) == 0;
        };
        (void)QTest::qWaitFor(soundThenQuiet, 10000);
        return recorder->SinceMark();
    }
    static bool HeardFor(double seconds) {
        return QTest::qWaitFor([&] { return LoudSeconds(recorder->SinceMark()) >= seconds; }, 10000);
    }

    static inline std::unique_ptr<Recorder> recorder;
    static inline bool recordingStarted = false;
    TempDir dir;
    CQtAlertPlatform platform;
};

// Qt 6.4's sound effect loses about the last 0.12 s of a sound on PulseAudio, so a 0.5 s tone is
// heard for 0.35 to 0.5 s.
TEST_F(AlertSoundTest, TheAlertSoundIsReallyHeard) {
    ASSERT_TRUE(platform.HasOutputDevice());
    CAlerts(platform).PlayAlertSound(dir.file("a440.wav"));
    const std::vector<qint16> heard = HeardUntilQuiet();
    EXPECT_GT(LoudSeconds(heard), 0.3);
    EXPECT_LT(LoudSeconds(heard), 0.65);
    EXPECT_NEAR(LastPitch(heard), 440, 25);
}

TEST_F(AlertSoundTest, PlayPlaysAudioFilesWithoutAnyWindow) {
    ASSERT_TRUE(platform.ShellPlay(dir.file("a660.wav")));
    std::vector<qint16> heard = HeardUntilQuiet();
    EXPECT_GT(LoudSeconds(heard), 0.3);
    EXPECT_NEAR(LastPitch(heard), 660, 30);

    // Any other audio goes through the media player.
    recorder->Mark();
    ASSERT_TRUE(platform.ShellPlay(dir.file("a550.au")));
    heard = HeardUntilQuiet();
    EXPECT_NEAR(LoudSeconds(heard), 0.5, 0.1);
    EXPECT_NEAR(LastPitch(heard), 550, 30);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

TEST_F(AlertSoundTest, ANewSoundReplacesOneStillPlaying) {
    platform.PlaySound(dir.file("long440.wav"));
    ASSERT_TRUE(HeardFor(0.3));
    platform.PlaySound(dir.file("short880.wav"));
    const std::vector<qint16> heard = HeardUntilQuiet();
    // Some 0.3 to 0.5 s of the first and 0.3 s of the second; the first alone would last 2 s.
    EXPECT_GT(LoudSeconds(heard), 0.4);
    EXPECT_LT(LoudSeconds(heard), 1.2);
    EXPECT_NEAR(LastPitch(heard), 880, 40);
}

TEST_F(AlertSoundTest, StopEndsASoundStillPlaying) {
    platform.PlaySound(dir.file("long440.wav"));
    ASSERT_TRUE(HeardFor(0.3));
    platform.StopSound();
    const std::vector<qint16> heard = HeardUntilQuiet();
    EXPECT_GT(LoudSeconds(heard), 0.1);
    EXPECT_LT(LoudSeconds(heard), 1.0);
}

}  // namespace
