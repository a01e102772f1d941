// Position syncs: they run at their exact sample on decode-only and on playing channels, a
// procedure's move or stop applies from the next sample, positions are 64-bit, one-time syncs
// go, and the channel lock pairs.

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "platform/sound/SoundLibrary.h"
#include "sound_test_util.h"
#include "support/audio_fixtures.h"

using sound_test::DecodeAll;

namespace {

// Samples that count up, so every sample names its own position.
std::vector<int16_t> CountingSamples(int frames)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames));
    std::iota(samples.begin(), samples.end(), int16_t(1));
    return samples;
}

// A mono WAV file of counting samples at 44100 Hz.
std::string CountingWav(int frames)
{
    const std::string path = sonorel_test::FixtureFolder() + "/counting.wav";
    EXPECT_TRUE(sonorel_test::WriteAudioFile(path, sonorel_test::AudioFileKind::Wav, CountingSamples(frames), 44100, 1));
    return path;
}

// What a sync saw when it ran.
struct SyncLog {
    std::vector<int64_t> positions;
    BassSync lastSync = 0;
    BassHandle lastChannel = 0;
    int64_t seekTo = -1;   // move the channel there when running
    bool stop = false;     // stop the channel when running
};

void RecordingProc(BassSync sync, BassHandle channel, uint32_t, void* user)
{
    auto& log = *static_cast<SyncLog*>(user);
    log.positions.push_back(BASS_ChannelGetPosition(channel));
    log.lastSync = sync;
    log.lastChannel = channel;
    if (log.seekTo >= 0)
        BASS_ChannelSetPosition(channel, log.seekTo);
    if (log.stop)
        BASS_ChannelStop(channel);
}

uint32_t SilentProc(BassHandle, void*, uint32_t length, void*) { return length; }

class SyncTest : public testing::Test {
protected:
    void TearDown() override
    {
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }
};

TEST_F(SyncTest, RunsAtItsExactPositionWhateverTheReadSize)
{
    struct Case {
        int64_t position;
        uint32_t block;
        int64_t expected; // where the stream stands when the sync runs: the first whole frame at or past it
    };
    const Case cases[] = {
        {1000, 4096, 1000}, {1000, 1000, 1000}, {1000, 2, 1000}, {1001, 4096, 1002}, {4096, 4096, 4096},
        {1, 4096, 2},
    };
    const std::string path = CountingWav(20000);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.position << " block " << c.block);
        const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(stream, 0u);
        SyncLog log;
        const BassSync sync = BASS_ChannelSetSync(stream, BASS_SYNC_POS, c.position, RecordingProc, &log);
        ASSERT_NE(sync, 0u);
        const std::vector<int16_t> all = DecodeAll(stream, c.block);
        EXPECT_EQ(log.positions, std::vector<int64_t>{c.expected});
        EXPECT_EQ(log.lastSync, sync);
        EXPECT_EQ(log.lastChannel, stream);
        EXPECT_EQ(all, CountingSamples(20000)) << "cutting the read at the sync loses and repeats nothing";
        BASS_StreamFree(stream);
    }
}

TEST_F(SyncTest, MoveInsideTheProcedureLoopsSampleExactly)
{
    const BassHandle stream = BASS_StreamCreateFile(CountingWav(20000), BASS_STREAM_DECODE);
    SyncLog log;
    log.seekTo = 2000; // bytes: sample 1001
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_POS, 3000, RecordingProc, &log), 0u);

    std::vector<int16_t> got(2500);
    ASSERT_EQ(BASS_ChannelGetData(stream, got.data(), 5000), 5000);
    std::vector<int16_t> expected;
    for (int16_t v = 1; v <= 1500; ++v) // up to the sync at byte 3000
        expected.push_back(v);
    for (int round = 0; round < 2; ++round) // the loop of 500 samples, twice
        for (int16_t v = 1001; v <= 1500; ++v)
            expected.push_back(v);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(log.positions, (std::vector<int64_t>{3000, 3000, 3000})) << "the third run ends the read exactly";
}

TEST_F(SyncTest, OneTimeSyncRunsOnceAndRemovedSyncNever)
{
    const std::string path = CountingWav(20000);
    const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    SyncLog once, removed;
    once.seekTo = 0;
    const BassSync onceSync = BASS_ChannelSetSync(stream, BASS_SYNC_POS | BASS_SYNC_ONETIME, 8000, RecordingProc, &once);
    const BassSync removedSync = BASS_ChannelSetSync(stream, BASS_SYNC_POS, 100, RecordingProc, &removed);
    EXPECT_NE(onceSync, removedSync);
    EXPECT_TRUE(BASS_ChannelRemoveSync(stream, removedSync));
    const std::vector<int16_t> all = DecodeAll(stream);
    EXPECT_EQ(once.positions, std::vector<int64_t>{8000});
    EXPECT_EQ(all.size(), 4000u + 20000u) << "back to the start once, then through to the end";
    EXPECT_TRUE(removed.positions.empty());
    EXPECT_FALSE(BASS_ChannelRemoveSync(stream, onceSync)) << "a one-time sync that ran is gone";
    EXPECT_FALSE(BASS_ChannelRemoveSync(stream, removedSync));
}

