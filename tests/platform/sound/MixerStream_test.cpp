// The mixer stream: channel conversion, resampling to very low rates that keeps the loudness of
// the whole band, summing, ending, and bad arguments.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/sound/SoundLibrary.h"
#include "sound_test_util.h"
#include "support/audio_fixtures.h"

using sound_test::DecodeAll;
using sonorel_test::SignalSpec;

namespace {

// A decode-only stream of the samples (kept alive by the caller).
struct SamplesSource {
    std::vector<int16_t> samples;
    size_t next = 0;
    BassHandle handle = 0;

    SamplesSource(std::vector<int16_t> s, uint32_t rate, uint32_t channels) : samples(std::move(s))
    {
        handle = BASS_StreamCreate(rate, channels, BASS_STREAM_DECODE, Proc, this);
    }
    static uint32_t Proc(BassHandle, void* buffer, uint32_t length, void* user)
    {
        auto& self = *static_cast<SamplesSource*>(user);
        const size_t n = std::min<size_t>(length / 2, self.samples.size() - self.next);
        std::copy_n(self.samples.begin() + self.next, n, static_cast<int16_t*>(buffer));
        self.next += n;
        return uint32_t(n * 2) | (self.next == self.samples.size() ? BASS_STREAM_END : 0);
    }
};

double Rms(const std::vector<int16_t>& s)
{
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / s.size());
}

class MixerTest : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }
};

TEST_F(MixerTest, ConvertsRateAndChannelsKeepingLengthAndPitch)
{
    struct Case {
        uint32_t sourceRate, sourceChannels, rate, channels;
    };
    const Case cases[] = {{44100, 2, 441, 1}, {48000, 1, 44100, 2}, {22050, 6, 44100, 2}, {44100, 2, 8000, 1},
                          {8000, 1, 44100, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sourceRate << "/" << c.sourceChannels << " -> " << c.rate << "/" << c.channels);
        const double seconds = 4.0;
        const double hz = std::min(c.rate, c.sourceRate) / 20.0;
        SamplesSource source(sonorel_test::MakeTone(hz, SignalSpec{int(c.sourceRate), int(c.sourceChannels), seconds}),
                             c.sourceRate, c.sourceChannels);
        const BassHandle mixer = BASS_Mixer_StreamCreate(c.rate, c.channels, BASS_STREAM_DECODE);
        ASSERT_NE(mixer, 0u);
        ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, source.handle, 0));
        BassChannelInfo info;
        ASSERT_TRUE(BASS_ChannelGetInfo(mixer, &info));
        EXPECT_EQ(info.frequency, c.rate);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.type, BASS_CTYPE_MIXER);

        const std::vector<int16_t> out = DecodeAll(mixer, 882);
        const double frames = double(out.size()) / c.channels;
        EXPECT_NEAR(frames, seconds * c.rate, c.rate * 0.002 + 2) << "as long as the source";
        EXPECT_NEAR(sound_test::MeasureFrequency(out, int(c.channels), int(c.rate), size_t(c.rate / 10)), hz, hz * 0.01);
        EXPECT_EQ(BASS_ChannelGetPosition(mixer), int64_t(out.size() * 2));
        std::vector<int16_t> after(4);
        EXPECT_EQ(BASS_ChannelGetData(mixer, after.data(), 8), -1)
            << "ended with its source";
    }
}

TEST_F(MixerTest, SameInputGivesTheSameSamples)
{
    std::vector<int16_t> first;
    for (int run = 0; run < 2; ++run) {
        SamplesSource source(sonorel_test::MakeSweepNoise(SignalSpec{44100, 2, 2.0}), 44100, 2);
        const BassHandle mixer = BASS_Mixer_StreamCreate(441, 1, BASS_STREAM_DECODE);
        ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, source.handle, 0));
        const std::vector<int16_t> image = DecodeAll(mixer, 882);
        if (run == 0)
            first = image;
        else
            EXPECT_EQ(image, first) << "no dither: a cached image equals a decoded one";
    }
}

