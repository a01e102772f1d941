#include "platform/sound/DeviceState.h"

#include <algorithm>
#include <cstdlib>

#include <alsa/asoundlib.h>
#include <jack/jack.h>

namespace sound {
namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}

constexpr int defaultDevice = -1;

} // namespace

// Device lists are asked for before any output or input is opened. ALSA and JACK would print
// their probing noise to stderr; silence them first.
bool PortAudioReady()
{
    static const bool ready = [] {
        snd_lib_error_set_handler(IgnoreAlsaError);
        jack_set_error_function(IgnoreJackMessage);
        jack_set_info_function(IgnoreJackMessage);
        setenv("JACK_NO_START_SERVER", "1", 0);
        return Pa_Initialize() == paNoError;
    }();
    return ready;
}

std::vector<PaDeviceIndex> PortAudioDevices(int minInputs, int minOutputs)
{
    std::vector<PaDeviceIndex> devices;
    if (!PortAudioReady())
        return devices;
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxInputChannels >= minInputs && info->maxOutputChannels >= minOutputs)
            devices.push_back(i);
    }
    return devices;
}

bool ChooseDevice(const DeviceNumbering& numbering, int device, bool manual, DeviceChoice& choice)
{
    choice = DeviceChoice{};
    choice.device = device;
    if (manual) {
        choice.kind = DeviceKind::Manual;
        choice.text = numbering.manualText;
        return true;
    }
    const std::vector<PaDeviceIndex> devices = PortAudioDevices(numbering.minInputs, numbering.minOutputs);
    const int nullIndex = numbering.first + static_cast<int>(devices.size());
    if (device == defaultDevice) {
        const PaDeviceIndex fallback = PortAudioReady() ? numbering.systemDefault() : paNoDevice;
        const auto listed = std::find(devices.begin(), devices.end(), fallback);
        if (listed != devices.end()) {
            choice.paDevice = *listed;
            choice.device = numbering.first + static_cast<int>(listed - devices.begin());
        } else {
            choice.defaultMissing = true;
        }
    } else if (device >= numbering.first && device < nullIndex) {
        choice.paDevice = devices[device - numbering.first];
    } else if (device < 0 || device > nullIndex) {
        return Fail(BASS_ERROR_DEVICE);
    }
    if (choice.paDevice == paNoDevice) {
        choice.kind = DeviceKind::Null;
        choice.device = nullIndex;
        choice.text = numbering.nullText;
    } else {
        choice.kind = DeviceKind::PortAudio;
        choice.text = Pa_GetDeviceInfo(choice.paDevice)->name;
    }
    return true;
}

std::string DeviceText(const DeviceNumbering& numbering, int index)
{
    const std::vector<PaDeviceIndex> devices = PortAudioDevices(numbering.minInputs, numbering.minOutputs);
    const int nullIndex = numbering.first + static_cast<int>(devices.size());
    if (index >= numbering.first && index < nullIndex)
        return Pa_GetDeviceInfo(devices[index - numbering.first])->name;
    if (index == nullIndex)
        return numbering.nullText;
    return {};
}

void DeviceState::Take(const DeviceChoice& choice)
{
    kind = choice.kind;
    device = choice.device;
    deviceText = choice.text;
}

void DeviceState::Report(BassDeviceInfo& info) const
{
    info.initialised = initialised;
    info.running = running;
    info.device = device;
    info.deviceText = deviceText;
    info.worstBlock = worstBlock.Read();
    info.realTimePriority = RealTimeAnswerText(realTimeAnswer);
}

void DeviceState::ResetCounts()
{
    blocks = 0;
    frames = 0;
    worstBlock.Reset();
    realTimeAnswer = kPriorityNotAsked; // until the device's thread has asked
}

void DeviceState::BeginThread()
{
    threadId = std::this_thread::get_id();
    realTimeAnswer = RaiseAudioThreadPriority();
}

void DeviceState::StopThread()
{
    stopRequest = true;
    if (thread.joinable())
        thread.join();
}

} // namespace sound
