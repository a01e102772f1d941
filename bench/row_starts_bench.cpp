// Row starts of a long live mix replayed through the manual output at a multiple of real time, the
// blocks asked for on absolute deadlines as a sound card would at that pace: how many rows found
// their source prepared at their start and how many were late (and joined the mix further on).
// Usage: row_starts_bench [pace] [minutes] [rows] (default 40 times real time, a 180-minute mix of
// 37 rows of MP3 sources with tempo and pitch on every row).
#include "bench_mix.h"
#include "engine/class_SoundDevice.h"
#include "platform/ui/MessageBox.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;
constexpr uint32_t kBlockFrames = 441;

} // namespace

int main(int argc, char** argv)
{
    const double pace = argc > 1 ? std::atof(argv[1]) : 40.0;
    const double minutes = argc > 2 ? std::atof(argv[2]) : 180.0;
    const int rows = argc > 3 ? std::atoi(argv[3]) : 37;
    if (!(pace > 0) || !(minutes > 0) || rows < 1) {
        std::fprintf(stderr, "usage: row_starts_bench [pace] [minutes] [rows]\n");
        return 1;
    }
    ui::MessageRecorder quiet;
    const std::string folder = std::filesystem::temp_directory_path().string() + "/sonorel_row_starts_bench";
    std::filesystem::create_directories(folder);
    sonorel_bench::BuildMix(folder, minutes, {rows, true, sonorel_test::AudioFileKind::Mp3, 44100});
    const double mixSeconds = snl.mixdata.TotalLength();

    BASS_ManualOutputEnable(true);
    snl.Play(0, kRate);
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    std::vector<int16_t> block(kBlockFrames * 2);
    const auto blockTime = std::chrono::duration<double>(kBlockFrames / double(kRate) / pace);
    const auto start = Clock::now();
    int64_t blocks = 0, behind = 0;
    while (snl.Playing) {
        const auto deadline = start + std::chrono::duration_cast<Clock::duration>(blockTime * blocks);
        if (Clock::now() > deadline + blockTime)
            ++behind;
        std::this_thread::sleep_until(deadline);
        BASS_ManualOutputPump(block.data(), kBlockFrames);
        ++blocks;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const cWavProducer& producer = snl.WavProducer;
    std::printf("%d rows, %.0f s of mix replayed at %.0fx real time in %.1f s (%lld blocks of 10 ms, %lld asked for "
                "more than a block late)\n",
                rows, mixSeconds, pace, wall, static_cast<long long>(blocks), static_cast<long long>(behind));
    std::printf("row starts: %lld prepared, %lld late (%lld of them joined), %lld opened on the sound thread\n",
                static_cast<long long>(producer.PreparedRowStarts), static_cast<long long>(producer.LateRowStarts),
                static_cast<long long>(producer.LateRowsJoined), static_cast<long long>(producer.OpenedRowStarts));
    snl.WavProducer.Stop();
    DestroySoundDevice();
    return 0;
}
