#include <gtest/gtest.h>

#include <cinttypes>
#include <string>
#include <vector>

#include "disc/class_BurnLog.h"

namespace {

// What the sinks with this context received; they go with it.
struct Received {
    std::vector<std::string> lines;
    std::vector<int> severities;
    ~Received() { RemoveLogSinks(this); }
};

void Record(void* context, uint8_t severity, const char* text)
{
    auto* received = static_cast<Received*>(context);
    received->lines.push_back(text);
    received->severities.push_back(severity);
}

} // namespace

TEST(BurnLog, SinksAreFunctionAndContextPairsPerChannel)
{
    Received first, second;
    AddLogSink(&Record, &first, 7);
    AddLogSink(&Record, &first, 7); // the same pair again: ignored
    AddLogSink(&Record, &second, 7);
    AddLogSink(&Record, &first, 8);
    LogPrintf(7, 2, "value %d, name %s, big %" PRId64, 42, "drive", int64_t(1) << 40);
    LogPrintf(9, 0, "nobody listens on channel %d", 9);
    EXPECT_EQ(first.lines, std::vector<std::string>{"value 42, name drive, big 1099511627776"});
    EXPECT_EQ(first.severities, std::vector<int>{2});
    EXPECT_EQ(second.lines, first.lines);
    LogPrintf(8, 3, "%s", "eight");
    EXPECT_EQ(first.lines.back(), "eight");
    EXPECT_EQ(second.lines.size(), 1u);
}

TEST(BurnLog, RemovedContextGetsNoMoreLines)
{
    Received gone, staying;
    AddLogSink(&Record, &gone, 30);
    AddLogSink(&Record, &gone, 31);
    AddLogSink(&Record, &staying, 30);
    const size_t before = LogSinkCount();
    RemoveLogSinks(&gone);
    EXPECT_EQ(LogSinkCount(), before - 2);
    LogPrintf(30, 0, "after");
    EXPECT_TRUE(gone.lines.empty());
    EXPECT_EQ(staying.lines, std::vector<std::string>{"after"});
}

TEST(BurnLog, LongLinesAreCutAt4095Characters)
{
    Received received;
    AddLogSink(&Record, &received, 20);
    LogPrintf(20, 0, "%s", std::string(5000, 'x').c_str());
    ASSERT_EQ(received.lines.size(), 1u);
    EXPECT_EQ(received.lines[0], std::string(4095, 'x'));
}

TEST(BurnLog, NumberedFileNames)
{
    // One counter for the program, in call order.
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"TRACKNAME.WAV;1", "TRACKNA1.WAV;1"}, // base cut to 7 because 9 > 8
        {"TRACKNAME.WAV;1", "TRACKNA2.WAV;1"},
        {"A", "A03"},                          // padded to A0, no dot
        {"SHORT.WAV", "SHORT4.WAV"},
        {"EIGHTCHR.WAV", "EIGHTCHR5.WAV"},     // 8 stays 8
        {"NODOTHERE", "NODOTHE6"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeNumberedFileName(c.name), c.expected) << c.name;
}

TEST(BurnLog, TimedFileNameHasNoBlanksOrColonsAfterTheDot)
{
    // "mix" + "_" + "Thu Dec 10 14:36:41 2026" + ".wav", blanks and colons made "_"
    const std::string timed = MakeTimedFileName("mix.wav");
    ASSERT_EQ(timed.size(), std::string("mix_Thu_Dec_10_14_36_41_2026.wav").size()) << timed;
    EXPECT_EQ(timed.substr(0, 4), "mix_");
    EXPECT_EQ(timed.substr(timed.size() - 4), ".wav");
    EXPECT_EQ(timed.find_first_of(" :\n"), std::string::npos) << timed;
    for (size_t underscore : {3u, 7u, 11u, 14u, 17u, 20u, 23u})
        EXPECT_EQ(timed[underscore], '_') << timed;
    const std::string noDot = MakeTimedFileName("mixfile");
    EXPECT_EQ(noDot.substr(0, 8), "mixfile_");
    EXPECT_EQ(noDot.find_first_of(" :\n"), std::string::npos) << noDot;
}
