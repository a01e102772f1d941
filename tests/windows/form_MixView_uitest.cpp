// The mix view: the whole mix in two alternating channels, sizes from the client height, a
// waveform click selects its row, a stale selection after Remove, and the loop between L and R.
#include "editor_fixture.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "windows/editor_controls.h"
#include "windows/form_MixView.h"

#include <QCheckBox>
#include <QLabel>
#include <QWindow>

using namespace editor_test;

namespace {

class MixViewTest : public EditorTest {
protected:
    TFormMixView& Form() { return *FormMixView; }
};

TEST_F(MixViewTest, ShowsEveryRowInAlternatingChannelsAndAnEmptyMixAsAMinute)
{
    Form().ShowWholeMix();
    EXPECT_EQ(Form().Mix->Total(), 60.0);
    EXPECT_EQ(Form().Mix->StreamCount(), 0);

    AddRow(0.0f, 10.0f)->overlap = true;
    snl.mixdata.Get(0)->overlaplen = 2.0f;
    AddRow(5.0f, 8.0f);
    AddRow(0.0f, 4.0f);
    snl.SelectedRow = 1;
    Form().ShowWholeMix();
    ASSERT_EQ(Form().Mix->StreamCount(), 3);
    const double starts[] = {0.0, 8.0, 16.0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(Form().Mix->Stream(i)->start, starts[i]) << i;
        EXPECT_EQ(Form().Mix->Stream(i)->channel, i % 2) << i;
        EXPECT_EQ(Form().Mix->GetAudioView(i)->Tag, i);
    }
    EXPECT_EQ(Form().Mix->GetAudioView(2)->Markers.Get(1)->Caption, "3. row 3");
    EXPECT_DOUBLE_EQ(Form().Mix->Total(), 20.0);
    EXPECT_DOUBLE_EQ(Form().Mix->ViewLen(), 20.0);
    EXPECT_DOUBLE_EQ(Form().Mix->PPos(), 8.0);
    EXPECT_EQ(Form().Mix->SelectedIndex(), 1);
    EXPECT_EQ(Form().Label1->text().toStdString(), Form().Mix->StatString());
}

TEST_F(MixViewTest, SizesFollowTheClientHeight)
{
    Form().show();
    Form().resize(900, 600);
    EXPECT_EQ(Form().Mix->height(), 552);
    EXPECT_EQ(Form().Mix->width(), 900);
    EXPECT_EQ(Form().Mix->ChannelHeight(), 263);
    Form().resize(900, 330);
    EXPECT_EQ(Form().Mix->ChannelHeight(), (282 - 24) / 2 - 1);
}

TEST_F(MixViewTest, AClickOnAWaveformSelectsItsRow)
{
    AddRow(0.0f, 10.0f);
    AddRow(5.0f, 10.0f);
    Form().ShowWholeMix();
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    TAudioView* second = Form().Mix->GetAudioView(1);
    const QPoint at = second->mapTo(&Form(), QPoint(second->width() / 2, second->height() / 2));
    QTest::mouseClick(Form().windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Form().Mix->SelectedIndex(), 1);
    Form().close();
    EXPECT_EQ(Form().Mix->AudioViewCount(), 0);
}

TEST_F(MixViewTest, AStaleSelectedRowIsHeldToTheRows)
{
    AddRow(0.0f, 10.0f);
    AddRow(5.0f, 10.0f);
    snl.SelectedRow = 7; // left behind by a Remove or a smaller project
    Form().ShowWholeMix();
    EXPECT_DOUBLE_EQ(Form().Mix->PPos(), 10.0);
    EXPECT_EQ(Form().Mix->SelectedIndex(), 1);
}

TEST_F(MixViewTest, LoopsBetweenLAndRAndShowsThePosition)
{
    AddRow(0.0f, 29.0f);
    Form().ShowWholeMix();
    Form().cbLoop->setChecked(true);
    Form().cbLoopClick();
    EXPECT_FALSE(Form().Mix->Marker('L')->isHidden());
    Form().Mix->SetLPos(10.0);
    Form().Mix->SetRPos(20.0);
    Form().Mix->SetPPos(5.0);
    Form().PlayClick();
    EXPECT_NEAR(snl.WavProducer.MainTime, 10.0, 1e-3) << "P outside the loop: from L";
    Pump(10.5);
    Form().PosTimerTimer();
    EXPECT_NEAR(snl.WavProducer.MainTime, 10.0, 0.05);
    Pump(1.0);
    Form().PosTimerTimer();
    EXPECT_EQ(Form().Label2->text(),
              QString::asprintf("Play Position: %.1f sec(s)", float(snl.WavProducer.MainTime) - kPreviewLatency));
    Form().TogglePlay1Click();
    EXPECT_TRUE(snl.WavProducer.Stopped);
    Form().PosTimerTimer();
    EXPECT_TRUE(Form().Label2->text().isEmpty());
    // A ruler click while stopped only moves P; the next Play starts there.
    Form().cbLoop->setChecked(false);
    Form().Mix->TimeLineMouseDown(Qt::LeftButton, Form().Mix->TimeToX(3.0));
    EXPECT_TRUE(snl.WavProducer.Stopped);
    Form().PlayClick();
    EXPECT_NEAR(snl.WavProducer.MainTime, Form().Mix->PPos(), 1e-3);
}

} // namespace
