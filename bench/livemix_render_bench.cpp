// Timing of the render step: per-block cost with overlapping tempo-changed rows in 10 ms blocks
// (back to back with every file opened at its row's start, and at live pace with rows opened ahead),
// and the speed of rendering a 60-minute MP3 mix to memory against decoding and tempo processing
// the same material alone. Usage: livemix_render_bench [--brief] (a brief run only shows that the
// benchmark still works).
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace sonorel_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;

// The sizes of a run: the rows of the block-cost mix (each overlapping the next by most of its
// length, so four are always sounding) and those of the long mix.
struct Sizes {
    double fileSeconds = 205; // the MP3 source's; the WAV source is shorter
    int blockRows = 12;
    float blockRowSeconds = 16;
    float blockOverlap = 11;
    int mixRows = 20;
    float mixRowSeconds = 200;
};
constexpr Sizes kBrief{20, 4, 0.6f, 0.45f, 4, 15};

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void AddRows(cmixdata& rows, const std::string& file, int count, float length, float speed, int64_t pitch,
             float overlap, float start = 1)
{
    for (int i = 0; i < count; ++i) {
        cMixRow* row = rows.Add();
        row->filename = file;
        row->start = start;
        row->length = length;
        row->MixParams.speed = speed;
        row->MixParams.pitch = pitch;
        row->MixParams.fadein = row->MixParams.fadeout = true;
        row->MixParams.fadeinlength = row->MixParams.fadeoutlength = overlap;
        row->overlap = i + 1 < count;
        row->overlaplen = overlap;
    }
}

// Four rows sounding at once, each with tempo and pitch changed, in 10 ms blocks. With `live` the
// blocks come in real time, as from the sound device, and the producer opens rows ahead; without,
// they come back to back and every row opens its file at its start.
void BlockCost(const std::string& file, bool live, const Sizes& sizes)
{
    cmixdata rows;
    // Each row overlaps the next by most of its length, so four are always sounding and a new row
    // starts (file opened and positioned) every few seconds.
    for (int i = 0; i < sizes.blockRows; ++i) {
        cMixRow* row = rows.Add();
        row->filename = file;
        row->start = 2.0f + i;
        row->length = sizes.blockRowSeconds;
        row->MixParams.speed = 6 + i;
        row->MixParams.pitch = 700 - 100 * i;
        row->MixParams.fadein = row->MixParams.fadeout = true;
        row->MixParams.fadeinlength = row->MixParams.fadeoutlength = 2;
        row->overlap = true;
        row->overlaplen = sizes.blockOverlap;
    }
    cWavProducer producer;
    producer.PrepareSources = live;
    producer.WavMix.Format = SoundFormat{2, kRate, 16, 0};
    producer.SetNeedlePos(rows, 0, false, -1);
    const int frames = 441;
    const double blockSeconds = frames / double(kRate);
    std::vector<int16_t> block(frames * 2);
    std::vector<double> costs;
    const auto first = Clock::now();
    while (!producer.Stopped) {
        if (live)
            std::this_thread::sleep_until(first + std::chrono::duration<double>(costs.size() * blockSeconds));
        const auto start = Clock::now();
        producer.RenderStep(block.data(), frames * 4);
        costs.push_back(SecondsSince(start));
    }
    std::sort(costs.begin(), costs.end());
    const double p999 = costs[static_cast<size_t>(costs.size() * 0.999)];
    std::printf("render step, %s, 4 overlapping tempo+pitch rows, 10 ms blocks: %zu blocks, slowest %.2f %% of the "
                "block, 99.9th percentile %.2f %%, median %.3f %%; row starts prepared %lld, opened there %lld\n",
                live ? "live pace, rows opened ahead" : "back to back, rows opened at their starts", costs.size(),
                100 * costs.back() / blockSeconds, 100 * p999 / blockSeconds,
                100 * costs[costs.size() / 2] / blockSeconds, static_cast<long long>(producer.PreparedRowStarts),
                static_cast<long long>(producer.OpenedRowStarts));
}

// Decodes and tempo-processes each row's fragment alone, in the same blocks: the floor of the render.
double DecodeAlone(const cmixdata& rows, int64_t blockBytes)
{
    std::vector<int16_t> block(static_cast<size_t>(blockBytes / 2));
    const auto start = Clock::now();
    for (const auto& row : rows) {
        const BassHandle decode = BASS_StreamCreateFile(row->filename, BASS_STREAM_DECODE);
        const BassHandle tempo = BASS_FX_TempoCreate(decode, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
        BASS_FX_TempoSet(tempo, row->MixParams.speed, kRate, row->MixParams.pitch / 1000.0f);
        BASS_ChannelSetPosition(decode, BASS_ChannelSeconds2Bytes(decode, row->start));
        const int64_t bytes = BASS_ChannelSeconds2Bytes(decode, static_cast<double>(row->PlayLength()));
        for (int64_t done = 0; done < bytes; done += blockBytes)
            BASS_ChannelGetData(tempo, block.data(), static_cast<uint32_t>(std::min(blockBytes, bytes - done)));
        BASS_StreamFree(tempo);
    }
    return SecondsSince(start);
}

void LongMix(const std::string& file, const Sizes& sizes)
{
    cmixdata rows;
    AddRows(rows, file, sizes.mixRows, sizes.mixRowSeconds, 8, 1000, 4);
    const double total = rows.TotalLength();
    cWavProducer producer;
    producer.WavMix.Format = SoundFormat{2, kRate, 16, 0};
    const int64_t blockBytes = 2 * kRate * 4; // the export's 2-second blocks
    const double alone = DecodeAlone(rows, blockBytes);

    std::vector<int16_t> block(static_cast<size_t>(blockBytes / 2));
    producer.SetNeedlePos(rows, 0, false, -1);
    const auto start = Clock::now();
    for (double t = 0; t < total; t += 2.0)
        producer.RenderStep(block.data(), blockBytes);
    const double render = SecondsSince(start);
    std::printf("mix of %d MP3 rows (+8 %% speed, +1 semitone, 4 s overlaps), %.0f s of mix: rendered in "
                "%.2f s = %.0fx real time; decoding and tempo alone %.2f s; render/alone speed = %.0f %%; "
                "row starts prepared %lld, opened there %lld\n",
                sizes.mixRows, total, render, total / render, alone, 100 * alone / render,
                static_cast<long long>(producer.PreparedRowStarts), static_cast<long long>(producer.OpenedRowStarts));
}

} // namespace

int main(int argc, char** argv)
{
    const Sizes sizes = argc > 1 && std::string(argv[1]) == "--brief" ? kBrief : Sizes{};
    ui::MessageRecorder quiet; // no box is ever shown by a benchmark
    const std::string folder = FixtureFolder();
    const std::string wav = folder + "/bench.wav";
    const std::string mp3 = folder + "/bench.mp3";
    WriteAudioFile(wav, AudioFileKind::Wav, MakeSweepNoise({kRate, 2, std::min(40.0, sizes.fileSeconds), 5}), kRate, 2);
    if (!WriteAudioFile(mp3, AudioFileKind::Mp3, MakeSweepNoise({kRate, 2, sizes.fileSeconds, 9}), kRate, 2)) {
        std::printf("lame is missing: no MP3 benchmark\n");
        return 1;
    }
    for (const bool live : {false, true}) {
        BlockCost(wav, live, sizes);
        BlockCost(mp3, live, sizes);
    }
    LongMix(mp3, sizes);
    if (!quiet.Texts().empty())
        std::printf("messages: %s\n", quiet.Texts().front().c_str());
    return 0;
}
