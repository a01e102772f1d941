// The mouse-drag component, the mix table (conversions, clamps, zoom, the bound scroll bar, the
// markers and their drags, the strip) and the stream mix table (stream geometry, selection,
// clearing), driven by window-level mouse events where a person's drag matters.

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include <cmath>

#include "AudioControls/class_MixTable.h"
#include "AudioControls/class_StreamMixTable.h"
#include "AudioControls/class_TimeLine.h"
#include "platform/ui/Colors.h"

namespace {

TColor FillOf(const QWidget* widget)
{
    return ui::ToTColor(widget->palette().color(QPalette::Window));
}

// A shown table 500 x 300 in its own window, with the scroll bar beside it.
class MixTableTest : public testing::Test {
protected:
    void SetUp() override
    {
        window.resize(500, 320);
        table = new TStreamMixTable(&window);
        table->setGeometry(0, 0, 500, 300);
        bar = new QScrollBar(Qt::Horizontal, &window);
        bar->setGeometry(0, 300, 500, 20);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QPoint InWindow(QWidget* widget, QPoint local) const { return widget->mapTo(&window, local); }

    QWidget window;
    TStreamMixTable* table;
    QScrollBar* bar;
};

TEST(MouseDrag, MovesOnlyWithTheLeftButtonAndReportsStartMoveEnd)
{
    QWidget parent;
    parent.resize(300, 200);
    auto* target = new QWidget(&parent);
    target->setGeometry(50, 50, 20, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    TMouseDrag drag;
    drag.SetTarget(target);
    std::string events;
    drag.OnStart = [&](QObject* s) { EXPECT_EQ(s, &drag); events += 'S'; };
    drag.OnMove = [&](QObject*) { events += 'M'; };
    drag.OnEnd = [&](QObject*) { events += 'E'; };
    QWindow* w = parent.windowHandle();

    const struct {
        Qt::MouseButton button;
        bool enabled, horizontal, vertical;
        QPoint expectedPos;
        const char* expectedEvents;
    } cases[] = {
        {Qt::RightButton, true, true, false, {50, 50}, ""},
        {Qt::LeftButton, false, true, false, {50, 50}, ""},
        {Qt::LeftButton, true, true, false, {80, 50}, "SME"},
        {Qt::LeftButton, true, true, true, {80, 60}, "SME"},
        {Qt::LeftButton, true, false, false, {50, 50}, "SME"},
    };
    for (const auto& c : cases) {
        target->move(50, 50);
        events.clear();
        drag.Enabled = c.enabled;
        drag.Horizontal = c.horizontal;
        drag.Vertical = c.vertical;
        QTest::mousePress(w, c.button, {}, QPoint(55, 55));
        QTest::mouseMove(w, QPoint(85, 65));
        QTest::mouseRelease(w, c.button, {}, QPoint(85, 65));
        EXPECT_EQ(target->pos(), c.expectedPos) << c.button << c.enabled << c.horizontal << c.vertical;
        EXPECT_EQ(events, c.expectedEvents) << c.button << c.enabled << c.horizontal << c.vertical;
    }

    // Disabled while running: the drag goes on and ends; past the parent's edge too.
    target->move(50, 50);
    drag.Enabled = true;
    drag.Horizontal = true;
    drag.Vertical = false;
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(55, 55));
    drag.Enabled = false;
    QTest::mouseMove(w, QPoint(-45, 55));
    EXPECT_EQ(target->x(), -50);
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(-45, 55));
    EXPECT_FALSE(drag.Adjusting());
}

TEST_F(MixTableTest, ConvertsTimesAndPixelsAndRefusesEmptyViews)
{
    table->SetViewStart(10.0);
    table->SetViewLen(20.0);
    EXPECT_EQ(table->TimeToX(10.0), 0);
    EXPECT_EQ(table->TimeToX(30.0), 500);
    EXPECT_EQ(table->TimeToX(9.999), -1);
    EXPECT_EQ(table->TimeToX(30.001), -1);
    EXPECT_EQ(table->TimeToX(20.0), 250);
    EXPECT_DOUBLE_EQ(table->XToTime(250), 20.0);
    EXPECT_EQ(table->TimeToX(std::nan("")), -1);

    // A zero-length row makes an empty view: no column, no division by zero.
    table->SetViewLen(0.0);
    EXPECT_EQ(table->TimeToX(10.0), -1);
    EXPECT_DOUBLE_EQ(table->XToTime(100), 10.0);
    table->SetViewLen(20.0);
    table->resize(0, 300);
    EXPECT_EQ(table->TimeToX(10.0), -1);
    EXPECT_DOUBLE_EQ(table->XToTime(100), 10.0);
}

TEST_F(MixTableTest, NegativeTimesAreRaisedUnlessAllowed)
{
    table->SetViewStart(-4.0);
    EXPECT_EQ(table->ViewStart(), 0.0);
    table->SetPPos(-3.0);
    EXPECT_EQ(table->PPos(), 0.0);
    EXPECT_FALSE(table->Marker('P')->isHidden());

    table->AllowNegatives = true;
    table->SetPPos(-3.0);
    EXPECT_EQ(table->PPos(), -3.0);
    EXPECT_TRUE(table->Marker('P')->isHidden()) << "outside the view";
    EXPECT_TRUE(table->Line('P')->isHidden());
    table->SetViewStart(-4.0);
    EXPECT_EQ(table->ViewStart(), -4.0);
    EXPECT_FALSE(table->Marker('P')->isHidden());
}

TEST_F(MixTableTest, MarkersStandAtTheirTimesAndEMovesOnlyAtTheNextRebuild)
{
    table->SetViewLen(50.0); // 10 px a second
    table->SetLPos(10.0);
    table->SetRPos(20.0);
    table->SetPPos(30.0);
    EXPECT_EQ(table->Marker('L')->x(), 100);
    EXPECT_EQ(table->Line('L')->x(), 100);
    EXPECT_EQ(table->Marker('R')->x(), 200 - 16);
    EXPECT_EQ(table->Line('R')->x(), 200 - 1);
    EXPECT_EQ(table->Marker('P')->x(), 300 - 8);
    EXPECT_EQ(table->Line('P')->x(), 300);
    EXPECT_EQ(table->Marker('P')->y(), 10);

    const int eBefore = table->Marker('E')->x();
    table->SetEPos(40.0);
    EXPECT_EQ(table->Marker('E')->x(), eBefore);
    table->SetTotal(100.0);
    EXPECT_EQ(table->Marker('E')->x(), 400 - 16);

    table->SetLPos_Visible(false);
    table->SetLPos(12.0);
    EXPECT_TRUE(table->Marker('L')->isHidden());
    EXPECT_TRUE(table->Line('L')->isHidden());
}

TEST_F(MixTableTest, ZoomKeepsTheCentreAndZoomOutNeverShowsMoreThanTotal)
{
    table->SetTotal(100.0);
    table->SetViewLen(20.0);
    table->SetViewStart(40.0);
    int views = 0;
    table->OnViewChange = [&](QObject*) { ++views; };
    table->ZoomIn();
    EXPECT_NEAR(table->ViewLen(), 20.0 / 1.4, 1e-9);
    EXPECT_NEAR(table->ViewStart() + table->ViewLen() / 2, 50.0, 1e-9);
    EXPECT_FALSE(table->RebuildLocked);
    EXPECT_GT(views, 0);

    table->SetViewStart(90.0);
    table->SetViewLen(80.0);
    table->ZoomOut();
    EXPECT_DOUBLE_EQ(table->ViewLen(), 100.0);
    EXPECT_DOUBLE_EQ(table->ViewStart(), 0.0);

    // An empty view (a zero-length row) zooms out to the whole table; an empty table stays.
    table->SetViewLen(0.0);
    table->ZoomOut();
    EXPECT_DOUBLE_EQ(table->ViewLen(), 100.0);
    table->SetTotal(0.0);
    table->SetViewLen(0.0);
    table->ZoomOut();
    EXPECT_DOUBLE_EQ(table->ViewLen(), 0.0);
    table->SetTotal(100.0);
    table->SetViewLen(20.0);

    // A hundred zoom-ins: no hang, the view stays a number.
    for (int i = 0; i < 100; ++i)
        table->ZoomIn();
    EXPECT_GT(table->ViewLen(), 0.0);
    EXPECT_TRUE(std::isfinite(table->ViewStart()));
    // At this depth a time's last bit spans pixels: the middle lands near the middle.
    table->SetPPos(table->ViewStart() + table->ViewLen() / 2);
    EXPECT_NEAR(table->Line('P')->x(), 250, 20);
}

TEST_F(MixTableTest, BoundScrollBarFollowsTheViewSilentlyAndScrollsIt)
{
    table->SetTotal(100.0);
    table->SetViewLen(20.0);
    table->SetScroll(bar);
    TScrollBarAdapter* scroll = table->Scroll();
    EXPECT_EQ(scroll->Max(), 10000);
    EXPECT_EQ(scroll->PageSize(), 2000);
    EXPECT_EQ(scroll->LargeChange(), 100);
    EXPECT_EQ(scroll->SmallChange(), 50);

    int views = 0;
    table->OnViewChange = [&](QObject*) { ++views; };
    table->SetViewLen(10.0);
    EXPECT_EQ(scroll->PageSize(), 1000);
    EXPECT_EQ(scroll->LargeChange(), 250);
    EXPECT_EQ(scroll->SmallChange(), 125);
    views = 0;
    table->SetViewStart(25.0);
    EXPECT_EQ(scroll->Position(), 2500);
    EXPECT_EQ(views, 1) << "the bar's change did not call back";

    scroll->SetPosition(4000);
    EXPECT_DOUBLE_EQ(table->ViewStart(), 40.0);
    EXPECT_EQ(views, 2);

    // An empty mix: the page is the whole bar, nothing divides by zero.
    table->SetTotal(0.0);
    table->SetViewLen(10.0);
    EXPECT_EQ(scroll->PageSize(), 10000);
    table->SetViewStart(5.0);
    EXPECT_EQ(scroll->Position(), 0);
}

TEST_F(MixTableTest, StripClickSetsPOnlyWithTheLeftButtonAndRulerClicksCount)
{
    table->SetViewLen(50.0);
    auto* ruler = new TTimeLine;
    table->TakeTimeLine(ruler);
    EXPECT_EQ(ruler->geometry(), table->TimeLinePanel()->rect());
    int changes = 0;
    table->OnPPosChanged = [&](QObject*) { ++changes; };
    const QPoint at = InWindow(ruler, {200, 10});
    QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, at);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(table->PPos(), 5.0);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(table->PPos(), 20.0);
    table->TimeLineChangePPos = false;
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, InWindow(ruler, {300, 10}));
    EXPECT_DOUBLE_EQ(table->PPos(), 20.0);
}

