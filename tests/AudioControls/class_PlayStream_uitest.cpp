// The preview player: whole file and ranges, resume after a stop, loops that restart at their
// exact sample, the end event on the UI thread, volume, 64-bit range ends and a file that does
// not open.

#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <thread>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include "AudioControls/class_PlayStream.h"
#include "support/audio_fixtures.h"
#include "support/sparse_wav.h"
#include "support/ui_waits.h"

using namespace sonorel_test;

namespace {

constexpr int kFrames = 30000; // counting samples 1..30000, mono, 44100 Hz

class PlayStreamTest : public testing::Test {
protected:
    void SetUp() override
    {
        BASS_ManualOutputEnable(true);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        folder = FixtureFolder();
        counting = folder + "/counting.wav";
        std::vector<int16_t> samples(kFrames);
        std::iota(samples.begin(), samples.end(), int16_t(1));
        ASSERT_TRUE(WriteAudioFile(counting, AudioFileKind::Wav, samples, 44100, 1));
        player.OnOver = [this](QObject* sender) {
            EXPECT_EQ(sender, &player);
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            ++overs;
        };
    }
    void TearDown() override
    {
        player.SetFileName("");
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }
    // Left channel of `frames` output frames.
    std::vector<int16_t> Pump(int frames)
    {
        std::vector<int16_t> block(size_t(frames) * 2);
        BASS_ManualOutputPump(block.data(), uint32_t(frames));
        std::vector<int16_t> left(block.size() / 2);
        for (int i = 0; i < frames; ++i)
            left[size_t(i)] = block[size_t(i) * 2];
        return left;
    }
    int64_t Position() const { return BASS_ChannelGetPosition(player.Channel()); }

