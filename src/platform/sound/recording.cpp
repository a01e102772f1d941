// The recording side of the sound library: input devices, the recording thread that reads blocks
// of the record period, and the three places blocks come from (PortAudio, the paced null input,
// the manual input of the tests).

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <portaudio.h>

#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundRecord.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

const char* const nullInputText = "No sound (null input)";
constexpr int maxRecordPeriodMs = 1000;

enum class InputKind { None, PortAudio, Null, Manual };

struct Recording {
    std::mutex configLock; // Init / Start / Free
    bool initialised = false;
    InputKind kind = InputKind::None;
    int device = 0;
    std::string deviceText;
    PaDeviceIndex paDevice = paNoDevice;
    PaStream* stream = nullptr;

    std::thread thread;
    std::atomic<std::thread::id> recordThread{};
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequest{false};
    BassRecordProc proc = nullptr;
    void* user = nullptr;
    BassHandle handle = 0;
    BassHandle lastHandle = 0;
    uint32_t frequency = 0, channels = 0, blockFrames = 0;
    std::vector<int16_t> block; // sized at start: the thread never allocates

    std::atomic<int> periodMs{100};
    std::atomic<int64_t> blocks{0}, frames{0}, overflows{0};
    WorstBlock worstBlock;
    std::atomic<int> realTimeAnswer{kPriorityNotAsked};
    std::atomic<bool> manualEnabled{false}, manualRefuse{false};
    std::atomic<BassInputGenerator> generator{nullptr};
    std::atomic<void*> generatorUser{nullptr};
};

// Never destroyed: a recording thread still running at exit must not meet a destroyed object.
Recording& TheRecording()
{
    static Recording& recording = *new Recording;
    return recording;
}

// The system's inputs in the order of the device list (index 0 = the first).
std::vector<PaDeviceIndex> InputDevices() { return PortAudioDevices(1, 0); }

bool OnRecordThread(const Recording& rec) { return rec.recordThread.load() == std::this_thread::get_id(); }

void CountBlock(Recording& rec, uint32_t frames)
{
    rec.blocks.fetch_add(1, std::memory_order_relaxed);
    rec.frames.fetch_add(frames, std::memory_order_relaxed);
}

// Hands one block to the record procedure; false when the procedure ends capture.
bool Deliver(Recording& rec, const int16_t* data, uint32_t frames)
{
    CountBlock(rec, frames);
    return rec.proc(rec.handle, data, frames * rec.channels * 2, rec.user);
}

void EndOfCapture(Recording& rec) { rec.proc(rec.handle, nullptr, 0, rec.user); }

void PortAudioThread(Recording& rec)
{
    while (!rec.stopRequest.load(std::memory_order_relaxed)) {
        const PaError error = Pa_ReadStream(rec.stream, rec.block.data(), rec.blockFrames);
        if (error == paInputOverflowed) {
            // The data read is good, but the device dropped frames before it: never silently.
            const int64_t count = rec.overflows.fetch_add(1) + 1;
            trace("Sound input overflow before block " + std::to_string(rec.blocks.load()) + " (overflows: " +
                  std::to_string(count) + ")");
        } else if (error != paNoError) {
            trace(std::string("Sound input failed: ") + Pa_GetErrorText(error));
            EndOfCapture(rec);
            return;
        }
        if (!Deliver(rec, rec.block.data(), rec.blockFrames))
            return;
    }
}

// Keeps real time as the null output does.
void NullInputThread(Recording& rec)
{
    RealTimePacer pacer(rec.frequency, rec.worstBlock);
    pacer.Start();
    const BassInputGenerator generator = rec.generator.load();
    void* const generatorUser = rec.generatorUser.load();
    const uint32_t bytes = rec.blockFrames * rec.channels * 2;
    while (!rec.stopRequest.load(std::memory_order_relaxed)) {
        pacer.Wait(rec.blockFrames);
        if (generator)
            generator(rec.block.data(), bytes, generatorUser);
        if (!Deliver(rec, rec.block.data(), rec.blockFrames))
            return;
    }
}

void RecordThreadMain(Recording& rec)
{
    rec.recordThread = std::this_thread::get_id();
    rec.realTimeAnswer = RaiseAudioThreadPriority();
    if (rec.kind == InputKind::PortAudio)
        PortAudioThread(rec);
    else
        NullInputThread(rec);
    rec.running = false;
    rec.recordThread = std::thread::id();
}

