// The output device: Open's steps and message, the fill callback behind the endless stream,
// re-opening, closing and the program's one device.

#include <gtest/gtest.h>

#include <atomic>

#include "engine/class_SoundDevice.h"
#include "platform/trace/UserMessage.h"
#include "support/waits.h"

namespace {

// Written on the output thread, read by the test.
struct Calls {
    std::atomic<int> count{0};
    std::atomic<cSoundDevice*> device{nullptr};
    std::atomic<int32_t> bytes{0};
    void Reset()
    {
        count = 0;
        device = nullptr;
        bytes = 0;
    }
} calls;

void Fill(cSoundDevice* device, void* buffer, int32_t bytes)
{
    ++calls.count;
    calls.device = device;
    calls.bytes = bytes;
    auto* out = static_cast<int16_t*>(buffer);
    for (int32_t i = 0; i < bytes / 2; ++i)
        out[i] = int16_t(1000 + i);
}

class SoundDeviceTest : public testing::Test {
protected:
    void SetUp() override
    {
        calls.Reset();
        BASS_ManualOutputEnable(true);
    }
    void TearDown() override
    {
        device.Close();
        BASS_ManualOutputEnable(false);
    }
    UserMessageRecorder messages;
    cSoundDevice device;
};

TEST_F(SoundDeviceTest, OpenCopiesTheFormatAndPullsFromTheCallback)
{
    device.Open({2, 44100, 16, 0}, Fill);
    EXPECT_EQ(device.Channels, 2);
    EXPECT_EQ(device.Frequency, 44100);
    EXPECT_EQ(device.Bits, 16);
    EXPECT_EQ(device.Device, 0);
    EXPECT_EQ(device.FillCallback, Fill);
    EXPECT_EQ(BASS_GetOutputInfo().device, BASS_DEVICE_DEFAULT) << "Device 0 is the library's default";
    EXPECT_EQ(BASS_GetOption(BASS_OPTION_UPDATEPERIOD), 6);
    EXPECT_EQ(BASS_GetOption(BASS_OPTION_BUFFER), 80);
    BassChannelInfo info;
    ASSERT_TRUE(BASS_ChannelGetInfo(device.Stream, &info));
    EXPECT_EQ(info.frequency, 44100u);
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(BASS_ChannelIsActive(device.Stream), BASS_ACTIVE_PLAYING);

    std::vector<int16_t> block(265 * 2);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(BASS_ManualOutputPump(block.data(), 265), 265u * 4);
    EXPECT_EQ(calls.count, 3) << "the stream never ends";
    EXPECT_EQ(calls.device, &device);
    EXPECT_EQ(calls.bytes, 265 * 4);
    EXPECT_EQ(block[0], 1000);
    EXPECT_EQ(block[529], 1529);
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(SoundDeviceTest, DeviceNumbersPassThrough)
{
    device.Open({2, 44100, 16, 3}, Fill);
    EXPECT_EQ(BASS_GetOutputInfo().device, 3);
}

TEST_F(SoundDeviceTest, ReopeningReplacesTheStream)
{
    device.Open({2, 44100, 16, 0}, Fill);
    const BassHandle first = device.Stream;
    device.Open({2, 48000, 16, 0}, Fill);
    BassChannelInfo info;
    EXPECT_FALSE(BASS_ChannelGetInfo(first, &info)) << "gone with the library's free";
    ASSERT_TRUE(BASS_ChannelGetInfo(device.Stream, &info));
    EXPECT_EQ(info.frequency, 48000u);
    EXPECT_EQ(BASS_GetOutputInfo().frequency, 48000);
}

TEST_F(SoundDeviceTest, FailedInitialisationIsReportedAndNothingPlays)
{
    BASS_ManualOutputEnable(false);
    device.Open({2, 44100, 16, 999}, Fill);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't initialize sound device, is it in use by other application?"});
    EXPECT_EQ(device.Stream, 0u);
    EXPECT_EQ(device.Frequency, 44100);
    EXPECT_EQ(device.FillCallback, Fill);
}

TEST_F(SoundDeviceTest, CloseStopsTheCallbacks)
{
    device.Open({2, 44100, 16, 0}, Fill);
    std::vector<int16_t> block(100);
    BASS_ManualOutputPump(block.data(), 50);
    device.Close();
    EXPECT_FALSE(BASS_GetOutputInfo().initialised);
    EXPECT_EQ(device.Stream, 0u);
    EXPECT_EQ(BASS_ManualOutputPump(block.data(), 50), 0u);
    EXPECT_EQ(calls.count, 1);
    device.Close(); // a second close does nothing
}

TEST_F(SoundDeviceTest, NullOutputPlaysWhenThereIsNoCard)
{
    BASS_ManualOutputEnable(false);
    device.Open({2, 44100, 16, 0}, Fill); // no sound card here: the default is the null output
    if (!BASS_GetOutputInfo().nullOutput)
        GTEST_SKIP() << "this machine has a sound device";
    sonorel_test::PollUntil([] { return calls.count >= 3; });
    device.Close();
    EXPECT_GE(calls.count, 3);
    EXPECT_EQ(calls.bytes, 265 * 4) << "blocks of the 6 ms update period";
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(SoundDeviceTest, TheProgramsDeviceIsDestroyedOnce)
{
    ASSERT_NE(SoundDevice, nullptr);
    SoundDevice->Open({2, 44100, 16, 0}, Fill);
    DestroySoundDevice();
    EXPECT_EQ(SoundDevice, nullptr);
    EXPECT_FALSE(BASS_GetOutputInfo().initialised);
    EXPECT_TRUE(messages.Texts().empty());
    DestroySoundDevice();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"SoundDevice destoroyed already"});
}

} // namespace
