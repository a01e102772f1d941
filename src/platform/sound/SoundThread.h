#pragma once

#include <cstdint>

// The sound thread renders the live mix: it must never block, never allocate in steady state and
// never wait on file I/O. Functions that run there are declared with SOUND_THREAD, and begin with
// CheckSoundThread(). In a build with sound checks (SONOREL_SOUND_CHECKS, the sanitizer build) the
// check stops the program when another thread runs such a function while the live mix renders, and
// every C++ allocation made inside a live render step is counted.
#define SOUND_THREAD

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
#else
inline void CheckSoundThread() {}
#endif

// Whether this build counts allocations (SONOREL_SOUND_CHECKS).
bool SoundChecksBuilt();

// C++ allocations made inside live render steps since the program started (0 without checks).
int64_t SoundThreadAllocations();

// Sources (files, streams) closed where the sound thread could be waiting for them: on the sound
// thread itself or by a thread holding the mixer's lock. Counted in every build.
int64_t SourceClosesBlockingSound();
void CountSourceClose();

// The mixer's lock reports each take and release by the calling thread.
void NoteMixerLocked();
void NoteMixerUnlocked();
