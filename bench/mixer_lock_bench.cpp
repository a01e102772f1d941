// Needle moves and stops while four rows sound, on the null output: the longest time the sound
// thread waited for the mixer's lock and the longest a move or a stop held it (the bound of any
// wait; target under 100 us), how long each call took on its own thread, and files closed where
// the sound thread could wait for them (must be 0).
// Usage: mixer_lock_bench [moves] (default 400).
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

using namespace sonorel_test;

int main(int argc, char** argv)
{
    using Clock = std::chrono::steady_clock;
    const int moves = argc > 1 ? std::atoi(argv[1]) : 400;
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
    const int64_t closesBefore = SourceClosesBlockingSound();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(16, 50);
    double longestMove = 0, longestStop = 0;
    std::vector<double> holds; // microseconds each move or stop held the lock
    const auto noteHold = [&] {
        holds.push_back(snl.WavProducer.LongestLockHoldNs.exchange(0) / 1000.0);
    };
    for (int i = 0; i < moves; ++i) {
        const auto moveStart = Clock::now();
        snl.WavProducer.SetNeedlePos(snl.mixdata, position(random), true, -1);
        noteHold();
        longestMove = std::max(longestMove, std::chrono::duration<double, std::micro>(Clock::now() - moveStart).count());
        snl.Playing = 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        if (i % 2) {
            const auto stopStart = Clock::now();
            snl.WavProducer.Stop();
            noteHold();
            longestStop = std::max(longestStop, std::chrono::duration<double, std::micro>(Clock::now() - stopStart).count());
        }
    }
    std::sort(holds.begin(), holds.end());
    const auto at = [&](double share) { return holds[static_cast<size_t>(share * (holds.size() - 1))]; };
    std::printf("%d needle moves, %d stops with four rows sounding: the sound thread waited at most %.1f us for the "
                "mixer's lock; a move or a stop held it %.1f us (median), %.1f us (99 %%), %.1f us (longest); a needle "
                "move took at most %.0f us, a stop %.0f us on their thread; %lld files closed where the sound thread "
                "could wait\n",
                moves, moves / 2, snl.WavProducer.LongestLockWaitNs / 1000.0, at(0.5), at(0.99), holds.back(),
                longestMove, longestStop,
                static_cast<long long>(SourceClosesBlockingSound() - closesBefore));
    snl.WavProducer.Stop();
    DestroySoundDevice();
    return 0;
}
