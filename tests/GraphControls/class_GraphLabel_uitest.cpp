// The smoothed label: letter spacing and the 2 x 2 averaging of the large picture.
#include "GraphControls/class_GraphLabel.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// The leftmost and rightmost columns holding a text pixel (any non-background colour).
std::pair<int, int> InkedColumns(const QImage& picture, QRgb background)
{
    int first = -1, last = -1;
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            if (picture.pixel(x, y) != background) {
                if (first < 0)
                    first = x;
                last = x;
            }
    return {first, last};
}

QImage Spaced(const QString& text, int spacing, int* underscoreWidth)
{
    QImage picture(300, 40, QImage::Format_RGB888);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    QFont font("DejaVu Sans");
    font.setPixelSize(20);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(Qt::black);
    TGraphLabel::DrawSpacedText(painter, 0, 0, text, spacing);
    *underscoreWidth = QFontMetrics(font).horizontalAdvance("_");
    return picture;
}

} // namespace

TEST(GraphLabel, SpacingAddsItsShareOfAnUnderscoreAfterEveryCharacter)
{
    int underscore = 0;
    const QRgb white = QColor(Qt::white).rgb();
    const auto [first0, last0] = InkedColumns(Spaced("III", 0, &underscore), white);
    const auto [first100, last100] = InkedColumns(Spaced("III", 100, &underscore), white);
    EXPECT_EQ(first0, first100);
    EXPECT_EQ(last100 - last0, 2 * underscore) << "two gaps before the third letter";
}

TEST(GraphLabel, AveragingTurnsAOnePixelLineIntoAHalfIntensityLine)
{
    QImage large(8, 8, QImage::Format_RGB888);
    large.fill(Qt::white);
    for (int x = 0; x < 8; ++x)
        large.setPixel(x, 2, qRgb(0, 0, 0)); // one row of the 2 x 2 blocks on rows 2 and 3
    QImage small(4, 4, QImage::Format_RGB888);
    small.fill(Qt::white);
    TGraphLabel::AverageDown(large, small);
    EXPECT_EQ(small.pixel(0, 1), qRgb(127, 127, 127)) << "(255 + 255 + 0 + 0) / 4, truncated";
    EXPECT_EQ(small.pixel(3, 0), qRgb(255, 255, 255));
}

TEST(GraphLabel, AnOddWidthKeepsItsLastColumnInTheBackColour)
{
    TGraphLabel label;
    label.SetBackColor(0x0000FF); // red
    label.SetFontColor(0xFFFFFF);
    label.resize(7, 10);
    label.SetCaption("WWWW");
    const QImage& picture = label.Picture();
    ASSERT_EQ(picture.size(), QSize(7, 10));
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(picture.pixel(6, y), qRgb(255, 0, 0)) << "row " << y;
}
