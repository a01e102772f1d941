// Recording: device numbering, the manual input's blocks, the paced null input, the end of
// capture and the refusal of a device.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <vector>

#include "platform/sound/SoundRecord.h"
#include "support/trace_lines.h"
#include "support/waits.h"

namespace {

// What the record procedure saw: the blocks' sizes and their samples in order.
struct Captured {
    std::mutex mutex;
    std::vector<uint32_t> sizes;
    std::vector<int16_t> samples;
    int ends = 0;
    bool keepGoing = true;
};

bool CaptureProc(BassHandle, const void* buffer, uint32_t length, void* user)
{
    auto& c = *static_cast<Captured*>(user);
    std::lock_guard<std::mutex> lock(c.mutex);
    if (!buffer) {
        ++c.ends;
        return false;
    }
    c.sizes.push_back(length);
    const auto* s = static_cast<const int16_t*>(buffer);
    c.samples.insert(c.samples.end(), s, s + length / 2);
    return c.keepGoing;
}

// Counts up across blocks, so that a lost, repeated or reordered block shows.
void CountingGenerator(void* buffer, uint32_t length, void* user)
{
    auto& next = *static_cast<int16_t*>(user);
    auto* s = static_cast<int16_t*>(buffer);
    for (uint32_t i = 0; i < length / 2; ++i)
        s[i] = next++;
}

int CountInputs()
{
    int n = 0;
    while (!BASS_RecordGetDeviceText(n).empty())
        ++n;
    return n;
}

class RecordTest : public testing::Test {
protected:
    void TearDown() override
    {
        BASS_RecordFree();
        BASS_ManualInputEnable(false);
        BASS_ManualInputRefuse(false);
        BASS_NullInputSetGenerator(nullptr, nullptr);
        BASS_SetOption(BASS_OPTION_REC_PERIOD, 100);
    }
    Captured captured;
};

TEST_F(RecordTest, DeviceTextsStartAtZeroAndEndWithTheNullInput)
{
    const int count = CountInputs();
    ASSERT_GE(count, 1);
    EXPECT_EQ(BASS_RecordGetDeviceText(count - 1), "No sound (null input)");
    EXPECT_EQ(BASS_RecordGetDeviceText(-1), "");

    struct Case {
        int device;
        bool ok;
    };
    // Without a sound card (this machine) the default is the null input, as the null input's
    // own number is; one past it is no device.
    for (const Case& c : {Case{-1, true}, Case{count - 1, true}, Case{count, false}, Case{-2, false}}) {
        SCOPED_TRACE(c.device);
        EXPECT_EQ(BASS_RecordInit(c.device), c.ok);
        EXPECT_EQ(BASS_ErrorGetCode(), c.ok ? BASS_OK : BASS_ERROR_DEVICE);
    }
    ASSERT_TRUE(BASS_RecordInit(count - 1));
    EXPECT_TRUE(BASS_RecordGetInfo().nullInput);
    EXPECT_EQ(BASS_RecordGetInfo().deviceText, "No sound (null input)");

    // The default falls back to the null input where the system has no input, said once a run.
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(BASS_RecordInit(-1));
    SetTraceTarget(nullptr);
    if (count == 1) {
        EXPECT_TRUE(BASS_RecordGetInfo().nullInput);
        EXPECT_EQ(BASS_RecordGetInfo().device, 0);
    }
    EXPECT_LE(lines.Lines().size(), 1u);
}

TEST_F(RecordTest, StartChecksItsArguments)
{
    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, CaptureProc, &captured), 0u) << "not initialised";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    BASS_ManualInputEnable(true);
    ASSERT_TRUE(BASS_RecordInit(-1));
    struct Case {
        uint32_t rate, channels, flags;
    };
    for (const Case& c : {Case{44100, 0, 0}, Case{44100, 2, 1}, Case{10, 2, 0}}) {
        EXPECT_EQ(BASS_RecordStart(c.rate, c.channels, c.flags, CaptureProc, &captured), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    }
    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, nullptr, nullptr), 0u);
}

