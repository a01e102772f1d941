#include "engine/class_WavMixer.h"

#include "platform/trace/UserMessage.h"
#include "support/pattern_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using sonorel_test::ConstantSamples;
using sonorel_test::MakePatternStream;

namespace {

const SoundFormat kStereo44{2, 44100, 16, 0};
constexpr int64_t kFrameBytes = 4;

// Sources over pattern streams; the streams live as long as the fixture.
class WavMixerTest : public ::testing::Test {
protected:
    std::unique_ptr<cFileSoundSource> Source(std::vector<int16_t> samples, int channels, int64_t remainingMcs,
                                             SoundFormat output = kStereo44)
    {
        patterns.push_back(MakePatternStream(std::move(samples), channels, output.Frequency));
        auto source = std::make_unique<cFileSoundSource>();
        source->OutputFormat = output;
        source->UseDecodingStream(patterns.back()->handle);
        source->RemainingMcs = source->LengthMcs = remainingMcs;
        return source;
    }

    // A stereo source of a constant (left, right) that lasts seconds.
    std::unique_ptr<cFileSoundSource> Constant(int16_t left, int16_t right, double seconds)
    {
        return Source(ConstantSamples(static_cast<int64_t>(seconds * 44100) + 1, {left, right}), 2,
                      static_cast<int64_t>(seconds * 1000000));
    }

    std::vector<int16_t> Mix(int64_t frames)
    {
        std::vector<int16_t> out(static_cast<size_t>(frames * 2), 0);
        mixer.MixBlock(out.data(), frames * kFrameBytes);
        return out;
    }

    static int64_t FirstNonZero(const std::vector<int16_t>& samples)
    {
        for (size_t i = 0; i < samples.size(); ++i)
            if (samples[i] != 0)
                return static_cast<int64_t>(i);
        return -1;
    }

    UserMessageRecorder messages;
    std::vector<std::unique_ptr<sonorel_test::PatternStream>> patterns;
    cWavMixer mixer;
    void SetUp() override { mixer.Format = kStereo44; }
};

} // namespace

TEST(MixAdd16, ClampsToPlusMinus32767)
{
    struct Case {
        int16_t out, add, sum;
    } cases[] = {
        {30000, 30000, 32767}, {-30000, -30000, -32767}, {-32768, 0, -32767},
        {100, -50, 50},        {32767, 1, 32767},        {0, -32768, -32767},
    };
    for (const Case& c : cases) {
        int16_t out = c.out;
        MixAdd16(&out, &c.add, 2);
        EXPECT_EQ(out, c.sum) << c.out << " + " << c.add;
    }
}

TEST(MixArithmetic, DelaysAndTailsAreFrameAligned)
{
    EXPECT_EQ(BytesPerSecond(kStereo44), 176400);
    EXPECT_EQ(BytesForMicroseconds(kStereo44, 1000), 176); // 44 frames
    EXPECT_EQ(BytesForMicroseconds(kStereo44, 100000), 17640);
    EXPECT_EQ(BytesForMicroseconds(kStereo44, 999), 176); // 176.2 bytes: 44 whole frames
    EXPECT_EQ(FrameAlign(7, SoundFormat{1, 44100, 16, 0}), 6);
    EXPECT_EQ(FrameAlign(7, SoundFormat{}), 0);
}

TEST_F(WavMixerTest, ConvertsChannelCounts)
{
    struct Case {
        const char* what;
        int sourceChannels;
        std::vector<int16_t> frame;
        SoundFormat output;
        std::vector<int16_t> expected;
    } cases[] = {
        {"stereo to mono halves each side", 2, {-3, -5}, SoundFormat{1, 44100, 16, 0}, {-3}},
        {"stereo to mono never overflows", 2, {32767, 32767}, SoundFormat{1, 44100, 16, 0}, {32766}},
        {"mono to stereo doubles", 1, {7}, kStereo44, {7, 7}},
        {"stereo to stereo", 2, {1, -2}, kStereo44, {1, -2}},
        {"six channels on stereo give their front pair", 6, {1, 2, 3, 4, 5, 6}, kStereo44, {1, 2}},
        {"six channels on mono mix their front pair", 6, {-3, -5, 3, 4, 5, 6}, SoundFormat{1, 44100, 16, 0}, {-3}},
    };
    for (const Case& c : cases) {
        auto source = Source(ConstantSamples(100, c.frame), c.sourceChannels, 1000000, c.output);
        std::vector<int16_t> out(static_cast<size_t>(10 * c.output.Channels), 99);
        ReadConverted(*source, out.data(), static_cast<int64_t>(out.size() * 2), c.output);
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], c.expected[i % c.expected.size()]) << c.what << " sample " << i;
    }
}

