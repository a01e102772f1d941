#include "model/class_MixData.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RowSpec {
    float length;
    float speed;
    bool overlap;
    float overlaplen;
};

void Fill(cmixdata& mix, const std::vector<RowSpec>& rows)
{
    for (const RowSpec& spec : rows) {
        cMixRow* row = mix.Add();
        row->length = spec.length;
        row->MixParams.speed = spec.speed;
        row->overlap = spec.overlap;
        row->overlaplen = spec.overlaplen;
    }
}

TEST(MixRow, NewRowHasTheDefaults)
{
    cMixRow row;
    EXPECT_EQ(row.name, "");
    EXPECT_EQ(row.filename, "");
    EXPECT_EQ(row.MixParams.volume, 100);
    EXPECT_EQ(row.MixParams.pitch, 0);
    EXPECT_EQ(row.MixParams.speed, 0);
    EXPECT_FALSE(row.MixParams.fadein);
    EXPECT_EQ(row.MixParams.fadeinlength, 0);
    EXPECT_FALSE(row.MixParams.fadeout);
    EXPECT_EQ(row.MixParams.fadeoutlength, 0);
    EXPECT_EQ(row.start, 0);
    EXPECT_EQ(row.length, 0);
    EXPECT_FALSE(row.overlap);
    EXPECT_EQ(row.overlaplen, 0);
    EXPECT_EQ(row.trigger, TriggerNone);
}

TEST(MixRow, PlayLengthFollowsTheTempoChange)
{
    struct Case {
        float length, speed;
        long double expected;
    };
    for (const Case& c : std::vector<Case>{{10, 0, 10}, {10, 100, 5}, {10, -50, 20}, {10, -100, 0}, {10, -150, 0}}) {
        cMixRow row;
        row.length = c.length;
        row.MixParams.speed = c.speed;
        EXPECT_EQ(row.PlayLength(), c.expected) << "speed " << c.speed;
    }
}

TEST(MixData, StartsAndTotalLength)
{
    struct Case {
        const char* what;
        std::vector<RowSpec> rows;
        std::vector<float> starts; // RowStart(0..n)
        float total;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {0}, 0},
        {"two plain rows", {{10, 0, false, 0}, {10, 0, false, 0}}, {0, 10, 20}, 20},
        {"first overlaps", {{10, 0, true, 2}, {10, 0, false, 0}}, {0, 8, 18}, 18},
        {"last overlap does not shorten", {{10, 0, false, 0}, {10, 0, true, 2}}, {0, 10, 18}, 20},
        {"tempo changes", {{10, 100, false, 0}, {10, -50, false, 0}}, {0, 5, 25}, 25},
        {"overlap beyond the row", {{1, 0, true, 3}, {10, 0, false, 0}}, {0, -2, 8}, 8},
        {"single row", {{4, 0, true, 1}}, {0, 3}, 4},
    };
    for (const Case& c : cases) {
        cmixdata mix;
        Fill(mix, c.rows);
        for (size_t i = 0; i < c.starts.size(); ++i)
            EXPECT_EQ(mix.RowStart(static_cast<int32_t>(i)), c.starts[i]) << c.what << " row " << i;
        EXPECT_EQ(mix.RowStart(-5), 0) << c.what;
        EXPECT_EQ(mix.TotalLength(), c.total) << c.what;
    }
}

// Every caller must see the same start times, so the sum is rounded to single precision after
// each step; a sum kept in double would drift from it.
TEST(MixData, SumIsRoundedToSinglePrecisionAtEachStep)
{
    cmixdata mix;
    std::vector<RowSpec> rows(10, RowSpec{0.1f, 3.0f, true, 0.01f});
    Fill(mix, rows);
    float expected = 0;
    double unrounded = 0;
    for (int i = 0; i < 10; ++i) {
        const long double play = static_cast<long double>(0.1f) * 100.0L / (100.0L + 3.0f);
        expected = static_cast<float>(expected + play);
        expected = expected - 0.01f;
        unrounded += static_cast<double>(play) - 0.01f;
    }
    EXPECT_EQ(mix.RowStart(10), expected);
    EXPECT_NE(mix.RowStart(10), static_cast<float>(unrounded)); // what a double sum would give
}

} // namespace
