#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

// The sound thread renders the live mix: it must never block, never allocate in steady state and
// never wait on file I/O. In a build with sound checks (SONOREL_SOUND_CHECKS, the sanitizer build)
// every C++ allocation and every lock take made inside a live render step is counted.
//
// SOUND_THREAD marks a function that, while the live mix renders, only the sound thread may run;
// the export and the CD image run the same render step on their own thread while no live mix
// renders. Every marked function begins with CheckSoundThread(), which in the checked build stops
// the program when another thread runs it during a live render step. A function that other
// threads may run beside the live render (under the mixer's lock, say) is not marked.
#define SOUND_THREAD

// The locks the sound thread takes, and why each is short (DESIGN.md "Threads" keeps the same
// list). The checked build counts their takes inside the render step:
// - the mixer's lock (cMutex, recursive, priority inheritance): once per render step (the step's
//   own operations take it again, which never waits). Others hold it to move pointers (needle
//   move, stop), for UpdateRowParams and for the preparation worker's hand-over.
// - channel locks: two per stream read, the reader's tempo stream's and in it its decoding
//   stream's. A sounding reader holds its streams (BassStreamRef), so a read looks nothing up;
//   nobody else takes their locks but UpdateRowParams, under the mixer's lock. Outside the render
//   step the output thread holds each playing channel's lock (the live mix's output stream among
//   them) while it mixes that channel's block.
// - the output's playing list, outside the render step: once per block, to copy the playing
//   channels into storage reserved at start, and once more when a channel ends.
// - the handle table: not in steady state. Only a source opened or destroyed on the sound thread
//   takes it: a row start nobody prepared, a source that finds the retired bin full or off.
// - the trace ring's flag: only tried, never waited for (not counted).
// - none for a playing CD track: its ring is lock-free, filled by its own read-ahead thread.
// The recording thread takes the recorder node's recursive mutex, never the sound thread's locks.
// Nothing else may appear without a line here.
enum class SoundLock { Mixer, Channel, PlayingList, HandleTable };
constexpr int kSoundLockKinds = 4;

// Marks the calling thread as rendering the live mix for the scope's lifetime (the output's fill
// callback around the render step). Its trace lines go through the trace ring meanwhile.
class LiveRenderScope {
public:
    LiveRenderScope();
    ~LiveRenderScope();
    LiveRenderScope(const LiveRenderScope&) = delete;
    LiveRenderScope& operator=(const LiveRenderScope&) = delete;

private:
    bool previousTraceRing_;
};

// True inside a live render step.
bool OnSoundThread();

#ifdef SONOREL_SOUND_CHECKS
void CheckSoundThread();
void CountLockTake(SoundLock lock);
void CountStreamRead();
#else
inline void CheckSoundThread() {}
inline void CountLockTake(SoundLock) {}
inline void CountStreamRead() {}
#endif

// Whether this build counts allocations and lock takes (SONOREL_SOUND_CHECKS).
bool SoundChecksBuilt();

// C++ allocations made inside live render steps since the program started (0 without checks).
int64_t SoundThreadAllocations();

// Takes of `lock` inside live render steps since the program started (0 without checks). A take
// that may wait counts; a recursive lock taken again by its holder does not.
int64_t SoundThreadLockTakes(SoundLock lock);

// Stream reads (BASS_ChannelGetData) inside live render steps since the program started (0 without
// checks): what the channel locks are counted against.
int64_t SoundThreadStreamReads();

// Sources (files, streams) closed where the sound thread could be waiting for them: on the sound
// thread itself or by a thread holding the mixer's lock. Counted in every build.
int64_t SourceClosesBlockingSound();
void CountSourceClose();

// The mixer's lock reports each take and release by the calling thread.
void NoteMixerLocked();
void NoteMixerUnlocked();

// Mutexes of the sound library that the sound thread takes: their takes inside a live render step
// are counted as `kind`.
template <SoundLock kind> class CountedMutex {
public:
    void lock()
    {
        CountLockTake(kind);
        mutex_.lock();
    }
    bool try_lock()
    {
        const bool taken = mutex_.try_lock();
        if (taken)
            CountLockTake(kind);
        return taken;
    }
    void unlock() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// The same, recursive: its holder may take it again (not counted: that never waits).
template <SoundLock kind> class CountedRecursiveMutex {
public:
    void lock()
    {
        if (Reentered())
            return;
        mutex_.lock();
        Enter();
    }
    bool try_lock()
    {
        if (Reentered())
            return true;
        if (!mutex_.try_lock())
            return false;
        Enter();
        return true;
    }
    void unlock()
    {
        if (--depth_ > 0)
            return;
        owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
    }

private:
    // Only the holder ever finds its own id here.
    bool Reentered()
    {
        if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id())
            return false;
        ++depth_;
        return true;
    }
    void Enter()
    {
        CountLockTake(kind);
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        depth_ = 1;
    }

    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0; // changed only by the holder
};
