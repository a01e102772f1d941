#include "platform/sound/SoundThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

TEST(SoundThread, OnlyTheLiveRenderStepCountsAsTheSoundThreadAndItsAllocationsAreCounted)
{
    EXPECT_FALSE(OnSoundThread());
    const int64_t before = SoundThreadAllocations();
    {
        LiveRenderScope live;
        EXPECT_TRUE(OnSoundThread());
        auto made = std::make_unique<int>(1);
        CheckSoundThread(); // the rendering thread itself passes
    }
    EXPECT_FALSE(OnSoundThread());
    auto outside = std::make_unique<int>(2);
    EXPECT_EQ(SoundThreadAllocations() - before, SoundChecksBuilt() ? 1 : 0);
}

// A lock take inside the live render step counts when it may wait: a recursive lock taken again by
// its holder does not. The recursive lock keeps other threads out until its holder's last unlock.
TEST(SoundThread, LockTakesInsideTheLiveRenderStepAreCountedOnceEach)
{
    CountedRecursiveMutex<SoundLock::Channel> channel;
    CountedMutex<SoundLock::HandleTable> table;
    const int64_t channelsBefore = SoundThreadLockTakes(SoundLock::Channel);
    const int64_t tablesBefore = SoundThreadLockTakes(SoundLock::HandleTable);
    {
        LiveRenderScope live;
        std::lock_guard outer(channel);
        std::lock_guard inner(channel);
        std::lock_guard tableLock(table);
    }
    {
        std::lock_guard outside(channel);
    }
    EXPECT_EQ(SoundThreadLockTakes(SoundLock::Channel) - channelsBefore, SoundChecksBuilt() ? 1 : 0);
    EXPECT_EQ(SoundThreadLockTakes(SoundLock::HandleTable) - tablesBefore, SoundChecksBuilt() ? 1 : 0);

    const auto othersMayTake = [&] {
        bool taken = false;
        std::thread([&] {
            taken = channel.try_lock();
            if (taken)
                channel.unlock();
        }).join();
        return taken;
    };
    channel.lock();
    ASSERT_TRUE(channel.try_lock());
    channel.unlock();
    EXPECT_FALSE(othersMayTake());
    channel.unlock();
    EXPECT_TRUE(othersMayTake());
}

// In the checked build a sound-thread function run by another thread while the live mix renders
// stops the program.
TEST(SoundThreadDeathTest, AnotherThreadInASoundThreadFunctionDuringTheLiveRenderStops)
{
    if (!SoundChecksBuilt())
        GTEST_SKIP() << "the calling thread is checked only in the build with sound checks";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto intrude = [] {
        std::atomic<bool> rendering{false}, done{false};
        std::thread sound([&] {
            LiveRenderScope live;
            rendering = true;
            while (!done)
                std::this_thread::yield();
        });
        while (!rendering)
            std::this_thread::yield();
        CheckSoundThread();
        done = true;
        sound.join();
    };
    EXPECT_DEATH(intrude(), "ran on another thread while the live mix rendered");
}
