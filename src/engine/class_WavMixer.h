#pragma once

#include "engine/class_AudioFileReader.h"
#include "engine/class_MixParams.h"
#include "engine/class_SoundDevice.h"
#include "platform/sound/SoundThread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <vector>

// The mixer's lock. Recursive, so that the producer can hold it over a whole render step (or a
// needle move) while the mixer's own operations take it again. With priority inheritance: a thread
// holding it while the real-time sound thread waits runs at the sound thread's priority until it
// lets go, so that a busy machine cannot keep the sound thread behind a preempted holder. It tells
// the sound checks when the calling thread holds it, so that a file closed under it is seen, and
// times every hold of the other threads: the longest is the bound of the sound thread's wait.
class cMutex {
public:
    cMutex();
    ~cMutex();
    cMutex(const cMutex&) = delete;
    cMutex& operator=(const cMutex&) = delete;

    void lock();
    void unlock();
    bool try_lock();

    // The longest any thread other than the live renderer held the lock (from its outermost lock
    // to its last unlock) since the previous call, nanoseconds.
    int64_t TakeLongestHoldNs();

private:
    void Locked();
    bool SpinForLock(); // the live renderer: true once it holds the lock, false after the spin

    pthread_mutex_t Mutex;
    int Depth = 0; // the holder's nesting, changed only by the holder
    std::chrono::steady_clock::time_point HeldSince; // the holder's outermost lock
    std::atomic<int64_t> LongestHoldNs{0};
};

using SourceList = std::vector<std::unique_ptr<cFileSoundSource>>;

// One sounding row: its reader and the delay before it sounds inside the coming blocks.
struct cSoundEvent {
    int64_t RowId = -1;                       // playlist row that started the event
    std::unique_ptr<cFileSoundSource> Source; // owned by the mixer from AddWave on
    float StartDelay = 0;                     // seconds still to wait; 0 means sounding
};

// The sounding events, in storage made with the mixer: adding and removing one moves pointers
// only, so the sound thread never allocates or frees here. Iterates in the order added.
class cSoundEvents {
public:
    static constexpr size_t kRoom = 64;

    cSoundEvents();
    int32_t Count() const { return static_cast<int32_t>(Active.size()); }
    cSoundEvent* Get(int32_t i) const;
    cSoundEvent* Add(); // null when every event is in use
    // Gives the event back; its source must have left it.
    void Delete(int32_t i);

    auto begin() const { return Active.begin(); }
    auto end() const { return Active.end(); }

private:
    std::vector<std::unique_ptr<cSoundEvent>> Active; // both reserved to kRoom: never reallocate
    std::vector<std::unique_ptr<cSoundEvent>> Spare;
};

// Sources whose end came on the sound thread, waiting to be destroyed on another (destroying one
// frees its streams and closes its file). Its room is fixed, so keeping a source never allocates;
// a source that finds no room, or any source while the bin is off, is destroyed at once. Guarded by
// the mixer's lock.
class cSourceBin {
public:
    static constexpr size_t kRoom = 32;
    bool Enabled = false; // set by whoever empties the bin

    SOUND_THREAD void Put(std::unique_ptr<cFileSoundSource> source);
    // Moves every kept source to `out`, to be destroyed once the lock is let go.
    void MoveTo(SourceList& out);

private:
    std::array<std::unique_ptr<cFileSoundSource>, kRoom> Sources;
    size_t Count = 0;
};

// Reads k bytes of the source's sound into destination at the output's channel count: stereo to
// mono averages the halves, mono to stereo doubles each sample, any other differing pair is silent.
SOUND_THREAD void ReadConverted(cFileSoundSource& source, void* destination, int64_t k, const SoundFormat& output);

// out[i] += in[i] for the k / 2 samples, clamped to -32767..+32767.
SOUND_THREAD void MixAdd16(void* out, const void* in, int64_t k);

// Sums the sounding rows into 16-bit output, one block at a time.
class cWavMixer {
public:
    std::unique_ptr<int16_t[]> Buffer; // scratch block; grows only (ReserveBlock, or a larger block)
    int64_t BufferSize = 0;            // bytes
    cMutex Mutex;                      // guards Events
    cSoundEvents Events;               // active events, in the order added
    SoundFormat Format;                // the output format
    cSourceBin Retired;                // finished and dropped sources, when someone empties it

    // Sizes the scratch block for blocks of up to `bytes` when an output opens, so that the sound
    // thread does not allocate it. Takes the lock.
    void ReserveBlock(int64_t bytes);

    // Takes the source; a second event for a row that is already sounding is dropped (id -1 never
    // is), as is an event that finds every event in use.
    SOUND_THREAD void AddWave(std::unique_ptr<cFileSoundSource> source, float delay, int32_t id);
    // Ends every event; the sources move to `retired` (reserved by the caller), to be destroyed
    // once the lock is let go: closing files under the lock would hold the sound thread.
    void Clear(SourceList& retired);
    // Clear, destroying the sources after the lock is let go.
    void Clear();
    // Adds the block's sound into out (the caller zeroes it first), counts down each source's
    // remaining time and removes the sources whose fragment is over.
    SOUND_THREAD void MixBlock(void* out, int64_t n);
    // Gives the row's sounding events new parameters; the tempo changes at once, volume and fades
    // from the next block.
    void UpdateRowParams(int32_t row, const MixParams* params);
    // Takes n bytes of output off the source's remaining time as mixing them would: a source that
    // joins its fragment late ends on the frame where it would have ended.
    SOUND_THREAD void CountAsPlayed(cFileSoundSource& source, int64_t n) const;

private:
    SOUND_THREAD int64_t TakeBlockMcs(cFileSoundSource& source, int64_t m) const;
    void EnsureBuffer(int64_t n); // under the lock: ReserveBlock runs it beside the live render
    SOUND_THREAD void Fill(cFileSoundSource& source, uint8_t* out, int64_t m);
};
