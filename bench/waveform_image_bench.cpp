// The waveform image of a 5-minute MP3 (stereo, 44.1 kHz) at 441 samples a second, mono: built by
// the store (decode, mix down, resample, fill) against decoding the same file alone, in the same
// run; then opening it again from its cache file.
// Targets: at least 400x real time, at least 80 % of the speed of decoding alone, and a reopen
// from the cache under 20 ms. Usage: waveform_image_bench [seconds] (the MP3's length, default 300).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "AudioControls/class_WavDataStore.h"
#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;
double fileSeconds = 300.0; // the MP3's length
constexpr int kRounds = 5;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double OpenOnly(const std::string& path)
{
    const auto start = Clock::now();
    BASS_StreamFree(BASS_StreamCreateFile(path, BASS_STREAM_DECODE));
    return Since(start);
}

double DecodeAlone(const std::string& path)
{
    const auto start = Clock::now();
    const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    std::vector<char> buffer(176400);
    while (BASS_ChannelGetData(stream, buffer.data(), uint32_t(buffer.size())) >= 0) {
    }
    BASS_StreamFree(stream);
    return Since(start);
}

double BuildImage(const std::string& path, const std::string& cacheFolder, bool cache)
{
    TWavDataStore store;
    store.CacheFolder = cacheFolder;
    store.OptCacheImage = cache;
    const auto start = Clock::now();
    store.SetFileName(path);
    store.WaitLoaded();
    const double seconds = Since(start);
    if (cache && !store.LoadedFromCache())
        return -seconds;
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        fileSeconds = std::max(1.0, std::atof(argv[1]));
    const std::string folder = sonorel_test::FixtureFolder();
    const std::string path = folder + "/source.mp3";
    std::printf("writing a %.0f-second MP3 with lame...\n", fileSeconds);
    if (!sonorel_test::WriteAudioFile(path, sonorel_test::AudioFileKind::Mp3,
                                      sonorel_test::MakeSweepNoise({44100, 2, fileSeconds}), 44100, 2)) {
        std::printf("lame is missing: no figures\n");
        return 1;
    }
    const std::string cacheFolder = folder + "/cache";
    double decode = 1e9, build = 1e9, reopen = 1e9, open = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        decode = std::min(decode, DecodeAlone(path));
        build = std::min(build, BuildImage(path, cacheFolder, false));
    }
    BuildImage(path, cacheFolder, true); // writes the cache
    for (int round = 0; round < kRounds; ++round) {
        const double seconds = BuildImage(path, cacheFolder, true);
        if (seconds < 0) {
            std::printf("the cache was not used\n");
            return 1;
        }
        reopen = std::min(reopen, seconds);
        open = std::min(open, OpenOnly(path));
    }
    const double relative = decode / build;
    std::printf("decode alone:        %8.1f ms  (%6.0fx real time)\n", decode * 1000, fileSeconds / decode);
    std::printf("image (441 Hz mono): %8.1f ms  (%6.0fx real time, %5.1f %% of decoding's speed)\n", build * 1000,
                fileSeconds / build, relative * 100);
    std::printf("reopen from cache:   %8.2f ms  (opening the MP3 alone, its exact-length scan: %.2f ms)\n",
                reopen * 1000, open * 1000);
    const bool ok = fileSeconds / build >= 400 && relative >= 0.8 && reopen < 0.020;
    std::printf("targets (>= 400x, >= 80 %%, < 20 ms): %s\n", ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
