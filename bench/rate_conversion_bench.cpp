// Cost and treble of the rate conversion that plays a source at another rate than the output's
// (SampleRate = source^2 / output, truncated), each figure measured in the same run:
//   - the layer's tempo stream (libsoxr at high quality, the stretcher passed by);
//   - the previous path: SoundTouch's own rate transposer set to the same rate;
//   - for scale, a 44.1 kHz source, which passes through untouched.
// For 48 and 96 kHz sources: speed over 60 s (by default) of stereo, the cost of one 6 ms output block, and the
// level of tones at 14 and 18 kHz against 1 kHz after the conversion.
// Usage: rate_conversion_bench [seconds] (the sources' length, default 60)

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <soundtouch/SoundTouch.h>

#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int outputRate = 44100;
double fileSeconds = 60;
constexpr uint32_t blockFrames = 265; // one 6 ms output block, as the live mixer reads
const double pi = std::acos(-1.0);

// 1, 14 and 18 kHz at a tenth of full scale each, the same on both channels.
std::vector<int16_t> TestSignal(int rate)
{
    std::vector<int16_t> samples(size_t(rate * fileSeconds) * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double n = double(i / 2);
        double v = 0;
        for (double hz : {1000.0, 14000.0, 18000.0})
            v += 0.1 * std::sin(2 * pi * hz * n / rate);
        samples[i] = int16_t(std::lround(v * 32767));
    }
    return samples;
}

std::string Fixture(int rate)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("sonorel-bench-tones-" + std::to_string(rate) + "-" +
                                                         std::to_string(static_cast<int>(fileSeconds)) + "s.wav")).string();
    if (!std::filesystem::exists(path))
        sonorel_test::WriteAudioFile(path, sonorel_test::AudioFileKind::Wav, TestSignal(rate), rate, 2);
    return path;
}

float SampleRateFor(int rate) { return float(int64_t(rate) * rate / outputRate); }

// The whole converted output of a source, read block by block, and the seconds it took.
struct Run {
    std::vector<int16_t> out;
    double seconds = 0;
};

Run LayerPath(const std::string& path, int rate)
{
    Run run;
    const auto start = Clock::now();
    const BassHandle source = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    const BassHandle tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
    BASS_FX_TempoSet(tempo, 0, SampleRateFor(rate), 0);
    std::vector<int16_t> block(blockFrames * 2);
    for (int32_t got; (got = BASS_ChannelGetData(tempo, block.data(), blockFrames * 4)) > 0;)
        run.out.insert(run.out.end(), block.begin(), block.begin() + got / 2);
    BASS_StreamFree(tempo);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

Run PreviousPath(const std::string& path, int rate)
{
    Run run;
    const auto start = Clock::now();
    const BassHandle source = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    soundtouch::SoundTouch touch;
    touch.setSampleRate(rate);
    touch.setChannels(2);
    touch.setRate(SampleRateFor(rate) / rate);
    std::vector<int16_t> in(4096 * 2);
    std::vector<float> inFloat(in.size()), outFloat(blockFrames * 2);
    bool ended = false;
    while (true) {
        const uint32_t got = touch.receiveSamples(outFloat.data(), blockFrames);
        for (uint32_t i = 0; i < got * 2; ++i)
            run.out.push_back(int16_t(std::lrint(std::clamp(outFloat[i], -32768.0f, 32767.0f))));
        if (got > 0)
            continue;
        if (ended)
            break;
        const int32_t bytes = BASS_ChannelGetData(source, in.data(), uint32_t(in.size() * 2));
        if (bytes <= 0) {
            touch.flush();
            ended = true;
            continue;
        }
        std::copy_n(in.data(), bytes / 2, inFloat.data());
        touch.putSamples(inFloat.data(), uint32_t(bytes / 4));
    }
    BASS_StreamFree(source);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

// Level of a tone of `hz` (source time) in the left channel of the output, dB against 1 kHz.
double LevelDb(const std::vector<int16_t>& out, int rate, double hz)
{
    const double scale = double(outputRate) * SampleRateFor(rate) / (double(rate) * rate);
    auto amplitude = [&](double f) {
        const size_t from = outputRate * 5, count = 65536;
        double re = 0, im = 0, weights = 0;
        for (size_t n = 0; n < count && (from + n) * 2 < out.size(); ++n) {
            const double w = 0.5 - 0.5 * std::cos(2 * pi * n / count);
            const double phase = 2 * pi * f * scale * double(from + n) / outputRate;
            re += w * out[(from + n) * 2] * std::cos(phase);
            im += w * out[(from + n) * 2] * std::sin(phase);
            weights += w;
        }
        return 2 * std::hypot(re, im) / weights;
    };
    return 20 * std::log10(amplitude(hz) / amplitude(1000));
}

Run Best(const std::function<Run()>& make)
{
    Run best = make();
    for (int i = 0; i < 2; ++i) {
        Run again = make();
        if (again.seconds < best.seconds)
            best = std::move(again);
    }
    return best;
}

void Report(const char* what, const Run& run, int rate)
{
    const double blocks = double(run.out.size() / 2) / blockFrames;
    std::printf("  %-28s %7.3f s = %6.0fx real time, %6.2f us per 6 ms block", what, run.seconds,
                fileSeconds / run.seconds, 1e6 * run.seconds / blocks);
    if (rate != outputRate)
        std::printf(" | 14 kHz %+6.2f dB, 18 kHz %+6.2f dB", LevelDb(run.out, rate, 14000), LevelDb(run.out, rate, 18000));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        fileSeconds = std::max(1.0, std::atof(argv[1]));
    const Run untouched = Best([&] { return LayerPath(Fixture(outputRate), outputRate); });
    std::printf("44100 Hz source (no conversion):\n");
    Report("layer, passed through", untouched, outputRate);
    for (const int rate : {48000, 96000}) {
        const std::string path = Fixture(rate);
        std::printf("%d Hz source on a %d Hz output (SampleRate %.0f):\n", rate, outputRate, SampleRateFor(rate));
        const Run layer = Best([&] { return LayerPath(path, rate); });
        const Run previous = Best([&] { return PreviousPath(path, rate); });
        Report("layer (libsoxr HQ)", layer, rate);
        Report("previous (SoundTouch rate)", previous, rate);
        std::printf("  cost against the previous path: %.2fx its time\n", layer.seconds / previous.seconds);
    }
    return 0;
}
