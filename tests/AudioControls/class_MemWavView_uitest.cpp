#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "AudioControls/class_MemWavView.h"
#include "support/sample_block.h"
#include "support/ui_waits.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A shown top-level view, so QTest's window-level mouse events reach it as a person's would.
struct ViewFixture : testing::Test {
    TMemWavView view;
    std::vector<std::int16_t> block = sonorel_test::SweepNoiseBlock(44100, 2, 44100, 40, 4000);
    int selChanges = 0, viewChanges = 0, selEnds = 0;

    void SetUp() override
    {
        view.resize(960, 120);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
        view.OnSelChange = [this](QObject*) { ++selChanges; };
        view.OnViewChange = [this](QObject*) { ++viewChanges; };
        view.OnSelEnd = [this](QObject*) { ++selEnds; };
    }
    QWindow* Window() { return view.windowHandle(); }
    void Press(int x, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(Window(), b, {}, QPoint(x, 60)); }
    void Move(int x) { QTest::mouseMove(Window(), QPoint(x, 60)); }
    void Release(int x, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(Window(), b, {}, QPoint(x, 60)); }
    QRgb Pixel(int x, int y) const
    {
        return view.Picture().pixel(x - view.PictureArea().x(), y - view.PictureArea().y());
    }
    // True when any pixel of column x has the colour.
    bool ColumnHas(int x, TColor color) const
    {
        const QRgb wanted = ui::ToQColor(color).rgb();
        for (int y = 0; y < view.height(); ++y)
            if (Pixel(x, y) == wanted)
                return true;
        return false;
    }
};

TEST(WrapUnit, WrapsLikeRepeatedStepsAndAlwaysEnds)
{
    struct Case { double in; float position; float length; };
    const Case cases[] = {
        {0.25, 0.25f, 0.25f}, {1.5, 0.5f, 0.5f}, {1.0, 1.0f, 1.0f}, {2.0, 1.0f, 1.0f},
        {-0.25, 0.75f, -0.25f}, {-1.5, 0.5f, -0.5f}, {-1.0, 0.0f, -1.0f}, {-2.0, 0.0f, -1.0f},
        {0.0, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(WrapUnitPosition(c.in), c.position) << c.in;
        EXPECT_FLOAT_EQ(WrapUnitLength(c.in), c.length) << c.in;
    }
    for (double wild : {1e30, -1e30, 1e300, double(kInf), -double(kInf), double(kNaN)}) {
        const float p = WrapUnitPosition(wild), l = WrapUnitLength(wild);
        EXPECT_TRUE(p >= 0.0f && p <= 1.0f) << wild;
        EXPECT_TRUE(l >= -1.0f && l <= 1.0f) << wild;
    }
}

TEST_F(ViewFixture, SettersWrapStoreAndFireTheirEvents)
{
    view.SetViewStart(1.5f);
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.5f);
    view.SetViewStart(1.0f);
    EXPECT_FLOAT_EQ(view.ViewStart(), 1.0f);
    view.SetViewLen(kInf);
    EXPECT_FLOAT_EQ(view.ViewLen(), 0.0f);
    EXPECT_EQ(viewChanges, 3);
    view.SetSelStart(0.2f);
    view.SetSelLen(-1.5f);
    EXPECT_FLOAT_EQ(view.SelLen(), -0.5f);
    EXPECT_EQ(selChanges, 2);
    view.SetSelStart(0.6f);
    view.SetSelLen(-0.25f);
    EXPECT_FLOAT_EQ(view.GetSelStart(), 0.35f);
    EXPECT_FLOAT_EQ(view.GetSelLen(), 0.25f);
    EXPECT_FLOAT_EQ(view.GetSelEnd(), 0.6f);
}

TEST_F(ViewFixture, ConversionsBetweenColumnsAndFractions)
{
    view.SetViewStart(0.25f);
    view.SetViewLen(0.5f);
    EXPECT_FLOAT_EQ(view.XToWavPos(0), 0.25f);
    EXPECT_FLOAT_EQ(view.XToWavPos(480), 0.5f);
    EXPECT_FLOAT_EQ(view.XDiffToWavLen(96), 0.05f);
    EXPECT_EQ(view.WavPosToX(0.25f), 0);
    EXPECT_EQ(view.WavPosToX(0.5f), 479);  // (960 - 1) x 0.5, truncated
    EXPECT_EQ(view.WavPosToX(0.75f), 959);
    EXPECT_EQ(view.WavPosToX(0.2f), -1);
    EXPECT_EQ(view.WavPosToX(0.8f), -1);
    EXPECT_EQ(view.WavPosToX(kNaN), -1);
    view.SetViewLen(0.75f);
    EXPECT_EQ(view.WavPosToX(1.0f), 959);  // the block's end is the last column
    view.SetViewLen(0.0f);
    EXPECT_EQ(view.WavPosToX(0.25f), 0);    // an empty view still maps its own start
    view.resize(0, 0);
    EXPECT_TRUE(std::isfinite(view.XToWavPos(100)));
    EXPECT_EQ(view.XDiffToWavLen(100), 0.0f);
    EXPECT_EQ(view.WavPosToX(0.25f), -1);
}