TEST_F(MixerTest, DownmixAveragesAndSpreadCopiesAtTheSameRate)
{
    SamplesSource stereo({1000, 3000, -2000, 0, 32767, 32767}, 44100, 2);
    const BassHandle toMono = BASS_Mixer_StreamCreate(44100, 1, BASS_STREAM_DECODE);
    ASSERT_TRUE(BASS_Mixer_StreamAddChannel(toMono, stereo.handle, 0));
    EXPECT_EQ(DecodeAll(toMono), (std::vector<int16_t>{2000, -1000, 32767}));

    SamplesSource mono({5, -7}, 44100, 1);
    const BassHandle toStereo = BASS_Mixer_StreamCreate(44100, 2, BASS_STREAM_DECODE);
    ASSERT_TRUE(BASS_Mixer_StreamAddChannel(toStereo, mono.handle, 0));
    EXPECT_EQ(DecodeAll(toStereo), (std::vector<int16_t>{5, 5, -7, -7}));
}

TEST_F(MixerTest, VeryLowRateKeepsTheLoudnessOfHighAndNoisyParts)
{
    // A waveform image at 441 Hz must still show a 5 kHz tone and noise at their level.
    for (bool noise : {false, true}) {
        SCOPED_TRACE(noise ? "noise" : "5 kHz tone");
        SignalSpec spec{44100, 2, 5.0};
        std::vector<int16_t> signal = noise ? sonorel_test::MakeSweepNoise(spec) : sonorel_test::MakeTone(5000, spec);
        const double inputRms = Rms(signal);
        SamplesSource source(std::move(signal), 44100, 2);
        const BassHandle mixer = BASS_Mixer_StreamCreate(441, 1, BASS_STREAM_DECODE);
        ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, source.handle, 0));
        const std::vector<int16_t> image = DecodeAll(mixer, 882);
        EXPECT_GT(Rms(image), inputRms * 0.5) << "not filtered away";
    }
}

TEST_F(MixerTest, SourcesAreSummedAndClippedAndTheMixerEndsWithTheLast)
{
    SamplesSource a({20000, 20000, 100, 100}, 44100, 1);
    SamplesSource b({20000, -30000}, 44100, 1);
    const BassHandle mixer = BASS_Mixer_StreamCreate(44100, 1, BASS_STREAM_DECODE);
    ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, a.handle, 0));
    ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, b.handle, 0));
    EXPECT_EQ(DecodeAll(mixer), (std::vector<int16_t>{32767, -10000, 100, 100}));
}

TEST_F(MixerTest, BadArgumentsAndFreedSources)
{
    EXPECT_EQ(BASS_Mixer_StreamCreate(441, 1, 0), 0u) << "decode-only only";
    EXPECT_EQ(BASS_Mixer_StreamCreate(0, 1, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_Mixer_StreamCreate(441, 0, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_Mixer_StreamCreate(400000, 1, BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    const BassHandle mixer = BASS_Mixer_StreamCreate(441, 1, BASS_STREAM_DECODE);
    const BassHandle other = BASS_Mixer_StreamCreate(441, 1, BASS_STREAM_DECODE);
    SamplesSource source(std::vector<int16_t>(44100 * 2, 1000), 44100, 1);
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(0, source.handle, 0));
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(source.handle, mixer, 0)) << "not a mixer";
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(mixer, 0, 0));
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(mixer, other, 0)) << "no mixer in a mixer";
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(mixer, mixer, 0));
    ASSERT_TRUE(BASS_Mixer_StreamAddChannel(mixer, source.handle, 0));
    EXPECT_FALSE(BASS_Mixer_StreamAddChannel(mixer, source.handle, 0)) << "already in it";
    EXPECT_EQ(BASS_ChannelGetLength(mixer), -1);
    EXPECT_FALSE(BASS_ChannelSetPosition(mixer, 0));

    std::vector<int16_t> buffer(441);
    EXPECT_EQ(BASS_ChannelGetData(mixer, buffer.data(), 441), 440) << "whole frames";
    BASS_StreamFree(source.handle);
    for (int guard = 0; guard < 10 && BASS_ChannelGetData(mixer, buffer.data(), 882) >= 0; ++guard) {
    }
    EXPECT_EQ(BASS_ChannelGetData(mixer, buffer.data(), 882), -1) << "a freed source ends in the mixer";
}

} // namespace
