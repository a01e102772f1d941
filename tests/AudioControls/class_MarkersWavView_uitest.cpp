#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <QDir>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include "AudioControls/class_MarkersWavView.h"
#include "support/sample_block.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(FormatTimeLabel, MinutesAndRoundedSeconds)
{
    struct Case { float seconds; int decimals; const char* text; };
    const Case cases[] = {
        {125.3f, 1, "2:05.3"}, {125.3f, 0, "2 min 05 sec"}, {125.3f, -1, "2:05"},
        {0.0f, 1, "0:00.0"}, {59.97f, 1, "1:00.0"}, {59.6f, 0, "1 min 00 sec"}, {119.96f, -1, "2:00"},
        {10800.0f, 1, "180:00.0"}, {0.04f, 1, "0:00.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTimeLabel(c.seconds, c.decimals), c.text) << c.seconds << " " << c.decimals;
    EXPECT_EQ(FormatTimeLabel(kNaN, 1), "");
    EXPECT_EQ(FormatTimeLabel(kInf, 1), "");
    EXPECT_FALSE(FormatTimeLabel(3e38f, 1).empty());
}

struct MarkersFixture : testing::Test {
    TMarkersWavView view;
    std::vector<std::int16_t> block = sonorel_test::SweepNoiseBlock(44100, 1, 4410, 5, 400);
    std::vector<std::string> events;

    void SetUp() override
    {
        view.resize(960, 160);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
        view.OnMouseClick = [this](QObject*) { events.push_back("click"); };
        view.OnPositionClick = [this](QObject*, float) { events.push_back("position"); };
        view.OnMarkerMoveStart = [this](QObject*, cMarker* m) { events.push_back("start " + m->Caption); };
        view.OnMarkerMove = [this](QObject*, cMarker* m) { events.push_back("move " + m->Caption); };
        view.OnMarkerMoveEnd = [this](QObject*, cMarker* m) { events.push_back("end " + m->Caption); };
    }
    QWindow* Window() { return view.windowHandle(); }
    void Press(QPoint p) { QTest::mousePress(Window(), Qt::LeftButton, {}, p); }
    void Move(QPoint p) { QTest::mouseMove(Window(), p); }
    void Release(QPoint p) { QTest::mouseRelease(Window(), Qt::LeftButton, {}, p); }
    // A point strictly inside the marker's caption box, dx pixels from its grab edge.
    static QPoint InBox(const cMarker* m, int dx = 3)
    {
        const QRect& r = m->CaptionRect;
        return QPoint(m->CaptionLeft ? r.right() - dx : r.left() + dx, (r.top() + r.bottom()) / 2);
    }
    cMarker* AddCaptioned(float pos, const std::string& caption)
    {
        cMarker* m = view.Markers.Add();
        m->Pos = pos;
        m->Caption = caption;
        view.Redraw();
        return m;
    }
};

TEST_F(MarkersFixture, AddZoneNamesAndPlacesItsMarkers)
{
    view.AddZone("a", 0.1f, 0.2f);
    view.AddZone("b", 0.4f, 0.1f);
    cZone* third = view.AddZone("", 0.5f, 0.25f);
    EXPECT_EQ(third->Start->Caption, "(3");
    EXPECT_EQ(third->End->Caption, "3)");
    EXPECT_TRUE(third->End->CaptionLeft);
    EXPECT_FALSE(third->Start->CaptionLeft);
    EXPECT_EQ(third->Start->ZoneIndex, 2);
    EXPECT_FLOAT_EQ(third->End->Pos, 0.75f);
    EXPECT_EQ(third->Start->Color, 0x0606CEu);
    EXPECT_TRUE(third->Start->Dotted);

    view.SetSelStart(0.6f);
    view.SetSelLen(-0.2f);
    cZone* spanning = view.AddZone("s", -1.0f, -1.0f);   // the selection as stored
    EXPECT_FLOAT_EQ(spanning->Start->Pos, 0.6f);
    EXPECT_FLOAT_EQ(spanning->End->Pos, 0.4f);

    view.DeleteZone(1);
    EXPECT_EQ(view.Zones.Count(), 3);
    EXPECT_EQ(view.Markers.Count(), 6);
    EXPECT_EQ(third->Start->ZoneIndex, 2);   // left as it was
    EXPECT_THROW(view.DeleteZone(3), std::out_of_range);

    view.SetSelStart(0.2f);
    view.SetSelLen(0.3f);
    view.SelectionToMarkers();
    EXPECT_EQ(view.Markers.At(6)->Caption, "1B");
    EXPECT_FLOAT_EQ(view.Markers.At(7)->Pos, 0.5f);
    EXPECT_EQ(view.Markers.At(7)->Caption, "1E");
}

TEST_F(MarkersFixture, TheSelectedZoneIsDrawnLast)
{
    view.AddZone("a", 0.1f, 0.2f);
    view.AddZone("b", 0.4f, 0.1f);
    cMarker* plain = AddCaptioned(0.8f, "x");
    view.SelectedZoneIndex = 0;
    view.Redraw();
    const std::vector<cMarker*> expected = {view.Zones.At(1)->Start, view.Zones.At(1)->End, plain,
                                            view.Zones.At(0)->Start, view.Zones.At(0)->End};
    EXPECT_EQ(view.DrawnMarkers(), expected);
    view.SelectedZoneIndex = 7;   // beyond the zones: its markers are left out, nothing throws
    view.Redraw();
    EXPECT_EQ(view.DrawnMarkers().size(), 5u);
}

TEST_F(MarkersFixture, GrabbingACaptionDragsTheMarker)
{
    cMarker* m = AddCaptioned(0.25f, "cue");
    ASSERT_TRUE(m->CaptionShown);
    const QPoint grab = InBox(m);
    Press(grab);
    EXPECT_TRUE(view.Dragging());
    Move(grab + QPoint(100, 0));
    Release(grab + QPoint(100, 0));
    EXPECT_FLOAT_EQ(m->Pos, view.XToWavPos(grab.x() + 100 - 3));
    const std::vector<std::string> expected = {"click", "position", "start cue", "move cue", "end cue"};
    EXPECT_EQ(events, expected);
    EXPECT_FLOAT_EQ(view.SelLen(), 0.0f);   // a marker drag selects nothing
    EXPECT_FALSE(view.Dragging());
}

TEST_F(MarkersFixture, HitTestsOfCaptionBoxes)
{
    cMarker* first = AddCaptioned(0.5f, "first");
    cMarker* second = AddCaptioned(0.5f, "second");   // the same place: its box covers the first
    Press(InBox(first));
    Release(InBox(first));
    EXPECT_EQ(events.at(2), "start second");

    // The edge of a box is outside it: the press selects instead.
    events.clear();
    const QPoint edge(second->CaptionRect.left(), second->CaptionRect.top() + 3);
    Press(edge);
    Release(edge);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "position"}));

    // Hidden markers and markers outside the view cannot be grabbed.
    second->Visible = false;
    first->Pos = 0.9f;
    view.SetViewLen(0.5f);
    events.clear();
    const QPoint oldPlace = InBox(second);
    Press(oldPlace);
    Release(oldPlace);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "position"}));
    EXPECT_FALSE(second->CaptionShown);
    EXPECT_FALSE(first->CaptionShown);
}

