// A live run on the null device while a "user-interface" thread polls the play state every 30 ms,
// as the main window does, a preview plays the same file beside the mix and a waveform image is
// loaded every 10 s: reports how late the output thread ever woke for a block, the allocations the
// sound thread made after its first block (counted in the build with sound checks), its longest
// wait for the mixer's lock, files closed where it could wait for them, and the machine's load.
// Usage: livemix_live_bench [minutes] (default 1; the full check is 60).
#include "AudioControls/class_WavDataStore.h"
#include "engine/class_SoundDevice.h"
#include "model/class_Application.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "live_figures.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

using namespace sonorel_test;
using sonorel_bench::LoadAverage;

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
    const int64_t closesBefore = SourceClosesBlockingSound();
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0, true, -1);
    snl.Playing = 1;
    const BassHandle preview = BASS_StreamCreateFile(file, 0); // the preview player's channel
    BASS_ChannelPlay(preview, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int64_t allocationsAfterFirstBlocks = SoundThreadAllocations();
    std::unique_ptr<TWavDataStore> waveform;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(minutes * 60);
    auto nextWaveform = start;
    float shown = 0;
    int64_t worstSeen = 0;
    float worstAt = 0; // mix time at the poll that first saw the worst wake-up
    std::string worstLoad = LoadAverage();
    while (snl.Playing && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (std::chrono::steady_clock::now() >= nextWaveform) {
            waveform = std::make_unique<TWavDataStore>();
            waveform->OptCacheImage = false;
            waveform->SetFileName(file);
            nextWaveform += std::chrono::seconds(10);
        }
        shown = snl.WavProducer.MainTime; // what the 30 ms poll reads
        (void)snl.WavProducer.PlayingRowIndex.load();
        (void)snl.WavProducer.WaitState.load();
        sonorel_bench::PeakLoad();
        const int64_t worst = BASS_GetOutputInfo().worstBlock.lateUs;
        if (worst > worstSeen) {
            worstSeen = worst;
            worstAt = shown;
            worstLoad = LoadAverage();
        }
    }
    waveform.reset();
    BASS_StreamFree(preview);
    const BassOutputInfo info = BASS_GetOutputInfo();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("live run on the %s output: %.1f s wall, clock %.2f s, %lld blocks of %d frames\n",
                info.nullOutput ? "null" : "real", wall, shown, static_cast<long long>(info.blocksWritten),
                info.blockFrames);
    sonorel_bench::PrintLiveFigures(info);
    std::printf("the worst wake-up came before mix time %.2f s, load average then %s\n", worstAt, worstLoad.c_str());
    std::printf("sound thread: %lld allocations after its first blocks (%s), longest wait for the mixer's lock "
                "%.1f us, %lld files closed where it could wait\n",
                static_cast<long long>(SoundThreadAllocations() - allocationsAfterFirstBlocks),
                SoundChecksBuilt() ? "counted" : "not counted in this build", snl.WavProducer.LongestLockWaitNs / 1000.0,
                static_cast<long long>(SourceClosesBlockingSound() - closesBefore));
    std::printf("row starts: prepared %lld, late %lld (joined %lld), opened on the sound thread %lld\n",
                static_cast<long long>(snl.WavProducer.PreparedRowStarts.load()),
                static_cast<long long>(snl.WavProducer.LateRowStarts.load()),
                static_cast<long long>(snl.WavProducer.LateRowsJoined.load()),
                static_cast<long long>(snl.WavProducer.OpenedRowStarts.load()));
    snl.WavProducer.Stop();
    DestroySoundDevice();
    return 0;
}
