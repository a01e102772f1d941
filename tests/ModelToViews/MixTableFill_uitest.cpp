// Filling an audio mix table from playlist rows (places, channels, captions, tags, scale, reuse,
// centring), a row whose file is missing, and the fade lines drawn over each row's waveform.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "ModelToViews/MixTableFill.h"
#include "model/class_Application.h"
#include "platform/sound/SoundLibrary.h"
#include "support/audio_fixtures.h"

using namespace sonorel_test;

namespace {

class MixTableFillTest : public testing::Test {
protected:
    void SetUp() override
    {
        BASS_ManualOutputEnable(true);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
        folder = FixtureFolder();
        song = folder + "/song.wav";
        ASSERT_TRUE(WriteAudioFile(song, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 20.0}), 44100, 2));
        snl.mixdata.Clear();
        AddRow("one", 0.0f, 10.0f, 0.0f);
        AddRow("two", 2.0f, 8.0f, 0.0f);
        AddRow("three", 4.0f, 6.0f, 0.0f);
        table = std::make_unique<TAudioMixTable>();
        table->resize(400, 250);
        table->SetTotal(snl.mixdata.TotalLength());
        table->SetViewLen(20.0);
    }
    void TearDown() override
    {
        table.reset();
        snl.mixdata.Clear();
        BASS_Free();
        BASS_ManualOutputEnable(false);
    }
    cMixRow* AddRow(const std::string& name, float start, float length, float speed)
    {
        cMixRow* row = snl.mixdata.Add();
        row->name = name;
        row->filename = song;
        row->start = start;
        row->length = length;
        row->MixParams.speed = speed;
        return row;
    }

    std::string folder, song;
    std::unique_ptr<TAudioMixTable> table;
};

TEST_F(MixTableFillTest, TwoRowsStandAtTheirMixStartsWithCaptionsTagsAndVolume)
{
    snl.mixdata.Get(0)->overlap = true;
    snl.mixdata.Get(0)->overlaplen = 2.0f;
    snl.mixdata.Get(2)->MixParams.volume = 150;
    FillMixTable(*table, snl, 1, true, false);
    ASSERT_EQ(table->AudioViewCount(), 2);
    EXPECT_DOUBLE_EQ(table->Stream(0)->start, 8.0);
    EXPECT_DOUBLE_EQ(table->Stream(0)->len, 8.0);
    EXPECT_EQ(table->Stream(0)->channel, 0);
    EXPECT_DOUBLE_EQ(table->Stream(1)->start, 16.0);
    EXPECT_EQ(table->Stream(1)->channel, 1);
    EXPECT_EQ(table->GetAudioView(0)->Tag, 1);
    EXPECT_EQ(table->GetAudioView(1)->Tag, 2);
    EXPECT_FLOAT_EQ(table->GetAudioView(1)->Scale, 1.5f);
    EXPECT_EQ(table->GetAudioView(1)->Markers.Get(1)->Caption, "3. three");
    EXPECT_FLOAT_EQ(table->GetAudioView(1)->Markers.Get(1)->Pos, 4.0f / 20.0f);
    EXPECT_EQ(table->GetAudioView(-1), nullptr);
    EXPECT_EQ(table->GetAudioView(2), nullptr);
    EXPECT_FALSE(table->RebuildLocked);

    // Again with two rows: the same views, only moved; with one row: made anew.
    TAudioView* first = table->GetAudioView(0);
    snl.mixdata.Get(0)->overlap = false;
    FillMixTable(*table, snl, 1, true, false);
    EXPECT_EQ(table->GetAudioView(0), first);
    EXPECT_DOUBLE_EQ(table->Stream(0)->start, 10.0);
    FillMixTable(*table, snl, 0, false, false);
    ASSERT_EQ(table->AudioViewCount(), 1);
    EXPECT_EQ(table->StreamCount(), 1);
    EXPECT_EQ(table->GetAudioView(0)->Markers.Get(1)->Caption, "1. one");
}