TEST_F(MarkersFixture, LockedViewReportsClicksButNeitherSelectsNorGrabs)
{
    cMarker* m = AddCaptioned(0.25f, "cue");
    view.Locked = true;
    view.SetSelStart(0.7f);
    Press(InBox(m));
    Move(InBox(m) + QPoint(50, 0));
    Release(InBox(m) + QPoint(50, 0));
    Press(QPoint(600, 100));
    Move(QPoint(700, 100));
    Release(QPoint(700, 100));
    EXPECT_EQ(events, (std::vector<std::string>{"click", "position", "click", "position"}));
    EXPECT_FLOAT_EQ(m->Pos, 0.25f);
    EXPECT_FLOAT_EQ(view.SelStart(), 0.7f);
    EXPECT_FLOAT_EQ(view.SelLen(), 0.0f);
}

TEST_F(MarkersFixture, ZoneMarkersKeepTheirOrderAndCarryTheSelection)
{
    cZone* zone = view.AddZone("z", 0.4f, 0.2f);
    view.Redraw();
    const QPoint grab = InBox(zone->End);
    Press(grab);
    Move(QPoint(50, grab.y()));   // far left of the start marker
    EXPECT_FLOAT_EQ(zone->End->Pos, zone->Start->Pos);
    EXPECT_FLOAT_EQ(view.SelStart(), 0.4f);   // the selection is the zone
    EXPECT_FLOAT_EQ(view.SelLen(), 0.0f);
    Move(QPoint(800, grab.y()));
    EXPECT_FLOAT_EQ(view.SelLen(), zone->End->Pos - 0.4f);
    Release(QPoint(800, grab.y()));

    view.KeepZoneOrder = false;
    view.OptionMarkerZoneSelect = false;
    view.SetSelStart(0.9f);
    view.Redraw();
    const QPoint again = InBox(zone->End);
    Press(again);
    Move(QPoint(50, again.y()));
    Release(QPoint(50, again.y()));
    EXPECT_LT(zone->End->Pos, zone->Start->Pos);
    EXPECT_FLOAT_EQ(view.SelStart(), 0.9f);
}

