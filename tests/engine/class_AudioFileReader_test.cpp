#include "engine/class_AudioFileReader.h"

#include "platform/trace/UserMessage.h"
#include "support/audio_fixtures.h"
#include "support/pattern_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

using sonorel_test::ConstantSamples;
using sonorel_test::MakePatternStream;

namespace {

const SoundFormat kStereo44{2, 44100, 16, 0};

MixParams Fades(bool in, float inLength, bool out, float outLength, int32_t volume = 100)
{
    MixParams params;
    params.volume = volume;
    params.fadein = in;
    params.fadeinlength = inLength;
    params.fadeout = out;
    params.fadeoutlength = outLength;
    return params;
}

// A reader over a pattern stream, as SetFileName would leave it for a fragment of lengthMcs.
struct PatternReader {
    std::unique_ptr<sonorel_test::PatternStream> pattern;
    cAudioFileReader reader;

    PatternReader(std::vector<int16_t> samples, int channels, int rate, const MixParams& params, int64_t lengthMcs,
                  SoundFormat output = kStereo44)
    {
        pattern = MakePatternStream(std::move(samples), channels, rate);
        reader.OutputFormat = output;
        reader.MixParams = params;
        reader.LengthMcs = lengthMcs;
        reader.UseDecodingStream(pattern->handle);
    }

    std::vector<int16_t> Read(int64_t frames)
    {
        const int channels = static_cast<int>(reader.ChannelInfo.channels);
        std::vector<int16_t> block(static_cast<size_t>(frames * channels), 0x5555);
        reader.Read(block.data(), frames * channels * 2);
        return block;
    }
};

// Amplitude of the component at `hz` of channel `channel`, from a Hann-windowed projection over
// the frames [from, from + count): exact for a pure tone, and blind to tones far from `hz`.
double ToneAmplitude(const std::vector<int16_t>& samples, int channels, int channel, int rate, double hz,
                     size_t from, size_t count)
{
    const double pi = std::acos(-1.0);
    double re = 0, im = 0, weights = 0;
    for (size_t n = 0; n < count; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2 * pi * n / count);
        const double x = samples[(from + n) * channels + channel];
        const double phase = 2 * pi * hz * double(from + n) / rate;
        re += w * x * std::cos(phase);
        im += w * x * std::sin(phase);
        weights += w;
    }
    return 2 * std::hypot(re, im) / weights;
}

} // namespace