TEST_F(WavMixerTest, DelayedEventStartsInsideTheBlockThatReachesIt)
{
    mixer.AddWave(Constant(1000, 1000, 2), 0.5f, 0);
    const int64_t blockFrames = 8820; // 0.2 s
    EXPECT_EQ(FirstNonZero(Mix(blockFrames)), -1);
    EXPECT_NEAR(mixer.Events.Get(0)->StartDelay, 0.3f, 1e-6);
    EXPECT_EQ(FirstNonZero(Mix(blockFrames)), -1);
    const std::vector<int16_t> third = Mix(blockFrames);
    // 0.1 s in: 4410 frames, although the float countdown leaves 0.0999999 s.
    const int64_t first = FirstNonZero(third);
    EXPECT_EQ(first, 2 * 4410);
    EXPECT_EQ(third[static_cast<size_t>(first + 1)], 1000);
    EXPECT_EQ(mixer.Events.Get(0)->StartDelay, 0.0f);
}

TEST_F(WavMixerTest, FragmentEndingInsideABlockLeavesItsTailAndGoes)
{
    auto source = Constant(500, 500, 1);
    source->RemainingMcs = 1000;
    mixer.AddWave(std::move(source), 0, 3);
    const std::vector<int16_t> out = Mix(441);
    EXPECT_EQ(std::count(out.begin(), out.begin() + 88, 500), 88);       // 176 bytes = 44 frames
    EXPECT_EQ(std::count(out.begin() + 88, out.end(), 0), 882 - 88);
    EXPECT_EQ(mixer.Events.Count(), 0);
}

TEST_F(WavMixerTest, SumsOverlappingEventsAndCountsDownExactly)
{
    mixer.AddWave(Constant(30000, -30000, 1), 0, 0);
    mixer.AddWave(Constant(30000, -30000, 1), 0, 1);
    mixer.AddWave(Constant(1, 2, 1), 0, 2);
    const std::vector<int16_t> out = Mix(256);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32767);
    // 256-frame blocks are 5804.98 microseconds: the fraction is carried, so one second of
    // fragment lasts exactly 44100 frames in total.
    int64_t frames = 256;
    while (mixer.Events.Count() > 0) {
        Mix(256);
        frames += 256;
    }
    EXPECT_GE(frames, 44100);
    EXPECT_LT(frames, 44100 + 256);
}

TEST_F(WavMixerTest, ARowNeverSoundsTwiceButIdMinusOneAlwaysAdds)
{
    mixer.AddWave(Constant(1, 1, 1), 0, 4);
    mixer.AddWave(Constant(2, 2, 1), 0, 4);
    ASSERT_EQ(mixer.Events.Count(), 1);
    EXPECT_EQ(Mix(1)[0], 1);
    mixer.AddWave(Constant(3, 3, 1), 0, -1);
    mixer.AddWave(Constant(3, 3, 1), 0, -1);
    EXPECT_EQ(mixer.Events.Count(), 3);
    mixer.Clear();
    EXPECT_EQ(mixer.Events.Count(), 0);
}

TEST_F(WavMixerTest, SilentSourcesRunOutTheirTime)
{
    // A reader whose file could not be opened.
    auto unopened = std::make_unique<cFileSoundSource>();
    unopened->RemainingMcs = 100000;
    mixer.AddWave(std::move(unopened), 0, 1);
    for (int block = 0; block < 9; ++block)
        EXPECT_EQ(FirstNonZero(Mix(441)), -1);
    EXPECT_EQ(mixer.Events.Count(), 1);
    Mix(441);
    EXPECT_EQ(mixer.Events.Count(), 0);
}

TEST_F(WavMixerTest, UpdateRowParamsChangesOnlyThatRowsEvents)
{
    mixer.AddWave(Constant(10000, 10000, 1), 0, 0);
    mixer.AddWave(Constant(10000, 10000, 1), 0, 1);
    MixParams half;
    half.volume = 50;
    half.speed = 8;
    mixer.UpdateRowParams(1, &half);
    EXPECT_EQ(mixer.Events.Get(0)->Source->MixParams.volume, 100);
    EXPECT_EQ(mixer.Events.Get(1)->Source->MixParams.volume, 50);
    float tempo = 0, rate = 0, pitch = 0;
    ASSERT_TRUE(BASS_FX_TempoGet(mixer.Events.Get(1)->Source->PitchDecodeBassStream, &tempo, &rate, &pitch));
    EXPECT_EQ(tempo, 8.0f);
    EXPECT_EQ(rate, 44100.0f);
}