TEST_F(MarkersFixture, AMarkerDraggedPastTheEdgeScrollsTheView)
{
    view.SetViewLen(0.25f);
    cMarker* m = AddCaptioned(0.2f, "cue");
    const QPoint grab = InBox(m);
    Press(grab);
    Move(QPoint(view.width() + 30, grab.y()));
    EXPECT_TRUE(view.ScrollTimerActive());
    const float before = view.ViewStart();
    view.OnScrollTimer();
    EXPECT_GT(view.ViewStart(), before);
    EXPECT_TRUE(view.ScrollTimerActive());   // it goes on while the mouse stays out
    EXPECT_FLOAT_EQ(m->Pos, view.XToWavPos(view.width() - 3));
    Release(QPoint(view.width() + 30, grab.y()));
    EXPECT_FALSE(view.ScrollTimerActive());
}

TEST_F(MarkersFixture, AStaleDragIndexThrowsTheListError)
{
    cZone* zone = view.AddZone("z", 0.4f, 0.2f);
    view.Redraw();
    const QPoint grab = InBox(zone->Start);
    view.ImageMouseDown(&view, Qt::LeftButton, {}, grab.x(), grab.y());
    view.DeleteZone(0);
    try {
        view.ImageMouseMove(&view, {}, grab.x() + 10, grab.y());
        ADD_FAILURE();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "cTemplateList - to big item number");
    }
}

// Counts the ruler's grey text pixels in the band where the labels stand.
int RulerPixels(const TMarkersWavView& view)
{
    const QRgb grey = ui::ToQColor(0x808080).rgb();
    int count = 0;
    for (int y = view.height() - 16; y < view.height(); ++y)
        for (int x = 0; x < view.Picture().width(); ++x)
            count += view.Picture().pixel(x, y) == grey;
    return count;
}

TEST_F(MarkersFixture, RulerLabelsAndInputsThatDrawNone)
{
    view.SetMemBuffer(nullptr, 0);   // no wave under the labels
    view.TimeLineShow = true;
    view.TotalTime = 600.0f;
    view.Redraw();
    EXPECT_GT(RulerPixels(view), 50);

    struct Case { float totalTime; int dist; float viewLen; };
    const Case none[] = {
        {-1.0f, 50, 1.0f}, {600.0f, 0, 1.0f}, {600.0f, -50, 1.0f}, {600.0f, 50, 0.0f},
        {kInf, 50, 1.0f}, {kNaN, 50, 1.0f}, {0.0f, 50, 1.0f},
    };
    for (const Case& c : none) {
        view.TotalTime = c.totalTime;
        view.TimeLineDist = c.dist;
        view.SetViewLen(c.viewLen);
        EXPECT_EQ(RulerPixels(view), 0) << c.totalTime << " " << c.dist << " " << c.viewLen;
    }
    // Huge lengths and tiny spacings end too (at most one label per column).
    for (float total : {3e38f, 1e-30f}) {
        view.TotalTime = total;
        view.TimeLineDist = 1;
        view.SetViewLen(1.0f);
    }
    view.TimeLineShow = false;
    view.TotalTime = 600.0f;
    view.TimeLineDist = 50;
    view.Redraw();
    EXPECT_EQ(RulerPixels(view), 0);
}

