// The skinned scroll bar: arrow repeat, clamping after set-up, track clicks, slider drags and a
// slider that fills its track.
#include "GraphControls/class_GraphScroll.h"
#include "support/ui_waits.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

QImage Picture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    return picture;
}

// A horizontal bar 200 px long: arrows of 16 px, a slider of `sliderLength`, so the track is 168 px.
class GraphScrollTest : public ::testing::Test {
protected:
    void Make(int sliderLength = 20)
    {
        bar.resize(200, 16);
        bar.SetImageTop(Picture(16, 16));
        bar.SetImageBottom(Picture(16, 16));
        bar.SetImageBackground(Picture(8, 8));
        bar.SetImageSlider(Picture(sliderLength, 16));
        bar.Max = 100;
        bar.PageSize = 10;
        bar.Loaded();
        bar.OnChange = [this](TGraphScroll*) { ++changes; };
    }
    void ClickTrack(int alongTrack) { QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(16 + alongTrack, 8)); }

    TGraphScroll bar;
    int changes = 0;
};

TEST_F(GraphScrollTest, HoldingTheBottomArrowStepsUntilMaxLessPage)
{
    Make();
    bar.SetSlideTimeInterval(2);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(195, 8));
    EXPECT_EQ(bar.Position(), 1) << "the press itself steps once";
    WAIT_EQ(bar.Position(), 90);
    QTest::qWait(20);
    EXPECT_EQ(bar.Position(), 90);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(195, 8));
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_EQ(bar.Position(), 89) << "the top arrow steps back; the timer stopped with the release";
}

TEST_F(GraphScrollTest, PositionsAreClampedOnlyOnceLoaded)
{
    bar.Max = 100;
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 150);
    bar.Loaded();
    bar.SetPosition(150);
    EXPECT_EQ(bar.Position(), 100);
    bar.SetPosition(-5);
    EXPECT_EQ(bar.Position(), 0);
}

TEST_F(GraphScrollTest, TrackClicksJumpToTheEndsOrCentreTheSlider)
{
    Make();
    struct Case {
        int from; // chosen so the slider is away from the click
        int along;
        int position;
    };
    // The ends are the first and last len * (PageSize / 2) / (Max - Min) = 8 px of the track.
    for (const Case c : {Case{90, 2, 0}, Case{0, 165, 90}, Case{0, 84, 45}}) {
        bar.SetPosition(c.from);
        ClickTrack(c.along);
        EXPECT_EQ(bar.Position(), c.position) << "click at " << c.along;
    }
    EXPECT_EQ(bar.SliderRect().left(), 16 + 45 * 148 / 100) << "the slider follows the last position";
}

TEST_F(GraphScrollTest, DraggingTheSliderToTheEndGivesMaxLessPage)
{
    Make();
    const QPoint grab = bar.SliderRect().center();
    QTest::mousePress(&bar, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&bar, grab + QPoint(500, 0));
    changes = 0;
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, grab + QPoint(500, 0));
    EXPECT_EQ(bar.Position(), 90);
    EXPECT_EQ(changes, 1) << "the release reports the change once more";
}

TEST_F(GraphScrollTest, ASliderAsLongAsItsTrackStaysAtMin)
{
    Make(168);
    bar.SetPosition(40);
    const QPoint grab = bar.SliderRect().center();
    QTest::mousePress(&bar, Qt::LeftButton, {}, grab);
    QTest::mouseMove(&bar, grab + QPoint(30, 0));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, grab + QPoint(30, 0));
    EXPECT_EQ(bar.Position(), 0);
}

} // namespace