TEST_F(ViewFixture, SelectionHighlightFollowsTheNormalisedSelection)
{
    struct Case { float start, len; int firstSelected, lastSelected; bool background; };
    const Case cases[] = {
        {0.25f, 0.25f, 239, 479, true},
        {0.5f, -0.25f, 239, 479, true},   // leftward: the same columns
        {0.1f, 0.2f, 95, 287, true},
    };
    for (const Case& c : cases) {
        view.SetSelStart(c.start);
        view.SetSelLen(c.len);
        EXPECT_EQ(ui::ToQColor(view.ColorSelectionBack).rgb(), Pixel(c.firstSelected, 0)) << c.start;
        EXPECT_EQ(ui::ToQColor(view.ColorSelectionBack).rgb(), Pixel(c.lastSelected, 0)) << c.start;
        EXPECT_EQ(ui::ToQColor(view.ColorBack()).rgb(), Pixel(c.lastSelected + 2, 0)) << c.start;
        EXPECT_TRUE(ColumnHas(c.firstSelected + 1, view.ColorSelectionPCM));
        EXPECT_TRUE(ColumnHas(c.lastSelected + 2, view.ColorPCM()));
    }
}

TEST_F(ViewFixture, SelectionOutsideTheViewAtEitherSide)
{
    view.SetViewStart(0.4f);
    view.SetViewLen(0.2f);
    view.SetSelStart(0.8f);   // wholly right: nothing highlighted
    view.SetSelLen(0.1f);
    for (int x : {0, 480, 959}) {
        EXPECT_EQ(ui::ToQColor(view.ColorBack()).rgb(), Pixel(x, 0));
        EXPECT_FALSE(ColumnHas(x, view.ColorSelectionPCM));
    }
    view.SetSelStart(0.1f);   // wholly left: no background, but column 0 counts as selected
    EXPECT_EQ(ui::ToQColor(view.ColorBack()).rgb(), Pixel(0, 0));
    EXPECT_TRUE(ColumnHas(0, view.ColorSelectionPCM));
    EXPECT_FALSE(ColumnHas(1, view.ColorSelectionPCM));
}

// Rows a one-column view paints in ColorPCM for a block of 16-bit samples.
int PaintedRows(TMemWavView& v, const TColor color)
{
    int rows = 0;
    const QRgb wanted = ui::ToQColor(color).rgb();
    for (int y = 0; y < v.height(); ++y)
        rows += v.Picture().pixel(0, y) == wanted;
    return rows;
}

TEST(MemWavViewDrawing, ViewStartIsMovedDownToAFrameBoundary)
{
    QWidget window;
    window.resize(100, 100);
    TMemWavView view(&window);
    view.setGeometry(0, 0, 1, 40);
    view.SetViewMargin(0);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // 8 samples (16 bytes); only sample 2 (bytes 4..5) is loud.
    std::vector<std::int16_t> block = {0, 0, 16383, 0, 0, 0, 0, 0};
    view.SetMemBuffer(block.data(), 16);
    // The empty selection at 0.0 lies left of the view, so the column is drawn as selected.
    view.SetViewStart(6.0f / 16.0f);  // inside the frame that starts at byte 4
    EXPECT_GT(PaintedRows(view, view.ColorSelectionPCM), 5);
    view.SetViewStart(8.0f / 16.0f);
    EXPECT_EQ(PaintedRows(view, view.ColorSelectionPCM), 1);
}

// Under the address sanitizer these draw exactly-sized blocks at every awkward geometry: no read
// may pass the block's end and every loop must end.
TEST(MemWavViewDrawing, AwkwardBlocksAndGeometriesStayInsideTheBlock)
{
    TMemWavView view;
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    for (int bytes : {0, 1, 2, 3, 5, 6, 7, 801}) {
        auto storage = std::make_unique<std::int16_t[]>(static_cast<size_t>(bytes / 2 + 1));
        for (int i = 0; i <= bytes / 2; ++i)
            storage[i] = static_cast<std::int16_t>(i * 997);
        for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(3, 200), QSize(960, 30), QSize(5000, 10)}) {
            view.resize(size);
            view.SetMemBuffer(storage.get(), bytes);
            for (float start : {0.0f, 0.3f, 0.999f, 1.0f})
                for (float len : {0.0f, 1e-9f, 0.5f, 1.0f}) {
                    view.SetViewLen(len);
                    view.SetViewStart(start);
                }
        }
    }
    std::vector<std::int16_t> block(1000, 1000);
    view.resize(400, 100);
    view.SetMemBuffer(block.data(), 2000);
    for (float scale : {0.0f, -3.0f, 1e30f, kInf, kNaN}) {
        view.Scale = scale;
        view.Redraw();
    }
    view.SetViewMargin(1000000);
    view.SetMemBuffer(block.data(), -5);
    EXPECT_EQ(view.MemLength(), 0);
}

