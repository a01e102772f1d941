// Handles, user streams, the volume effect, the output (manual and null devices), options and
// device texts.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>
#include <thread>

#include "platform/sound/SoundLibrary.h"
#include "platform/trace/Trace.h"
#include "sound_test_util.h"
#include "support/trace_lines.h"
#include "support/waits.h"

using sound_test::DecodeAll;

namespace {

// A user stream whose samples count up from a start value; it ends after `limit` samples.
struct Counter {
    int16_t next = 0;
    int64_t left = INT64_MAX;
    int16_t step = 1;
};

uint32_t CountingProc(BassHandle, void* buffer, uint32_t length, void* user)
{
    auto& c = *static_cast<Counter*>(user);
    auto* out = static_cast<int16_t*>(buffer);
    uint32_t n = 0;
    for (; n < length / 2 && c.left > 0; ++n, --c.left, c.next = int16_t(c.next + c.step))
        out[n] = c.next;
    return n * 2 | (c.left == 0 ? BASS_STREAM_END : 0);
}

// Fills every sample with the same value (the user value points at it).
uint32_t ConstantProc(BassHandle, void* buffer, uint32_t length, void* user)
{
    std::fill_n(static_cast<int16_t*>(buffer), length / 2, *static_cast<int16_t*>(user));
    return length;
}

class LibraryTest : public testing::Test {
protected:
    void TearDown() override
    {
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }
    void InitManual(uint32_t rate = 44100)
    {
        BASS_ManualOutputEnable(true);
        ASSERT_TRUE(BASS_Init(-1, rate, 0, nullptr, nullptr));
    }
    std::vector<int16_t> Pump(uint32_t frames)
    {
        std::vector<int16_t> block(size_t(frames) * 2, int16_t(0x5555));
        EXPECT_EQ(BASS_ManualOutputPump(block.data(), frames), frames * 4);
        return block;
    }
};

TEST_F(LibraryTest, BadAndStaleHandlesFailSoftly)
{
    Counter counter;
    const BassHandle freed = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, CountingProc, &counter);
    ASSERT_NE(freed, 0u);
    ASSERT_TRUE(BASS_StreamFree(freed));
    const BassHandle beforeFree = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, CountingProc, &counter);
    BASS_Free();
    const BassHandle reused = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, CountingProc, &counter);
    ASSERT_NE(reused, 0u);
    EXPECT_NE(reused, freed) << "a reused slot gets a new generation";
    EXPECT_NE(reused, beforeFree);

    for (BassHandle bad : {BassHandle(0), freed, beforeFree, reused ^ 0x10000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(bad);
        std::vector<int16_t> buffer(8, 7);
        BassChannelInfo info;
        float f = 0;
        EXPECT_EQ(BASS_ChannelGetData(bad, buffer.data(), 16), -1);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_EQ(buffer, std::vector<int16_t>(8, 0)) << "zero-filled";
        EXPECT_FALSE(BASS_ChannelGetInfo(bad, &info));
        EXPECT_EQ(BASS_ChannelGetLength(bad), -1);
        EXPECT_EQ(BASS_ChannelGetPosition(bad), -1);
        EXPECT_FALSE(BASS_ChannelSetPosition(bad, 0));
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(bad, 1.0), -1);
        EXPECT_EQ(BASS_ChannelBytes2Seconds(bad, 4), -1.0);
        EXPECT_FALSE(BASS_ChannelPlay(bad, false));
        EXPECT_FALSE(BASS_ChannelStop(bad));
        EXPECT_EQ(BASS_ChannelIsActive(bad), BASS_ACTIVE_STOPPED);
        EXPECT_FALSE(BASS_ChannelSetAttributes(bad, 0, 50, BASS_ATTRIB_KEEP_PAN));
        EXPECT_FALSE(BASS_ChannelAddEffect(bad, BASS_FX_VOLUME, 0));
        EXPECT_FALSE(BASS_ChannelSetEffect(bad, BASS_FX_VOLUME, {0, 0.5f}));
        EXPECT_FALSE(BASS_ChannelResetEffect(bad, BASS_FX_VOLUME));
        EXPECT_FALSE(BASS_ChannelRemoveEffect(bad, BASS_FX_VOLUME));
        EXPECT_EQ(BASS_FX_TempoCreate(bad, BASS_STREAM_DECODE), 0u);
        EXPECT_FALSE(BASS_FX_TempoSet(bad, 10, 44100, 1));
        EXPECT_FALSE(BASS_FX_TempoGet(bad, &f, &f, &f));
        EXPECT_EQ(BASS_FX_TempoGetSource(bad), 0u);
        EXPECT_FALSE(BASS_StreamFree(bad));
    }
    EXPECT_FALSE(BASS_FX_TempoSet(reused, 10, 44100, 1)) << "not a tempo stream";
}