TEST_F(MixTableTest, DraggingPGreysItReadsBackOnlyItsTimeAndReportsOnceAtTheEnd)
{
    table->SetViewLen(50.0);
    table->AllowNegatives = true;
    table->SetPPos(20.0);
    table->SetLPos(-30.0); // hidden: its panel stands where it was last shown
    const double lBefore = table->LPos();
    int changes = 0, moves = 0;
    table->OnPPosChanged = [&](QObject*) { ++changes; };
    table->OnMarkerChange = [&](QObject*) { ++moves; };
    QWidget* p = table->Marker('P');
    QWindow* w = window.windowHandle();
    QTest::mousePress(w, Qt::LeftButton, {}, InWindow(p, {8, 8}));
    EXPECT_EQ(FillOf(p), 0xDDDDDDu);
    QTest::mouseMove(w, InWindow(p, {58, 8}));
    QTest::mouseMove(w, InWindow(p, {58, 8}));
    EXPECT_TRUE(table->AdjustingPPos());
    QTest::mouseRelease(w, Qt::LeftButton, {}, InWindow(p, {8, 8}));
    EXPECT_EQ(FillOf(p), 0xFFFFFFu);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(moves, 2);
    EXPECT_DOUBLE_EQ(table->PPos(), 30.0);
    EXPECT_EQ(table->LPos(), lBefore);
    EXPECT_EQ(table->Line('P')->x(), 300);
}

