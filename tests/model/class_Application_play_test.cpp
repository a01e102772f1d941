#include "model/class_Application.h"

#include "engine/class_SoundDevice.h"
#include "platform/sound/SoundThread.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/trace_lines.h"
#include "support/waits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

using namespace sonorel_test;

namespace {

constexpr int kRate = 44100;

// One row of the golden mix and the samples its file holds.
struct GoldenRow {
    int channels;
    uint32_t seed;
    float start, length, overlaplen;
    MixParams params;
    std::vector<int16_t> samples;
};

MixParams Params(int32_t volume, float fadein, float fadeout)
{
    MixParams p;
    p.volume = volume;
    p.fadein = fadein > 0;
    p.fadeinlength = fadein;
    p.fadeout = fadeout > 0;
    p.fadeoutlength = fadeout;
    return p;
}

// The gain of a row t seconds into a fragment of `length`, written out on its own.
double ExpectedGain(const MixParams& p, double t, double length)
{
    double gain = p.volume / 100.0;
    if (p.fadein && t < p.fadeinlength)
        gain *= t / p.fadeinlength;
    if (p.fadeout && t > length - p.fadeoutlength)
        gain *= (length - t) / p.fadeoutlength;
    return std::max(gain, 0.0);
}

class LivePlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = FixtureFolder();
        snl.mixdata.Clear();
        snl.Playing = 0;
        snl.WavProducer.Stopped = 1;
        snl.WavProducer.MainTime = 0;
        BASS_ManualOutputEnable(true);
        snl.Play(0, kRate);
    }
    void TearDown() override
    {
        snl.WavProducer.Stop();
        snl.mixdata.Clear();
        SoundDevice->Close();
        BASS_ManualOutputEnable(false);
    }

    void AddGoldenMix()
    {
        golden = {
            {2, 1, 1.0f, 5, 2, Params(100, 0, 2), {}},
            {1, 2, 0.5f, 5, 1, Params(100, 2, 1.5f), {}},
            {2, 3, 2.0f, 5, 0, Params(80, 1, 0), {}},
        };
        for (size_t i = 0; i < golden.size(); ++i) {
            GoldenRow& g = golden[i];
            g.samples = MakeSweepNoise({kRate, g.channels, 10.0, g.seed});
            const std::string path = folder + "/row" + std::to_string(i) + ".wav";
            ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, g.samples, kRate, g.channels));
            cMixRow* row = snl.mixdata.Add();
            row->filename = path;
            row->start = g.start;
            row->length = g.length;
            row->overlap = g.overlaplen > 0;
            row->overlaplen = g.overlaplen;
            row->MixParams = g.params;
        }
    }

    // The golden mix summed from the fixtures' samples, stereo.
    std::vector<int16_t> ExpectedGoldenMix() const
    {
        const int64_t total = static_cast<int64_t>(std::llround(snl.mixdata.TotalLength() * kRate));
        std::vector<int32_t> sum(static_cast<size_t>(total * 2), 0);
        for (int32_t i = 0; i < snl.mixdata.Count(); ++i) {
            const GoldenRow& g = golden[static_cast<size_t>(i)];
            const int64_t first = std::llround(snl.mixdata.RowStart(i) * kRate);
            const int64_t frames = std::llround(g.length * kRate);
            const int64_t sourceFirst = std::llround(g.start * kRate);
            for (int64_t k = 0; k < frames; ++k) {
                const double gain = ExpectedGain(g.params, static_cast<double>(k) / kRate, g.length);
                for (int c = 0; c < 2; ++c) {
                    const int16_t x = g.samples[static_cast<size_t>((sourceFirst + k) * g.channels + c % g.channels)];
                    const int32_t scaled = static_cast<int32_t>(std::lround(x * gain));
                    int32_t& out = sum[static_cast<size_t>((first + k) * 2 + c)];
                    out = std::clamp(out + scaled, -32767, 32767);
                }
            }
        }
        return std::vector<int16_t>(sum.begin(), sum.end());
    }

    // Plays the mix live through the manual device in blocks of `frames` until it ends, each block
    // once the preparation worker has the rows it starts ready: faster than real time, yet every
    // row starts in time.
    std::vector<int16_t> PlayLive(uint32_t frames)
    {
        snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
        snl.Playing = 1;
        const int64_t lateBefore = snl.WavProducer.LateRowStarts;
        std::vector<int16_t> out;
        std::vector<int16_t> block(frames * 2);
        while (snl.Playing && out.size() < 60u * kRate * 2) {
            EXPECT_TRUE(PollUntil([&] { return snl.WavProducer.StartsReady(double(frames) / kRate); }));
            EXPECT_EQ(BASS_ManualOutputPump(block.data(), frames), frames * 4);
            out.insert(out.end(), block.begin(), block.end());
        }
        EXPECT_EQ(snl.WavProducer.LateRowStarts, lateBefore);
        return out;
    }

    // Renders the mix as the export does: from 0, triggers ignored, for the mix's total length.
    std::vector<int16_t> RenderAsExport(int64_t frames)
    {
        snl.WavProducer.SetNeedlePos(snl.mixdata, 0, false, -1);
        const int64_t total = static_cast<int64_t>(std::llround(snl.mixdata.TotalLength() * kRate));
        std::vector<int16_t> out(static_cast<size_t>((total + frames) * 2));
        for (int64_t done = 0; done < total; done += frames)
            snl.WavProducer.RenderStep(out.data() + done * 2, frames * 4);
        out.resize(static_cast<size_t>(total * 2));
        return out;
    }

    static int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t count)
    {
        int worst = 0;
        for (size_t i = 0; i < count; ++i)
            worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
        return worst;
    }

    ui::MessageRecorder messages;
    std::string folder;
    std::vector<GoldenRow> golden;
};

} // namespace

