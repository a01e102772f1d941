// The output side of the sound library: devices, the output thread that pulls blocks from the
// playing channels, and the three places blocks go (PortAudio, the paced null output, the manual
// output of the tests).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>
#include <pthread.h>
#include <sched.h>

#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundOutputFeed.h"
#include "platform/sound/SoundRecord.h"
#include "platform/sound/SoundThread.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int maxUpdatePeriodMs = 100;
const char* const nullOutputText = "No sound (null output)";

// ---- PortAudio set-up ---------------------------------------------------------------------

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}

} // namespace

// PortAudio is started once for the life of the process: device lists are asked for before any
// output or input is opened. ALSA and JACK would print their probing noise to stderr; silence them first.
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

std::vector<int> PortAudioDevices(int minInputs, int minOutputs)
{
    std::vector<int> devices;
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

void WorstBlock::Offer(const BassBlockTiming& block)
{
    if (block.lateUs <= late_.load(std::memory_order_relaxed))
        return;
    version_.fetch_add(1, std::memory_order_acq_rel);
    late_.store(block.lateUs, std::memory_order_relaxed);
    wakeDelay_.store(block.wakeDelayUs, std::memory_order_relaxed);
    work_.store(block.workUs, std::memory_order_relaxed);
    workCpu_.store(block.workCpuUs, std::memory_order_relaxed);
    version_.fetch_add(1, std::memory_order_release);
}

BassBlockTiming WorstBlock::Read() const
{
    for (;;) {
        const uint32_t before = version_.load(std::memory_order_acquire);
        BassBlockTiming block;
        block.lateUs = late_.load(std::memory_order_relaxed);
        block.wakeDelayUs = wakeDelay_.load(std::memory_order_relaxed);
        block.workUs = work_.load(std::memory_order_relaxed);
        block.workCpuUs = workCpu_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && version_.load(std::memory_order_relaxed) == before)
            return block;
    }
}

void WorstBlock::Reset()
{
    version_.fetch_add(1, std::memory_order_acq_rel);
    late_ = wakeDelay_ = work_ = workCpu_ = 0;
    version_.fetch_add(1, std::memory_order_release);
}

namespace {

int64_t Microseconds(Clock::duration d) { return std::chrono::duration_cast<std::chrono::microseconds>(d).count(); }

int64_t ThreadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

} // namespace

void RealTimePacer::Start()
{
    start_ = Clock::now();
    frames_ = 0;
    lastWakeCpuUs_ = -1;
}

void RealTimePacer::Wait(uint32_t frames)
{
    frames_ += frames;
    const int64_t ns = frames_ / rate_ * 1000000000 + frames_ % rate_ * 1000000000 / rate_;
    const auto due = start_ + std::chrono::nanoseconds(ns);
    const auto workEnd = Clock::now();
    const int64_t workEndCpuUs = ThreadCpuUs();
    std::this_thread::sleep_until(due);
    const auto woke = Clock::now();
    BassBlockTiming block;
    block.lateUs = Microseconds(woke - due);
    block.wakeDelayUs = Microseconds(woke - std::max(due, workEnd));
    if (lastWakeCpuUs_ >= 0) { // Start ran on another thread: the first block's work is not known
        block.workUs = Microseconds(workEnd - lastWake_);
        block.workCpuUs = workEndCpuUs - lastWakeCpuUs_;
    }
    worst_.Offer(block);
    lastWake_ = woke;
    lastWakeCpuUs_ = ThreadCpuUs();
}

namespace {

// The system's output devices in the order of the device list (index 1 = the first).
std::vector<PaDeviceIndex> OutputDevices() { return PortAudioDevices(0, 2); }

// ---- Backends -----------------------------------------------------------------------------

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool Start() = 0;
    virtual void Write(const int16_t* frames, uint32_t count) = 0; // blocks until there is room
    virtual void Stop() = 0;
};

// Plays nothing but keeps real time.
class NullBackend : public Backend {
public:
    NullBackend(uint32_t rate, WorstBlock& worst) : pacer_(rate, worst) {}
    bool Start() override
    {
        pacer_.Start();
        return true;
    }
    void Write(const int16_t*, uint32_t count) override { pacer_.Wait(count); }
    void Stop() override {}

private:
    RealTimePacer pacer_;
};