// Ending every event under the lock only moves the sources out: they are closed by whoever
// destroys the list, after the lock is let go. More events than the storage holds are refused.
TEST_F(WavMixerTest, ClearHandsTheSoundingSourcesOverAndTheEventStorageIsFixed)
{
    const size_t extra = 3;
    for (size_t i = 0; i < cSoundEvents::kRoom + extra; ++i)
        mixer.AddWave(Constant(100, 100, 1), 0, static_cast<int32_t>(i));
    EXPECT_EQ(mixer.Events.Count(), static_cast<int32_t>(cSoundEvents::kRoom));
    const int64_t closes = SourceClosesBlockingSound();
    SourceList retired;
    retired.reserve(cSoundEvents::kRoom);
    mixer.Clear(retired);
    EXPECT_EQ(mixer.Events.Count(), 0);
    EXPECT_EQ(retired.size(), cSoundEvents::kRoom);
    EXPECT_EQ(SourceClosesBlockingSound(), closes);
    retired.clear(); // no lock held: these closes could hold nobody
    EXPECT_EQ(SourceClosesBlockingSound(), closes);
    mixer.AddWave(Constant(100, 100, 1), 0, 1); // the storage is whole again
    EXPECT_EQ(mixer.Events.Count(), 1);
}

TEST_F(WavMixerTest, FinishedSourcesWaitInTheBinWhileItHasRoom)
{
    struct Case {
        bool enabled;
        size_t sources;
        size_t kept;
    } cases[] = {{false, 3, 0}, {true, 3, 3}, {true, cSourceBin::kRoom + 4, cSourceBin::kRoom}};
    for (const Case& c : cases) {
        mixer.Retired.Enabled = c.enabled;
        for (size_t i = 0; i < c.sources; ++i)
            mixer.AddWave(Constant(100, 100, 0.005), 0, static_cast<int32_t>(i));
        Mix(441); // every fragment ends inside this block
        EXPECT_EQ(mixer.Events.Count(), 0);
        std::vector<std::unique_ptr<cFileSoundSource>> kept;
        mixer.Retired.MoveTo(kept);
        EXPECT_EQ(kept.size(), c.kept) << c.enabled << " " << c.sources;
        for (const auto& source : kept)
            EXPECT_EQ(source->Finished, 1);
    }
}

// The lock times every hold of the threads other than the live renderer, from the outermost lock
// to the last unlock, so that no hold escapes the bound of the renderer's wait.
TEST(MixerLock, TimesTheWholeHoldOfEveryOtherThreadButNotTheRenderers)
{
    using namespace std::chrono_literals;
    cMutex lock;
    lock.TakeLongestHoldNs();
    std::thread([&] {
        std::lock_guard<cMutex> outer(lock);
        std::this_thread::sleep_for(30ms);
        std::lock_guard<cMutex> inner(lock); // a nested hold ends nothing
    }).join();
    EXPECT_GE(lock.TakeLongestHoldNs(), 30'000'000);
    EXPECT_EQ(lock.TakeLongestHoldNs(), 0) << "each call hands the figure over";
    {
        LiveRenderScope live;
        std::lock_guard<cMutex> renderer(lock);
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ(lock.TakeLongestHoldNs(), 0);
}

// The live renderer gets the lock whether the holder lets go while it spins or only after it has
// gone to sleep on the lock, and never before the holder has let go.
TEST(MixerLock, TheRendererTakesItAfterAShortAndALongHold)
{
    for (const auto hold : {std::chrono::microseconds(50), std::chrono::microseconds(50'000)}) {
        cMutex lock;
        std::atomic<bool> holding{false}, released{false};
        std::thread holder([&] {
            lock.lock();
            holding = true;
            const auto until = std::chrono::steady_clock::now() + hold;
            while (std::chrono::steady_clock::now() < until) {
            }
            released = true;
            lock.unlock();
        });
        while (!holding)
            std::this_thread::yield();
        {
            LiveRenderScope live;
            std::lock_guard<cMutex> renderer(lock);
            EXPECT_TRUE(released) << hold.count() << " us";
            std::lock_guard<cMutex> nested(lock); // its own lock again: at once
        }
        holder.join();
        EXPECT_TRUE(lock.try_lock()) << "let go after the renderer's nested hold";
        lock.unlock();
    }
}
