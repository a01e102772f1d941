#include "windows/form_Transition.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "AudioControls/class_TimeLine.h"
#include "GraphControls/class_SkinPicture.h"
#include "ModelToViews/MixTableFill.h"
#include "model/class_Application.h"
#include "platform/ui/WindowHelpers.h"
#include "windows/editor_controls.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

TFormTransition* FormTransition = nullptr;

namespace {

constexpr int kVolumeMax = 1000;

} // namespace

TFormTransition::TFormTransition(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormTransition");
    setWindowTitle("Transition");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(693, 463);
    ApplyEditorStyle(this);
    Image = MakeEditorBackground(this, "transition_back");

    const cEditorPreview preview = MakeEditorPreview(this, QRect(16, 44, 661, 214), 10.0);
    Mix = preview.Mix;
    ScrollBar1 = preview.Scroll;
    TimeLine = preview.TimeLine;
    Mix->SetLPos_Visible(false);
    Mix->SetRPos_Visible(false);
    Mix->SetEPos_Visible(false);
    Mix->OnPPosChanged = [this](QObject*) { MixPPosChanged(); };
    Mix->OnViewChange = [this](QObject*) { MixViewChange(); };

    Image2 = MakeEditorButton(this, "transition_play", 16, 282);
    Image1 = MakeEditorButton(this, "transition_stop", 60, 282);
    Image4 = MakeEditorButton(this, "transition_zoom_in", 112, 282);
    Image3 = MakeEditorButton(this, "transition_zoom_out", 156, 282);
    Image6 = MakeEditorButton(this, "transition_close", 657, 8);
    Image2->OnClick = [this] { PlayClick(); };
    Image1->OnClick = [this] { StopClick(); };
    Image4->OnClick = [this] { Mix->ZoomIn(); };
    Image3->OnClick = [this] { Mix->ZoomOut(); };
    Image6->OnClick = [this] { close(); };

    volume = ParameterBar(this, 0, kVolumeMax, 100, 100, [this] { volumeChange(); });
    volume2 = ParameterBar(this, 0, kVolumeMax, 100, 100, [this] { volume2Change(); });
    stretch = ParameterBar(this, -85, 200, 1, 10, [this] { stretchChange(0); });
    stretch2 = ParameterBar(this, -85, 200, 1, 10, [this] { stretchChange(1); });
    pitch = ParameterBar(this, -12000, 12000, 250, 500, [this] { pitchChange(0); });
    pitch2 = ParameterBar(this, -12000, 12000, 250, 500, [this] { pitchChange(1); });
    for (QScrollBar* bar : {volume, volume2}) {
        const QSignalBlocker quiet(bar); // the form's own default, no row's change
        bar->setValue(kVolumeMax / 2);
    }

    const int a = 16, b = 357;
    auto line = MakeParameterLine(this, "Volume", a, 340, volume);
    volumelb = line.Label, Button2 = line.Reset;
    line = MakeParameterLine(this, "Tempo", a, 364, stretch);
    stretchlb = line.Label, Button4 = line.Reset;
    line = MakeParameterLine(this, "Pitch", a, 388, pitch);
    pitchlb = line.Label, pitchreset = line.Reset;
    line = MakeParameterLine(this, "Volume", b, 340, volume2);
    volume2lb = line.Label, Button1 = line.Reset;
    line = MakeParameterLine(this, "Tempo", b, 364, stretch2);
    stretch2lb = line.Label, Button5 = line.Reset;
    line = MakeParameterLine(this, "Pitch", b, 388, pitch2);
    pitch2lb = line.Label, Button3 = line.Reset;
    connect(Button2, &QPushButton::clicked, this, [this] { volume->setValue(kVolumeMax / 2); SelectRowView(0); });
    connect(Button1, &QPushButton::clicked, this, [this] { volume2->setValue(kVolumeMax / 2); SelectRowView(1); });
    connect(pitchreset, &QPushButton::clicked, this, [this] { pitch->setValue(0); });
    connect(Button3, &QPushButton::clicked, this, [this] { pitch2->setValue(0); SelectRowView(1); });
    connect(Button4, &QPushButton::clicked, this, [this] { stretch->setValue(0); SelectRowView(0); });
    connect(Button5, &QPushButton::clicked, this, [this] { stretch2->setValue(0); SelectRowView(1); });

    auto list = [this](const char* caption, int x) {
        MakeCaption(this, caption, QRect(x, 414, 160, 16));
        auto* l = new TSecondsList(this);
        l->setGeometry(x, 432, 100, 22);
        return l;
    };
    fadeoutlist = list("Fade Out (sec)", 16);
    overlaplist = list("Overlap (sec)", 186);
    fadexlist = list("Apply Auto Fade X (sec)", 356);
    fadeinlist = list("Fade In (sec)", 556);
    CSpinButton1 = new TSpinButton(this, overlaplist);
    CSpinButton2 = new TSpinButton(this, fadeoutlist);
    CSpinButton3 = new TSpinButton(this, fadeinlist);
    CSpinButton1->setGeometry(288, 432, 16, 22);
    CSpinButton2->setGeometry(118, 432, 16, 22);
    CSpinButton3->setGeometry(658, 432, 16, 22);
    fadeinlist->OnChange = [this] { fadeinlistChange(); };
    fadeoutlist->OnChange = [this] { fadeoutlistChange(); };
    overlaplist->OnChange = [this] { overlaplistChange(); };
    fadexlist->OnChange = [this] { fadexlistChange(); };

    Preview = new TPreviewLoop(this, Mix, TPreviewLoop::cAtClose::StopPlayback, [this] { PosTimerTimer(); });

    ui::SetRoundWindowRegion(this, 6);
}

