// The level meter, by counting the pixels of its drawing.

#include "AudioControls/class_AudioMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr QRgb kLime = 0xFF00FF00, kYellow = 0xFFFFFF00, kRed = 0xFFFF0000;
constexpr QRgb kDarkGreen = 0xFF007F00, kOlive = 0xFF7F7F00, kDarkRed = 0xFF7F0000, kBlack = 0xFF000000;

// The colours along the middle of a horizontal bar, loud end last, with the gaps and borders.
struct Row {
    int lit = 0, unlit = 0, black = 0, segments = 0;
    int lime = 0, yellow = 0, red = 0;
};

Row CountRow(const TAudioMeter& meter)
{
    const QImage& image = meter.Bitmap();
    Row row;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, image.height() / 2);
        row.lit += c == kLime || c == kYellow || c == kRed;
        row.unlit += c == kDarkGreen || c == kOlive || c == kDarkRed;
        row.black += c == kBlack;
        row.lime += c == kLime;
        row.yellow += c == kYellow;
        row.red += c == kRed;
    }
    row.segments = row.lit + row.unlit;
    return row;
}

TAudioMeter& Meter252(TAudioMeter& meter)
{
    meter.SetHorizontal(true);
    meter.resize(252, 11);
    return meter;
}

TEST(AudioMeter, Defaults)
{
    TAudioMeter meter;
    EXPECT_EQ(meter.Position(), 0.0f);
    EXPECT_EQ(meter.ColorTop(), 255u);
    EXPECT_EQ(meter.ColorMiddle(), 65535u);
    EXPECT_EQ(meter.ColorNormal(), 65280u);
    EXPECT_EQ(meter.ColorBackTop(), 127u);
    EXPECT_EQ(meter.ColorBackMiddle(), 32639u);
    EXPECT_EQ(meter.ColorBackNormal(), 32512u);
    EXPECT_EQ(meter.ColorBackground(), 0u);
    EXPECT_EQ(meter.AmplitudeDB, 48.0f);
    EXPECT_FALSE(meter.Horizontal());
    EXPECT_FLOAT_EQ(meter.ThresholdMax(), 0.91f);
    EXPECT_FLOAT_EQ(meter.ThresholdNormal(), 0.73f);
}

TEST(AudioMeter, LightsThePartOfTheBarOfTheLevel)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float position;
        float amplitudeDB;
        int lit; // of 188 segment lines
    };
    // Half the range: lit limit 124, so positions 124..250 without their 32 multiples of 4.
    for (const Case& c : {Case{1.0f, 48, 188}, Case{2.5f, 48, 188}, Case{0.0f, 48, 0}, Case{0.0631f, 48, 95},
                          Case{0.003f, 48, 0}, Case{-0.5f, 48, 0}, Case{nan, 48, 0}, Case{1.0f, 0, 0},
                          Case{0.5f, -6, 0}}) {
        SCOPED_TRACE(testing::Message() << c.position << " at " << c.amplitudeDB << " dB");
        TAudioMeter meter;
        Meter252(meter);
        meter.AmplitudeDB = c.amplitudeDB;
        meter.SetPosition(c.position);
        const Row row = CountRow(meter);
        EXPECT_EQ(row.segments, 188) << "positions 1 to 250 without the 62 multiples of 4";
        EXPECT_EQ(row.lit, c.lit);
    }
}

TEST(AudioMeter, ZonesSitAtTheThresholdsFromTheLoudEnd)
{
    TAudioMeter meter;
    Meter252(meter).SetPosition(1.0f);
    // Top limit 251 x 0.09 = 22 (indices 1..21), middle limit 251 x 0.27 = 67 (22..66).
    const QImage& image = meter.Bitmap();
    const int y = 5;
    EXPECT_EQ(image.pixel(252 - 1 - 21, y), kRed);
    EXPECT_EQ(image.pixel(252 - 1 - 22, y), kYellow);
    EXPECT_EQ(image.pixel(252 - 1 - 66, y), kYellow);
    EXPECT_EQ(image.pixel(252 - 1 - 67, y), kLime);
    const Row row = CountRow(meter);
    EXPECT_EQ(row.red, 21 - 5);    // indices 1..21 without 4, 8, 12, 16, 20
    EXPECT_EQ(row.yellow, 45 - 11); // 22..66 without its 11 multiples of 4
    EXPECT_EQ(row.lime, 188 - row.red - row.yellow);
    EXPECT_EQ(image.pixel(0, y), kBlack) << "the border";
    EXPECT_EQ(image.pixel(251, y), kBlack);
    EXPECT_EQ(image.pixel(100, 0), kBlack);
    EXPECT_EQ(image.pixel(100, 10), kBlack);

    meter.SetPosition(0.0f);
    EXPECT_EQ(meter.Bitmap().pixel(252 - 1 - 21, y), kDarkRed);
    EXPECT_EQ(meter.Bitmap().pixel(252 - 1 - 22, y), kOlive);
    EXPECT_EQ(meter.Bitmap().pixel(252 - 1 - 67, y), kDarkGreen);
}

TEST(AudioMeter, VerticalBarIsLoudAtTheTop)
{
    TAudioMeter meter;
    meter.resize(9, 100);
    meter.SetPosition(0.0631f); // half: lit limit 99 - 50.0015, truncated to 48
    const QImage& image = meter.Bitmap();
    EXPECT_EQ(image.pixel(4, 1), kBlack) << "(i - 1) mod 4 = 0 is a gap";
    EXPECT_EQ(image.pixel(4, 47), kDarkGreen);
    EXPECT_EQ(image.pixel(4, 48), kLime);
    EXPECT_EQ(image.pixel(4, 98), kLime);
    EXPECT_EQ(image.pixel(0, 50), kBlack);
    EXPECT_EQ(image.pixel(8, 50), kBlack);
    EXPECT_EQ(image.pixel(4, 99), kBlack);
}

TEST(AudioMeter, PositionDBReadsTheLevelAndCannotBeSet)
{
    TAudioMeter meter;
    Meter252(meter);
    EXPECT_EQ(meter.GetPositionDB(), -48.0f);
    meter.SetPosition(0.1f);
    EXPECT_NEAR(meter.GetPositionDB(), -20.0f, 1e-4);
    const QImage before = meter.Bitmap();
    meter.SetPositionDB(0.0f);
    EXPECT_NEAR(meter.GetPositionDB(), -20.0f, 1e-4);
    EXPECT_EQ(meter.Bitmap(), before);
}

TEST(AudioMeter, ColoursAndSizeRedraw)
{
    TAudioMeter meter;
    Meter252(meter).SetPosition(1.0f);
    meter.SetColorNormal(0xFF0000); // blue in the program's colour order
    EXPECT_EQ(meter.Bitmap().pixel(10, 5), 0xFF0000FF);
    meter.SetColorBackground(0x00FF00);
    EXPECT_EQ(meter.Bitmap().pixel(0, 5), kLime);
    meter.show(); // a hidden widget hears of its new size only when shown
    meter.resize(100, 11);
    EXPECT_EQ(meter.Bitmap().width(), 100);
}

} // namespace