TEST_F(MixTableTest, StreamsFollowTheViewInTheirChannelRows)
{
    table->SetChannelHeight(94);
    table->SetViewStart(10.0);
    table->SetViewLen(50.0); // 10 px a second
    table->StreamAdd(5.0, 20.0, 0);
    table->StreamAdd(30.0, 100.0, 1);
    EXPECT_EQ(table->Stream(0)->Panel->geometry(), QRect(-50, 0, 200, 95));
    EXPECT_EQ(table->Stream(1)->Panel->geometry(), QRect(200, 94, 1000, 95));
    EXPECT_EQ(table->Stream(0)->Panel->parentWidget(), table->ClientPanel());
    EXPECT_EQ(table->Stream(0)->Panel->frameShape(), QFrame::NoFrame) << "a new stream starts unselected";

    table->StreamUpdate(1, 20.0, 10.0, 0);
    EXPECT_EQ(table->Stream(1)->Panel->geometry(), QRect(100, 0, 100, 95));
    table->StreamUpdate(7, 0, 0, 0); // ignored

    // A zoom lays the streams out once, at the end, with the final view.
    table->ZoomIn();
    const double w = 500.0;
    EXPECT_EQ(table->Stream(1)->Panel->x(), int(std::trunc((20.0 - table->ViewStart()) * w / table->ViewLen())));

    // Deep zoom: positions are clamped to what Qt's geometry holds.
    for (int i = 0; i < 100; ++i)
        table->ZoomIn();
    for (int i = 0; i < 2; ++i) {
        const QRect g = table->Stream(i)->Panel->geometry();
        EXPECT_LE(std::abs(g.left()), 16777215);
        EXPECT_GE(g.width(), 0);
    }
}