// A real device through PortAudio's blocking interface: the output thread writes 16-bit stereo
// blocks, PortAudio's own real-time callback only copies them out.
class PortAudioBackend : public Backend {
public:
    ~PortAudioBackend() override { Close(); }
    bool Open(PaDeviceIndex device, uint32_t rate, int latencyMs)
    {
        Close();
        PaStreamParameters params{};
        params.device = device;
        params.channelCount = 2;
        params.sampleFormat = paInt16;
        params.suggestedLatency = latencyMs / 1000.0;
        device_ = device;
        rate_ = rate;
        latencyMs_ = latencyMs;
        return Pa_OpenStream(&stream_, nullptr, &params, rate, paFramesPerBufferUnspecified, paNoFlag, nullptr,
                             nullptr) == paNoError;
    }
    bool Start() override { return stream_ && Pa_StartStream(stream_) == paNoError; }
    void Write(const int16_t* frames, uint32_t count) override
    {
        const PaError error = Pa_WriteStream(stream_, frames, count);
        if (error != paNoError && error != paOutputUnderflowed) {
            // The device went away: keep the clock running as the null output would.
            if (!reportedFailure_)
                trace(std::string("Sound output failed: ") + Pa_GetErrorText(error));
            reportedFailure_ = true;
            std::this_thread::sleep_for(std::chrono::microseconds(int64_t(count) * 1000000 / rate_));
        }
    }
    void Stop() override
    {
        if (stream_)
            Pa_AbortStream(stream_);
    }
    bool Reopen(int latencyMs) { return Open(device_, rate_, latencyMs); }
    int LatencyMs() const { return latencyMs_; }

private:
    void Close()
    {
        if (stream_)
            Pa_CloseStream(stream_);
        stream_ = nullptr;
    }
    PaStream* stream_ = nullptr;
    PaDeviceIndex device_ = paNoDevice;
    uint32_t rate_ = 44100;
    int latencyMs_ = 0;
    bool reportedFailure_ = false;
};

// ---- The output ---------------------------------------------------------------------------

enum class Kind { None, PortAudio, Null, Manual };

struct Output {
    std::mutex configLock; // BASS_Init / Free / Start / Stop
    std::atomic<bool> initialised{false};
    std::atomic<bool> running{false};
    std::atomic<uint32_t> rate{0};
    std::atomic<Kind> kind{Kind::None};
    int device = 0;
    std::string deviceText;
    std::unique_ptr<Backend> backend;
    std::thread thread;
    std::atomic<bool> stopRequest{false};
    std::atomic<std::thread::id> outputThread{};

    CountedMutex<SoundLock::PlayingList> playingLock; // guards `playing`
    std::vector<std::shared_ptr<Channel>> playing;

    std::atomic<bool> manualEnabled{false};
    std::atomic<int> updatePeriodMs{6};
    std::atomic<int> bufferMs{80};
    std::atomic<int64_t> blocksWritten{0};
    std::atomic<int64_t> framesWritten{0};
    WorstBlock worstBlock;
    std::atomic<int> realTimeAnswer{kPriorityNotAsked};

    // Scratch of the block renderer, sized at BASS_Init: one renderer runs at a time (the output
    // thread, or the test pumping the manual output).
    std::vector<int32_t> mix;
    std::vector<int16_t> block;
    std::vector<std::shared_ptr<Channel>> snapshot;
    std::vector<std::shared_ptr<Channel>> finished;
};

// Never destroyed: a device still open at exit must not meet a destroyed output.
Output& TheOutput()
{
    static Output& output = *new Output;
    return output;
}

uint32_t MaxBlockFrames(uint32_t rate) { return rate * maxUpdatePeriodMs / 1000 + 1; }

uint32_t BlockFrames(const Output& out)
{
    const uint32_t rate = out.rate.load();
    return std::max<uint32_t>(1, static_cast<uint32_t>((uint64_t(rate) * out.updatePeriodMs.load() + 500) / 1000));
}

std::unique_ptr<PlaybackFeed> MakeFeed(const Channel& channel, uint32_t outputRate)
{
    return std::make_unique<PlaybackFeed>(channel, outputRate, MaxBlockFrames(outputRate));
}

bool OnOutputThread(const Output& out) { return out.outputThread.load() == std::this_thread::get_id(); }

