// The transformation editor: the view frames exactly its row, loading fires no handler, the fade
// lists' on/off rule, tempo re-lays the stream, and the preview sounds only its row and loops.
#include "editor_fixture.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "windows/editor_controls.h"
#include "windows/form_Transformation.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

using namespace editor_test;

namespace {

class TransformationTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        AddThreeRows();
        ShowRows(1);
    }
    TFormTransformation& Form() { return *FormTransformation; }
};

TEST_F(TransformationTest, FramesItsRowAndLoadsWithoutRunningAHandler)
{
    cMixRow& row = *snl.mixdata.Get(1);
    row.MixParams.pitch = -1500;
    row.MixParams.speed = 7.5f;
    row.MixParams.fadeout = true;
    row.MixParams.fadeoutlength = 1.5f;
    const auto before = AllRowFields();
    Form().Prepare();
    EXPECT_EQ(Form().RowIndex, 1);
    EXPECT_DOUBLE_EQ(Form().Mix->ViewStart(), 10.0);
    EXPECT_NEAR(Form().Mix->ViewLen(), 8.0 * 100 / 107.5, 1e-5);
    ASSERT_EQ(Form().Mix->AudioViewCount(), 1);
    EXPECT_EQ(Form().Mix->GetAudioView(0)->Tag, 1);
    EXPECT_EQ(Form().Mix->Stream(0)->Panel->geometry().left(), 0);
    EXPECT_EQ(Form().Mix->Stream(0)->Panel->geometry().right(), Form().Mix->width() - 1);
    for (char marker : {'L', 'R', 'E', 'P'})
        EXPECT_TRUE(Form().Mix->Marker(marker)->isHidden()) << marker;
    EXPECT_EQ(Form().pitch->value(), -1500);
    EXPECT_EQ(Form().pitchlb->text(), "-1.5 semitone(s)");
    EXPECT_EQ(Form().fadeoutlist->Text(), "1.5");
    EXPECT_EQ(Form().fadeinlist->Text(), "0");
    EXPECT_EQ(AllRowFields(), before);
    Form().done(0);
    EXPECT_EQ(AllRowFields(), before);
}

TEST_F(TransformationTest, FadeOutIsOffOnlyOnTheFirstItem)
{
    Form().Prepare();
    const MixParams& p = snl.mixdata.Get(1)->MixParams;
    Pick(Form().fadeoutlist, 4);
    EXPECT_TRUE(p.fadeout);
    EXPECT_EQ(p.fadeoutlength, 4.0f);
    Pick(Form().fadeoutlist, 0);
    EXPECT_FALSE(p.fadeout);
    EXPECT_EQ(p.fadeoutlength, 0.0f);
    // A stepped text has no item: from 0.01 down to 0.00 the fade stays on, 0 long.
    Form().fadeoutlist->SetText("0.01");
    Form().fadeoutlist->Step(-0.01f);
    EXPECT_EQ(Form().fadeoutlist->Text(), "0");
    EXPECT_TRUE(p.fadeout);
    EXPECT_EQ(p.fadeoutlength, 0.0f);

    Pick(Form().fadeinlist, 2);
    EXPECT_TRUE(p.fadein);
    EXPECT_EQ(p.fadeinlength, 2.0f);
    const auto before = AllRowFields();
    Form().fadeinlist->lineEdit()->clear();
    QTest::keyClicks(Form().fadeinlist->lineEdit(), "x");
    EXPECT_EQ(AllRowFields(), before);
}

TEST_F(TransformationTest, TempoReLaysTheStreamWhileTheViewStays)
{
    Form().Prepare();
    const double start = Form().Mix->ViewStart(), len = Form().Mix->ViewLen();
    Form().stretch->setValue(100);
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.speed, 100.0f);
    EXPECT_EQ(Form().stretchlb->text(), "x2.00");
    EXPECT_DOUBLE_EQ(Form().Mix->Stream(0)->len, 4.0);
    EXPECT_DOUBLE_EQ(Form().Mix->ViewStart(), start);
    EXPECT_DOUBLE_EQ(Form().Mix->ViewLen(), len);
    Form().volume->setValue(0);
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.volume, 0);
    EXPECT_EQ(Form().volumelb->text(), "mute");
}

TEST_F(TransformationTest, PreviewSoundsOnlyItsRowAndRestartsWhenStopped)
{
    Form().Prepare();
    // A ruler click before the row: the row before it stays silent.
    Form().Mix->SetPPos(8.0);
    Form().MixPPosChanged();
    const std::vector<int16_t> before = Pump(1.5);
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int16_t s) { return s == 0; }));
    const std::vector<int16_t> during = Pump(1.0);
    EXPECT_TRUE(std::any_of(during.begin(), during.end(), [](int16_t s) { return s != 0; }));

    Form().PlayClick();
    EXPECT_NEAR(snl.WavProducer.MainTime, 10.0, 1e-3);
    Pump(0.5);
    EXPECT_EQ(snl.WavProducer.PlayingRowIndex, 1);
    // Past the view's end the only row is over; the timer starts it again from the view start.
    Pump(Form().Mix->ViewLen());
    Form().PosTimerTimer();
    EXPECT_NEAR(snl.WavProducer.MainTime, 10.0, 0.05);
    EXPECT_FALSE(Form().Mix->Marker('P')->isHidden());
    // Stopped from elsewhere while the preview plays: the next tick plays again.
    StopPreview();
    Form().PosTimerTimer();
    EXPECT_FALSE(snl.WavProducer.Stopped);
    Form().StopClick();
    Form().PosTimerTimer();
    EXPECT_TRUE(snl.WavProducer.Stopped);
    EXPECT_TRUE(Form().Mix->Marker('P')->isHidden());
}

} // namespace