// A stream resolved once reads as its handle does, and once the handle is freed (by itself or with
// every stream) it fails as the freed handle does; the object stays valid for its holder.
TEST_F(LibraryTest, AResolvedStreamReadsAsItsHandleUntilTheHandleIsFreed)
{
    const std::function<void(BassHandle)> frees[] = {[](BassHandle h) { BASS_StreamFree(h); },
                                                     [](BassHandle) { BASS_Free(); }};
    for (const auto& free : frees) {
        Counter counter{100};
        const BassHandle h = BASS_StreamCreate(8000, 1, BASS_STREAM_DECODE, CountingProc, &counter);
        const BassStreamRef stream = BASS_StreamRef(h);
        ASSERT_TRUE(BASS_StreamRefValid(stream));
        std::vector<int16_t> buffer(2, 9);
        EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 4), 4);
        EXPECT_EQ(buffer, (std::vector<int16_t>{100, 101}));
        EXPECT_EQ(BASS_ChannelGetData(h, buffer.data(), 4), 4);
        EXPECT_EQ(buffer, (std::vector<int16_t>{102, 103})) << "one stream behind both";

        free(h);
        EXPECT_FALSE(BASS_StreamRefValid(stream));
        EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 4), -1);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_EQ(buffer, (std::vector<int16_t>{0, 0})) << "zero-filled";
    }
    std::vector<int16_t> buffer(2, 9);
    EXPECT_FALSE(BASS_StreamRef(0));
    EXPECT_FALSE(BASS_StreamRefValid(nullptr));
    EXPECT_EQ(BASS_ChannelGetData(BassStreamRef(), buffer.data(), 4), -1);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(LibraryTest, DecodingUserStreamDeliversEndsAndZeroFills)
{
    Counter counter{100, 5};
    const BassHandle h = BASS_StreamCreate(8000, 1, BASS_STREAM_DECODE, CountingProc, &counter);
    BassChannelInfo info;
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
    EXPECT_EQ(info.frequency, 8000u);
    EXPECT_EQ(info.channels, 1u);
    EXPECT_EQ(info.type, uint32_t(BASS_CTYPE_USER));
    EXPECT_EQ(BASS_ChannelGetLength(h), -1) << "a user stream has no length";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, 0));

    std::vector<int16_t> buffer(4, 9);
    EXPECT_EQ(BASS_ChannelGetData(h, buffer.data(), 8), 8);
    EXPECT_EQ(buffer, (std::vector<int16_t>{100, 101, 102, 103}));
    EXPECT_EQ(BASS_ChannelGetData(h, buffer.data(), 8), 2) << "the end bit: the last sample, then the end";
    EXPECT_EQ(buffer, (std::vector<int16_t>{104, 0, 0, 0})) << "the rest is zero-filled, not stale";
    EXPECT_EQ(BASS_ChannelGetData(h, buffer.data(), 8), -1);
    EXPECT_EQ(BASS_ChannelGetPosition(h), 10);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, 16000), 1.0);

    EXPECT_EQ(BASS_StreamCreate(44100, 0, BASS_STREAM_DECODE, CountingProc, &counter), 0u);
    EXPECT_EQ(BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreate(44100, 2, 0, CountingProc, &counter), 0u) << "playable needs BASS_Init";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST_F(LibraryTest, VolumeEffectScalesClampsAndGoes)
{
    int16_t value = 20000;
    const BassHandle h = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, ConstantProc, &value);
    auto frame = [&] {
        std::vector<int16_t> b(2);
        BASS_ChannelGetData(h, b.data(), 4);
        return b;
    };
    EXPECT_FALSE(BASS_ChannelSetEffect(h, BASS_FX_VOLUME, {0, 0.5f})) << "not added yet";
    EXPECT_FALSE(BASS_ChannelAddEffect(h, 3, 0)) << "only the volume effect exists";
    ASSERT_TRUE(BASS_ChannelAddEffect(h, BASS_FX_VOLUME, 0));
    EXPECT_EQ(frame(), (std::vector<int16_t>{20000, 20000})) << "added at gain 1";
    struct Case {
        BassVolumeParams params;
        std::vector<int16_t> expected;
    };
    for (const Case& c : {Case{{0, 0.5f}, {10000, 10000}}, Case{{0, 2.0f}, {32767, 32767}},
                          Case{{2, 0.25f}, {20000, 5000}}, Case{{0, 0.0f}, {0, 0}}, Case{{0, NAN}, {0, 0}}}) {
        ASSERT_TRUE(BASS_ChannelSetEffect(h, BASS_FX_VOLUME, c.params));
        EXPECT_EQ(frame(), c.expected) << c.params.channel << " " << c.params.volume;
    }
    value = -20000;
    ASSERT_TRUE(BASS_ChannelSetEffect(h, BASS_FX_VOLUME, {0, 3.0f}));
    EXPECT_EQ(frame(), (std::vector<int16_t>{-32768, -32768}));
    ASSERT_TRUE(BASS_ChannelResetEffect(h, BASS_FX_VOLUME));
    EXPECT_EQ(frame(), (std::vector<int16_t>{-20000, -20000}));
    ASSERT_TRUE(BASS_ChannelSetEffect(h, BASS_FX_VOLUME, {0, 0.5f}));
    ASSERT_TRUE(BASS_ChannelRemoveEffect(h, BASS_FX_VOLUME));
    EXPECT_EQ(frame(), (std::vector<int16_t>{-20000, -20000}));
    EXPECT_FALSE(BASS_ChannelRemoveEffect(h, BASS_FX_VOLUME));
}

