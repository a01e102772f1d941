// The transition editor: loading its controls without side effects, the label texts and scales,
// the seconds lists (picks, typing, spin steps, texts that mean nothing), the preview's layout
// and its loop over the visible window, and the user's path from F5 to a shorter export.
#include "editor_fixture.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "AudioControls/class_TimeLine.h"
#include "windows/form_SaveToWav.h"
#include "windows/editor_controls.h"
#include "windows/form_Transition.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QWindow>

#include <cmath>
#include <fstream>

using namespace editor_test;

namespace {

class TransitionTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        AddThreeRows();
        ShowRows(0);
    }
    TFormTransition& Form() { return *FormTransition; }
    std::string Label(QLabel* label) { return label->text().toStdString(); }
    // The whole text typed at once (typing it key by key passes through other numbers).
    void Type(TSecondsList* list, const QString& text)
    {
        list->lineEdit()->setText(text);
        emit list->lineEdit()->textEdited(text);
    }
};

TEST_F(TransitionTest, LoadingShowsTheRowsWithoutRunningAHandler)
{
    cMixRow& a = *snl.mixdata.Get(0);
    a.MixParams.speed = 7.5f; // a file's value the integer bar cannot hold
    a.MixParams.pitch = -1500;
    a.MixParams.volume = 80;
    a.overlap = true;
    a.overlaplen = 1.25f;
    a.MixParams.fadeout = true;
    a.MixParams.fadeoutlength = 2.5f;
    snl.mixdata.Get(1)->MixParams.fadeinlength = 4.0f; // off: shown as 0
    const auto before = AllRowFields();
    Form().Prepare();
    EXPECT_EQ(Form().stretch->value(), 7);
    EXPECT_EQ(Form().pitch->value(), -1500);
    EXPECT_EQ(Form().volume->value(), 400);
    EXPECT_EQ(Label(Form().pitchlb), "-1.5 semitone(s)");
    EXPECT_EQ(Label(Form().stretchlb), "x1.07");
    EXPECT_EQ(Form().overlaplist->Text(), "1.25");
    EXPECT_EQ(Form().fadeoutlist->Text(), "2.5");
    EXPECT_EQ(Form().fadeinlist->Text(), "0");
    EXPECT_EQ(Form().Mix->SelectedIndex(), 0);
    EXPECT_EQ(AllRowFields(), before) << "no handler ran, no truncated speed written back";
    Form().done(0);
    EXPECT_EQ(AllRowFields(), before);
    EXPECT_EQ(Form().Mix->AudioViewCount(), 0);
}

TEST_F(TransitionTest, ScrollBarsSetTheRowsAndTheLabels)
{
    Form().Prepare();
    const struct {
        QScrollBar* TFormTransition::*bar;
        int position;
        int row;
        QLabel* TFormTransition::*label;
        const char* text;
    } cases[] = {
        {&TFormTransition::volume, 0, 0, &TFormTransition::volumelb, "mute"},
        {&TFormTransition::volume, 1000, 0, &TFormTransition::volumelb, "200%"},
        {&TFormTransition::volume2, 250, 1, &TFormTransition::volume2lb, "50%"},
        {&TFormTransition::stretch, 20, 0, &TFormTransition::stretchlb, "x1.20"},
        {&TFormTransition::stretch2, -85, 1, &TFormTransition::stretch2lb, "x0.15"},
        {&TFormTransition::stretch, 0, 0, &TFormTransition::stretchlb, ""},
        {&TFormTransition::pitch, -1500, 0, &TFormTransition::pitchlb, "-1.5 semitone(s)"},
        {&TFormTransition::pitch2, 12000, 1, &TFormTransition::pitch2lb, "12.0 semitone(s)"},
        {&TFormTransition::pitch, 0, 0, &TFormTransition::pitchlb, ""},
    };
    for (const auto& c : cases) {
        (Form().*c.bar)->setValue(c.position);
        EXPECT_EQ(Label(Form().*c.label), c.text) << c.text;
        EXPECT_EQ(Form().Mix->SelectedIndex(), c.row) << c.text;
    }
    EXPECT_EQ(snl.mixdata.Get(0)->MixParams.volume, 200);
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.volume, 50);
    EXPECT_FLOAT_EQ(Form().Mix->GetAudioView(1)->Scale, 0.5f);
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.speed, -85.0f);
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.pitch, 12000);
    // Tempo -85 %: row B plays 8 / 0.15 s; the preview's second stream shows that length.
    EXPECT_NEAR(Form().Mix->Stream(1)->len, 8.0 / 0.15, 1e-3);

    snl.Enabled = 0; // pushes and stores are off
    Form().pitch->setValue(700);
    EXPECT_EQ(snl.mixdata.Get(0)->MixParams.pitch, 0);
    EXPECT_EQ(Form().pitch->value(), 0) << "the loaded row wins";
}

