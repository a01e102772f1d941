// Live playback: the output device's fill callback runs the render step on the sound thread.
#include "model/class_Application.h"

#include "engine/class_SoundDevice.h"
#include "platform/trace/Trace.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>

void cSonorelApp::Play(int32_t device, int32_t rate)
{
    cWavProducer& producer = WavProducer;
    const bool wasPlaying = producer.Stopped == 0;
    const float pos = static_cast<float>(producer.MainTime - 0.08);
    trace("snl.stop()");
    {
        // The sound thread reads the format while it mixes.
        std::lock_guard<cMutex> lock(producer.WavMix.Mutex);
        producer.Stopped = 1;
        Playing = 0;
        producer.WaitState = 0;
        producer.WavMix.Format = SoundFormat{2, rate, 16, device};
    }
    // A second of sound is far beyond any block the output asks for.
    producer.WavMix.ReserveBlock(BytesPerSecond(producer.WavMix.Format));
    trace("Sound Init");
    if (cSoundDevice* output = OutputDevice ? OutputDevice : SoundDevice)
        output->Open(producer.WavMix.Format, &cSonorelApp::StreamProc);
    if (wasPlaying) {
        trace("snl.play(pos)");
        producer.SetNeedlePos(mixdata, pos, true, -1);
        Playing = 1;
    }
}

void cSonorelApp::InitOutput(int32_t device, int32_t rate)
{
    Play(device, rate);
    SelectedBin = 0;
}

void cSonorelApp::StreamProc(cSoundDevice*, void* buffer, int32_t n)
{
    CheckSoundThread();
    if (n <= 0)
        return;
    if (!snl.Playing) {
        std::memset(buffer, 0, static_cast<size_t>(n));
        return;
    }
    LiveRenderScope live;
    snl.WavProducer.RenderStep(buffer, n);
    if (snl.WavProducer.Stopped)
        snl.Playing = 0;
}

void cSonorelApp::SetRowVolume(int32_t row, int32_t max, int32_t position)
{
    cMixRow* mixRow = mixdata.Get(row);
    const int32_t half = max / 2;
    if (!Enabled || !mixRow || half == 0)
        return;
    const int64_t volume = int64_t{position} * 100 / half;
    mixRow->MixParams.volume = static_cast<int32_t>(
        std::clamp<int64_t>(volume, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void cSonorelApp::ApplyPlayingRowParams()
{
    const int32_t index = WavProducer.PlayingRowIndex;
    const cMixRow* mixRow = mixdata.Get(index);
    if (!Enabled || !Playing || !mixRow)
        return;
    trace(TraceValueLine("WavProducer.PlayingRowIndex", "class_Application_play.cpp", std::to_string(index)));
    WavProducer.WavMix.UpdateRowParams(index, &mixRow->MixParams);
}
