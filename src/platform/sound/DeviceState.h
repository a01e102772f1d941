#pragma once

// What the output and the recording share: how each numbers its devices, which device is open,
// the thread that serves it, and what that thread counted since the device last started.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <portaudio.h>

#include "platform/sound/SoundChannel.h"

namespace sound {

// PortAudio is started once for the life of the process, for output and input alike.
bool PortAudioReady();

// The PortAudio devices with at least that many input and output channels, in the order of the
// device list (none when PortAudio cannot start).
std::vector<PaDeviceIndex> PortAudioDevices(int minInputs, int minOutputs);

enum class DeviceKind { None, PortAudio, Null, Manual };

// How one side numbers its devices: -1 the system's default (the null device when the system has
// none), the system's devices from `first` in the order of the device list, then the null device.
// Numbers from 0 to below `first` name the null device too.
struct DeviceNumbering {
    int minInputs = 0, minOutputs = 0; // which PortAudio devices belong to this side
    int first = 0;
    PaDeviceIndex (*systemDefault)() = nullptr; // PortAudio's default device of this side
    const char* nullText = "";
    const char* manualText = "";
};

// What a device number resolved to.
struct DeviceChoice {
    DeviceKind kind = DeviceKind::None;
    int device = 0;  // the number it resolved to
    PaDeviceIndex paDevice = paNoDevice; // kind PortAudio only
    std::string text;
    bool defaultMissing = false; // the default was asked for and the system has none
};

// Resolves `device`; with `manual` every number opens the manual device of the tests. False with
// BASS_ERROR_DEVICE set for a number that names no device.
bool ChooseDevice(const DeviceNumbering& numbering, int device, bool manual, DeviceChoice& choice);

// The text of device `index`; empty where no device has that number.
std::string DeviceText(const DeviceNumbering& numbering, int index);

// One side's device, kept for the life of the process.
struct DeviceState {
    std::mutex configLock; // held to open, start, stop and close the device
    std::atomic<bool> initialised{false};
    std::atomic<bool> running{false};
    std::atomic<DeviceKind> kind{DeviceKind::None};
    int device = 0;
    std::string deviceText;
    std::atomic<bool> manualEnabled{false};

    std::thread thread; // the device's own thread (none for the manual device)
    std::atomic<std::thread::id> threadId{};
    std::atomic<bool> stopRequest{false};

    // Since the device last started.
    std::atomic<int64_t> blocks{0}, frames{0};
    WorstBlock worstBlock;
    std::atomic<int> realTimeAnswer{kPriorityNotAsked};

    void Take(const DeviceChoice& choice);
    void Report(BassDeviceInfo& info) const; // all but the format
    bool OnThread() const { return threadId.load() == std::this_thread::get_id(); }
    void ResetCounts();
    void CountBlock(uint32_t blockFrames)
    {
        blocks.fetch_add(1, std::memory_order_relaxed);
        frames.fetch_add(blockFrames, std::memory_order_relaxed);
    }
    // On the device's thread, first and last: the thread is known and has asked for its priority.
    void BeginThread();
    void EndThread() { threadId = std::thread::id(); }
    // Asks the thread to end and waits for it. The caller holds configLock.
    void StopThread();
};

} // namespace sound