TEST_F(ViewFixture, OnDrawPaintsIntoThePictureAndTheCursorShowsAnEmptySelection)
{
    view.OnDraw = [](QObject*, QPainter& canvas) { canvas.fillRect(QRect(10, 10, 5, 5), Qt::magenta); };
    view.SetSelStart(0.5f);
    view.SetSelLen(0.0f);
    EXPECT_EQ(Pixel(12, 12), QColor(Qt::magenta).rgb());
    const int cursor = view.WavPosToX(0.5f);
    EXPECT_TRUE(ColumnHas(cursor, view.ColorSelectionBack));
    view.SetSelStart(0.1f);
    view.SetSelLen(0.1f);   // a selection has no cursor
    EXPECT_FALSE(ColumnHas(cursor, view.ColorSelectionBack));
    EXPECT_FALSE(ColumnHas(view.WavPosToX(0.1f) - 1, view.ColorSelectionBack));
}

TEST_F(ViewFixture, MouseDragSelectsAndALeftwardDragIsNormalisedAtRelease)
{
    Press(100);
    EXPECT_EQ(selChanges, 0);   // the press resets the selection without the setters
    Move(200);
    Move(300);
    Release(300);
    EXPECT_FLOAT_EQ(view.SelStart(), view.XToWavPos(100));
    EXPECT_FLOAT_EQ(view.SelLen(), view.XToWavPos(300) - view.XToWavPos(100));
    EXPECT_EQ(selChanges, 2);
    EXPECT_EQ(selEnds, 1);

    selChanges = 0;
    Press(500);
    Move(400);
    int changesWhileDragging = selChanges;
    EXPECT_LT(view.SelLen(), 0.0f);
    Release(400);
    EXPECT_EQ(selChanges - changesWhileDragging, 2);   // start, then length
    EXPECT_FLOAT_EQ(view.SelStart(), view.XToWavPos(400));
    EXPECT_NEAR(view.SelLen(), view.XToWavPos(500) - view.XToWavPos(400), 1e-6);
    EXPECT_EQ(selEnds, 2);
}

TEST_F(ViewFixture, RightButtonSelectsOnlyWhenAllowed)
{
    view.SetSelStart(0.5f);
    Press(100, Qt::RightButton);
    Move(200);
    Release(200, Qt::RightButton);
    EXPECT_FLOAT_EQ(view.SelStart(), 0.5f);
    EXPECT_EQ(selEnds, 0);

    view.RightButtonSelect = true;
    Press(100, Qt::RightButton);
    Move(200);
    Release(200, Qt::RightButton);
    EXPECT_FLOAT_EQ(view.SelStart(), view.XToWavPos(100));
    EXPECT_TRUE(view.RightButtonSelection);
    Press(50);
    Release(50);
    EXPECT_FALSE(view.RightButtonSelection);
}

TEST_F(ViewFixture, DragPastTheEdgeScrollsAndTheSelectionFollows)
{
    view.SetViewStart(0.25f);
    view.SetViewLen(0.25f);
    Press(800);
    Move(view.width() + 20);
    EXPECT_TRUE(view.ScrollTimerActive());
    EXPECT_EQ(view.ScrollTimerTag(), 20);

    const float before = view.ViewStart();
    view.OnScrollTimer();   // one tick: 12 or more pixels out, 1.5^12 = 129 pixels, times 0.2
    EXPECT_NEAR(view.ViewStart() - before, 0.2f * view.XDiffToWavLen(129), 1e-6);
    EXPECT_TRUE(view.ScrollTimerActive());   // the tick's own move keeps it running
    EXPECT_NEAR(view.GetSelEnd(), view.XToWavPos(view.width()), 1e-6);

    const float afterTick = view.ViewStart();
    WAIT_TRUE(view.ViewStart() > afterTick);   // the 25 ms timer goes on by itself

    Move(500);   // back inside: the timer stops
    EXPECT_FALSE(view.ScrollTimerActive());
    Move(-30);
    EXPECT_EQ(view.ScrollTimerTag(), -30);
    Release(-30);
    EXPECT_FALSE(view.ScrollTimerActive());

    view.SetViewStart(0.0f);
    Press(10);
    Move(-40);
    view.OnScrollTimer();
    EXPECT_EQ(view.ViewStart(), 0.0f);   // held at the block's start
    Release(-40);
}

