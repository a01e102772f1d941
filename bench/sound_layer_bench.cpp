// Speed of the sound layer, each figure next to the library it wraps, measured in the same run:
//   - decoding a 5-minute (by default) 44.1 kHz stereo MP3: the layer's file stream vs libmpg123 directly;
//   - the tempo stream (+10 %, +1.5 semitones) over it vs libmpg123 + SoundTouch directly;
//   - the null output's pacing against the steady clock, and its worst wake-up.
// Usage: sound_layer_bench [--null-seconds N] [--file-seconds N] (defaults 5 and 300; 60 null seconds
// for the full pacing check)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <mpg123.h>
#include <soundtouch/SoundTouch.h>

#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"
#include "live_figures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int rate = 44100;
double fileSeconds = 300; // the MP3's length
constexpr uint32_t blockBytes = 265 * 4; // one 6 ms output block, as the live mixer reads

std::string BenchFile()
{
    const std::string name = "sonorel-bench-" + std::to_string(static_cast<int>(fileSeconds)) + "s-44100.mp3";
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    if (!std::filesystem::exists(path)) {
        std::printf("writing the %.0f-second MP3 fixture (once)...\n", fileSeconds);
        const auto samples = sonorel_test::MakeSweepNoise({rate, 2, fileSeconds, 1});
        if (!sonorel_test::WriteAudioFile(path, sonorel_test::AudioFileKind::Mp3, samples, rate, 2)) {
            std::fprintf(stderr, "cannot write %s (is lame installed?)\n", path.c_str());
            std::exit(1);
        }
    }
    return path;
}

// Best of `runs` timings of `work`, seconds.
double Best(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

int64_t LayerRead(BassHandle stream)
{
    std::vector<char> block(blockBytes);
    int64_t total = 0;
    for (int32_t got; (got = BASS_ChannelGetData(stream, block.data(), blockBytes)) >= 0;)
        total += got;
    return total;
}

// libmpg123 on its own, set up as the layer sets it up (gapless, 16-bit, exact scan).
struct DirectMp3 {
    mpg123_handle* handle = nullptr;
    explicit DirectMp3(const std::string& path)
    {
        handle = mpg123_new(nullptr, nullptr);
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
        mpg123_open(handle, path.c_str());
        long r;
        int c, e;
        mpg123_getformat(handle, &r, &c, &e);
        mpg123_format_none(handle);
        mpg123_format(handle, r, c, MPG123_ENC_SIGNED_16);
        mpg123_scan(handle);
    }
    ~DirectMp3()
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    size_t Read(void* buffer, size_t bytes)
    {
        size_t done = 0;
        const int result = mpg123_read(handle, static_cast<unsigned char*>(buffer), bytes, &done);
        return result == MPG123_OK || result == MPG123_NEW_FORMAT || result == MPG123_DONE ? done : 0;
    }
};

void Report(const char* what, double layer, double direct)
{
    std::printf("%-34s layer %7.3f s = %6.0fx real time | direct %7.3f s = %6.0fx | layer/direct speed %5.1f %%\n",
                what, layer, fileSeconds / layer, direct, fileSeconds / direct, 100.0 * direct / layer);
}

void DecodeBench(const std::string& path)
{
    int64_t layerBytes = 0, directBytes = 0;
    const double layer = Best(3, [&] {
        const BassHandle h = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        layerBytes = LayerRead(h);
        BASS_StreamFree(h);
    });
    const double direct = Best(3, [&] {
        DirectMp3 mp3(path);
        std::vector<char> block(blockBytes);
        directBytes = 0;
        for (size_t got; (got = mp3.Read(block.data(), blockBytes)) > 0;)
            directBytes += int64_t(got);
    });
    Report("MP3 decode (open+scan+decode)", layer, direct);
    if (layerBytes != directBytes)
        std::printf("  note: byte counts differ: layer %lld, direct %lld\n", (long long)layerBytes, (long long)directBytes);
}

void TempoBench(const std::string& path)
{
    const double layer = Best(3, [&] {
        const BassHandle source = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        const BassHandle tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
        BASS_FX_TempoSet(tempo, 10, rate, 1.5f);
        LayerRead(tempo);
        BASS_StreamFree(tempo);
    });
    const double direct = Best(3, [&] {
        DirectMp3 mp3(path);
        soundtouch::SoundTouch touch;
        touch.setSampleRate(rate);
        touch.setChannels(2);
        touch.setTempoChange(10);
        touch.setPitchSemiTones(1.5);
        std::vector<int16_t> in(4096 * 2);
        std::vector<float> inFloat(in.size()), outFloat(265 * 2);
        std::vector<int16_t> out(outFloat.size());
        bool ended = false;
        while (true) {
            const uint32_t got = touch.receiveSamples(outFloat.data(), 265);
            for (uint32_t i = 0; i < got * 2; ++i)
                out[i] = int16_t(std::lrint(std::clamp(outFloat[i], -32768.0f, 32767.0f)));
            if (got > 0)
                continue;
            if (ended)
                break;
            const size_t bytes = mp3.Read(in.data(), in.size() * 2);
            if (bytes == 0) {
                touch.flush();
                ended = true;
                continue;
            }
            std::copy_n(in.data(), bytes / 2, inFloat.data());
            touch.putSamples(inFloat.data(), uint32_t(bytes / 4));
        }
    });
    Report("tempo +10 %, pitch +1.5 st", layer, direct);
}

uint32_t SilenceProc(BassHandle, void* buffer, uint32_t length, void*)
{
    std::memset(buffer, 0, length);
    return length;
}

void NullOutputBench(double seconds)
{
    if (!BASS_Init(BASS_DEVICE_NOSOUND, rate, 0, nullptr, nullptr)) {
        std::printf("null output: cannot initialise\n");
        return;
    }
    BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 6);
    const BassHandle stream = BASS_StreamCreate(rate, 2, 0, SilenceProc, nullptr);
    const auto start = Clock::now();
    BASS_ChannelPlay(stream, false);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const BassOutputInfo info = BASS_GetOutputInfo();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    BASS_Free();
    const double played = double(info.framesWritten) / rate;
    std::printf("null output over %.1f s: %.4f s played (%lld blocks of %d frames), rate %.5fx real time, "
                "deviation %.4f %% (one block = %.3f %%)\n",
                elapsed, played, (long long)info.blocksWritten, info.blockFrames, played / elapsed,
                100.0 * std::fabs(played - elapsed) / elapsed, 100.0 * info.blockFrames / rate / elapsed);
    sonorel_bench::PrintLiveFigures(info);
}

} // namespace

int main(int argc, char** argv)
{
    double nullSeconds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--null-seconds") == 0)
            nullSeconds = std::atof(argv[i + 1]);
        if (std::strcmp(argv[i], "--file-seconds") == 0)
            fileSeconds = std::max(1.0, std::atof(argv[i + 1]));
    }
    const std::string path = BenchFile();
    DecodeBench(path);
    TempoBench(path);
    NullOutputBench(nullSeconds);
    return 0;
}