// The caller holds configLock.
void StopLocked(Recording& rec)
{
    rec.stopRequest = true;
    if (rec.thread.joinable())
        rec.thread.join();
    if (rec.stream) {
        Pa_AbortStream(rec.stream);
        Pa_CloseStream(rec.stream);
        rec.stream = nullptr;
    }
    rec.running = false;
    rec.handle = 0;
}

// Resolves a device number of BASS_RecordInit; false with the error set.
bool ResolveDevice(Recording& rec, int device)
{
    rec.device = device;
    rec.paDevice = paNoDevice;
    if (rec.manualEnabled) {
        rec.kind = InputKind::Manual;
        rec.deviceText = "Manual input";
        return true;
    }
    const std::vector<PaDeviceIndex> devices = InputDevices();
    const int nullIndex = static_cast<int>(devices.size());
    if (device == -1) {
        const PaDeviceIndex fallback = PortAudioReady() ? Pa_GetDefaultInputDevice() : paNoDevice;
        const auto listed = std::find(devices.begin(), devices.end(), fallback);
        if (listed != devices.end()) {
            rec.paDevice = *listed;
            rec.device = static_cast<int>(listed - devices.begin());
        } else {
            static std::once_flag said;
            std::call_once(said, [] { trace("Sound input: no recording device, recording from the null input (silence)"); });
        }
    } else if (device >= 0 && device < nullIndex) {
        rec.paDevice = devices[device];
    } else if (device != nullIndex) {
        return Fail(BASS_ERROR_DEVICE);
    }
    if (rec.paDevice == paNoDevice) {
        rec.kind = InputKind::Null;
        rec.device = nullIndex;
        rec.deviceText = nullInputText;
    } else {
        rec.kind = InputKind::PortAudio;
        rec.deviceText = Pa_GetDeviceInfo(rec.paDevice)->name;
    }
    return true;
}

// Opens the PortAudio input at the recording's format; false (traced) when the device refuses.
bool OpenPortAudio(Recording& rec)
{
    PaStreamParameters params{};
    params.device = rec.paDevice;
    params.channelCount = static_cast<int>(rec.channels);
    params.sampleFormat = paInt16;
    params.suggestedLatency = Pa_GetDeviceInfo(rec.paDevice)->defaultHighInputLatency;
    PaError error = Pa_OpenStream(&rec.stream, &params, nullptr, rec.frequency, rec.blockFrames, paNoFlag, nullptr,
                                  nullptr);
    if (error == paNoError && (error = Pa_StartStream(rec.stream)) != paNoError) {
        Pa_CloseStream(rec.stream);
        rec.stream = nullptr;
    }
    if (error != paNoError) {
        rec.stream = nullptr;
        trace("Sound input: can't record from \"" + rec.deviceText + "\" at " + std::to_string(rec.frequency) +
              " Hz, " + std::to_string(rec.channels) + " channels: " + Pa_GetErrorText(error));
        return false;
    }
    return true;
}

} // namespace

bool SetRecordPeriod(int ms)
{
    TheRecording().periodMs = std::clamp(ms, 1, maxRecordPeriodMs);
    return true;
}

int RecordPeriod() { return TheRecording().periodMs; }

} // namespace sound

using namespace sound;

bool BASS_RecordInit(int device)
{
    Recording& rec = TheRecording();
    if (OnRecordThread(rec))
        return Fail(BASS_ERROR_THREAD);
    std::lock_guard<std::mutex> lock(rec.configLock);
    StopLocked(rec);
    rec.initialised = false;
    if (!ResolveDevice(rec, device))
        return false;
    rec.initialised = true;
    SetError(BASS_OK);
    return true;
}

std::string BASS_RecordGetDeviceText(int index)
{
    const std::vector<PaDeviceIndex> devices = InputDevices();
    if (index >= 0 && index < static_cast<int>(devices.size()))
        return Pa_GetDeviceInfo(devices[index])->name;
    if (index == static_cast<int>(devices.size()))
        return nullInputText;
    return {};
}