TEST_F(LivePlaybackTest, GoldenMixThroughTheManualDeviceEqualsTheIndependentSum)
{
    AddGoldenMix();
    const std::vector<int16_t> expected = ExpectedGoldenMix();
    const std::vector<int16_t> live = PlayLive(441); // 10 ms blocks
    ASSERT_GE(live.size(), expected.size());
    EXPECT_LE(live.size(), expected.size() + 2 * 441);
    EXPECT_LE(MaxDifference(live, expected, expected.size()), 1);
    EXPECT_EQ(std::count(live.begin() + static_cast<long>(expected.size()), live.end(), 0),
              static_cast<long>(live.size() - expected.size()));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(snl.Playing, 0);
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(snl.WavProducer.WaitState, 0);
}

TEST_F(LivePlaybackTest, LivePlayAndExportRenderGiveTheSameSamples)
{
    AddGoldenMix();
    const std::vector<int16_t> exported = RenderAsExport(2 * kRate); // 2-second blocks
    const std::vector<int16_t> live = PlayLive(441);
    ASSERT_GE(live.size(), exported.size());
    EXPECT_LE(MaxDifference(live, exported, exported.size()), 1);
    const std::vector<int16_t> oddBlocks = RenderAsExport(256);
    EXPECT_LE(MaxDifference(oddBlocks, exported, exported.size()), 1);
}

TEST_F(LivePlaybackTest, RowsWithTempoAndPitchSoundTheSameInEveryBlockSize)
{
    // Three rows crossfading, the second faster and a semitone higher, the third slower. The second
    // starts 0.48 frames after a frame, where a clock a microsecond short rounds the start the other
    // way; the third plays 132316.98 frames and ends without a fade, so that its last frame shows.
    // Then two sources at other rates, resampled, the second also stretched and lowered.
    struct TempoRow {
        float speed;
        int64_t pitch; // thousandths of a semitone
        float length, overlaplen;
        MixParams params;
        int rate = kRate;
    } rows[] = {
        {0, 0, 3.5514395f, 1.5f, Params(100, 0, 1.5f)},
        {8, 1000, 4.0f, 1.0f, Params(90, 1.5f, 1.0f)},
        {-5, 0, 2.8503661f, 0, Params(100, 1.0f, 0)},
        {0, 0, 2.0f, 0.7f, Params(100, 0.5f, 0.7f), 48000},
        {6, -500, 2.5f, 0, Params(100, 0.7f, 0), 96000},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const std::string path = folder + "/tempo" + std::to_string(i) + ".wav";
        const int rate = rows[i].rate;
        ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({rate, 2, 8.0, uint32_t(i + 7)}), rate, 2));
        cMixRow* row = snl.mixdata.Add();
        row->filename = path;
        row->start = 0.5f * static_cast<float>(i + 1);
        row->length = rows[i].length;
        row->overlap = rows[i].overlaplen > 0;
        row->overlaplen = rows[i].overlaplen;
        row->MixParams = rows[i].params;
        row->MixParams.speed = rows[i].speed;
        row->MixParams.pitch = rows[i].pitch;
    }
    const std::vector<int16_t> exported = RenderAsExport(2 * kRate);
    struct Case {
        const char* name;
        int64_t frames;
        bool live;
    } cases[] = {
        {"256-frame blocks", 256, false},
        {"10 ms blocks", 441, false},
        {"2 s blocks again", 2 * kRate, false},
        {"live, 10 ms blocks", 441, true},
    };
    for (const Case& c : cases) {
        const std::vector<int16_t> rendered = c.live ? PlayLive(static_cast<uint32_t>(c.frames)) : RenderAsExport(c.frames);
        ASSERT_GE(rendered.size(), exported.size()) << c.name;
        const auto differs = std::mismatch(exported.begin(), exported.end(), rendered.begin()).first;
        const long first = differs - exported.begin();
        // The same samples, not merely within a rounding: every frame's gain comes from its place in
        // the fragment, and the stretcher's output does not depend on how it is read.
        EXPECT_EQ(differs, exported.end()) << c.name << ": first difference at " << first / 2 / double{kRate} << " s, "
                                           << MaxDifference(rendered, exported, exported.size()) << " at most";
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LivePlaybackTest, BlockOf4410FramesAdvancesTheClockByATenth)
{
    cMixRow* row = snl.mixdata.Add();
    row->filename = folder + "/none.wav";
    row->length = 10;
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    std::vector<int16_t> block(4410 * 2);
    BASS_ManualOutputPump(block.data(), 4410);
    EXPECT_FLOAT_EQ(snl.WavProducer.MainTime, 0.1f);
    // A missing file: its message once, silence, and the mix keeps time.
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Trying to open audio file, file doesn't exist.\r\nFile name: " +
                                                         row->filename});
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), 8820);
}

