// The beat grid: where its markers go, how a drag re-times it, the 480 BPM cap, the guards that
// keep a bad tempo from building an endless grid, and beat jumps while playing.
#include "AudioControls/class_BPMView.h"

#include "support/audio_fixtures.h"
#include "support/sample_block.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace sonorel_test;

namespace {

// A view over a file of `length` seconds without opening one.
class FixedLengthBPMView : public TBPMView {
public:
    float length = 60.0f;
    float LenSec() const override { return length; }
};

std::vector<const cMarker*> MarkersOfKind(const TBPMView& view, int kind)
{
    std::vector<const cMarker*> found;
    for (int i = 0; i < view.Markers.Count(); ++i)
        if (view.Markers.At(i)->MarkerKind == kind)
            found.push_back(view.Markers.At(i));
    return found;
}

cMarker* Beat(const TBPMView& view, int number)
{
    for (int i = 0; i < view.Markers.Count(); ++i)
        if (cMarker* m = view.Markers.At(i); m->MarkerKind == 1 && m->BeatNumber == number)
            return m;
    return nullptr;
}

struct BPMViewTest : testing::Test {
    FixedLengthBPMView view;
    std::vector<std::int16_t> block = SweepNoiseBlock(44100, 1, 4410, 5, 400);
    int bpmChanges = 0;