TEST_F(LibraryTest, ManualOutputMixesPlayingChannels)
{
    InitManual();
    int16_t a = 30000, b = 10000, mono = -1000;
    const BassHandle sa = BASS_StreamCreate(44100, 2, 0, ConstantProc, &a);
    const BassHandle sb = BASS_StreamCreate(44100, 2, 0, ConstantProc, &b);
    const BassHandle sm = BASS_StreamCreate(44100, 1, 0, ConstantProc, &mono);
    EXPECT_EQ(BASS_ManualOutputPump(std::vector<int16_t>(8).data(), 4), 0u) << "nothing started yet";
    ASSERT_TRUE(BASS_ChannelPlay(sa, false));
    EXPECT_EQ(Pump(3), std::vector<int16_t>(6, 30000));
    ASSERT_TRUE(BASS_ChannelPlay(sb, false));
    EXPECT_EQ(Pump(3), std::vector<int16_t>(6, 32767)) << "the sum is clamped";
    ASSERT_TRUE(BASS_ChannelSetAttributes(sa, 0, 50, BASS_ATTRIB_KEEP_PAN));
    EXPECT_EQ(Pump(2), std::vector<int16_t>(4, 25000));
    ASSERT_TRUE(BASS_ChannelStop(sb));
    EXPECT_EQ(BASS_ChannelIsActive(sb), BASS_ACTIVE_STOPPED);
    ASSERT_TRUE(BASS_ChannelPlay(sm, false));
    EXPECT_EQ(Pump(2), std::vector<int16_t>(4, 14000)) << "mono goes to both sides";
    ASSERT_TRUE(BASS_ChannelSetAttributes(sa, 0, BASS_ATTRIB_KEEP, 100));
    EXPECT_EQ(Pump(1), (std::vector<int16_t>{-1000, 14000})) << "panned right";
    int frequency = 0, volume = 0, pan = 0;
    ASSERT_TRUE(BASS_ChannelGetAttributes(sa, &frequency, &volume, &pan));
    EXPECT_EQ(frequency, 44100);
    EXPECT_EQ(volume, 50);
    EXPECT_EQ(pan, 100);
    EXPECT_FALSE(BASS_ChannelSetAttributes(sa, 0, 101, BASS_ATTRIB_KEEP_PAN));
    BASS_StreamFree(sa);
    BASS_StreamFree(sm);
    EXPECT_EQ(Pump(2), std::vector<int16_t>(4, 0)) << "freed streams leave the mix";
}