TEST_F(LivePlaybackTest, RowsWhoseSourcesWereMissingAtLoadPlaySilenceWithoutMessages)
{
    // The load named the missing files once already; the performance must not stop for them.
    for (int i = 0; i < 2; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->filename = folder + "/gone" + std::to_string(i) + ".wav";
        row->length = 0.1f;
        row->SourceMissing = true;
    }
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    std::vector<int16_t> block(4410 * 2);
    for (int i = 0; i < 3; ++i) {
        BASS_ManualOutputPump(block.data(), 4410);
        EXPECT_EQ(std::count(block.begin(), block.end(), 0), 8820);
    }
    EXPECT_EQ(snl.WavProducer.PlayingRowIndex, 1);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(LivePlaybackTest, ChangingTheOutputWhilePlayingResumesEightyMillisecondsEarlier)
{
    cMixRow* row = snl.mixdata.Add();
    row->filename = folder + "/none.wav";
    row->length = 20;
    row->trigger = TriggerMouse;
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, false, -1);
    snl.WavProducer.MainTime = 12.5f;
    snl.Playing = 1;
    snl.Play(0, 48000);
    EXPECT_EQ(snl.WavProducer.MainTime, static_cast<float>(12.5f - 0.08));
    EXPECT_EQ(snl.Playing, 1);
    EXPECT_EQ(snl.WavProducer.Stopped, 0);
    EXPECT_EQ(snl.WavProducer.ObeyTriggers, 1);
    EXPECT_EQ(snl.WavProducer.WavMix.Format.Frequency, 48000);

    snl.WavProducer.Stop();
    snl.Playing = 0;
    snl.Play(0, 44100); // idle: only the output is reopened
    EXPECT_EQ(snl.Playing, 0);
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(SoundDevice->Frequency, 44100);
}

TEST_F(LivePlaybackTest, LastRowWaitingOnATriggerKeepsTheMixAlive)
{
    cMixRow* first = snl.mixdata.Add();
    first->filename = folder + "/none.wav";
    first->length = 0.05f;
    cMixRow* last = snl.mixdata.Add();
    last->filename = folder + "/none.wav";
    last->length = 0.05f;
    last->trigger = TriggerKey;
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    std::vector<int16_t> block(441 * 2);
    for (int i = 0; i < 20; ++i)
        BASS_ManualOutputPump(block.data(), 441);
    EXPECT_EQ(snl.WavProducer.WaitState, 1);
    EXPECT_EQ(snl.Playing, 1);
    EXPECT_EQ(snl.WavProducer.WavMix.Events.Count(), 0);
    snl.WavProducer.KeyPressed = 1;
    for (int i = 0; i < 20; ++i)
        BASS_ManualOutputPump(block.data(), 441);
    EXPECT_EQ(snl.Playing, 0);
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(snl.WavProducer.WaitState, 0);
}