// Mixes every playing channel into `frames` stereo frames (at most one maximal block).
SOUND_THREAD void RenderBlock(Output& out, int16_t* block, uint32_t frames)
{
    CheckSoundThread();
    std::fill_n(out.mix.begin(), size_t(frames) * 2, 0);
    {
        std::lock_guard lock(out.playingLock);
        out.snapshot.assign(out.playing.begin(), out.playing.end());
    }
    for (const auto& channel : out.snapshot) {
        std::lock_guard lock(channel->mutex);
        if (!channel->playing || !channel->feed)
            continue;
        if (!channel->feed->MixInto(*channel, out.mix.data(), frames)) {
            channel->playing = false;
            out.finished.push_back(channel);
        }
    }
    if (!out.finished.empty()) {
        std::lock_guard lock(out.playingLock);
        for (const auto& channel : out.finished)
            std::erase(out.playing, channel);
        out.finished.clear();
    }
    out.snapshot.clear();
    for (size_t i = 0; i < size_t(frames) * 2; ++i)
        block[i] = static_cast<int16_t>(std::clamp(out.mix[i], -32768, 32767));
}

void CountBlock(Output& out, uint32_t frames)
{
    out.blocksWritten.fetch_add(1, std::memory_order_relaxed);
    out.framesWritten.fetch_add(frames, std::memory_order_relaxed);
}

} // namespace

// A busy machine (a compiler, a browser) must not delay the next block: ask for real-time
// scheduling, as audio programs do. Without the permission the thread keeps its normal priority,
// and the trace says why, so that a late block can be told from a refused priority.
int RaiseAudioThreadPriority()
{
    static std::atomic<int> lastTraced{kPriorityNotAsked};
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
    const int answer = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    if (lastTraced.exchange(answer) != answer)
        trace("real-time priority " + RealTimeAnswerText(answer));
    return answer;
}

std::string RealTimeAnswerText(int answer)
{
    if (answer == kPriorityNotAsked)
        return {};
    return answer == 0 ? "granted" : "refused: " + std::system_category().message(answer);
}

namespace {

SOUND_THREAD void OutputThreadMain(Output& out)
{
    CheckSoundThread();
    out.outputThread = std::this_thread::get_id();
    out.realTimeAnswer = RaiseAudioThreadPriority(); // traced before the first block is due
    TraceThroughRing(true); // from here on this thread never waits on the trace window
    while (!out.stopRequest.load(std::memory_order_relaxed)) {
        const uint32_t frames = BlockFrames(out);
        RenderBlock(out, out.block.data(), frames);
        out.backend->Write(out.block.data(), frames);
        CountBlock(out, frames);
    }
    out.outputThread = std::thread::id();
}

// The caller holds configLock.
bool StartLocked(Output& out)
{
    if (!out.initialised)
        return Fail(BASS_ERROR_INIT);
    if (out.running)
        return true;
    out.blocksWritten = 0;
    out.framesWritten = 0;
    out.worstBlock.Reset();
    if (out.kind != Kind::Manual) {
        if (auto* pa = dynamic_cast<PortAudioBackend*>(out.backend.get()); pa && pa->LatencyMs() != out.bufferMs)
            pa->Reopen(out.bufferMs);
        if (!out.backend->Start())
            return Fail(BASS_ERROR_BUSY);
        out.stopRequest = false;
        out.realTimeAnswer = kPriorityNotAsked; // until the new thread has asked
        out.thread = std::thread(OutputThreadMain, std::ref(out));
    }
    out.running = true;
    return true;
}

// The caller holds configLock.
void StopLocked(Output& out)
{
    if (!out.running)
        return;
    out.stopRequest = true;
    if (out.thread.joinable())
        out.thread.join();
    if (out.backend)
        out.backend->Stop();
    out.running = false;
}

// Resolves a device number of BASS_Init into an open backend; false with the error set.
bool OpenDevice(Output& out, int device, uint32_t rate)
{
    if (out.manualEnabled) {
        out.kind = Kind::Manual;
        out.deviceText = "Manual output";
        return true;
    }
    const std::vector<PaDeviceIndex> devices = OutputDevices();
    const int nullIndex = static_cast<int>(devices.size()) + 1;
    PaDeviceIndex paDevice = paNoDevice;
    if (device == BASS_DEVICE_DEFAULT) {
        const auto listed = std::find(devices.begin(), devices.end(), PortAudioReady() ? Pa_GetDefaultOutputDevice() : paNoDevice);
        if (listed != devices.end()) {
            paDevice = *listed;
            out.device = static_cast<int>(listed - devices.begin()) + 1;
        }
    } else if (device >= 1 && device < nullIndex) {
        paDevice = devices[device - 1];
    } else if (device != BASS_DEVICE_NOSOUND && device != nullIndex) {
        return Fail(BASS_ERROR_DEVICE);
    }
    if (paDevice == paNoDevice) {
        out.kind = Kind::Null;
        out.device = nullIndex;
        out.deviceText = nullOutputText;
        out.backend = std::make_unique<NullBackend>(rate, out.worstBlock);
        trace("Sound output: no sound device in use, playing to the null output (nothing is heard)");
        return true;
    }
    auto backend = std::make_unique<PortAudioBackend>();
    if (!backend->Open(paDevice, rate, out.bufferMs))
        return Fail(BASS_ERROR_BUSY);
    out.kind = Kind::PortAudio;
    out.deviceText = Pa_GetDeviceInfo(paDevice)->name;
    out.backend = std::move(backend);
    return true;
}

} // namespace

