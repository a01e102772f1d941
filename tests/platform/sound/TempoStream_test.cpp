// The tempo stream: neutral settings pass the source through bit for bit; tempo changes the
// length, pitch the frequency; the rate trick plays another rate's source at the output rate.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/sound/SoundLibrary.h"
#include "sound_test_util.h"
#include "support/audio_fixtures.h"

using namespace sonorel_test;
using sound_test::DecodeAll;
using sound_test::MeasureFrequency;

namespace {

class TempoTest : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }

    // A decode stream of a WAV file holding `samples`.
    BassHandle Source(const std::vector<int16_t>& samples, int rate, int channels)
    {
        const std::string path = folder + "/s" + std::to_string(++files) + ".wav";
        EXPECT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, samples, rate, channels));
        return BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    }
    BassHandle Tempo(BassHandle source, float tempo, float rate, float pitch)
    {
        const BassHandle h = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE);
        EXPECT_TRUE(BASS_FX_TempoSet(h, tempo, rate, pitch));
        return h;
    }

    std::string folder = FixtureFolder();
    int files = 0;
};

TEST_F(TempoTest, NeutralSettingIsBitExact)
{
    const auto samples = MakeSweepNoise({48000, 2, 2.0, 11});
    const BassHandle source = Source(samples, 48000, 2);
    const BassHandle tempo = Tempo(source, 0, 48000, 0);
    BassChannelInfo info;
    ASSERT_TRUE(BASS_ChannelGetInfo(tempo, &info));
    EXPECT_EQ(info.frequency, 48000u);
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(info.type, uint32_t(BASS_CTYPE_TEMPO));
    EXPECT_EQ(BASS_FX_TempoGetSource(tempo), source);
    EXPECT_EQ(BASS_ChannelGetLength(tempo), BASS_ChannelGetLength(source));
    EXPECT_EQ(DecodeAll(tempo, 1060), samples);
}

TEST_F(TempoTest, PositioningTheSourceRestartsTheTempoStream)
{
    const auto samples = MakeSweepNoise({44100, 2, 2.0, 12});
    const BassHandle source = Source(samples, 44100, 2);
    const BassHandle tempo = Tempo(source, 0, 44100, 0);
    std::vector<int16_t> block(1000);
    BASS_ChannelGetData(tempo, block.data(), 2000);
    ASSERT_TRUE(BASS_ChannelSetPosition(source, 44100 * 4));
    EXPECT_EQ(BASS_ChannelGetPosition(tempo), 44100 * 4);
    BASS_ChannelGetData(tempo, block.data(), 2000);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), samples.begin() + 44100 * 2));
    // The volume effect of the source acts on what the tempo stream delivers.
    ASSERT_TRUE(BASS_ChannelAddEffect(source, BASS_FX_VOLUME, 0));
    ASSERT_TRUE(BASS_ChannelSetEffect(source, BASS_FX_VOLUME, {0, 0.5f}));
    ASSERT_TRUE(BASS_ChannelSetPosition(tempo, 0));
    BASS_ChannelGetData(tempo, block.data(), 2000);
    for (size_t i = 0; i < block.size(); ++i)
        ASSERT_EQ(block[i], int16_t(samples[i] * 0.5f)) << i;
}

TEST_F(TempoTest, PitchRaisesTheToneAndKeepsTheLength)
{
    const auto tone = MakeTone(440, {44100, 2, 4.0});
    const BassHandle tempo = Tempo(Source(tone, 44100, 2), 0, 44100, 1.5f);
    const auto out = DecodeAll(tempo);
    EXPECT_NEAR(MeasureFrequency(out, 2, 44100, 4410), 479.8, 0.3); // 440 x 2^(1.5/12)
    EXPECT_NEAR(double(out.size()), double(tone.size()), tone.size() * 0.01);
}

TEST_F(TempoTest, TempoShortensAndKeepsThePitch)
{
    const auto tone = MakeTone(440, {44100, 2, 4.0});
    const BassHandle tempo = Tempo(Source(tone, 44100, 2), 10, 44100, 0);
    const auto out = DecodeAll(tempo);
    EXPECT_NEAR(double(out.size()), tone.size() / 1.1, tone.size() * 0.01);
    EXPECT_NEAR(MeasureFrequency(out, 2, 44100, 4410), 440.0, 0.3);
}

TEST_F(TempoTest, RateTrickPlaysAnotherRateAtTheOutputRate)
{
    // A 48 kHz source on a 44.1 kHz output: SampleRate = 48000 x 48000 / 44100.
    const auto tone = MakeTone(1000, {48000, 1, 3.0});
    const float sampleRate = float(int64_t(48000) * 48000 / 44100);
    const BassHandle tempo = Tempo(Source(tone, 48000, 1), 0, sampleRate, 0);
    const auto out = DecodeAll(tempo);
    // Taken as 44.1 kHz samples: three seconds long, still 1 kHz.
    EXPECT_NEAR(double(out.size()), 3.0 * 44100, 44100 * 0.01);
    EXPECT_NEAR(MeasureFrequency(out, 1, 44100, 4410), 1000.0, 1.0);
}

// The rate change keeps the content where the rate puts it: a click at source frame k comes out at
// frame k x source / sampleRate, and the stream's length is the source's scaled the same way.
TEST_F(TempoTest, RateChangeKeepsClicksAndLengthInPlace)
{
    for (const int rate : {8000, 22050, 32000, 48000, 96000, 192000}) {
        const int64_t frames = rate; // one second
        const int64_t clickAt = rate / 10 * 3;
        std::vector<int16_t> samples(static_cast<size_t>(frames), 0);
        samples[static_cast<size_t>(clickAt)] = 30000;
        const float sampleRate = float(int64_t(rate) * rate / 44100);
        const auto out = DecodeAll(Tempo(Source(samples, rate, 1), 0, sampleRate, 0), 4 * 333);
        const double scale = rate / double(sampleRate);
        EXPECT_NEAR(double(out.size()), frames * scale, 2) << rate;
        const auto peak = std::max_element(out.begin(), out.end());
        EXPECT_NEAR(double(peak - out.begin()), clickAt * scale, 1) << rate;
    }
}