TEST_F(LibraryTest, PlayingStreamEndsAndStops)
{
    InitManual();
    Counter counter{1, 6}; // three stereo frames
    const BassHandle h = BASS_StreamCreate(44100, 2, 0, CountingProc, &counter);
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    EXPECT_EQ(Pump(5), (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0}));
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    const BassHandle decode = BASS_StreamCreate(44100, 2, BASS_STREAM_DECODE, CountingProc, &counter);
    EXPECT_FALSE(BASS_ChannelPlay(decode, false));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
}

TEST_F(LibraryTest, ChannelAtAnotherRateIsResampledToTheOutput)
{
    InitManual(44100);
    // 0.5 s of a 1 kHz tone at 22050 Hz plays as 0.5 s at 44100 Hz, still at 1 kHz.
    struct Tone {
        int64_t n = 0;
    } tone;
    auto proc = [](BassHandle, void* buffer, uint32_t length, void* user) -> uint32_t {
        auto& t = *static_cast<Tone*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        uint32_t i = 0;
        for (; i < length / 2 && t.n < 11025; ++i, ++t.n)
            out[i] = int16_t(10000 * std::sin(2 * M_PI * 1000 * t.n / 22050.0));
        return i * 2 | (t.n == 11025 ? BASS_STREAM_END : 0);
    };
    const BassHandle h = BASS_StreamCreate(22050, 1, 0, proc, &tone);
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    std::vector<int16_t> out;
    for (int i = 0; i < 100 && BASS_ChannelIsActive(h) == BASS_ACTIVE_PLAYING; ++i) {
        const auto block = Pump(441);
        out.insert(out.end(), block.begin(), block.end());
    }
    size_t last = out.size();
    while (last > 0 && out[last - 1] == 0)
        --last;
    EXPECT_NEAR(double(last) / 2, 22050, 100);
    EXPECT_NEAR(sound_test::MeasureFrequency(out, 2, 44100, 1000), 1000.0, 1.0);
}

TEST_F(LibraryTest, DeviceTextsEndWithTheNullOutput)
{
    std::vector<std::string> texts;
    for (int i = 1; !BASS_GetDeviceText(i).empty(); ++i)
        texts.push_back(BASS_GetDeviceText(i));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "No sound (null output)");
    EXPECT_EQ(BASS_GetDeviceText(0), "");
    EXPECT_EQ(BASS_GetDeviceText(-1), "");
    EXPECT_EQ(BASS_GetDeviceText(int(texts.size()) + 1), "");

    // Choosing the null output by its number in the list.
    ASSERT_TRUE(BASS_Init(int(texts.size()), 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(BASS_GetOutputInfo().nullOutput);
    BASS_Free();
    EXPECT_FALSE(BASS_Init(int(texts.size()) + 1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
}

TEST_F(LibraryTest, NullOutputKeepsTheClockRunningAndSaysSoOnce)
{
    sonorel_test::TraceLines recorder;
    SetTraceTarget(&recorder);
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 48000, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(BASS_DEVICE_NOSOUND, 48000, 0, nullptr, nullptr)) << "already initialised";
    BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 10);
    std::atomic<int64_t> pulled{0};
    auto proc = [](BassHandle, void* buffer, uint32_t length, void* user) -> uint32_t {
        static_cast<std::atomic<int64_t>*>(user)->fetch_add(length);
        std::memset(buffer, 0, length);
        return length;
    };
    const BassHandle h = BASS_StreamCreate(48000, 2, 0, proc, &pulled);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    // 0.3 s of sound goes out; how soon is the benchmark's business (a loaded machine is slow).
    ASSERT_TRUE(sonorel_test::PollUntil([] { return BASS_GetOutputInfo().framesWritten >= 14400; }));
    const BassOutputInfo info = BASS_GetOutputInfo();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(info.running);
    EXPECT_TRUE(info.nullOutput);
    EXPECT_EQ(info.blockFrames, 480) << "the update period sets the block";
    // The clock runs at real time: no block early.
    EXPECT_LT(double(info.framesWritten), 1.5 * elapsed * 48000 + 480);
    EXPECT_GT(pulled.load(), 0);
    ASSERT_TRUE(BASS_Stop());
    const int64_t stopped = BASS_GetOutputInfo().framesWritten;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(BASS_GetOutputInfo().framesWritten, stopped);
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING) << "paused, not stopped";
    BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 6);
    SetTraceTarget(nullptr);
    const std::vector<std::string> lines = recorder.Lines();
    const auto said = std::count_if(lines.begin(), lines.end(),
                                    [](const std::string& l) { return l.find("null output") != std::string::npos; });
    EXPECT_EQ(said, 1);
}