    void SetUp() override
    {
        view.resize(960, 160);
        view.SetMemBuffer(block.data(), static_cast<std::int64_t>(block.size() * 2));
        view.OnBPMChange = [this](QObject*) { ++bpmChanges; };
    }
    // What the view does around a drag of `marker` to `seconds`.
    void Drag(cMarker* marker, float seconds)
    {
        view.OnMarkerMoveStart(&view, marker);
        marker->Pos = seconds / view.length;
        view.OnMarkerMove(&view, marker);
    }
};

TEST_F(BPMViewTest, BeatMarkersCoverTheWholeFileWithOneBeforeIt)
{
    view.SetBeatsPerMarker(4);
    view.SetBPM(120.0f);
    const auto beats = MarkersOfKind(view, 1);
    ASSERT_EQ(beats.size(), 32u) << "0 to 30 every 2 s, the last at the file's end, and -1";
    for (int n = 0; n <= 30; ++n) {
        ASSERT_NE(Beat(view, n), nullptr) << n;
        EXPECT_FLOAT_EQ(Beat(view, n)->Pos, n * 2.0f / 60.0f);
        EXPECT_EQ(Beat(view, n)->Caption, "  " + std::to_string(n) + "  ");
        EXPECT_EQ(Beat(view, n)->Color, 0x0000FFu);
    }
    EXPECT_EQ(Beat(view, -1)->Caption, "-1");
    EXPECT_LT(Beat(view, -1)->Pos, 0.0f);
}

TEST_F(BPMViewTest, NoGridWithoutAPositiveFiniteBeatAndFileLengthOrWithMoreBeatsThanCanBeShown)
{
    struct Case {
        float bpm;
        int beatsPerMarker;
        float length;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const Case c : {Case{0, 4, 60}, Case{-120, 4, 60}, Case{120, 0, 60}, Case{120, -4, 60}, Case{nan, 4, 60},
                         Case{120, 4, 0}, Case{120, 4, nan}, Case{1e30f, 4, 60}}) {
        view.length = c.length;
        view.SetBeatsPerMarker(c.beatsPerMarker);
        view.SetBPM(c.bpm);
        EXPECT_TRUE(MarkersOfKind(view, 1).empty()) << c.bpm << " BPM, " << c.beatsPerMarker << ", " << c.length << " s";
    }
}

TEST_F(BPMViewTest, DraggingABeatMarkerRetimesTheGridWithTicksMeanwhile)
{
    view.SetBPM(120.0f);
    Drag(Beat(view, 2), 3.0f);
    EXPECT_FLOAT_EQ(view.BPM(), 160.0f) << "beat 2 at 3 s: 1.5 s per 4 beats";
    EXPECT_NEAR(Beat(view, 5)->Pos * 60.0f, 7.5f, 1e-4);
    view.OnMarkerMoveEnd(&view, Beat(view, 2));
    EXPECT_TRUE(MarkersOfKind(view, 2).empty()) << "the ticks go with the release";
    EXPECT_GE(bpmChanges, 1);

    view.SetBeatsPerMarker(4);
    view.OnMarkerMoveStart(&view, Beat(view, 3));
    EXPECT_EQ(MarkersOfKind(view, 2).size(), 6u);
    view.OnMarkerMoveEnd(&view, Beat(view, 3));
    view.SetBeatsPerMarker(1);
    view.OnMarkerMoveStart(&view, Beat(view, 3));
    EXPECT_TRUE(MarkersOfKind(view, 2).empty()) << "one beat per marker has no sub-beats";
}

TEST_F(BPMViewTest, ADragOntoOrPastBeatZeroLeavesTheGridAsItWas)
{
    view.SetBPM(120.0f);
    for (const float seconds : {0.0f, -1.0f}) {
        Drag(Beat(view, 2), seconds);
        EXPECT_FLOAT_EQ(view.BPM(), 120.0f);
        EXPECT_FLOAT_EQ(Beat(view, 4)->Pos * 60.0f, 8.0f);
    }
}

TEST_F(BPMViewTest, ATempoAbove480IsCappedAndTheDragEndsWithoutTouchingTheFreedMarker)
{
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.SetBPM(120.0f);
    view.Redraw();
    cMarker* second = Beat(view, 2);
    ASSERT_TRUE(second->CaptionShown);
    const QPoint grab(second->CaptionRect.left() + 3, second->CaptionRect.center().y());
    QWindow* window = view.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    ASSERT_TRUE(view.Dragging());
    // Beat 2 dragged to 0.5 s would be 960 BPM.
    const QPoint target(static_cast<int>(view.WavPosToX(0.5f / 60.0f)) + 3, grab.y());
    QTest::mouseMove(window, target);
    EXPECT_FLOAT_EQ(view.BPM(), 480.0f);
    EXPECT_FALSE(view.Dragging());
    QTest::mouseMove(window, target + QPoint(40, 0));
    QTest::mouseRelease(window, Qt::LeftButton, {}, target + QPoint(40, 0));
    EXPECT_FLOAT_EQ(view.BPM(), 480.0f) << "later moves drag nothing";
    EXPECT_TRUE(MarkersOfKind(view, 2).empty());
}

TEST(BPMViewJumps, JumpToGridLinesOnlyWhilePlaying)
{
    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    {
        const std::string song = FixtureFolder() + "/song.wav";
        ASSERT_TRUE(WriteAudioFile(song, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 20.0}), 44100, 2));
        TBPMView view;
        view.Store().CacheFolder = FixtureFolder() + "/cache";
        view.SetFileName(song);
        view.SetBPM(120.0f); // a marker every 2 s
        view.NextBeat();
        EXPECT_FALSE(view.Player().IsPlaying()) << "not playing: no jump";
        struct Case {
            float from, next, previous; // seconds
        };
        for (const Case c : {Case{5.0f, 6.0f, 2.0f}, Case{0.5f, 2.0f, 0.0f}, Case{19.5f, 20.0f, 16.0f}}) {
            view.Play(c.from / 20.0f);
            view.NextBeat();
            EXPECT_NEAR(view.Player().GetPos() * 20.0f, c.next, 0.01) << "next from " << c.from;
            view.Play(c.from / 20.0f);
            view.PrevBeat();
            EXPECT_NEAR(view.Player().GetPos() * 20.0f, c.previous, 0.01) << "previous from " << c.from;
        }
    }
    BASS_Free();
    BASS_ManualOutputEnable(false);
}

} // namespace
