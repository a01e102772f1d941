#include "engine/class_SoundDevice.h"

#include "platform/trace/UserMessage.h"

namespace {
cSoundDevice programDevice;
}

cSoundDevice* SoundDevice = &programDevice;

uint32_t SoundDeviceStreamProc(BassHandle, void* buffer, uint32_t length, void* user)
{
    auto* device = static_cast<cSoundDevice*>(user);
    if (device && device->FillCallback)
        device->FillCallback(device, buffer, static_cast<int32_t>(length));
    return length;
}

cSoundDevice::~cSoundDevice() { Close(); }

void cSoundDevice::Open(SoundFormat format, SoundDeviceFillCallback callback)
{
    Channels = format.Channels;
    Frequency = format.Frequency;
    Bits = format.Bits;
    Device = format.Device;
    const int deviceNumber = Device == 0 ? BASS_DEVICE_DEFAULT : Device;
    BASS_Free(); // also frees the previous stream: Open may switch device or rate
    open_ = true;
    if (!BASS_Init(deviceNumber, static_cast<uint32_t>(Frequency), 0, nullptr, nullptr))
        ShowUserMessage("Can't initialize sound device, is it in use by other application?");
    BASS_SetOption(BASS_OPTION_UPDATEPERIOD, 6);
    BASS_SetOption(BASS_OPTION_BUFFER, 80);
    FillCallback = callback;
    // Flags 0: a playable stream of 16-bit samples (Bits is not the library's business).
    Stream = BASS_StreamCreate(static_cast<uint32_t>(Frequency), static_cast<uint32_t>(Channels), 0,
                               SoundDeviceStreamProc, this);
    BASS_ChannelPlay(Stream, false);
}

void cSoundDevice::Close()
{
    if (!open_)
        return;
    BASS_Stop();
    BASS_ChannelStop(Stream);
    BASS_Free();
    Stream = 0;
    open_ = false;
}

void DestroySoundDevice()
{
    if (!SoundDevice) {
        ShowUserMessage("SoundDevice destoroyed already");
        return;
    }
    SoundDevice->Close();
    SoundDevice = nullptr;
}
