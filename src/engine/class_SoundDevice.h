#pragma once

#include <cstdint>

#include "platform/sound/SampleFormat.h"
#include "platform/sound/SoundLibrary.h"

// The format of a sound path, passed by value between the output device, the mixer and every file
// reader.
struct SoundFormat {
    int32_t Channels = 0;
    int32_t Frequency = 0; // Hz
    int32_t Bits = 0;      // bits per sample; the program always uses 16
    int32_t Device = 0;    // output device index; 0 = the system's default device

    operator PcmShape() const { return {Frequency, Channels, Bits}; } // for the byte arithmetic
};

class cSoundDevice;

// Fills one output block: (the device, the block, its byte count). Runs on the output thread and
// must fill the whole block (silence when there is nothing to play) and do its own locking.
using SoundDeviceFillCallback = void (*)(cSoundDevice* device, void* buffer, int32_t bytes);

// The sound card: one endless 16-bit output stream whose blocks are pulled from the fill callback.
class cSoundDevice {
public:
    int32_t Channels = 0;
    int32_t Frequency = 0;
    int32_t Bits = 0;
    int32_t Device = 0;
    SoundDeviceFillCallback FillCallback = nullptr;
    BassHandle Stream = 0;

    cSoundDevice() = default;
    cSoundDevice(const cSoundDevice&) = delete;
    cSoundDevice& operator=(const cSoundDevice&) = delete;
    ~cSoundDevice(); // Close()

    // (Re)opens the output in `format` and starts the stream that pulls from `callback`. A device
    // that cannot be initialised is reported with a message box; the steps after it then fail
    // silently and nothing is heard. May be called again to switch device or rate.
    void Open(SoundFormat format, SoundDeviceFillCallback callback);

    // Stops the output, stops the stream and frees the library. Nothing is called back afterwards.
    // Does nothing when the device is not open.
    void Close();

    bool IsOpen() const { return open_; }

private:
    bool open_ = false;
};

// The stream procedure of the device's stream: hands the block to the fill callback of the device
// passed as the user value and returns the full byte count (the stream never ends).
uint32_t SoundDeviceStreamProc(BassHandle stream, void* buffer, uint32_t length, void* user);

// The program's one output device, from start until DestroySoundDevice.
extern cSoundDevice* SoundDevice;

// Closes the program's device at the end of main, before static destruction, and clears
// SoundDevice. A second call shows "SoundDevice destoroyed already".
void DestroySoundDevice();