bool OutputInitialised() { return TheOutput().initialised; }

void StopPlaying(Channel& channel)
{
    Output& out = TheOutput();
    channel.playing = false;
    std::lock_guard lock(out.playingLock);
    std::erase_if(out.playing, [&](const std::shared_ptr<Channel>& c) { return c.get() == &channel; });
}

} // namespace sound

using namespace sound;

bool BASS_Init(int device, uint32_t frequency, uint32_t, void*, void*)
{
    Output& out = TheOutput();
    if (OnOutputThread(out))
        return Fail(BASS_ERROR_THREAD);
    std::lock_guard<std::mutex> lock(out.configLock);
    if (out.initialised)
        return Fail(BASS_ERROR_BUSY);
    if (frequency < 1000 || frequency > 384000)
        return Fail(BASS_ERROR_ILLPARAM);
    out.device = device;
    if (!OpenDevice(out, device, frequency))
        return false;
    out.rate = frequency;
    const uint32_t maxFrames = MaxBlockFrames(frequency);
    out.mix.assign(size_t(maxFrames) * 2, 0);
    out.block.assign(size_t(maxFrames) * 2, 0);
    out.snapshot.reserve(64);
    out.finished.reserve(64);
    out.initialised = true;
    SetError(BASS_OK);
    return true;
}

bool BASS_Free()
{
    Output& out = TheOutput();
    if (OnOutputThread(out))
        return Fail(BASS_ERROR_THREAD);
    {
        std::lock_guard<std::mutex> lock(out.configLock);
        StopLocked(out);
        out.backend.reset();
        out.kind = Kind::None;
        out.initialised = false;
        out.rate = 0;
    }
    FreeAllHandles();
    std::lock_guard lock(out.playingLock);
    out.playing.clear();
    SetError(BASS_OK);
    return true;
}

bool BASS_Stop()
{
    Output& out = TheOutput();
    if (OnOutputThread(out))
        return Fail(BASS_ERROR_THREAD);
    std::lock_guard<std::mutex> lock(out.configLock);
    if (!out.initialised)
        return Fail(BASS_ERROR_INIT);
    StopLocked(out);
    SetError(BASS_OK);
    return true;
}

bool BASS_Start()
{
    Output& out = TheOutput();
    if (out.running) // also what a stream procedure on the output thread finds
        return true;
    std::lock_guard<std::mutex> lock(out.configLock);
    return StartLocked(out);
}

bool BASS_SetOption(int option, int value)
{
    Output& out = TheOutput();
    switch (option) {
    case BASS_OPTION_BUFFER: out.bufferMs = std::clamp(value, 1, 5000); break;
    case BASS_OPTION_UPDATEPERIOD: out.updatePeriodMs = std::clamp(value, 1, maxUpdatePeriodMs); break;
    case BASS_OPTION_REC_PERIOD: SetRecordPeriod(value); break;
    default: return Fail(BASS_ERROR_ILLPARAM);
    }
    SetError(BASS_OK);
    return true;
}

int BASS_GetOption(int option)
{
    Output& out = TheOutput();
    switch (option) {
    case BASS_OPTION_BUFFER: return out.bufferMs;
    case BASS_OPTION_UPDATEPERIOD: return out.updatePeriodMs;
    case BASS_OPTION_REC_PERIOD: return RecordPeriod();
    default: return Fail(BASS_ERROR_ILLPARAM, -1);
    }
}

