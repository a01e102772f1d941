#include "platform/sound/SoundThread.h"

#include "platform/trace/Trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

namespace {
thread_local bool liveRendering = false;
thread_local int mixerLocksHeld = 0;
std::atomic<std::thread::id> liveRenderer{};
std::atomic<int64_t> allocations{0};
std::atomic<int64_t> lockTakes[kSoundLockKinds]{};
std::atomic<int64_t> streamReads{0};
std::atomic<int64_t> blockingCloses{0};
}

LiveRenderScope::LiveRenderScope() : previousTraceRing_(TraceThroughRing(true))
{
    liveRendering = true;
    liveRenderer.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

LiveRenderScope::~LiveRenderScope()
{
    liveRenderer.store(std::thread::id(), std::memory_order_relaxed);
    liveRendering = false;
    TraceThroughRing(previousTraceRing_);
}

bool OnSoundThread()
{
    return liveRendering;
}

bool SoundChecksBuilt()
{
#ifdef SONOREL_SOUND_CHECKS
    return true;
#else
    return false;
#endif
}

int64_t SoundThreadAllocations()
{
    return allocations.load(std::memory_order_relaxed);
}

int64_t SoundThreadLockTakes(SoundLock lock)
{
    return lockTakes[static_cast<int>(lock)].load(std::memory_order_relaxed);
}

int64_t SoundThreadStreamReads()
{
    return streamReads.load(std::memory_order_relaxed);
}

int64_t SourceClosesBlockingSound()
{
    return blockingCloses.load(std::memory_order_relaxed);
}

void CountSourceClose()
{
    if (mixerLocksHeld > 0 || liveRendering)
        blockingCloses.fetch_add(1, std::memory_order_relaxed);
}

void NoteMixerLocked()
{
    if (mixerLocksHeld++ == 0)
        CountLockTake(SoundLock::Mixer); // taken again by its holder, it never waits
}

void NoteMixerUnlocked()
{
    --mixerLocksHeld;
}

#ifdef SONOREL_SOUND_CHECKS

void CheckSoundThread()
{
    const std::thread::id renderer = liveRenderer.load(std::memory_order_relaxed);
    if (renderer != std::thread::id() && renderer != std::this_thread::get_id()) {
        std::fputs("A sound-thread function ran on another thread while the live mix rendered\n", stderr);
        std::abort();
    }
}

void CountLockTake(SoundLock lock)
{
    if (liveRendering)
        lockTakes[static_cast<int>(lock)].fetch_add(1, std::memory_order_relaxed);
}

void CountStreamRead()
{
    if (liveRendering)
        streamReads.fetch_add(1, std::memory_order_relaxed);
}

// The counting allocator of the checked build. Every form of new and delete is replaced together,
// so that the sanitizer still sees matching pairs (all on malloc and free).
namespace {
void* Allocate(std::size_t size)
{
    if (liveRendering)
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

#endif