TEST_F(MixTableTest, SelectionFramesOneStreamAndSurvivesClearing)
{
    table->StreamAdd(0.0, 5.0, 0);
    table->StreamAdd(5.0, 5.0, 1);
    table->SetSelectedIndex(1);
    EXPECT_EQ(table->Stream(1)->Panel->frameShape(), QFrame::Box);
    EXPECT_EQ(table->Stream(0)->Panel->frameShape(), QFrame::NoFrame);
    for (int none : {-1, 5}) {
        table->SetSelectedIndex(1);
        table->SetSelectedIndex(none);
        EXPECT_EQ(table->Stream(1)->Panel->frameShape(), QFrame::NoFrame) << none;
        EXPECT_EQ(table->Stream(0)->Panel->frameShape(), QFrame::NoFrame) << none;
    }
    table->SetSelectedIndex(1);
    table->Streams_Clear();
    EXPECT_EQ(table->StreamCount(), 0);
    EXPECT_EQ(table->SelectedIndex(), 1);
    table->SetSelectedIndex(0); // the stale index is ignored
    EXPECT_EQ(table->ClientPanel()->findChildren<QFrame*>().size(), 0);
}

TEST_F(MixTableTest, ClickOnAStreamReportsItsPanel)
{
    table->SetViewLen(50.0);
    table->StreamAdd(0.0, 10.0, 0);
    table->StreamAdd(10.0, 10.0, 1);
    QObject* clicked = nullptr;
    table->OnStreamClick = [&](QObject* sender) { clicked = sender; };
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, InWindow(table->Stream(1)->Panel, {20, 10}));
    EXPECT_EQ(clicked, table->Stream(1)->Panel);
    EXPECT_EQ(table->SelectedIndex(), 0) << "selection is the owner's business";
}

TEST_F(MixTableTest, StatStringListsTheMarkersAndTheView)
{
    table->SetTotal(100.0);
    EXPECT_EQ(table->StatString(),
              "Left: 0.0 Right: 10.0 Position: 5.0 End: 15.0 ViewPos:0.0 ViewLen:20.0 Total:100.0");
}

} // namespace