TEST_F(LivePlaybackTest, VolumeBarSetsTheRowVolume)
{
    snl.mixdata.Add();
    struct Case {
        uint8_t enabled;
        int32_t row, max, position, volume;
    } cases[] = {
        {1, 0, 200, 150, 150}, {1, 0, 200, 0, 0},    {1, 0, 201, 200, 200}, // 201 / 2 = 100
        {0, 0, 200, 50, 100},  {1, 1, 200, 50, 100}, {1, 0, 1, 50, 100},    // no middle: unchanged
    };
    for (const Case& c : cases) {
        snl.mixdata.Get(0)->MixParams.volume = 100;
        snl.Enabled = c.enabled;
        snl.SetRowVolume(c.row, c.max, c.position);
        EXPECT_EQ(snl.mixdata.Get(0)->MixParams.volume, c.volume) << c.max << " " << c.position;
    }
    snl.Enabled = 1;
}

TEST_F(LivePlaybackTest, PlayingRowParamsReachOnlyThatRowsSound)
{
    AddGoldenMix();
    snl.WavProducer.SetNeedlePos(snl.mixdata, 3.5f, true, -1); // rows 0 and 1 sound
    snl.Playing = 1;
    std::vector<int16_t> block(441 * 2);
    BASS_ManualOutputPump(block.data(), 441);
    ASSERT_EQ(snl.WavProducer.PlayingRowIndex, 1);
    snl.mixdata.Get(0)->MixParams.volume = 10;
    snl.mixdata.Get(1)->MixParams.volume = 20;
    TraceLines lines;
    SetTraceTarget(&lines);
    snl.ApplyPlayingRowParams();
    SetTraceTarget(nullptr);
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{"WavProducer.PlayingRowIndex(class_Application_play.cpp):1"});
    for (const auto& event : snl.WavProducer.WavMix.Events)
        EXPECT_EQ(event->Source->MixParams.volume, event->RowId == 1 ? 20 : 100);
}

namespace {

// The locks taken and the streams read by the render steps of one output block (counted in the
// build with sound checks).
struct BlockLocks {
    int64_t mixer = 0, channel = 0, playingList = 0, handleTable = 0, streamReads = 0;

    static BlockLocks SoFar()
    {
        return {SoundThreadLockTakes(SoundLock::Mixer), SoundThreadLockTakes(SoundLock::Channel),
                SoundThreadLockTakes(SoundLock::PlayingList), SoundThreadLockTakes(SoundLock::HandleTable),
                SoundThreadStreamReads()};
    }
    BlockLocks operator-(const BlockLocks& o) const
    {
        return {mixer - o.mixer, channel - o.channel, playingList - o.playingList, handleTable - o.handleTable,
                streamReads - o.streamReads};
    }
};

} // namespace