TEST_F(RecordTest, ManualInputDeliversWholeBlocksInOrderAtTheAskedFormat)
{
    BASS_ManualInputEnable(true);
    ASSERT_TRUE(BASS_RecordInit(3)) << "every device number opens the manual input";
    const BassHandle h = BASS_RecordStart(44100, 2, 0, CaptureProc, &captured);
    ASSERT_NE(h, 0u);
    const BassRecordInfo info = BASS_RecordGetInfo();
    EXPECT_TRUE(info.manualInput);
    EXPECT_EQ(info.blockFrames, 4410) << "100 ms by default";

    // 250 ms and half a frame: two whole blocks, then the rest, and the half frame is dropped.
    std::vector<int16_t> samples(11025 * 2 + 1);
    std::iota(samples.begin(), samples.end(), int16_t(0));
    EXPECT_EQ(BASS_ManualInputPush(samples.data(), uint32_t(samples.size() * 2)), 11025u * 4);
    EXPECT_EQ(captured.sizes, (std::vector<uint32_t>{17640, 17640, 8820}));
    samples.pop_back();
    EXPECT_EQ(captured.samples, samples);
    EXPECT_EQ(BASS_RecordGetInfo().framesDelivered, 11025);

    // A shorter record period cuts smaller blocks at the next start.
    BASS_SetOption(BASS_OPTION_REC_PERIOD, 10);
    EXPECT_EQ(BASS_GetOption(BASS_OPTION_REC_PERIOD), 10);
    ASSERT_NE(BASS_RecordStart(48000, 1, 0, CaptureProc, &captured), 0u);
    captured.sizes.clear();
    BASS_ManualInputPush(samples.data(), 1000 * 2);
    EXPECT_EQ(captured.sizes, (std::vector<uint32_t>{960, 960, 80}));
}

TEST_F(RecordTest, CaptureEndsByTheProcedureAnUnplugOrFree)
{
    BASS_ManualInputEnable(true);
    ASSERT_TRUE(BASS_RecordInit(-1));
    ASSERT_NE(BASS_RecordStart(44100, 2, 0, CaptureProc, &captured), 0u);
    std::vector<int16_t> block(4410 * 2 * 2);
    captured.keepGoing = false;
    EXPECT_EQ(BASS_ManualInputPush(block.data(), uint32_t(block.size() * 2)), 17640u) << "ends after the first block";
    EXPECT_FALSE(BASS_RecordGetInfo().running);
    EXPECT_EQ(BASS_ManualInputPush(block.data(), 400), 0u);

    captured.keepGoing = true;
    ASSERT_NE(BASS_RecordStart(44100, 2, 0, CaptureProc, &captured), 0u);
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    BASS_ManualInputUnplug();
    BASS_ManualInputUnplug();
    SetTraceTarget(nullptr);
    EXPECT_EQ(captured.ends, 1) << "the procedure hears of the end once";
    EXPECT_EQ(lines.Lines().size(), 1u);
    EXPECT_EQ(BASS_ManualInputPush(block.data(), 400), 0u);

    ASSERT_TRUE(BASS_RecordFree());
    EXPECT_FALSE(BASS_RecordGetInfo().initialised);
}

TEST_F(RecordTest, RefusingDeviceFailsTheStartWithAReason)
{
    BASS_ManualInputEnable(true);
    BASS_ManualInputRefuse(true);
    ASSERT_TRUE(BASS_RecordInit(-1));
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, CaptureProc, &captured), 0u);
    SetTraceTarget(nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_BUSY);
    EXPECT_FALSE(BASS_RecordGetInfo().running);
    ASSERT_EQ(lines.Lines().size(), 1u);
    EXPECT_NE(lines.Lines()[0].find("can't record"), std::string::npos);
}

TEST_F(RecordTest, NullInputKeepsRealTimeAndCarriesTheGenerator)
{
    int16_t next = 0;
    BASS_NullInputSetGenerator(CountingGenerator, &next);
    BASS_SetOption(BASS_OPTION_REC_PERIOD, 10);
    ASSERT_TRUE(BASS_RecordInit(CountInputs() - 1));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NE(BASS_RecordStart(48000, 2, 0, CaptureProc, &captured), 0u);
    // 0.3 s of sound comes in; how soon is the benchmark's business (a loaded machine is slow).
    ASSERT_TRUE(sonorel_test::PollUntil([] { return BASS_RecordGetInfo().framesDelivered >= 14400; }));
    const BassRecordInfo info = BASS_RecordGetInfo();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(BASS_RecordFree());
    EXPECT_TRUE(info.running);
    EXPECT_TRUE(info.nullInput);
    EXPECT_EQ(info.blockFrames, 480);
    // Real time: no block early.
    EXPECT_LE(double(info.framesDelivered), elapsed * 48000 + 480);
    std::lock_guard<std::mutex> lock(captured.mutex);
    ASSERT_FALSE(captured.samples.empty());
    for (size_t i = 0; i < captured.samples.size(); ++i)
        ASSERT_EQ(captured.samples[i], int16_t(i)) << "the generator's count runs on across blocks";
    EXPECT_TRUE(std::all_of(captured.sizes.begin(), captured.sizes.end(), [](uint32_t s) { return s == 1920; }));
}

} // namespace
