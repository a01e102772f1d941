// The ruler: where its ticks fall, how many there are at any zoom, the texts its format gives,
// and a drawing that follows the line width.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

#include "AudioControls/class_TimeLine.h"

namespace {

TEST(TimeLineTicks, FallOnTheStepGridFromAtOrBeforeStart)
{
    struct Case {
        double start, len;
        int width, distance;
        std::vector<cTimeLineTick> expected;
    };
    const Case cases[] = {
        {0.0, 10.0, 400, 40, {{0, 0}, {1, 40}, {2, 80}, {3, 120}, {4, 160}, {5, 200}, {6, 240}, {7, 280}, {8, 320}, {9, 360}, {10, 400}}},
        {2.5, 4.0, 160, 40, {{2, -20}, {3, 20}, {4, 60}, {5, 100}, {6, 140}}},
        {0.0, 1.0, 100, 60, {{0, 0}, {0.6, 60}}},
    };
    for (const Case& c : cases) {
        const auto ticks = TimeLineTicks(c.start, c.len, c.width, c.distance);
        ASSERT_EQ(ticks.size(), c.expected.size()) << c.start;
        for (size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i].time, c.expected[i].time, 1e-9) << c.start << " tick " << i;
            EXPECT_EQ(ticks[i].x, c.expected[i].x) << c.start << " tick " << i;
        }
    }
}

TEST(TimeLineTicks, NoneOrBoundedForEmptyDeepOrBrokenWindows)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double start, len;
        int width, distance;
    } empty[] = {{0, 0, 400, 40}, {0, -5, 400, 40}, {0, 10, 0, 40}, {0, 10, -3, 40},
                 {0, 10, 400, 0}, {nan, 10, 400, 40}, {0, nan, 400, 40}, {0, inf, 400, 40}};
    for (const Case& c : empty)
        EXPECT_TRUE(TimeLineTicks(c.start, c.len, c.width, c.distance).empty()) << c.start << " " << c.len << " " << c.width;

    // A hundred zoom-ins of 1.4 around an hour: the step is far below the spacing of doubles
    // there, so adding it would never move; the count still ends.
    const double len = 10.0 / std::pow(1.4, 100);
    const auto deep = TimeLineTicks(3600.0, len, 600, 60);
    EXPECT_LE(deep.size(), 600u / 60 + 3);
    for (const auto& tick : deep)
        EXPECT_TRUE(std::abs(tick.x) <= 16777215);
}

TEST(FormatTickText, OneFloatConversionElseEmpty)
{
    const struct {
        const char* format;
        double value;
        const char* text;
    } cases[] = {
        {"%.2f", 1.0, "1.00"},       {"%.1f s", 12.24, "12.2 s"}, {"%8.3e|", 1500.0, "1.500e+03|"},
        {"100%% at %g", 2.5, "100% at 2.5"}, {"", 1.0, ""},      {"seconds", 1.0, ""},
        {"%d", 1.0, ""},             {"%s", 1.0, ""},             {"%f %f", 1.0, ""},
        {"%*.1f", 1.0, ""},          {"%n", 1.0, ""},             {"%.1f%", 1.0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTickText(c.format, c.value), c.text) << c.format;
}

TEST(RulerLabelFits, WholeBetweenTheEdgesOrNotAtAll)
{
    const struct {
        int left, textWidth, width;
        bool fits;
    } cases[] = {
        {0, 40, 400, true},     {360, 40, 400, true},  {361, 40, 400, false}, {-1, 40, 400, false},
        {-40, 40, 400, false},  {0, 401, 400, false},  {400, 0, 400, true},   {10, 5, 0, false},
        {2147483600, 100, 400, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RulerLabelFits(c.left, c.textWidth, c.width), c.fits) << c.left << " " << c.textWidth << " " << c.width;
}

// The middle of the first run of dark pixels of a picture row, from x on; -1 when none.
int DarkMiddleFrom(const QImage& image, int x, int y)
{
    for (; x < image.width(); ++x)
        if (qGray(image.pixel(x, y)) < 64) {
            int end = x;
            while (end + 1 < image.width() && qGray(image.pixel(end + 1, y)) < 64)
                ++end;
            return (x + end) / 2;
        }
    return -1;
}

TEST(TimeLine, DrawsLinesShiftedByHalfTheLineWidthAndNothingWhenEmpty)
{
    TTimeLine ruler;
    ruler.SetFormat("");
    ruler.SetStart(0.0);
    ruler.SetLen(10.0);
    for (int lineWidth : {1, 3}) {
        ruler.SetLineWidth(lineWidth);
        QImage image(400, 20, QImage::Format_RGB32);
        QPainter canvas(&image);
        ruler.PaintTo(canvas, 400, 20);
        canvas.end();
        EXPECT_EQ(DarkMiddleFrom(image, 30, 10), 40 + lineWidth / 2) << lineWidth;
        EXPECT_EQ(DarkMiddleFrom(image, 70, 10), 80 + lineWidth / 2) << lineWidth;
    }
    ruler.SetLen(0.0);
    QImage image(400, 20, QImage::Format_RGB32);
    QPainter canvas(&image);
    ruler.PaintTo(canvas, 400, 20);
    canvas.end();
    EXPECT_EQ(DarkMiddleFrom(image, 0, 10), -1) << "only the background";
}

// Whether any pixel of columns from .. to (inclusive) is dark.
bool InkIn(const QImage& image, int from, int to)
{
    for (int x = std::max(from, 0); x <= std::min(to, image.width() - 1); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 64)
                return true;
    return false;
}

TEST(TimeLine, WritesOnlyLabelsThatFitWholeBetweenItsEdges)
{
    // A tick every second, 80 pixels apart: 102 s lies 10 pixels left of the ruler and 106 s
    // 10 pixels before its right edge, so both labels would be cut.
    TTimeLine ruler;
    ruler.SetFormat("%.1f s");
    ruler.SetStart(102.125);
    ruler.SetLen(4.0);
    ruler.SetDistance(80);
    QImage image(320, 20, QImage::Format_RGB32);
    QPainter canvas(&image);
    ruler.PaintTo(canvas, 320, 20);
    canvas.end();
    EXPECT_EQ(DarkMiddleFrom(image, 0, 10), 70) << "the 103 s line";
    EXPECT_FALSE(InkIn(image, 0, 69)) << "no tail of the 102.0 s label";
    EXPECT_TRUE(InkIn(image, 71, 149)) << "103.0 s stands whole";
    EXPECT_FALSE(InkIn(image, 311, 319)) << "no head of the 106.0 s label";
}

} // namespace