TEST_F(SyncTest, PositionAtOrPastTheEndRunsWhenTheStreamEnds)
{
    const BassHandle stream = BASS_StreamCreateFile(CountingWav(1000), BASS_STREAM_DECODE);
    SyncLog atEnd, pastEnd, passed;
    BASS_ChannelSetPosition(stream, 600);
    BASS_ChannelSetSync(stream, BASS_SYNC_POS, 2000, RecordingProc, &atEnd);
    BASS_ChannelSetSync(stream, BASS_SYNC_POS, 1 << 30, RecordingProc, &pastEnd);
    BASS_ChannelSetSync(stream, BASS_SYNC_POS, 400, RecordingProc, &passed);
    DecodeAll(stream);
    EXPECT_EQ(atEnd.positions, std::vector<int64_t>{2000});
    EXPECT_EQ(pastEnd.positions, std::vector<int64_t>{2000});
    EXPECT_TRUE(passed.positions.empty()) << "a position the stream had passed does not run";
}

TEST_F(SyncTest, PositionsAreSixtyFourBit)
{
    // 32 channels at 384 kHz pass 2^32 bytes in under three minutes of sound.
    const BassHandle stream = BASS_StreamCreate(384000, 32, BASS_STREAM_DECODE, SilentProc, nullptr);
    const int64_t beyond32Bits = (int64_t(1) << 32) + (int64_t(1) << 31) + 64 * 1000;
    SyncLog log;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_POS, beyond32Bits, RecordingProc, &log), 0u);
    std::vector<char> buffer(64 << 20);
    while (BASS_ChannelGetPosition(stream) < beyond32Bits + int64_t(buffer.size()))
        ASSERT_GT(BASS_ChannelGetData(stream, buffer.data(), static_cast<uint32_t>(buffer.size())), 0);
    EXPECT_EQ(log.positions, std::vector<int64_t>{beyond32Bits}) << "neither at the low 32 bits nor late";
}

TEST_F(SyncTest, StopInsideTheProcedureEndsPlaybackAtTheSample)
{
    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    const BassHandle stream = BASS_StreamCreateFile(CountingWav(20000), 0);
    ASSERT_NE(stream, 0u);
    SyncLog log;
    log.stop = true;
    BASS_ChannelSetSync(stream, BASS_SYNC_POS | BASS_SYNC_ONETIME, 2 * 700, RecordingProc, &log);
    ASSERT_TRUE(BASS_ChannelPlay(stream, false));
    std::vector<int16_t> block(2 * 1024);
    ASSERT_EQ(BASS_ManualOutputPump(block.data(), 1024), 4096u);
    EXPECT_EQ(log.positions, std::vector<int64_t>{1400});
    EXPECT_EQ(block[2 * 699], 700) << "the last sample before the sync is heard";
    EXPECT_EQ(block[2 * 699 + 1], 700);
    EXPECT_EQ(block[2 * 700], 0) << "nothing after it";
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 1400);
}

TEST_F(SyncTest, LoopOnAPlayingChannelIsSeamless)
{
    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    const BassHandle stream = BASS_StreamCreateFile(CountingWav(20000), 0);
    SyncLog log;
    log.seekTo = 2 * 100;
    BASS_ChannelSetSync(stream, BASS_SYNC_POS, 2 * 400, RecordingProc, &log);
    ASSERT_TRUE(BASS_ChannelPlay(stream, false));
    std::vector<int16_t> block(2 * 1000);
    BASS_ManualOutputPump(block.data(), 1000);
    for (int i = 0; i < 1000; ++i) {
        const int16_t expected = i < 400 ? int16_t(i + 1) : int16_t(101 + (i - 400) % 300);
        ASSERT_EQ(block[2 * i], expected) << "frame " << i;
    }
}

TEST_F(SyncTest, BadArgumentsAndTheChannelLock)
{
    const BassHandle stream = BASS_StreamCreate(44100, 1, BASS_STREAM_DECODE, SilentProc, nullptr);
    SyncLog log;
    EXPECT_EQ(BASS_ChannelSetSync(0, BASS_SYNC_POS, 0, RecordingProc, &log), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(BASS_ChannelSetSync(stream, BASS_SYNC_POS, 0, nullptr, &log), 0u);
    EXPECT_EQ(BASS_ChannelSetSync(stream, 7, 0, RecordingProc, &log), 0u) << "only position syncs";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_ChannelRemoveSync(stream, 12345));
    EXPECT_FALSE(BASS_ChannelRemoveSync(0, 1));

    EXPECT_FALSE(BASS_ChannelLock(stream, false)) << "not held";
    EXPECT_TRUE(BASS_ChannelLock(stream, true));
    EXPECT_TRUE(BASS_ChannelLock(stream, true));
    std::vector<int16_t> buffer(8);
    EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 16), 16) << "the holder keeps using the channel";
    EXPECT_TRUE(BASS_ChannelLock(stream, false));
    EXPECT_TRUE(BASS_ChannelLock(stream, false));
    EXPECT_FALSE(BASS_ChannelLock(stream, false));
    EXPECT_FALSE(BASS_ChannelLock(0, true));
}

} // namespace
