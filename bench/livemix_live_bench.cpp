// A live run on the null device while a "user-interface" thread polls the play state every 30 ms,
// as the main window does: reports how late the output thread ever woke for a block.
// Usage: livemix_live_bench [minutes] (default 1; the full check is 60).
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace sonorel_test;

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? std::atof(argv[1]) : 1.0;
    ui::MessageRecorder quiet;
    const std::string file = FixtureFolder() + "/live.mp3";
    if (!WriteAudioFile(file, AudioFileKind::Mp3, MakeSweepNoise({44100, 2, 60.0, 3}), 44100, 2)) {
        std::printf("lame is missing\n");
        return 1;
    }
    const int rows = static_cast<int>(minutes * 60 / 50) + 1;
    for (int i = 0; i < rows; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->filename = file;
        row->length = 58;
        row->MixParams.speed = 8;
        row->MixParams.pitch = 1000;
        row->overlap = true;
        row->overlaplen = 4;
    }
    snl.InitOutput(0, 44100);
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(minutes * 60);
    float shown = 0;
    int64_t worstSeen = 0;
    float worstAt = 0; // mix time at the poll that first saw the worst wake-up
    while (snl.Playing && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        shown = snl.WavProducer.MainTime; // what the 30 ms poll reads
        (void)snl.WavProducer.PlayingRowIndex.load();
        (void)snl.WavProducer.WaitState.load();
        const int64_t worst = BASS_GetOutputInfo().worstWakeupLateUs;
        if (worst > worstSeen) {
            worstSeen = worst;
            worstAt = shown;
        }
    }
    const BassOutputInfo info = BASS_GetOutputInfo();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("live run on the %s output: %.1f s wall, clock %.2f s, %lld blocks of %d frames, worst wake-up "
                "%lld us after its deadline (a block lasts %d us)\n",
                info.nullOutput ? "null" : "real", wall, shown, static_cast<long long>(info.blocksWritten),
                info.blockFrames, static_cast<long long>(info.worstWakeupLateUs),
                info.frequency ? info.blockFrames * 1000000 / info.frequency : 0);
    std::printf("the worst wake-up came before mix time %.2f s\n", worstAt);
    std::printf("row starts: prepared %lld, opened on the sound thread %lld\n",
                static_cast<long long>(snl.WavProducer.PreparedRowStarts.load()),
                static_cast<long long>(snl.WavProducer.OpenedRowStarts.load()));
    snl.WavProducer.Stop();
    DestroySoundDevice();
    return 0;
}