std::string BASS_GetDeviceText(int index)
{
    const std::vector<PaDeviceIndex> devices = OutputDevices();
    if (index >= 1 && index <= static_cast<int>(devices.size()))
        return Pa_GetDeviceInfo(devices[index - 1])->name;
    if (index == static_cast<int>(devices.size()) + 1)
        return nullOutputText;
    return {};
}

BassOutputInfo BASS_GetOutputInfo()
{
    Output& out = TheOutput();
    std::lock_guard<std::mutex> lock(out.configLock);
    BassOutputInfo info;
    info.initialised = out.initialised;
    info.running = out.running;
    info.nullOutput = out.kind == Kind::Null;
    info.manualOutput = out.kind == Kind::Manual;
    info.device = out.device;
    info.deviceText = out.deviceText;
    info.frequency = static_cast<int>(out.rate.load());
    info.blockFrames = out.initialised ? static_cast<int>(BlockFrames(out)) : 0;
    info.latencyMs = out.bufferMs;
    info.blocksWritten = out.blocksWritten;
    info.framesWritten = out.framesWritten;
    info.worstBlock = out.worstBlock.Read();
    info.realTimePriority = RealTimeAnswerText(out.realTimeAnswer);
    return info;
}

void BASS_ManualOutputEnable(bool enabled) { TheOutput().manualEnabled = enabled; }

uint32_t BASS_ManualOutputPump(void* buffer, uint32_t frames)
{
    Output& out = TheOutput();
    if (!buffer || !out.initialised || !out.running || out.kind != Kind::Manual)
        return 0;
    auto* block = static_cast<int16_t*>(buffer);
    const uint32_t chunk = MaxBlockFrames(out.rate);
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min(chunk, frames - done);
        RenderBlock(out, block + size_t(done) * 2, n);
        CountBlock(out, n);
        done += n;
    }
    return frames * 4;
}

bool BASS_ChannelPlay(BassHandle handle, bool restart)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    Output& out = TheOutput();
    {
        std::lock_guard lock(channel->mutex);
        if (channel->DecodeOnly())
            return Fail(BASS_ERROR_DECODE);
        const uint32_t rate = out.rate;
        if (!out.initialised || rate == 0)
            return Fail(BASS_ERROR_INIT);
        if (restart && channel->Length() >= 0)
            channel->SeekFrame(0);
        const uint32_t wanted = channel->attribFrequency > 0 ? channel->attribFrequency : channel->info.frequency;
        if (restart || !channel->feed || channel->feed->InputRate() != wanted || channel->feed->OutputRate() != rate)
            channel->feed = MakeFeed(*channel, rate);
        if (!channel->playing.exchange(true)) {
            std::lock_guard playingLock(out.playingLock);
            out.playing.push_back(channel);
        }
    }
    return BASS_Start();
}

bool BASS_ChannelStop(BassHandle handle)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    std::lock_guard lock(channel->mutex);
    StopPlaying(*channel);
    return true;
}

int BASS_ChannelIsActive(BassHandle handle)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    return channel && channel->playing ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

bool BASS_ChannelSetAttributes(BassHandle handle, int frequency, int volume, int pan)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    std::lock_guard lock(channel->mutex);
    if (frequency < 0 || frequency > 384000 || (frequency > 0 && frequency < 100) || volume < -1 || volume > 100 ||
        ((pan < -100 || pan > 100) && pan != BASS_ATTRIB_KEEP_PAN))
        return Fail(BASS_ERROR_ILLPARAM);
    if (frequency > 0 && frequency != channel->attribFrequency) {
        channel->attribFrequency = frequency;
        if (channel->feed && TheOutput().rate > 0)
            channel->feed = MakeFeed(*channel, TheOutput().rate);
    }
    if (volume != BASS_ATTRIB_KEEP)
        channel->attribVolume = volume;
    if (pan != BASS_ATTRIB_KEEP_PAN)
        channel->attribPan = pan;
    return true;
}

bool BASS_ChannelGetAttributes(BassHandle handle, int* frequency, int* volume, int* pan)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    std::lock_guard lock(channel->mutex);
    if (frequency)
        *frequency = channel->attribFrequency > 0 ? channel->attribFrequency : int(channel->info.frequency);
    if (volume)
        *volume = channel->attribVolume;
    if (pan)
        *pan = channel->attribPan;
    return true;
}
