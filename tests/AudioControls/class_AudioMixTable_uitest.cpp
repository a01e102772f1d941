// The audio mix table's stream titles: each keeps to the part of its stream that shows, whole when
// it fits, else its beginning ended with "…", never cut at an edge.

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <memory>

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "support/audio_fixtures.h"

using namespace sonorel_test;

namespace {

class AudioMixTableTest : public testing::Test {
protected:
    void SetUp() override
    {
        BASS_ManualOutputEnable(true);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        folder = FixtureFolder();
        song = folder + "/song.wav";
        ASSERT_TRUE(WriteAudioFile(song, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 40.0}), 44100, 2));
        table = std::make_unique<TAudioMixTable>();
        table->resize(400, 100);
        table->SetTotal(60.0);
        table->SetViewLen(20.0); // 20 px a second
        table->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table.get()));
    }
    void TearDown() override
    {
        table.reset();
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }

    std::string folder, song;
    std::unique_ptr<TAudioMixTable> table;
};

const std::string kShort = "1. Intro";
const std::string kLong = "2. Harbour Lights - Symphony for the Northern Sea Orchestra - Winter Movement "
                          "(Extended Version, Recorded Live in the Old Hall)";

TEST_F(AudioMixTableTest, AStreamsTitleKeepsToThePartOfTheStreamThatShows)
{
    enum Shown { Whole, Beginning, Nothing };
    const struct {
        const char* name;
        double start, len, viewStart;
        const std::string& caption;
        Shown shown;
    } cases[] = {
        {"inside", 2.0, 10.0, 0.0, kShort, Whole},
        {"longer than its stream", 2.0, 4.0, 0.0, kLong, Beginning},
        {"cut at the right edge", 12.0, 20.0, 0.0, kLong, Beginning},
        {"starting left of the view", 0.0, 12.0, 4.0, kShort, Whole},
        {"wider than the view on both sides", 0.0, 40.0, 10.0, kLong, Beginning},
        {"too narrow for any text", 19.8, 5.0, 0.0, kLong, Nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        table->DestroyAudioViews();
        table->SetViewStart(0.0);
        table->AddAudioStream(song, 0.0f, float(c.len), c.start, c.len, 0, c.caption);
        table->SetViewStart(c.viewStart); // the stream moves after its view first drew
        TAudioView* view = table->GetAudioView(0);
        const cMarker& title = *view->Markers.Get(1);

        // The view's columns inside the table.
        const int offset = view->mapTo(table->ClientPanel(), QPoint()).x();
        const int first = std::max(0, -offset);
        const int end = std::min(view->width(), table->ClientPanel()->width() - offset);
        if (c.shown == Nothing) {
            EXPECT_FALSE(title.CaptionShown) << title.CaptionDrawn;
            continue;
        }
        EXPECT_TRUE(title.CaptionShown);
        EXPECT_EQ(title.CaptionRect.left(), std::max(first, 1))
            << "beside the line at the stream's start, or from its first column that shows";
        EXPECT_LE(title.CaptionRect.right(), end) << "the box ends inside";
        const QString drawn = QString::fromStdString(title.CaptionDrawn);
        if (c.shown == Whole) {
            EXPECT_EQ(title.CaptionDrawn, c.caption);
        } else {
            EXPECT_TRUE(drawn.endsWith(QChar(0x2026))) << title.CaptionDrawn;
            EXPECT_GT(drawn.size(), 1) << "some of the title";
            EXPECT_TRUE(QString::fromStdString(c.caption).startsWith(drawn.chopped(1))) << title.CaptionDrawn;
        }
    }
}

} // namespace