TEST_F(MarkersFixture, LinkedScrollBarFollowsTheViewAndMovesIt)
{
    QScrollBar bar(Qt::Horizontal);
    view.ConnectScrollbar(&bar);
    view.SetViewLen(0.25f);
    view.SetViewStart(0.5f);
    EXPECT_EQ(bar.value(), 5000);
    EXPECT_EQ(bar.pageStep(), 2500);
    EXPECT_EQ(bar.maximum(), 10000 - 2500 + 1);
    EXPECT_EQ(bar.singleStep(), 125);

    int viewChanges = 0;
    view.OnViewChange = [&](QObject*) { ++viewChanges; };
    bar.setValue(2000);
    EXPECT_FLOAT_EQ(view.ViewStart(), 0.2f);
    EXPECT_EQ(viewChanges, 0);   // the bar's own move is not reported back
    view.ZoomIn();
    EXPECT_EQ(viewChanges, 1);
    EXPECT_EQ(bar.pageStep(), static_cast<int>(10000 * view.ViewLen()));

    bar.setValue(bar.minimum());
    const int start = bar.value();
    bar.triggerAction(QAbstractSlider::SliderPageStepAdd);   // a click in the trough
    // The view stores the new start and writes the position back truncated: within one step.
    EXPECT_NEAR(bar.value() - start, bar.pageStep() / 20, 1);
}

} // namespace

// Builds the views a person sees (a wave with a selection, zones, markers and the ruler, whole
// and zoomed in), checks that every element reaches the picture, and, when
// SONOREL_SCREENSHOT_DIR is set, saves the pictures there for a look.
namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 20;

void Decorate(TMarkersWavView& view, const std::vector<std::int16_t>& block)
{
    view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
    view.TotalTime = kSeconds;
    view.TimeLineShow = true;
    view.SetColorPCM(0x48DF2F);
    view.ColorSelectionPCM = 0x3A8316;
    view.SetSelStart(0.30f);
    view.SetSelLen(0.12f);
    view.AddZone("Intro", 0.05f, 0.15f);
    view.AddZone("", 0.55f, 0.2f);
    cMarker* cue = view.Markers.Add();
    cue->Pos = 0.418f;
    cue->Caption = "cue";
    cue->Color = 0x00D7FF;
    cue->Dotted = false;
    cue->LineWidth = 2;
    cue->CaptionLowered = true;
    cMarker* beat = view.Markers.Add();
    beat->Pos = 0.4185f;
    beat->TicksOnly = true;
    beat->Color = 0xFFFFFF;
    view.Redraw();
}

int CountColour(const QImage& image, TColor colour)
{
    const QRgb wanted = ui::ToQColor(colour).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == wanted;
    return n;
}

void SaveIfAsked(const QImage& image, const char* name)
{
    const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromUtf8(dir));
    EXPECT_TRUE(image.save(QString::fromUtf8(dir) + "/" + name));
}

TEST(ViewPictures, WholeAndZoomedViewsShowEveryElement)
{
    const std::vector<std::int16_t> block = sonorel_test::SweepNoiseBlock(kRate * kSeconds, 2, kRate, 30, 3000);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* whole = new TMarkersWavView;
    auto* zoomed = new TMarkersWavView;
    for (TMarkersWavView* view : {whole, zoomed}) {
        view->setFixedSize(960, 200);
        layout->addWidget(view);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Decorate(*whole, block);
    Decorate(*zoomed, block);
    zoomed->SetViewStart(0.414f);
    zoomed->SetViewLen(0.01f);

    const QImage wholePicture = whole->grab().toImage();
    const QImage zoomedPicture = zoomed->grab().toImage();
    SaveIfAsked(wholePicture, "views_whole.png");
    SaveIfAsked(zoomedPicture, "views_zoomed.png");
    SaveIfAsked(window.grab().toImage(), "views_window.png");

    for (const QImage& picture : {wholePicture, zoomedPicture}) {
        EXPECT_GT(CountColour(picture, 0x48DF2F), 1000);      // wave
        EXPECT_GT(CountColour(picture, 0x3A8316), 200);       // wave in the selection
        EXPECT_GT(CountColour(picture, 0xFFFFFF), 1000);      // selection background, captions
        EXPECT_GT(CountColour(picture, 0x808080), 20);        // ruler labels
        EXPECT_GT(CountColour(picture, 0x00D7FF), 300);       // the solid cue marker
    }
    EXPECT_GT(CountColour(wholePicture, 0x0606CE), 200);      // zone markers
}

} // namespace
