// Needle moves and stops while four rows sound, on the null output: the longest time the sound
// thread waited for the mixer's lock against the longest any other thread held it (moves, stops,
// the preparation worker: every hold is timed by the lock itself), which bounds the wait; how long
// a needle move and a stop took on their own thread and where a move's time goes; files closed
// where the sound thread could wait for them (must be 0); the live figures of the output thread.
// Usage: mixer_lock_bench [moves] (default 400).
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "live_figures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

using namespace sonorel_test;
using Clock = std::chrono::steady_clock;

namespace {

double MicrosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The share-th of the sorted values (0.5 the median, 1 the largest).
double At(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * (values.size() - 1))];
}

// What a needle move opens before it takes the lock: one source of the row, positioned, alone.
double OpenOneSourceUs(int32_t row, double seconds)
{
    const cMixRow& r = *snl.mixdata.Get(row);
    const auto start = Clock::now();
    auto source = OpenSourceAhead(SourceKeyOf(row, r, snl.WavProducer.WavMix.Format, static_cast<int64_t>(seconds * 1e6)));
    const double took = MicrosecondsSince(start);
    source.reset();
    return took;
}

} // namespace

int main(int argc, char** argv)
{
    const int moves = argc > 1 ? std::max(2, std::atoi(argv[1])) : 400;
    ui::MessageRecorder quiet;
    const std::string file = FixtureFolder() + "/lock.mp3";
    if (!WriteAudioFile(file, AudioFileKind::Mp3, MakeSweepNoise({44100, 2, 60.0, 5}), 44100, 2)) {
        std::printf("lame is missing\n");
        return 1;
    }
    // Rows of 20 s overlapping by 15 s: four sound at any time after the first ones.
    for (int i = 0; i < 12; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->filename = file;
        row->length = 20;
        row->MixParams.speed = i % 2 ? 8 : 0;
        row->MixParams.pitch = i % 3 ? 0 : 1000;
        row->overlap = true;
        row->overlaplen = 15;
    }
    snl.InitOutput(0, 44100);
    cMutex& mixerLock = snl.WavProducer.WavMix.Mutex;
    const int64_t closesBefore = SourceClosesBlockingSound();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(16, 50);
    std::vector<double> moveUs, stopUs, opened;
    std::vector<double> holds; // microseconds each move or stop held the lock
    double otherHold = 0;      // the longest hold between them (the preparation worker)
    const auto timed = [&](std::vector<double>& took, auto&& call) {
        otherHold = std::max(otherHold, mixerLock.TakeLongestHoldNs() / 1000.0);
        const auto start = Clock::now();
        call();
        took.push_back(MicrosecondsSince(start));
        holds.push_back(mixerLock.TakeLongestHoldNs() / 1000.0);
    };
    for (int i = 0; i < moves; ++i) {
        timed(moveUs, [&] { snl.WavProducer.SetNeedlePos(snl.mixdata, position(random), true, -1); });
        opened.push_back(static_cast<double>(snl.WavProducer.PreparedCount())); // none taken before Playing
        snl.Playing = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        sonorel_bench::PeakLoad();
        if (i % 2)
            timed(stopUs, [&] { snl.WavProducer.Stop(); });
    }
    otherHold = std::max(otherHold, mixerLock.TakeLongestHoldNs() / 1000.0);
    const BassOutputInfo info = BASS_GetOutputInfo();
    snl.WavProducer.Stop();
    std::vector<double> openUs;
    for (int i = 0; i < 5; ++i)
        openUs.push_back(OpenOneSourceUs(i % 2, 10 + i));

    const double wait = snl.WavProducer.LongestLockWaitNs / 1000.0;
    const double longestHold = std::max(At(holds, 1), otherHold);
    std::printf("%d needle moves, %d stops with four rows sounding\n", moves, moves / 2);
    std::printf("the sound thread waited at most %.1f us for the mixer's lock; the longest hold by another thread "
                "%.1f us (moves and stops: median %.1f us, 99 %% %.1f us, longest %.1f us; between them, the "
                "preparation worker: %.1f us): the wait is %s the longest hold plus 20 us\n",
                wait, longestHold, At(holds, 0.5), At(holds, 0.99), At(holds, 1), otherHold,
                wait <= longestHold + 20 ? "within" : "BEYOND");
    std::printf("a needle move took median %.1f ms, at most %.1f ms on its thread: before it takes the lock it opens "
                "the rows under way at the needle and those starting within the next second (%.1f files on "
                "average, at most %.0f), one such source (an MP3 scanned for its exact length, tempo stage, seek) "
                "taking %.1f ms alone; a stop took median %.0f us, at most %.0f us\n",
                At(moveUs, 0.5) / 1000, At(moveUs, 1) / 1000,
                opened.empty() ? 0 : std::accumulate(opened.begin(), opened.end(), 0.0) / opened.size(), At(opened, 1),
                At(openUs, 0.5) / 1000, At(stopUs, 0.5), At(stopUs, 1));
    std::printf("%lld files closed where the sound thread could wait\n",
                static_cast<long long>(SourceClosesBlockingSound() - closesBefore));
    sonorel_bench::PrintLiveFigures(info);
    DestroySoundDevice();
    return 0;
}