BassHandle BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags, BassRecordProc proc, void* user)
{
    Recording& rec = TheRecording();
    if (OnRecordThread(rec))
        return Fail(BASS_ERROR_THREAD, BassHandle(0));
    std::lock_guard<std::mutex> lock(rec.configLock);
    if (!rec.initialised)
        return Fail(BASS_ERROR_INIT, BassHandle(0));
    if (!proc || flags != 0 || frequency < 1000 || frequency > 384000 || channels < 1 || channels > 32)
        return Fail(BASS_ERROR_ILLPARAM, BassHandle(0));
    StopLocked(rec);
    rec.frequency = frequency;
    rec.channels = channels;
    rec.blockFrames = std::max<uint32_t>(1, static_cast<uint32_t>((uint64_t(frequency) * rec.periodMs + 500) / 1000));
    rec.block.assign(size_t(rec.blockFrames) * channels, 0);
    rec.proc = proc;
    rec.user = user;
    rec.blocks = 0;
    rec.frames = 0;
    rec.overflows = 0;
    rec.worstBlock.Reset();
    rec.realTimeAnswer = kPriorityNotAsked;
    if (rec.kind == InputKind::Manual && rec.manualRefuse) {
        trace("Sound input: can't record from \"Manual input\": the device refused");
        return Fail(BASS_ERROR_BUSY, BassHandle(0));
    }
    if (rec.kind == InputKind::PortAudio && !OpenPortAudio(rec))
        return Fail(BASS_ERROR_BUSY, BassHandle(0));
    if (++rec.lastHandle == 0) // 0 is never a handle
        ++rec.lastHandle;
    rec.handle = rec.lastHandle;
    rec.stopRequest = false;
    rec.running = true;
    if (rec.kind != InputKind::Manual)
        rec.thread = std::thread(RecordThreadMain, std::ref(rec));
    SetError(BASS_OK);
    return rec.handle;
}

bool BASS_RecordFree()
{
    Recording& rec = TheRecording();
    if (OnRecordThread(rec))
        return Fail(BASS_ERROR_THREAD);
    std::lock_guard<std::mutex> lock(rec.configLock);
    StopLocked(rec);
    rec.initialised = false;
    rec.kind = InputKind::None;
    SetError(BASS_OK);
    return true;
}

BassRecordInfo BASS_RecordGetInfo()
{
    Recording& rec = TheRecording();
    std::lock_guard<std::mutex> lock(rec.configLock);
    BassRecordInfo info;
    info.initialised = rec.initialised;
    info.running = rec.running;
    info.nullInput = rec.kind == InputKind::Null;
    info.manualInput = rec.kind == InputKind::Manual;
    info.device = rec.device;
    info.deviceText = rec.deviceText;
    info.frequency = static_cast<int>(rec.frequency);
    info.channels = static_cast<int>(rec.channels);
    info.blockFrames = static_cast<int>(rec.blockFrames);
    info.blocksDelivered = rec.blocks;
    info.framesDelivered = rec.frames;
    info.overflows = rec.overflows;
    info.worstBlock = rec.worstBlock.Read();
    info.realTimePriority = RealTimeAnswerText(rec.realTimeAnswer);
    return info;
}

void BASS_NullInputSetGenerator(BassInputGenerator generator, void* user)
{
    Recording& rec = TheRecording();
    rec.generatorUser = user;
    rec.generator = generator;
}

void BASS_ManualInputEnable(bool enabled) { TheRecording().manualEnabled = enabled; }

void BASS_ManualInputRefuse(bool refuse) { TheRecording().manualRefuse = refuse; }

uint32_t BASS_ManualInputPush(const void* buffer, uint32_t length)
{
    Recording& rec = TheRecording();
    if (!buffer || !rec.running || rec.kind != InputKind::Manual)
        return 0;
    const uint32_t frameBytes = rec.channels * 2;
    const auto* data = static_cast<const int16_t*>(buffer);
    uint32_t done = 0;
    for (uint32_t left = length / frameBytes; left > 0 && rec.running;) {
        const uint32_t frames = std::min(left, rec.blockFrames);
        if (!Deliver(rec, data + done / 2, frames))
            rec.running = false;
        done += frames * frameBytes;
        left -= frames;
    }
    return done;
}

void BASS_ManualInputUnplug()
{
    Recording& rec = TheRecording();
    if (rec.kind != InputKind::Manual || !rec.running.exchange(false))
        return;
    trace("Sound input failed: the manual input was unplugged");
    EndOfCapture(rec);
}