    std::string folder, counting;
    TPlayStream player;
    int overs = 0;
};

TEST_F(PlayStreamTest, WholeFilePlaysOnceAndReportsTheEndOnTheUiThread)
{
    player.PlayFile(counting);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(player.FileName(), counting);
    EXPECT_NEAR(player.LenSec(), kFrames / 44100.0, 1e-6);
    EXPECT_EQ(player.LenBytes(), 2 * kFrames);
    const std::vector<int16_t> heard = Pump(kFrames + 1000);
    EXPECT_EQ(heard[kFrames - 1], kFrames);
    EXPECT_EQ(heard[kFrames], 0);
    EXPECT_FALSE(player.IsPlaying()) << "the end sync stopped it";
    EXPECT_EQ(overs, 0) << "not on the output thread";
    WAIT_EQ(overs, 1);
    QTest::qWait(20);
    EXPECT_EQ(overs, 1) << "once";
    EXPECT_FLOAT_EQ(player.GetPos(), 1.0f);
}

TEST_F(PlayStreamTest, RangeEndsAtItsSampleAndLengthZeroPlaysOnWithoutEvent)
{
    player.SetFileName(counting);
    player.Play(0.2f, 0.1f, false, true);
    std::vector<int16_t> heard = Pump(4000);
    EXPECT_EQ(heard[0], 6001);
    EXPECT_EQ(heard[2999], 9000);
    EXPECT_EQ(heard[3000], 0);
    WAIT_EQ(overs, 1);

    player.Play(0.5f, 0.0f, false, true);
    heard = Pump(16000);
    EXPECT_EQ(heard[0], 15001);
    EXPECT_EQ(heard[14999], 30000) << "to the end of the file";
    QTest::qWait(20);
    EXPECT_EQ(overs, 1) << "no end event without a range";
    EXPECT_TRUE(player.IsPlaying());
}

TEST_F(PlayStreamTest, PlayWithoutSeekResumesUnlessNearTheRangeEnd)
{
    // 10 s; the range is its second half.
    const std::string longFile = folder + "/long.wav";
    std::vector<int16_t> ramp(441000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(i / 100);
    ASSERT_TRUE(WriteAudioFile(longFile, AudioFileKind::Wav, ramp, 44100, 1));
    player.SetFileName(longFile);
    player.Play(0.5f, 0.5f, false, true);
    Pump(44100);
    player.Stop();
    const int64_t stoppedAt = Position();
    EXPECT_EQ(stoppedAt, 2 * (220500 + 44100));
    player.Play(0.5f, 0.5f, false, false);
    EXPECT_EQ(Position(), stoppedAt) << "resumed where it stopped";
    player.Stop();
    BASS_ChannelSetPosition(player.Channel(), 2 * 1000);
    player.Play(0.5f, 0.5f, false, false);
    EXPECT_EQ(Position(), 2 * 1000) << "also before the range start";
    player.Stop();
    BASS_ChannelSetPosition(player.Channel(), 2 * (441000 - 10000));
    player.Play(0.5f, 0.5f, false, false);
    EXPECT_EQ(Position(), 2 * 220500) << "within half a second of the end: from the range start";
}

TEST_F(PlayStreamTest, LoopRestartsAtItsExactSampleAndNeverReportsAnEnd)
{
    player.SetFileName(counting);
    player.Play(0.2f, 0.1f, true, true);
    const std::vector<int16_t> heard = Pump(3000 * 4 + 10);
    for (int i = 0; i < int(heard.size()); ++i)
        ASSERT_EQ(heard[size_t(i)], 6001 + i % 3000) << "frame " << i;
    EXPECT_TRUE(player.IsPlaying());
    QTest::qWait(20);
    EXPECT_EQ(overs, 0);

    player.SetLoop(0.5f, 0.05f); // taken at the next restart
    const std::vector<int16_t> next = Pump(3000 + 1500 + 10);
    EXPECT_EQ(next[2989], 9000) << "the running loop ends where it was set";
    EXPECT_EQ(next[2990], 15001);
    EXPECT_EQ(next[2990 + 1500], 15001) << "then the new one loops";

    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    const int64_t stoppedAt = Position();
    Pump(1000);
    EXPECT_EQ(Position(), stoppedAt) << "a stopped loop stays stopped";
}

TEST_F(PlayStreamTest, RangeEndsBeyondThirtyTwoBitsLoopAndEnd)
{
    const std::string path = folder + "/long.wav";
    ASSERT_TRUE(WriteSparseSilentWav(path, 44100, 2, 3.5 * 3600)); // 2.2e9 bytes
    player.SetFileName(path);
    ASSERT_GT(player.LenBytes(), int64_t(1) << 31);
    player.Play(0.99f, 0.0005f, true, true); // 6.3 s, ending past 2^31 bytes
    const int64_t start = Position();
    const int64_t rangeBytes = int64_t(double(player.LenBytes()) * 0.0005);
    for (int i = 0; i < 4; ++i)
        Pump(44100 * 5);
    EXPECT_GE(Position(), start);
    EXPECT_LT(Position(), start + rangeBytes + 4) << "looped back instead of playing on";

    player.Play(0.9995f, 0.0005f, false, true);
    for (int i = 0; i < 2; ++i)
        Pump(44100 * 5);
    EXPECT_FALSE(player.IsPlaying());
    WAIT_EQ(overs, 1);
}

TEST_F(PlayStreamTest, VolumeIsAppliedAndKeptAcrossFiles)
{
    player.SetVolume(0.5f);
    player.SetFileName(counting);
    int volume = -1;
    ASSERT_TRUE(BASS_ChannelGetAttributes(player.Channel(), nullptr, &volume, nullptr));
    EXPECT_EQ(volume, 50);
    player.SetVolume(0.999f);
    BASS_ChannelGetAttributes(player.Channel(), nullptr, &volume, nullptr);
    EXPECT_EQ(volume, 99) << "truncated";
    player.SetVolume(2.0f);
    BASS_ChannelGetAttributes(player.Channel(), nullptr, &volume, nullptr);
    EXPECT_EQ(volume, 100);
    player.SetVolume(0.25f);
    player.SetFileName(counting);
    BASS_ChannelGetAttributes(player.Channel(), nullptr, &volume, nullptr);
    EXPECT_EQ(volume, 25);
    EXPECT_FLOAT_EQ(player.Volume(), 0.25f);
}

TEST_F(PlayStreamTest, FileThatDoesNotOpenLeavesNoStream)
{
    player.SetFileName(counting);
    const std::string junk = folder + "/junk.mp3";
    WriteBytes(junk, std::string(3000, 'j'));
    for (const std::string& bad : {junk, folder + "/missing.wav", std::string(folder)}) {
        SCOPED_TRACE(bad);
        try {
            player.SetFileName(bad);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), std::string(kCantCreatePlayChannel) + bad);
        }
        EXPECT_EQ(player.FileName(), "");
        EXPECT_EQ(player.Channel(), 0u);
        player.Play(0.0f, 1.0f, false, true);
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(player.GetPos(), 0.0f);
        EXPECT_EQ(player.LenSec(), 0.0f);
        player.SetPlayPosition(0.5f);
        player.Stop();
    }
}

// With the real (null) output thread the end still arrives on the UI thread, and freeing the
// player while a loop runs is safe.
TEST(PlayStreamThreads, EndOnTheUiThreadAndDestructionWhileLooping)
{
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    const std::string path = FixtureFolder() + "/short.wav";
    ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 1.0}), 44100, 2));
    int overs = 0;
    {
        TPlayStream player;
        player.OnOver = [&](QObject*) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            ++overs;
        };
        player.SetFileName(path);
        player.Play(0.0f, 0.1f, false, true);
        WAIT_EQ(overs, 1);
        player.Play(0.0f, 0.02f, true, true); // loops every 20 ms
        QTest::qWait(100);
        EXPECT_TRUE(player.IsPlaying());
    }
    QTest::qWait(50);
    EXPECT_EQ(overs, 1);
    BASS_Free();
}

} // namespace