TEST(FragmentGain, FollowsVolumeAndFadesAtBlockStarts)
{
    struct Case {
        const char* what;
        MixParams params;
        double t;
        int64_t lengthMcs;
        double gain;
    } cases[] = {
        {"no fades", Fades(false, 0, false, 0), 3, 10000000, 1.0},
        {"volume 150", Fades(false, 0, false, 0, 150), 3, 10000000, 1.5},
        {"fade-in a quarter in", Fades(true, 2, false, 0), 0.5, 10000000, 0.25},
        {"fade-in with volume 80", Fades(true, 2, false, 0, 80), 0.5, 10000000, 0.2},
        {"fade-in over", Fades(true, 2, false, 0), 2, 10000000, 1.0},
        {"fade-out a quarter left", Fades(false, 0, true, 2), 9.5, 10000000, 0.25},
        {"fade-out not yet begun", Fades(false, 0, true, 2), 8, 10000000, 1.0},
        {"both fades keep the fade-in factor", Fades(true, 4, true, 4), 2, 5000000, 0.5 * 0.75},
        {"past the end", Fades(false, 0, true, 2), 11, 10000000, 0.0},
        {"fade-in length 0 is no fade", Fades(true, 0, false, 0), 0, 10000000, 1.0},
        {"negative fade-out length is no fade", Fades(false, 0, true, -1), 9.9, 10000000, 1.0},
        {"negative volume is silence", Fades(false, 0, false, 0, -50), 1, 10000000, 0.0},
        {"NaN time", Fades(true, 2, false, 0), std::nan(""), 10000000, 1.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(FragmentGain(c.params, c.t, c.lengthMcs), c.gain, 1e-9) << c.what;
}

TEST(FragmentGain, ConversionsSaturateAndRatesTruncate)
{
    EXPECT_EQ(SaturateToInt64(-2.7), -2);
    EXPECT_EQ(SaturateToInt64(std::nan("")), 0);
    EXPECT_EQ(SaturateToInt64(1e30), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(SaturateToInt64(-INFINITY), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TempoSampleRate(48000, 44100), 52244.0f); // 48000 x 48000 / 44100 = 52244.9
    EXPECT_EQ(TempoSampleRate(44100, 44100), 44100.0f);
    EXPECT_EQ(TempoSampleRate(22050, 44100), 11025.0f);
    EXPECT_EQ(TempoSampleRate(44100, 0), 44100.0f);
}

TEST(AudioFileReader, FadeInRampsWithinEachBlockFromTheBlockStartGains)
{
    UserMessageRecorder messages;
    PatternReader r(ConstantSamples(44100 * 2, {10000, -10000}), 2, 44100, Fades(true, 1, false, 0), 2000000);
    for (int block = 0; block < 12; ++block) {
        const std::vector<int16_t> samples = r.Read(4410);
        const double t0 = block * 0.1;
        const double gainAtStart = std::min(1.0, t0);
        const double gainAtLastFrame = std::min(1.0, t0 + 4409 / 44100.0);
        EXPECT_NEAR(samples[0], 10000 * gainAtStart, 0.5) << block;
        EXPECT_NEAR(samples[1], -10000 * gainAtStart, 0.5) << block;
        EXPECT_NEAR(samples[2 * 4409], 10000 * gainAtLastFrame, 0.5) << block;
        EXPECT_NEAR(samples[2 * 2205], 10000 * std::min(1.0, t0 + 2205 / 44100.0), 0.5) << block;
    }
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(AudioFileReader, FadeOutReachesSilenceAtTheFragmentEnd)
{
    UserMessageRecorder messages;
    // One 2-second block holds the whole fade-out: the gain falls along the fade, not in one step.
    PatternReader r(ConstantSamples(44100 * 2, {20000, 20000}), 2, 44100, Fades(false, 0, true, 1), 2000000);
    const std::vector<int16_t> samples = r.Read(88200);
    EXPECT_EQ(samples[2 * 22050], 20000);                          // 0.5 s: before the fade
    EXPECT_NEAR(samples[2 * 66150], 10000, 1);                     // 1.5 s: half way
    EXPECT_NEAR(samples[2 * 88199], 20000 / 44100.0, 1);           // last frame: one frame from the end
}

TEST(AudioFileReader, FadeClockCountsMixTimeWhateverTheSourceRateAndSpeed)
{
    UserMessageRecorder messages;
    struct Case {
        int sourceRate;
        float speed;
        int blockFrames;
        int blocks;
        int64_t posMcs;
    } cases[] = {
        {44100, 0, 441, 100, 1000000},
        {48000, 0, 441, 100, 1000000},
        {22050, 0, 441, 100, 1000000},
        {44100, 100, 441, 100, 2000000}, // twice the block's duration in source time
        {44100, -50, 4410, 10, 500000},
        {44100, 0, 256, 1000, 5804988},  // 256000 / 44100 s: no microsecond lost per block
    };
    for (const Case& c : cases) {
        MixParams params;
        params.speed = c.speed;
        PatternReader r(ConstantSamples(c.sourceRate * 10, {1000, 1000}), 2, c.sourceRate, params, 100000000);
        for (int b = 0; b < c.blocks; ++b)
            r.Read(c.blockFrames);
        EXPECT_EQ(r.reader.pos_mcs, c.posMcs) << c.sourceRate << " " << c.speed;
        EXPECT_NEAR(r.reader.ElapsedMixSeconds(), c.blockFrames * c.blocks / 44100.0, 1e-6);
        EXPECT_EQ(r.reader.BytesRead, int64_t{c.blockFrames} * c.blocks * 4);
    }
}

TEST(AudioFileReader, ShortReadsAreSilenceNotStaleData)
{
    UserMessageRecorder messages;
    std::vector<int16_t> pattern = ConstantSamples(100, {1234});
    PatternReader r(pattern, 1, 44100, MixParams{}, 1000000);
    const std::vector<int16_t> samples = r.Read(1000);
    EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.begin() + 100), pattern);
    EXPECT_EQ(std::count(samples.begin() + 100, samples.end(), 0), 900);
    const std::vector<int16_t> after = r.Read(1000);
    EXPECT_EQ(std::count(after.begin(), after.end(), 0), 1000);
}

TEST(AudioFileReader, FilesThatCannotBeOpenedGiveOneMessageAndSilence)
{
    const std::filesystem::path dir = sonorel_test::FixtureFolder();
    const std::string missing = (dir / "missing.wav").string();
    const std::string broken = (dir / "broken.wav").string();
    std::ofstream(broken) << "this is no sound file at all";
    struct Case {
        std::string file;
        std::string message;
    } cases[] = {
        {missing, "Trying to open audio file, file doesn't exist.\r\nFile name: " + missing},
        {broken, "Can't create stream from audio file:" + broken},
    };
    for (const Case& c : cases) {
        UserMessageRecorder messages;
        cFileSoundSource source;
        source.SetFileName(c.file, kStereo44);
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.message});
        std::vector<int16_t> block(200, 77);
        source.Read(block.data(), 400);
        EXPECT_EQ(std::count(block.begin(), block.end(), 0), 200);
    }
    std::filesystem::remove_all(dir);
}

