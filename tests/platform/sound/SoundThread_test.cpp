#include "platform/sound/SoundThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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