TEST_F(ViewFixture, DragScrollTerminatesForAnyScrollSpeed)
{
    view.SetViewLen(0.5f);
    Press(400);
    Move(view.width() + 100);
    for (float speed : {0.0f, 1e30f, kInf, kNaN, -2.0f}) {
        view.ScrollSpeed = speed;
        view.OnScrollTimer();
        EXPECT_TRUE(view.ViewStart() >= 0.0f && view.ViewStart() <= 0.5f) << speed;
    }
    Release(view.width() + 100);
}

TEST_F(ViewFixture, ZoomOutGrowsAboutTheCentreAndStaysInsideTheBlock)
{
    view.SetViewStart(0.4f);
    view.SetViewLen(0.2f);
    viewChanges = 0;
    view.ZoomOut();
    EXPECT_FLOAT_EQ(view.ViewLen(), 0.28f);
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.36f);
    view.SetViewStart(0.0f);
    view.ZoomOut();
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.0f);
    view.SetViewStart(0.9f);
    view.SetViewLen(0.1f);
    view.ZoomOut();
    EXPECT_FLOAT_EQ(view.ViewStart() + view.ViewLen(), 1.0f);
    for (int i = 0; i < 20; ++i)
        view.ZoomOut();
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.0f);
    EXPECT_FLOAT_EQ(view.ViewLen(), 1.0f);
    EXPECT_EQ(viewChanges, 6 + 20);
}

TEST_F(ViewFixture, ZoomInCentresOnASelectionInTheViewElseOnTheView)
{
    view.SetSelStart(0.1f);
    view.SetSelLen(0.1f);
    view.ZoomIn();   // centred on 0.15, then held at the block's start
    EXPECT_FLOAT_EQ(view.ViewLen(), 1.0f / 1.4f);
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.0f);

    view.SetViewStart(0.2f);
    view.SetViewLen(0.4f);
    view.SetSelStart(0.35f);
    view.SetSelLen(0.0f);   // the cursor counts as a selection
    view.ZoomIn();
    EXPECT_NEAR(view.ViewStart() + view.ViewLen() * 0.5f, 0.35f, 1e-6);

    view.SetViewStart(0.2f);
    view.SetViewLen(0.4f);
    view.SetSelStart(0.9f);  // outside: shrink about the view's own centre
    view.ZoomIn();
    EXPECT_NEAR(view.ViewStart() + view.ViewLen() * 0.5f, 0.4f, 1e-6);
}

TEST_F(ViewFixture, ZoomInSelectionAndFull)
{
    view.SetSelStart(0.3f);
    view.SetSelLen(0.0f);
    viewChanges = 0;
    view.ZoomInSelection();
    EXPECT_EQ(viewChanges, 0);
    EXPECT_FLOAT_EQ(view.ViewLen(), 1.0f);
    view.SetSelLen(-0.1f);
    view.ZoomInSelection();
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.2f);
    EXPECT_FLOAT_EQ(view.ViewLen(), 0.1f);
    view.Full();
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.0f);
    EXPECT_FLOAT_EQ(view.ViewLen(), 1.0f);
    EXPECT_EQ(viewChanges, 2);
}

// A view much wider than its scroll area builds a picture of the shown columns only, and the
// columns scrolled into sight are drawn when they appear.
TEST(MemWavViewDrawing, AWideViewDrawsOnlyTheColumnsOnScreen)
{
    std::vector<std::int16_t> block = sonorel_test::SweepNoiseBlock(441 * 600, 1, 441, 1, 100);
    QScrollArea area;
    area.resize(400, 150);
    auto* view = new TMemWavView;
    view->resize(200000, 120);
    area.setWidget(view);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    view->SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
    EXPECT_LE(view->Picture().width(), 400);

    area.horizontalScrollBar()->setValue(150000);
    const QImage shown = area.viewport()->grab().toImage();
    EXPECT_LE(view->Picture().width(), 400);
    EXPECT_GE(view->PictureArea().right(), 150000);
    const QRgb pcm = ui::ToQColor(view->ColorPCM()).rgb();
    int waveColumns = 0;
    for (int x = 0; x < shown.width(); ++x)
        for (int y = 0; y < shown.height(); ++y)
            if (shown.pixel(x, y) == pcm) {
                ++waveColumns;
                break;
            }
    EXPECT_GT(waveColumns, shown.width() / 2);
}

} // namespace