// The sound thread's promises under load: a mix with tempo, pitch, a mono row, rows at 44.1, 48
// and 22.05 kHz (so the resampler runs) and overlaps plays through the manual output on its own
// thread, about twice as fast as real time, while this thread moves the needle and stops and
// starts it. After the first block the sound thread allocates nothing, and each block's render
// step takes the mixer's lock once and two channel locks per stream read (the reader's tempo stream
// and its decoding stream), never the handle table's (counted in the build with sound checks);
// every row start found its source prepared, and no file was closed where the sound thread could be
// waiting for it.
TEST_F(LivePlaybackTest, TheSoundThreadNeitherAllocatesNorWaitsForAFileClose)
{
    constexpr int64_t kLockTakesPerStreamRead = 2;
    const int rows = 6;
    for (int i = 0; i < rows; ++i) {
        const int channels = i == 2 ? 1 : 2;
        const int rate = i == 3 ? 48000 : (i == 4 ? 22050 : kRate);
        const std::string path = folder + "/promise" + std::to_string(i) + ".wav";
        ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({rate, channels, 4.0, 20u + i}), rate,
                                   channels));
        cMixRow* row = snl.mixdata.Add();
        row->filename = path;
        row->length = 1.5f;
        row->overlap = true;
        row->overlaplen = 0.5f;
        row->MixParams = Params(90, 0.2f, 0.2f);
        row->MixParams.speed = i % 2 ? 8.0f : 0;
        row->MixParams.pitch = i % 3 == 1 ? 2 : 0;
    }
    std::atomic<bool> firstBlockDone{false}, quit{false};
    std::atomic<int64_t> allocationsAfterFirstBlock{0}, pumped{0};
    std::vector<BlockLocks> blocks;
    blocks.reserve(4000);
    std::thread soundThread([&] {
        std::vector<int16_t> block(441 * 2);
        while (!quit) {
            const bool rendering = snl.Playing;
            const BlockLocks before = BlockLocks::SoFar();
            BASS_ManualOutputPump(block.data(), 441);
            if (firstBlockDone && blocks.size() < blocks.capacity())
                blocks.push_back(BlockLocks::SoFar() - before);
            if (rendering && !firstBlockDone.exchange(true))
                allocationsAfterFirstBlock = SoundThreadAllocations();
            ++pumped;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int64_t closesBefore = SourceClosesBlockingSound();
    const int64_t openedBefore = snl.WavProducer.OpenedRowStarts;
    const int64_t preparedBefore = snl.WavProducer.PreparedRowStarts;
    const int64_t lateBefore = snl.WavProducer.LateRowStarts;
    // Plays until the mix clock reaches `seconds`, however slowly a loaded machine lets it go.
    const auto playTo = [](float seconds) { return PollUntil([=] { return snl.WavProducer.MainTime >= seconds; }); };
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    EXPECT_TRUE(playTo(2.4f));
    snl.WavProducer.SetNeedlePos(snl.mixdata, 2.3f, true, -1); // two rows under way at the needle
    EXPECT_TRUE(playTo(4.1f));
    snl.WavProducer.Stop();
    const int64_t pumpedBeforeStop = pumped;
    EXPECT_TRUE(PollUntil([&] { return pumped >= pumpedBeforeStop + 10; })) << "blocks of a stopped mix";
    snl.WavProducer.SetNeedlePos(snl.mixdata, 4.1f, true, -1);
    snl.Playing = 1;
    EXPECT_TRUE(PollUntil([] { return snl.Playing == 0; })) << "the mix plays to its end";
    quit = true;
    soundThread.join();
    EXPECT_GT(snl.WavProducer.PreparedRowStarts - preparedBefore, rows);
    EXPECT_EQ(snl.WavProducer.OpenedRowStarts - openedBefore, 0);
    EXPECT_EQ(snl.WavProducer.LateRowStarts - lateBefore, 0);
    EXPECT_EQ(SourceClosesBlockingSound() - closesBefore, 0);
    if (!SoundChecksBuilt())
        return;
    EXPECT_EQ(SoundThreadAllocations(), allocationsAfterFirstBlock.load());
    // Each block: at most one render step, which takes the mixer's lock once and two channel locks
    // per stream read, and nothing else.
    const auto keepsToItsLocks = [&](const BlockLocks& b) {
        return (b.streamReads > 0 ? b.mixer == 1 : b.mixer <= 1) &&
               b.channel == kLockTakesPerStreamRead * b.streamReads && b.handleTable == 0 && b.playingList == 0;
    };
    const auto broken = std::find_if_not(blocks.begin(), blocks.end(), keepsToItsLocks);
    if (broken != blocks.end())
        ADD_FAILURE() << "block " << broken - blocks.begin() << " of " << blocks.size() << ": " << broken->streamReads
                      << " stream reads, lock takes: mixer " << broken->mixer << ", channels " << broken->channel
                      << ", playing list " << broken->playingList << ", handle table " << broken->handleTable;
    const int64_t blocksWithOverlaps =
        std::count_if(blocks.begin(), blocks.end(), [](const BlockLocks& b) { return b.streamReads >= 2; });
    EXPECT_GT(blocksWithOverlaps, 20);
}

TEST(LivePlaybackNullDevice, MessagesFromTheSoundThreadAreQueuedAndTheMixEnds)
{
    ui::MessageRecorder messages;
    snl.mixdata.Clear();
    cMixRow* row = snl.mixdata.Add();
    row->filename = "/nonexistent/livemix.wav";
    row->length = 0.2f;
    snl.Play(0, kRate); // the system's default output: the null device here
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    PollUntil([] { return snl.Playing == 0; });
    EXPECT_EQ(snl.Playing, 0);
    const std::vector<ui::RecordedMessage> recorded = messages.Messages();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_FALSE(recorded[0].fromUiThread);
    EXPECT_EQ(recorded[0].text, "Trying to open audio file, file doesn't exist.\r\nFile name: /nonexistent/livemix.wav");
    SoundDevice->Close();
    snl.WavProducer.Stop();
    snl.mixdata.Clear();
}