TEST_F(LibraryTest, NullOutputTakesItsWorstBlockApart)
{
    // The tenth block's procedure sleeps far beyond the block: the worst block is that one, its
    // work lasted the sleep, and the sleep was not time on a CPU.
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    std::atomic<int> calls{0};
    auto proc = [](BassHandle, void* buffer, uint32_t length, void* user) -> uint32_t {
        if (static_cast<std::atomic<int>*>(user)->fetch_add(1) == 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::memset(buffer, 0, length);
        return length;
    };
    ASSERT_TRUE(BASS_ChannelPlay(BASS_StreamCreate(44100, 2, 0, proc, &calls), false));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (calls < 20 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const BassOutputInfo info = BASS_GetOutputInfo();
    const BassBlockTiming worst = info.worstBlock;
    const int64_t blockUs = int64_t(info.blockFrames) * 1000000 / info.frequency;
    EXPECT_GE(worst.workUs, 200000);
    EXPECT_LT(worst.workCpuUs, worst.workUs - 150000) << "asleep, not on a CPU";
    EXPECT_GE(worst.lateUs, worst.workUs - blockUs) << "the work ran past the deadline";
    EXPECT_GE(worst.wakeDelayUs, 0);
    EXPECT_LE(worst.wakeDelayUs, worst.lateUs);
}

TEST_F(LibraryTest, StreamProceduresMayCallBackIntoTheLibrary)
{
    // On the null output's thread: a procedure reads its own position, stops itself after a few
    // blocks, and may not free the library under its own feet.
    ASSERT_TRUE(BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr));
    struct State {
        std::atomic<int> calls{0};
        std::atomic<bool> freeRefused{false};
    } state;
    auto proc = [](BassHandle self, void* buffer, uint32_t length, void* user) -> uint32_t {
        auto& s = *static_cast<State*>(user);
        std::memset(buffer, 0, length);
        BASS_ChannelGetPosition(self);
        if (++s.calls == 3) {
            s.freeRefused = !BASS_Free() && BASS_ErrorGetCode() == BASS_ERROR_THREAD;
            BASS_ChannelStop(self);
        }
        return length;
    };
    const BassHandle h = BASS_StreamCreate(44100, 2, 0, proc, &state);
    ASSERT_TRUE(BASS_ChannelPlay(h, false));
    sonorel_test::PollUntil([h] { return BASS_ChannelIsActive(h) != BASS_ACTIVE_PLAYING; });
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    EXPECT_TRUE(state.freeRefused);
    EXPECT_EQ(state.calls.load(), 3);
}

TEST_F(LibraryTest, OptionsAreClampedAndInitChecksItsArguments)
{
    EXPECT_TRUE(BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 0));
    EXPECT_EQ(BASS_GetOption(BASS_OPTION_UPDATEPERIOD), 1);
    EXPECT_TRUE(BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 6));
    EXPECT_TRUE(BASS_SetOption(BASS_OPTION_BUFFER, 80));
    EXPECT_EQ(BASS_GetOption(BASS_OPTION_BUFFER), 80);
    EXPECT_FALSE(BASS_SetOption(7, 1));
    EXPECT_EQ(BASS_GetOption(7), -1);
    EXPECT_FALSE(BASS_Init(BASS_DEVICE_NOSOUND, 0, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_Stop()) << "not initialised";
    EXPECT_TRUE(BASS_Free()) << "freeing twice is harmless";
}

} // namespace