TEST_F(TransitionTest, AutoFadePicksSetAllThreeAndTypingChangesNothing)
{
    Form().Prepare();
    Pick(Form().fadexlist, 3);
    const cMixRow& a = *snl.mixdata.Get(0);
    const cMixRow& b = *snl.mixdata.Get(1);
    EXPECT_TRUE(a.overlap);
    EXPECT_EQ(a.overlaplen, 3.0f);
    EXPECT_TRUE(a.MixParams.fadeout);
    EXPECT_EQ(a.MixParams.fadeoutlength, 3.0f);
    EXPECT_TRUE(b.MixParams.fadein);
    EXPECT_EQ(b.MixParams.fadeinlength, 3.0f);
    EXPECT_EQ(Form().fadeoutlist->currentText(), "3");
    EXPECT_EQ(Form().overlaplist->Text(), "3");
    EXPECT_DOUBLE_EQ(Form().Mix->Stream(1)->start, 7.0);

    // A typed text has no item: it would mean -1 s. It changes nothing.
    const auto before = AllRowFields();
    Type(Form().fadexlist, "5");
    EXPECT_EQ(Form().fadexlist->ItemIndex(), -1);
    EXPECT_EQ(AllRowFields(), before);

    Pick(Form().fadexlist, 0);
    EXPECT_FALSE(a.overlap);
    EXPECT_EQ(a.overlaplen, 0.0f);
    EXPECT_FALSE(a.MixParams.fadeout);
    EXPECT_FALSE(b.MixParams.fadein);
}

TEST_F(TransitionTest, ListTextsSetFadesAndOverlapAndNonsenseLeavesTheRow)
{
    Form().Prepare();
    cMixRow& a = *snl.mixdata.Get(0);
    const cMixRow& b = *snl.mixdata.Get(1);
    Type(Form().overlaplist, "2.5");
    EXPECT_TRUE(a.overlap);
    EXPECT_EQ(a.overlaplen, 2.5f);
    EXPECT_DOUBLE_EQ(Form().Mix->Stream(1)->start, 7.5);
    Type(Form().overlaplist, "0");
    EXPECT_FALSE(a.overlap);
    EXPECT_EQ(a.overlaplen, 2.5f) << "the stored length stays";
    EXPECT_DOUBLE_EQ(Form().Mix->Stream(1)->start, 10.0) << "the second stream moves to the end of the first";

    Type(Form().fadeinlist, "1.5");
    EXPECT_TRUE(b.MixParams.fadein);
    EXPECT_EQ(b.MixParams.fadeinlength, 1.5f);
    EXPECT_EQ(Form().Mix->SelectedIndex(), 1);
    Type(Form().fadeoutlist, "0");
    EXPECT_FALSE(a.MixParams.fadeout);
    EXPECT_EQ(Form().Mix->SelectedIndex(), 0);

    const auto before = AllRowFields();
    for (TSecondsList* list : {Form().overlaplist, Form().fadeinlist, Form().fadeoutlist})
        for (const char* text : {"", "abc", "-2", "1,5", "nan", "1e9"}) {
            Type(list, text);
            EXPECT_EQ(AllRowFields(), before) << text;
        }
}

TEST_F(TransitionTest, SpinStepsMoveByAHundredthAndNeverBelowZero)
{
    Form().Prepare();
    const struct {
        const char* from;
        float step;
        const char* to;
    } cases[] = {{"0", -0.01f, "0"}, {"0.00", -0.01f, "0.00"}, {"0.01", -0.01f, "0"}, {"0", 0.01f, "0.01"}, {"2.5", 0.01f, "2.51"},
                 {"3", -0.01f, "2.99"}};
    for (const auto& c : cases) {
        Form().fadeinlist->SetText(c.from);
        Form().fadeinlist->Step(c.step);
        EXPECT_EQ(Form().fadeinlist->Text(), c.to) << c.from;
    }
    EXPECT_EQ(snl.mixdata.Get(1)->MixParams.fadeinlength, 2.99f);
    EXPECT_EQ(Form().fadeinlist->ItemIndex(), -1);
}

