#include "platform/trace/Trace.h"

#include "support/trace_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace sonorel_test;

// Lines from a thread that must not wait reach the target only when drained, oldest first; what
// did not fit in the ring is counted in one line after them, and the lines of a thread off the
// ring come after the waiting ones.
TEST(TraceRing, HoldsLinesUntilDrainedAndCountsWhatDidNotFit)
{
    TraceLines lines;
    SetTraceTarget(&lines);
    std::thread soundThread([] {
        TraceThroughRing(true);
        for (int i = 0; i < 300; ++i)
            trace(TraceText() << "line " << i);
    });
    soundThread.join();
    EXPECT_TRUE(lines.Lines().empty());
    trace("after");
    SetTraceTarget(nullptr);
    const std::vector<std::string> got = lines.Lines();
    ASSERT_EQ(got.size(), 256u + 2u);
    for (size_t i = 0; i < 256; ++i)
        EXPECT_EQ(got[i], "line " + std::to_string(i));
    EXPECT_EQ(got[256], "Sound thread trace lines lost: 44");
    EXPECT_EQ(got[257], "after");
}

TEST(TraceRing, LinesWaitingWhenTheTargetChangesGoToTheTargetTheyWereTracedFor)
{
    TraceLines first, second;
    SetTraceTarget(&first);
    std::thread([] {
        TraceThroughRing(true);
        trace("for the first");
    }).join();
    SetTraceTarget(&second);
    trace("for the second");
    SetTraceTarget(nullptr);
    EXPECT_EQ(first.Lines(), std::vector<std::string>{"for the first"});
    EXPECT_EQ(second.Lines(), std::vector<std::string>{"for the second"});
}

TEST(TraceText, FormatsLikeTheValueLinesAndCutsAtItsCapacity)
{
    EXPECT_EQ(std::string_view(TraceText() << "x(" << "f.cpp" << "):" << int64_t{-42}), "x(f.cpp):-42");
    EXPECT_EQ(std::string_view(TraceText() << 0.25 << " " << uint8_t{1}), "0.25 1");
    const std::string longText(TraceText::kCapacity + 10, 'a');
    EXPECT_EQ(std::string_view(TraceText() << longText << 7).size(), TraceText::kCapacity);
}