void TFormTransition::Prepare()
{
    Mix->DestroyAudioViews();
    fadexlist->SetItemIndex(0);
    RebuildPreview();
    RowIndex = snl.SelectedRow;
    {
        TAudioMixTable::RebuildLock lock(*Mix);
        Mix->SetSelectedIndex(0);
    }
    Mix->Rebuild();
    LoadRowControls();
    SelectRowView(0);
}

void TFormTransition::RebuildPreview()
{
    const int selected = Mix->SelectedIndex();
    Mix->SetTotal(snl.mixdata.TotalLength());
    FillMixTable(*Mix, snl, snl.SelectedRow, true, true);
    Mix->SetSelectedIndex(selected);
    Mix->Rebuild();
    AttachFadePainter(snl, *Mix);
}

void TFormTransition::SelectRowView(int k)
{
    if (Mix->SelectedIndex() != k)
        Mix->SetSelectedIndex(k);
    RedrawView(k);
}

void TFormTransition::RedrawView(int k)
{
    if (TAudioView* view = Mix->GetAudioView(k))
        view->Redraw();
}

void TFormTransition::LoadRowControls()
{
    // Loading shows the rows; it must not run the handlers (no push, no truncated speed back).
    const QSignalBlocker blockers[] = {QSignalBlocker(volume), QSignalBlocker(volume2), QSignalBlocker(stretch),
                                       QSignalBlocker(stretch2), QSignalBlocker(pitch), QSignalBlocker(pitch2)};
    const cMixRow* a = snl.mixdata.Get(RowIndex);
    const cMixRow* b = snl.mixdata.Get(RowIndex + 1);
    volume->setValue(VolumePosition(a, volume->maximum()));
    volumelb->setText(QString::fromStdString(VolumeText(a ? a->MixParams.volume : 0)));
    volume2->setValue(VolumePosition(b, volume2->maximum()));
    volume2lb->setText(QString::fromStdString(VolumeText(b ? b->MixParams.volume : 0)));
    const cMixRow& rowA = EditedRow(RowIndex);
    const cMixRow& rowB = EditedRow(RowIndex + 1);
    stretch->setValue(static_cast<int>(rowA.MixParams.speed));
    stretchlb->setText(QString::fromStdString(SpeedText(rowA.MixParams.speed)));
    stretch2->setValue(static_cast<int>(rowB.MixParams.speed));
    stretch2lb->setText(QString::fromStdString(SpeedText(rowB.MixParams.speed)));
    pitch->setValue(static_cast<int>(rowA.MixParams.pitch));
    pitchlb->setText(QString::fromStdString(PitchText(rowA.MixParams.pitch)));
    pitch2->setValue(static_cast<int>(rowB.MixParams.pitch));
    pitch2lb->setText(QString::fromStdString(PitchText(rowB.MixParams.pitch)));
    fadeinlist->SetText(LengthText(rowB.MixParams.fadein, rowB.MixParams.fadeinlength));
    fadeoutlist->SetText(LengthText(rowA.MixParams.fadeout, rowA.MixParams.fadeoutlength));
    overlaplist->SetText(LengthText(rowA.overlap, rowA.overlaplen));
}