TEST_F(TransitionTest, PreviewLoopsBackAtTheViewsRightEdge)
{
    Form().Prepare();
    Form().PlayClick();
    const double end = Form().Mix->ViewStart() + Form().Mix->ViewLen();
    EXPECT_FALSE(snl.WavProducer.Stopped);
    Pump(Form().Mix->ViewLen() + 0.5);
    ASSERT_GT(snl.WavProducer.MainTime - kPreviewLatency, end);
    Form().PosTimerTimer();
    EXPECT_NEAR(snl.WavProducer.MainTime, Form().Mix->ViewStart(), 0.05);
    Pump(0.2);
    Form().PosTimerTimer();
    EXPECT_FALSE(Form().Mix->Marker('P')->isHidden());
    Form().StopClick();
    Form().PosTimerTimer();
    EXPECT_TRUE(Form().Mix->Marker('P')->isHidden());

    // A click on the ruler plays from there.
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    const QPoint at = Form().TimeLine->mapTo(&Form(), QPoint(330, 10));
    QTest::mouseClick(Form().windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(snl.WavProducer.Stopped);
    EXPECT_NEAR(snl.WavProducer.MainTime, Form().Mix->XToTime(330), 1e-3);
    Form().close();
}

TEST_F(TransitionTest, ARowWhoseFileIsMissingOpensNoEditorAndSaysWhy)
{
    snl.mixdata.Get(1)->filename = SongFile() + ".missing";
    EXPECT_ANY_THROW(Form().Prepare());
    EXPECT_FALSE(Form().Mix->RebuildLocked);
    EXPECT_EQ(Form().Mix->AudioViewCount(), Form().Mix->StreamCount());
}

// The whole path a person takes: three rows without overlaps, row 2 waits for a key; F5 on row 1,
// "3" picked in the auto fade, closed. The playlist shows the overlap, row 2 no longer waits, and
// the export is 3 s shorter and fades across the junction.
TEST_F(TransitionTest, UsersPathFromF5ToAShorterCrossfadedExport)
{
    snl.mixdata.Get(1)->trigger = TriggerKey;
    std::string wav;
    auto exportSize = [&](const char* name) {
        wav = sonorel_test::FixtureFolder() + "/" + name;
        FormSaveToWav->filename->setText(QString::fromStdString(wav));
        QTimer::singleShot(0, [] { FormSaveToWav->AutoModeTimer(); });
        FormMain->ToWavClick();
        return QFileInfo(QString::fromStdString(wav)).size();
    };
    const qint64 before = exportSize("before.wav");
    ShowRows(0);
    FormMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FormMain));
    FormMain->PagePlaylist->PlaylistEdit->Grid->setFocus();
    WhileModal(
        {FormTransition}, [] { QTest::keyClick(FormMain->PagePlaylist->PlaylistEdit->Grid, Qt::Key_F5); },
        [] {
            ASSERT_TRUE(FormTransition->isVisible());
            EXPECT_EQ(FormTransition->RowIndex, 0);
            Pick(FormTransition->fadexlist, 3);
        });
    EXPECT_FALSE(FormTransition->isVisible());
    const cMixRow& a = *snl.mixdata.Get(0);
    EXPECT_TRUE(a.overlap);
    EXPECT_EQ(a.overlaplen, 3.0f);
    EXPECT_EQ(snl.mixdata.Get(1)->trigger, TriggerNone);
    EXPECT_EQ(before - exportSize("after.wav"), 3 * kRate * 4);

    // The junction: A fades out over its last 3 s while B fades in; the level at the start of the
    // crossfade is A's full level, in its middle each row is at half gain.
    std::ifstream in(wav, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data() + 44);
    auto rms = [&](double from, double seconds) {
        double sum = 0;
        const int64_t first = int64_t(from * kRate) * 2, n = int64_t(seconds * kRate) * 2;
        for (int64_t i = first; i < first + n; ++i)
            sum += double(samples[i]) * samples[i];
        return std::sqrt(sum / n);
    };
    const double full = rms(4.0, 1.0);
    EXPECT_NEAR(rms(7.0, 0.05) / full, 1.0, 0.15);
    EXPECT_LT(rms(8.45, 0.1) / full, 0.85) << "two rows at half gain, unrelated signals";
    EXPECT_GT(rms(8.45, 0.1) / full, 0.5);
    EXPECT_NEAR(rms(12.0, 1.0) / full, 1.0, 0.15);
}

} // namespace