TEST_F(MixTableFillTest, CentringPutsTheSelectedRowsEndMidViewAndAClickReportsTheRowsView)
{
    snl.SelectedRow = 0;
    FillMixTable(*table, snl, 0, true, true);
    EXPECT_DOUBLE_EQ(table->ViewStart(), 10.0 - 10.0);
    snl.SelectedRow = 1;
    FillMixTable(*table, snl, 1, true, true);
    EXPECT_DOUBLE_EQ(table->ViewStart(), 18.0 - 10.0);
    snl.SelectedRow = 9; // no such row: the view stays
    FillMixTable(*table, snl, 1, true, true);
    EXPECT_DOUBLE_EQ(table->ViewStart(), 8.0);

    TAudioView* clicked = nullptr;
    table->OnAudioViewClick = [&](QObject*, TAudioView* view) { clicked = view; };
    table->AudioViewClick(table->GetAudioView(1));
    ASSERT_NE(clicked, nullptr);
    EXPECT_EQ(clicked->Tag, 2);
}

TEST_F(MixTableFillTest, AMissingFileLeavesTheTableUsableAndPassesTheError)
{
    FillMixTable(*table, snl, 0, false, false);
    snl.mixdata.Get(2)->filename = folder + "/missing.wav";
    EXPECT_ANY_THROW(FillMixTable(*table, snl, 1, true, false));
    EXPECT_FALSE(table->RebuildLocked);
    EXPECT_EQ(table->AudioViewCount(), table->StreamCount()) << "no half-made view";
    for (int i = 0; i < table->AudioViewCount(); ++i)
        EXPECT_NE(table->GetAudioView(i)->parentWidget(), table.get());
    EXPECT_EQ(table->findChildren<TAudioView*>().size(), size_t(table->AudioViewCount()));
    snl.mixdata.Get(2)->filename = song;
    FillMixTable(*table, snl, 1, true, false);
    EXPECT_EQ(table->AudioViewCount(), 2);
}

// Columns of the dark pixels of picture rows y0 .. y1 (a dotted line leaves gaps in any one row).
std::vector<int> DarkColumns(const QImage& image, int y0, int y1)
{
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = y0; y <= y1; ++y)
            if (qGray(image.pixel(x, y)) < 64) {
                columns.push_back(x);
                break;
            }
    return columns;
}

bool HasNear(const std::vector<int>& columns, int x)
{
    return std::any_of(columns.begin(), columns.end(), [x](int c) { return std::abs(c - x) <= 3; });
}

QImage FadePicture(const TAudioView& view)
{
    QImage image(400, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter canvas(&image);
    PaintFadeLines(snl.mixdata, const_cast<TAudioView&>(view), canvas);
    return image;
}

TEST_F(MixTableFillTest, FadeLinesFollowTheFlagsTheLengthsAndTheTempo)
{
    TAudioView view;
    view.resize(400, 100);
    view.SetFileName(song); // 20 s across 400 px: 20 px a second
    view.Tag = 0;
    MixParams& params = snl.mixdata.Get(0)->MixParams;
    const struct {
        bool fadein;
        float fadeinlength;
        bool fadeout;
        float fadeoutlength;
        float speed;
        std::vector<int> topColumns;
    } cases[] = {
        {false, 2.0f, false, 3.0f, 0.0f, {}},          // lengths without their flags: no lines
        {true, 2.0f, false, 0.0f, 0.0f, {40}},
        {true, 2.0f, false, 0.0f, 100.0f, {80}},       // twice the tempo: 4 s of the file
        {false, 0.0f, true, 3.0f, 0.0f, {340}},
        {true, 30.0f, true, 30.0f, 0.0f, {0, 399}},    // longer than the row: to the far edge
    };
    for (const auto& c : cases) {
        params.fadein = c.fadein;
        params.fadeinlength = c.fadeinlength;
        params.fadeout = c.fadeout;
        params.fadeoutlength = c.fadeoutlength;
        params.speed = c.speed;
        const std::vector<int> top = DarkColumns(FadePicture(view), 0, 3);
        EXPECT_EQ(top.empty(), c.topColumns.empty()) << c.fadein << c.fadeinlength << c.fadeout << c.speed;
        for (int x : c.topColumns)
            EXPECT_TRUE(HasNear(top, x)) << x << " " << c.fadein << c.fadeinlength << c.fadeout << c.speed;
    }

    // No row for the tag, or a view of nothing: nothing drawn.
    for (int tag : {-1, 7}) {
        view.Tag = tag;
        EXPECT_TRUE(DarkColumns(FadePicture(view), 0, 99).empty()) << tag;
    }
    TAudioView empty;
    empty.resize(400, 100);
    empty.Tag = 0;
    EXPECT_TRUE(DarkColumns(FadePicture(empty), 0, 99).empty());
}

} // namespace
