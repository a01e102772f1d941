#pragma once

// Internals of the sound library shared by its source files: the channel object behind a handle,
// the handle table and the per-thread error code. Nothing outside platform/sound includes this.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/SoundLibrary.h"
#include "platform/sound/SoundThread.h"

namespace sound {

class PlaybackFeed; // what the output thread keeps per playing channel (SoundOutput.cpp)
class SyncList;     // position syncs (SoundSyncs.cpp)

// One stream. Every operation on it holds `mutex` (recursive: stream procedures and the output
// thread's feed may call back into the library for the same channel).
class Channel {
public:
    Channel(uint32_t frequency, uint32_t channels, uint32_t flags, uint32_t type);
    virtual ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    CountedRecursiveMutex<SoundLock::Channel> mutex;
    BassChannelInfo info;

    uint32_t FrameBytes() const { return info.channels * 2; }
    bool DecodeOnly() const { return (info.flags & BASS_STREAM_DECODE) != 0; }

    // Reads up to `bytes` (rounded down to whole frames) of decoded samples with the volume effect
    // applied; returns the bytes delivered (0 once ended). Callers hold `mutex`. The read stops at
    // each position sync and runs it there; a playable channel that is not playing (a sync may
    // stop it in the middle of an output block) delivers nothing.
    uint32_t Read(void* buffer, uint32_t bytes);
    // The same without syncs.
    uint32_t ReadSegment(void* buffer, uint32_t bytes);
    bool Ended() const { return ended_; }

    // Length and position in bytes; -1 where they do not apply.
    virtual int64_t Length() { return -1; }
    virtual int64_t Position() { return delivered_; }
    // Moves to a frame; false where positioning does not apply. Callers check the range.
    virtual bool SeekFrame(int64_t frame) { return false; }
    // Bumped by every successful repositioning, so a reader downstream can drop what it buffered.
    uint64_t SeekCount() const { return seekCount_; }
    // Called once when the handle is freed (the object may live on while a reader still holds it).
    virtual void Released() {}

    // The volume effect.
    bool hasVolumeEffect = false;
    BassVolumeParams volumeEffect;

    // Playback attributes (used when played).
    int attribFrequency = 0; // 0: the stream's own rate
    int attribVolume = 100;
    int attribPan = 0;

    std::atomic<bool> playing{false};
    std::atomic<bool> released{false};
    std::unique_ptr<PlaybackFeed> feed; // set while the channel is played

    std::unique_ptr<SyncList> syncs; // made by the first BASS_ChannelSetSync
    // BASS_ChannelLock: who holds `mutex` through it, and how often (changed only by the holder).
    std::atomic<std::thread::id> lockOwner{};
    int lockDepth = 0;

protected:
    // Delivers up to `bytes` (whole frames) of samples; sets `ended` when no more will come.
    virtual uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) = 0;
    void MarkRepositioned() { ended_ = false; ++seekCount_; }

    int64_t delivered_ = 0; // bytes delivered since creation or the last repositioning
private:
    void ApplyVolume(int16_t* samples, uint32_t count) const;
    bool ended_ = false;
    uint64_t seekCount_ = 0;
};

// ---- Handle table -------------------------------------------------------------------------

// Registers a new channel; 0 (BASS_ERROR_MEMORY) when the table is full.
BassHandle AddHandle(std::shared_ptr<Channel> channel);
// The channel behind a handle, or null (BASS_ERROR_HANDLE).
std::shared_ptr<Channel> FindChannel(BassHandle handle);
// Removes a handle from the table and returns its channel (null when the handle is bad).
std::shared_ptr<Channel> TakeHandle(BassHandle handle);
// Frees every handle (BASS_Free).
void FreeAllHandles();

// Releases a channel taken from the table: stops its playback and tells it.
void ReleaseChannel(const std::shared_ptr<Channel>& channel);

// ---- Errors -------------------------------------------------------------------------------

void SetError(int code);
template <typename T> T Fail(int code, T result) { SetError(code); return result; }
inline bool Fail(int code) { SetError(code); return false; }

// ---- Output (SoundOutput.cpp) ------------------------------------------------------------

bool OutputInitialised();
void StopPlaying(Channel& channel); // removes it from the output's list; caller holds its mutex
bool PortAudioReady();                // PortAudio started once for output and input

// Asks for real-time scheduling for the calling thread (the output and recording threads) and
// returns the system's answer: 0 granted, else the error number of the refusal. The first answer,
// and any later one that differs, is traced ("real-time priority granted", "real-time priority
// refused: <reason>").
int RaiseAudioThreadPriority();
constexpr int kPriorityNotAsked = -1;
// "granted", "refused: <reason>", or empty when no thread has asked.
std::string RealTimeAnswerText(int answer);

// The PortAudio devices with at least that many input and output channels, in the order of the
// device list (none when PortAudio cannot start).
std::vector<int> PortAudioDevices(int minInputs, int minOutputs);

// The worst block of a pacing thread (its latest after a deadline), written by that thread and
// read by any other without a lock: a reader tries again while a write is under way.
class WorstBlock {
public:
    void Offer(const BassBlockTiming& block); // kept when it is worse than the worst so far
    BassBlockTiming Read() const;
    void Reset();

private:
    std::atomic<uint32_t> version_{0}; // odd while a write is under way
    std::atomic<int64_t> late_{0}, wakeDelay_{0}, work_{0}, workCpu_{0};
};

// Keeps real time without a device: each block is due at an absolute deadline counted from the
// start in frames, so waking up late never accumulates into drift. The worst block is kept,
// taken apart into the pacing thread's work and its wake-up.
class RealTimePacer {
public:
    RealTimePacer(uint32_t rate, WorstBlock& worst) : rate_(rate), worst_(worst) {}
    void Start();
    void Wait(uint32_t frames); // sleeps until the end of the next `frames` is due

private:
    uint32_t rate_;
    WorstBlock& worst_;
    std::chrono::steady_clock::time_point start_;
    int64_t frames_ = 0;
    // The pacing thread's last wake-up, and its CPU time then (negative before the first).
    std::chrono::steady_clock::time_point lastWake_;
    int64_t lastWakeCpuUs_ = -1;
};

// ---- Recording (recording.cpp) -------------------------------------------------------------

bool SetRecordPeriod(int ms); // BASS_OPTION_REC_PERIOD
int RecordPeriod();

} // namespace sound
