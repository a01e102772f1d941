// The recorder node: its levels, the record buffer and its pulls, the record time, the device
// numbering, a full buffer, and capture that can't start or ends by itself.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <cstring>
#include <numeric>
#include <vector>

#include "engine/class_RecorderNode.h"
#include "platform/sound/SoundRecord.h"
#include "support/trace_lines.h"
#include "support/waits.h"

namespace {

std::vector<int16_t> Frames(int frames, int16_t left, int16_t right)
{
    std::vector<int16_t> s(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        s[i * 2] = left;
        s[i * 2 + 1] = right;
    }
    return s;
}

void Push(const std::vector<int16_t>& samples)
{
    ASSERT_EQ(BASS_ManualInputPush(samples.data(), uint32_t(samples.size() * 2)), samples.size() * 2);
}

class RecorderNodeTest : public testing::Test {
protected:
    void SetUp() override { BASS_ManualInputEnable(true); }
    void TearDown() override
    {
        BASS_RecordFree();
        BASS_ManualInputEnable(false);
        BASS_ManualInputRefuse(false);
        BASS_SetOption(BASS_OPTION_REC_PERIOD, 100);
    }
    // Capture on the manual input: the test pushes the blocks on its own thread.
    void Activate()
    {
        node.OnAmpChanged = [this](TAudioTransformNode*) { ++ampChanges; };
        node.SetActive(true);
        ASSERT_TRUE(node.Active()) << node.ErrorText();
    }
    TRecorderNode node;
    int ampChanges = 0;
};

TEST_F(RecorderNodeTest, Defaults)
{
    EXPECT_EQ(node.Frequency, 44100);
    EXPECT_EQ(node.Channels, 2);
    EXPECT_EQ(node.Device, 0);
    EXPECT_FALSE(node.Active());
    EXPECT_FALSE(node.Record());
    EXPECT_EQ(node.RecordTime(), 0.0f);
    EXPECT_EQ(node.Recorded(), 0u);
    EXPECT_EQ(node.amp_mid.load(), 0.0f);
    EXPECT_EQ(TRecorderNode::RECBUFLEN, 1280000u);
}

TEST_F(RecorderNodeTest, PeakOfChannelReadsStereoFramesAndClamps)
{
    struct Case {
        int16_t left, right;
        int channel;
        int peak;
    };
    for (const Case& c : {Case{-32767, 5, 0, 32767}, Case{-32768, 5, 0, 32767}, Case{100, -32768, 1, 32767},
                          Case{100, -200, 1, 200}, Case{100, -200, 2, 100}, Case{0, 0, 0, 1}}) {
        SCOPED_TRACE(testing::Message() << c.left << " " << c.right << " ch " << c.channel);
        std::vector<int16_t> block = Frames(8, 1, 1);
        block[6] = c.left;
        block[11] = c.right;
        EXPECT_EQ(TRecorderNode::PeakOfChannel(block.data(), 32, c.channel), c.peak);
    }
    // A trailing part frame is not read.
    const std::vector<int16_t> block{1, 2, 30000, 30000};
    EXPECT_EQ(TRecorderNode::PeakOfChannel(block.data(), 7, 0), 1);
}

TEST_F(RecorderNodeTest, LevelsFollowEachBlockWhileCapturing)
{
    Activate();
    Push(Frames(4410, -32768, 16384));
    EXPECT_FLOAT_EQ(node.amp_left, 1.0f);
    EXPECT_NEAR(node.amp_right, 0.5f, 1e-4);
    EXPECT_FLOAT_EQ(node.amp_mid, 1.0f);
    EXPECT_EQ(ampChanges, 1);
    EXPECT_EQ(node.Recorded(), 0u) << "capture alone keeps nothing";
    EXPECT_EQ(node.RecordTime(), 0.0f);

    node.SetActive(false);
    EXPECT_EQ(node.amp_mid, 0.0f) << "the meter drops to silence";
    EXPECT_EQ(ampChanges, 2);
}

TEST_F(RecorderNodeTest, RecordedBytesArePulledInOrderAndNeverWaitedFor)
{
    Activate();
    std::vector<char> out(100000, 'x');
    EXPECT_EQ(node.GetData(out.data(), 1000), 0) << "empty: returns at once";
    node.SetRecord(true);
    std::vector<int16_t> samples(4410 * 2);
    std::iota(samples.begin(), samples.end(), int16_t(0));
    Push(samples);

    struct Pull {
        int length, got;
    };
    // Smaller than held, then more than held, then empty.
    int offset = 0;
    for (const Pull& p : {Pull{1000, 1000}, Pull{40000, 16640}, Pull{10, 0}}) {
        EXPECT_EQ(node.GetData(out.data(), p.length), p.got);
        EXPECT_EQ(std::memcmp(out.data(), reinterpret_cast<const char*>(samples.data()) + offset, p.got), 0);
        offset += p.got;
    }
    EXPECT_EQ(node.GetData(out.data(), -4), 0);
}

TEST_F(RecorderNodeTest, RecordTimeCountsRecordedBlocksOnly)
{
    Activate();
    Push(Frames(4410, 1, 1));
    EXPECT_EQ(node.RecordTime(), 0.0f) << "not while only capturing";
    node.SetRecord(true);
    Push(Frames(4410, 1, 1)); // 17640 bytes: 0.1 s
    EXPECT_NEAR(node.RecordTime(), 0.1f, 1e-6);
    for (int i = 0; i < 10; ++i)
        Push(Frames(441, 1, 1)); // blocks under a second still count
    EXPECT_NEAR(node.RecordTime(), 0.2f, 1e-5);

    node.SetRecord(false);
    EXPECT_EQ(node.Recorded(), 0u) << "bytes not pulled are dropped";
    node.SetRecord(true);
    EXPECT_EQ(node.RecordTime(), 0.0f);
}

TEST_F(RecorderNodeTest, RecordTimeOfALongRecordingDoesNotDrift)
{
    Activate();
    node.SetRecord(true);
    const std::vector<int16_t> block = Frames(441, 1, 1); // 10 ms
    std::vector<char> out(1764);
    for (int i = 0; i < 60000; ++i) { // ten minutes, pulled as an encoder would
        Push(block);
        ASSERT_EQ(node.GetData(out.data(), 1764), 1764);
    }
    // Summing 0.01 s sixty thousand times in a float gives 600.27 s.
    EXPECT_NEAR(node.RecordTime(), 600.0f, 0.001f);
}

TEST_F(RecorderNodeTest, FullBufferKeepsWhatFitsAndCountsTheRest)
{
    Activate();
    node.SetRecord(true);
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    const std::vector<int16_t> block = Frames(4410, 7, 7);
    for (int i = 0; i < 75; ++i) // 75 x 17640 = 1323000 bytes, the buffer holds 1280000
        Push(block);
    EXPECT_EQ(node.Recorded(), TRecorderNode::RECBUFLEN);
    EXPECT_EQ(node.DroppedBytes(), 75 * 17640 - 1280000);
    EXPECT_NEAR(node.RecordTime(), 1280000 / 176400.0, 1e-4) << "the time of what was kept";
    std::vector<char> out(17640);
    ASSERT_EQ(node.GetData(out.data(), 17640), 17640);
    Push(block);
    EXPECT_EQ(node.Recorded(), TRecorderNode::RECBUFLEN) << "room again after a pull";
    SetTraceTarget(nullptr);
    EXPECT_EQ(lines.Lines().size(), 1u) << "one line per spell of dropping";
}

TEST_F(RecorderNodeTest, HandlersMaySwitchRecordingOnTheRecordingThread)
{
    Activate();
    std::vector<int> seen;
    node.OnRecordBlock = [&](TAudioTransformNode*, const void* buffer, int length) {
        seen.push_back(length);
        EXPECT_EQ(static_cast<const int16_t*>(buffer)[0], 3);
        node.SetRecord(true); // the mutex is held here: it must be a recursive one
    };
    Push(Frames(441, 3, 3));
    EXPECT_EQ(seen, std::vector<int>{1764});
    EXPECT_EQ(node.Recorded(), 1764u) << "switched on before the block was stored";
}

TEST_F(RecorderNodeTest, DeviceNumbersCountFromTheDefault)
{
    struct Case {
        int device, library;
    };
    for (const Case& c : {Case{0, -1}, Case{1, 0}, Case{2, 1}}) {
        node.Device = c.device;
        node.SetActive(true);
        EXPECT_EQ(BASS_RecordGetInfo().device, c.library) << c.device;
    }
    const std::vector<std::string>& devices = node.GetDevices();
    ASSERT_GE(devices.size(), 2u);
    EXPECT_EQ(devices.front(), "Default Device");
    EXPECT_EQ(devices.back(), "No sound (null input)");
}

TEST_F(RecorderNodeTest, DeviceThatCantBeOpenedLeavesTheNodeInactive)
{
    Activate();
    Push(Frames(441, 20000, 20000));
    BASS_ManualInputRefuse(true);
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    node.SetActive(true);
    SetTraceTarget(nullptr);
    EXPECT_FALSE(node.Active());
    EXPECT_EQ(node.amp_mid, 0.0f);
    EXPECT_FALSE(node.ErrorText().empty());
    EXPECT_EQ(lines.Lines().size(), 2u) << "the layer's reason and the node's";
    BASS_ManualInputRefuse(false);
    node.SetActive(true);
    EXPECT_TRUE(node.Active());
    EXPECT_TRUE(node.ErrorText().empty());
}

TEST_F(RecorderNodeTest, UnpluggedDeviceEndsCaptureAndDropsTheMeter)
{
    Activate();
    node.SetRecord(true);
    Push(Frames(4410, 20000, 20000));
    BASS_ManualInputUnplug();
    EXPECT_FALSE(node.Active());
    EXPECT_EQ(node.amp_mid, 0.0f);
    EXPECT_EQ(ampChanges, 2);
    EXPECT_EQ(node.Recorded(), 17640u) << "what was captured stays for the consumer";
}

TEST_F(RecorderNodeTest, DestroyedWhileTheNullInputCaptures)
{
    BASS_ManualInputEnable(false);
    std::atomic<int> blocks{0};
    BASS_SetOption(BASS_OPTION_REC_PERIOD, 5);
    {
        TRecorderNode capturing;
        capturing.OnAmpChanged = [&](TAudioTransformNode*) { ++blocks; };
        capturing.Device = int(capturing.GetDevices().size()) - 1; // the null input
        capturing.SetActive(true);
        ASSERT_TRUE(capturing.Active());
        sonorel_test::PollUntil([&] { return blocks >= 3; });
        ASSERT_GE(blocks, 3);
        capturing.SetRecord(true);
    }
    const int atEnd = blocks;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(blocks, atEnd) << "no event after the node is gone";
    EXPECT_FALSE(BASS_RecordGetInfo().running);
}

} // namespace