void TFormTransition::Push(int row)
{
    snl.ApplyPlayingRowParams();
    RefreshMainPlaylistRow(row);
}

void TFormTransition::volumeChange()
{
    if (!snl.mixdata.Get(RowIndex))
        return;
    snl.SetRowVolume(RowIndex, volume->maximum(), volume->value());
    LoadRowControls();
    Push(RowIndex);
    SelectRowView(0);
    ScaleRowView(*Mix, 0, EditedRow(RowIndex).MixParams.volume);
}

void TFormTransition::volume2Change()
{
    if (!snl.mixdata.Get(RowIndex))
        return;
    snl.SetRowVolume(RowIndex + 1, volume2->maximum(), volume2->value());
    LoadRowControls();
    Push(RowIndex + 1);
    SelectRowView(1);
    ScaleRowView(*Mix, 1, EditedRow(RowIndex + 1).MixParams.volume);
}

void TFormTransition::pitchChange(int k)
{
    if (snl.Enabled)
        EditedRow(RowIndex + k).MixParams.pitch = (k == 0 ? pitch : pitch2)->value();
    LoadRowControls();
    Push(RowIndex + k);
    SelectRowView(k);
}

void TFormTransition::stretchChange(int k)
{
    if (snl.Enabled)
        EditedRow(RowIndex + k).MixParams.speed = static_cast<float>((k == 0 ? stretch : stretch2)->value());
    LoadRowControls();
    Push(RowIndex + k);
    RebuildPreview();
    SelectRowView(k);
}

void TFormTransition::fadeinlistChange()
{
    float seconds = 0.0f;
    if (!ListSeconds(fadeinlist->Text(), seconds))
        return;
    MixParams& params = EditedRow(RowIndex + 1).MixParams;
    params.fadein = seconds != 0.0f;
    params.fadeinlength = seconds;
    SelectRowView(1);
}

void TFormTransition::fadeoutlistChange()
{
    float seconds = 0.0f;
    if (!ListSeconds(fadeoutlist->Text(), seconds))
        return;
    MixParams& params = EditedRow(RowIndex).MixParams;
    params.fadeout = seconds != 0.0f;
    params.fadeoutlength = seconds;
    SelectRowView(0);
}

void TFormTransition::overlaplistChange()
{
    float seconds = 0.0f;
    if (!ListSeconds(overlaplist->Text(), seconds))
        return;
    cMixRow& row = EditedRow(RowIndex);
    row.overlap = seconds != 0.0f;
    if (row.overlap)
        row.overlaplen = seconds;
    RebuildPreview();
    RedrawView(0);
    RedrawView(1);
}

void TFormTransition::fadexlistChange()
{
    // Only a picked item means seconds; a typed text has none.
    const int x = fadexlist->ItemIndex();
    if (x < 0)
        return;
    const float seconds = static_cast<float>(x);
    const bool on = x != 0;
    cMixRow& a = EditedRow(RowIndex);
    a.overlap = on;
    a.overlaplen = seconds;
    a.MixParams.fadeout = on;
    a.MixParams.fadeoutlength = seconds;
    if (cMixRow* b = snl.mixdata.Get(RowIndex + 1)) {
        b->MixParams.fadein = on;
        b->MixParams.fadeinlength = seconds;
    }
    fadeoutlist->SetItemIndex(x);
    RebuildPreview();
    LoadRowControls();
    RedrawView(0);
    RedrawView(1);
}

void TFormTransition::PlayClick()
{
    Preview->PlayFrom(Mix->ViewStart());
}

void TFormTransition::StopClick()
{
    Preview->Stop();
}

void TFormTransition::MixPPosChanged()
{
    if (Preview->Playing()) {
        Preview->RestartFrom(Mix->PPos());
    } else {
        Preview->PlayFrom(Mix->PPos());
        Mix->SetPPos_Visible(true);
    }
}

void TFormTransition::PosTimerTimer()
{
    Preview->Tick();
}

void TFormTransition::MixViewChange()
{
    TimeLine->SetStart(Mix->ViewStart());
    TimeLine->SetLen(Mix->ViewLen());
}