TEST(AudioFileReader, RefusedPitchIsReportedAndSilent)
{
    UserMessageRecorder messages;
    MixParams params;
    params.pitch = 100000; // 100 semitones: beyond what the stretcher takes
    PatternReader r(ConstantSamples(4410, {5000, 5000}), 2, 44100, params, 1000000);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't set tempo and pitch of audio file:"});
    const std::vector<int16_t> samples = r.Read(441);
    EXPECT_EQ(std::count(samples.begin(), samples.end(), 0), 882);
}

TEST(AudioFileReader, ReadingAheadLeavesTheDeliveredSamplesUnchanged)
{
    UserMessageRecorder messages;
    // Reads of odd sizes, part frames among them, through a fade: the reader that read ahead
    // delivers what the plain one does, inside the read-ahead, across its end and after it.
    struct Case {
        int channels;
        int64_t aheadFrames;
    } cases[] = {{2, 700}, {1, 700}, {6, 64}, {2, 1}};
    const int64_t reads[] = {441 * 4, 3, 1000, 2, 6, 441 * 4, 5000, 12};
    for (const Case& c : cases) {
        std::vector<int16_t> samples(static_cast<size_t>(44100 * c.channels));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
        PatternReader plain(samples, c.channels, 44100, Fades(true, 0.2f, false, 0), 1000000);
        PatternReader ahead(samples, c.channels, 44100, Fades(true, 0.2f, false, 0), 1000000);
        ahead.reader.ReadAhead(c.aheadFrames);
        for (const int64_t bytes : reads) {
            std::vector<int16_t> a(static_cast<size_t>(bytes / 2 + 1), 0x5555), b = a;
            plain.reader.Read(a.data(), bytes);
            ahead.reader.Read(b.data(), bytes);
            EXPECT_EQ(a, b) << c.channels << " channels, read of " << bytes;
        }
        EXPECT_EQ(plain.reader.pos_mcs, ahead.reader.pos_mcs);
    }
}

TEST(AudioFileReader, OpenKeepsItsMessageForTheReport)
{
    UserMessageRecorder messages;
    const std::string missing = sonorel_test::FixtureFolder() + "/no_such_file.wav";
    cFileSoundSource source;
    source.Open(missing, kStereo44);
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(source.Fault(), cAudioFileReader::OpenFault::Missing);
    EXPECT_TRUE(source.StreamsIntact());
    source.ReportOpen();
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Trying to open audio file, file doesn't exist.\r\nFile name: " + missing});
}

// A source at another rate than the output's is resampled at high quality: the treble stays flat,
// and the content plays at the rate the truncated SampleRate gives (a tone of f comes out at
// f x output x SampleRate / source^2).
TEST(AudioFileReader, OtherRatesStayFlatToTheTopOfTheirBand)
{
    UserMessageRecorder messages;
    struct Case {
        int sourceRate;
        std::vector<double> tones; // Hz; the first is the reference
    } cases[] = {
        {48000, {1000, 8000, 12000, 14000, 16000, 18000}},
        {96000, {1000, 8000, 12000, 14000, 16000, 18000}},
        {192000, {1000, 12000, 18000}},
        {32000, {1000, 8000, 12000, 14000}},
        {22050, {1000, 5000, 8000, 9500}},
        {8000, {500, 2000, 3500}},
    };
    const double pi = std::acos(-1.0);
    for (const Case& c : cases) {
        const size_t frames = size_t(c.sourceRate) * 2;
        std::vector<int16_t> samples(frames);
        for (size_t n = 0; n < frames; ++n) {
            double v = 0;
            for (double hz : c.tones)
                v += 0.1 * std::sin(2 * pi * hz * double(n) / c.sourceRate);
            samples[n] = static_cast<int16_t>(std::lround(v * 32767));
        }
        PatternReader r(samples, 1, c.sourceRate, MixParams{}, 100000000, SoundFormat{1, 44100, 16, 0});
        const std::vector<int16_t> out = r.Read(44100);
        const double sampleRate = TempoSampleRate(c.sourceRate, 44100);
        const double scale = 44100.0 * sampleRate / (double(c.sourceRate) * c.sourceRate);
        const double reference = ToneAmplitude(out, 1, 0, 44100, c.tones[0] * scale, 8820, 32768);
        EXPECT_NEAR(reference, 0.1 * 32767, 0.1 * 32767 * 0.0116) << c.sourceRate; // 0.1 dB
        for (double hz : c.tones) {
            const double level = ToneAmplitude(out, 1, 0, 44100, hz * scale, 8820, 32768);
            EXPECT_NEAR(20 * std::log10(level / reference), 0.0, 0.1) << c.sourceRate << " Hz source, tone " << hz;
        }
    }
}