// Pitch coming and going while a source at another rate plays, starting with and without a pitch
// (the playback rate then rides in the stretcher's transposer or in the resampler): each second
// sounds at its pitch, the tone never stops, and no stage lets go of what it holds (a rate applied
// twice would lose a twelfth of the length). Only the stretcher's coming in while the stream plays
// skips what it holds back at its start, a sixtieth of a second, once.
TEST_F(TempoTest, PitchComingAndGoingOnAnotherRateKeepsTheSoundGoing)
{
    struct Step {
        float pitch;
        double hz; // 1000 x 2^(pitch / 12), as 44.1 kHz samples
    };
    struct Run {
        std::vector<Step> steps;
        double lostSeconds; // at most
    } runs[] = {{{{0, 1000}, {2, 1122.5}, {0, 1000}, {-1, 943.9}}, 0.02},
                {{{2, 1122.5}, {0, 1000}, {-1, 943.9}, {0, 1000}}, 0.005}};
    const auto tone = MakeTone(1000, {48000, 1, 5.0});
    const float sampleRate = float(int64_t(48000) * 48000 / 44100);
    for (const Run& run : runs) {
        SCOPED_TRACE("first pitch " + std::to_string(run.steps[0].pitch));
        const BassHandle tempo = Tempo(Source(tone, 48000, 1), 0, sampleRate, run.steps[0].pitch);
        std::vector<int16_t> played;
        for (const Step& step : run.steps) {
            ASSERT_TRUE(BASS_FX_TempoSet(tempo, 0, sampleRate, step.pitch));
            std::vector<int16_t> second(44100);
            ASSERT_EQ(BASS_ChannelGetData(tempo, second.data(), 44100 * 2), 44100 * 2) << step.pitch;
            EXPECT_NEAR(MeasureFrequency(second, 1, 44100, 4410), step.hz, 1.5) << step.pitch;
            played.insert(played.end(), second.begin(), second.end());
        }
        for (size_t at = 4410; at + 100 <= played.size(); at += 100) {
            const auto [low, high] = std::minmax_element(played.begin() + long(at), played.begin() + long(at + 100));
            ASSERT_GT(*high - *low, 16000) << "a gap at " << at / 44100.0 << " s";
        }
        const auto rest = DecodeAll(tempo);
        EXPECT_NEAR(double(played.size() + rest.size()), 5.0 * 44100, run.lostSeconds * 44100);
    }
}

TEST_F(TempoTest, RefusedSettingsLeaveTheStreamAsItWas)
{
    const BassHandle tempo = Tempo(Source(MakeTone(440, {44100, 2, 0.5}), 44100, 2), 5, 44100, 1);
    for (const auto& [t, r, p] : {std::tuple{NAN, 44100.f, 0.f}, std::tuple{0.f, 44100.f, INFINITY},
                                  std::tuple{-100.f, 44100.f, 0.f}, std::tuple{0.f, 1e9f, 0.f},
                                  std::tuple{0.f, 44100.f, 200.f}}) {
        EXPECT_FALSE(BASS_FX_TempoSet(tempo, t, r, p)) << t << " " << r << " " << p;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    }
    float t = 0, r = 0, p = 0;
    ASSERT_TRUE(BASS_FX_TempoGet(tempo, &t, &r, &p));
    EXPECT_EQ(t, 5);
    EXPECT_EQ(r, 44100);
    EXPECT_EQ(p, 1);
    EXPECT_TRUE(BASS_FX_TempoSet(tempo, 0, 0, 0)) << "rate 0 keeps the rate";
    ASSERT_TRUE(BASS_FX_TempoGet(tempo, &t, &r, &p));
    EXPECT_EQ(r, 44100);
}

TEST_F(TempoTest, SourcesMustDecodeAndMayBeFreedWithTheTempoStream)
{
    const auto samples = MakeTone(440, {44100, 2, 0.2});
    const BassHandle kept = Source(samples, 44100, 2);
    BASS_StreamFree(BASS_FX_TempoCreate(kept, BASS_STREAM_DECODE));
    EXPECT_NE(BASS_ChannelGetLength(kept), -1) << "without the flag the source stays";
    const BassHandle tied = Source(samples, 44100, 2);
    BASS_StreamFree(BASS_FX_TempoCreate(tied, BASS_STREAM_DECODE | BASS_FX_FREESOURCE));
    EXPECT_EQ(BASS_ChannelGetLength(tied), -1);

    // A tempo stream whose source is freed first ends instead of reading freed memory.
    const BassHandle orphan = BASS_FX_TempoCreate(kept, BASS_STREAM_DECODE);
    BASS_StreamFree(kept);
    std::vector<int16_t> block(64, 5);
    EXPECT_EQ(BASS_ChannelGetData(orphan, block.data(), 128), -1);
    EXPECT_EQ(block, std::vector<int16_t>(64, 0));

    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    BASS_ManualOutputEnable(false);
    const std::string path = folder + "/p.wav";
    ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, samples, 44100, 2));
    EXPECT_EQ(BASS_FX_TempoCreate(BASS_StreamCreateFile(path, 0), BASS_STREAM_DECODE), 0u)
        << "a playable source is refused";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
}

} // namespace