// A pitched row's playback rate rides in the stretcher's transposer where that keeps the treble:
// a pitched row at any rate keeps, within its source's band, at least the treble it has at the
// output rate.
TEST(AudioFileReader, PitchedRowsAtOtherRatesKeepTheTrebleOfTheOutputRate)
{
    UserMessageRecorder messages;
    const double tones[] = {1000, 6000, 9000, 12000, 14000, 16000}; // the first is the reference
    const double pi = std::acos(-1.0);
    MixParams params;
    params.pitch = 1000; // a semitone up
    const double shift = std::pow(2.0, 1.0 / 12);
    // Level of each tone below 0.85 of the source's Nyquist frequency against the first, in dB.
    const auto levels = [&](int sourceRate) {
        const size_t frames = size_t(sourceRate) * 2;
        std::vector<int16_t> samples(frames);
        for (size_t n = 0; n < frames; ++n) {
            double v = 0;
            for (double hz : tones)
                v += 0.1 * std::sin(2 * pi * hz * double(n) / sourceRate);
            samples[n] = static_cast<int16_t>(std::lround(v * 32767));
        }
        PatternReader r(samples, 1, sourceRate, params, 100000000, SoundFormat{1, 44100, 16, 0});
        const std::vector<int16_t> out = r.Read(44100);
        const double scale = shift * 44100.0 * TempoSampleRate(sourceRate, 44100) / (double(sourceRate) * sourceRate);
        const double reference = ToneAmplitude(out, 1, 0, 44100, tones[0] * scale, 8820, 32768);
        std::vector<double> dB;
        for (double hz : tones)
            if (hz < 0.85 * sourceRate / 2)
                dB.push_back(20 * std::log10(ToneAmplitude(out, 1, 0, 44100, hz * scale, 8820, 32768) / reference));
        return dB;
    };
    const std::vector<double> atOutputRate = levels(44100);
    for (const int rate : {48000, 96000, 32000}) {
        const std::vector<double> dB = levels(rate);
        for (size_t i = 0; i < dB.size(); ++i)
            EXPECT_GE(dB[i], atOutputRate[i] - 0.25) << rate << " Hz source, tone " << tones[i];
    }
}

// Sources of any channel count reach the tempo stage as their front pair, with and without tempo,
// pitch or a rate change, so no channel count can stop the performance.
TEST(AudioFileReader, WideSourcesPlayTheirFrontPair)
{
    UserMessageRecorder messages;
    struct Setting {
        const char* name;
        int sourceRate;
        float speed;
        int32_t pitch;
    } settings[] = {{"unchanged", 44100, 0, 0},     {"tempo and pitch", 44100, 10, 1500},
                    {"rate change", 48000, 0, 0},   {"8 kHz with tempo", 8000, -20, 0},
                    {"192 kHz with pitch", 192000, 0, -700}};
    for (const int channels : {3, 6, 15, 16, 17, 32}) {
        for (const Setting& s : settings) {
            std::vector<int16_t> perChannel(static_cast<size_t>(channels), 0);
            perChannel[0] = 6000;
            perChannel[1] = -9000;
            MixParams params;
            params.speed = s.speed;
            params.pitch = s.pitch;
            PatternReader r(ConstantSamples(s.sourceRate, perChannel), channels, s.sourceRate, params, 100000000);
            ASSERT_EQ(r.reader.ChannelInfo.channels, 2u) << channels << " " << s.name;
            EXPECT_TRUE(messages.Texts().empty()) << channels << " " << s.name;
            const std::vector<int16_t> out = r.Read(22050);
            EXPECT_NEAR(out[2 * 11025], 6000, 60) << channels << " " << s.name;
            EXPECT_NEAR(out[2 * 11025 + 1], -9000, 90) << channels << " " << s.name;
        }
    }
}
