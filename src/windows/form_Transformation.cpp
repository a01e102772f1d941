#include "windows/form_Transformation.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "AudioControls/class_TimeLine.h"
#include "GraphControls/class_SkinPicture.h"
#include "ModelToViews/MixTableFill.h"
#include "model/class_Application.h"
#include "platform/ui/WindowHelpers.h"
#include "windows/editor_controls.h"
#include "windows/form_Main.h"
#include "windows/frame_mixedit.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

TFormTransformation* FormTransformation = nullptr;

namespace {

constexpr int kVolumeMax = 1000;

} // namespace

TFormTransformation::TFormTransformation(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormTransformation");
    setWindowTitle("Transformation");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(696, 310);
    ApplyEditorStyle(this);
    Image6 = MakeEditorBackground(this, "transformation_back");

    const cEditorPreview preview = MakeEditorPreview(this, QRect(16, 44, 664, 120), 20.0);
    Mix = preview.Mix;
    ScrollBar1 = preview.Scroll;
    TimeLine = preview.TimeLine;
    Mix->OnPPosChanged = [this](QObject*) { MixPPosChanged(); };
    Mix->OnViewChange = [this](QObject*) { MixViewChange(); };

    Image4 = MakeEditorButton(this, "transformation_play", 16, 188);
    Image3 = MakeEditorButton(this, "transformation_stop", 60, 188);
    Image1 = MakeEditorButton(this, "transformation_zoom_in", 112, 188);
    Image2 = MakeEditorButton(this, "transformation_zoom_out", 156, 188);
    Image7 = MakeEditorButton(this, "transformation_close", 660, 8);
    Image4->OnClick = [this] { PlayClick(); };
    Image3->OnClick = [this] { StopClick(); };
    Image1->OnClick = [this] { Mix->ZoomIn(); };
    Image2->OnClick = [this] { Mix->ZoomOut(); };
    Image7->OnClick = [this] { close(); };

    volume = ParameterBar(this, 0, kVolumeMax, 100, 100, [this] { volumeChange(); });
    stretch = ParameterBar(this, -85, 200, 1, 10, [this] { stretchChange(); });
    pitch = ParameterBar(this, -12000, 12000, 250, 500, [this] { pitchChange(); });
    {
        const QSignalBlocker quiet(volume); // the form's own default, no row's change
        volume->setValue(kVolumeMax / 2);
    }
    auto line = MakeParameterLine(this, "Volume", 16, 232, volume);
    volumelb = line.Label, Button2 = line.Reset;
    line = MakeParameterLine(this, "Tempo", 16, 256, stretch);
    stretchlb = line.Label, Button4 = line.Reset;
    line = MakeParameterLine(this, "Pitch", 16, 280, pitch);
    pitchlb = line.Label, pitchreset = line.Reset;
    connect(Button2, &QPushButton::clicked, this, [this] { volume->setValue(kVolumeMax / 2); RefreshCurrentRow(); });
    connect(pitchreset, &QPushButton::clicked, this, [this] { pitch->setValue(0); RefreshCurrentRow(); });
    connect(Button4, &QPushButton::clicked, this, [this] { stretch->setValue(0); RefreshCurrentRow(); });

    MakeCaption(this, "Fade In (sec)", QRect(400, 232, 120, 18));
    MakeCaption(this, "Fade Out (sec)", QRect(400, 264, 120, 18));
    fadeinlist = new TSecondsList(this);
    fadeinlist->setGeometry(520, 230, 100, 22);
    fadeoutlist = new TSecondsList(this);
    fadeoutlist->setGeometry(520, 262, 100, 22);
    CSpinButton1 = new TSpinButton(this, fadeinlist);
    CSpinButton1->setGeometry(622, 230, 16, 22);
    CSpinButton2 = new TSpinButton(this, fadeoutlist);
    CSpinButton2->setGeometry(622, 262, 16, 22);
    fadeinlist->OnChange = [this] { fadeinlistChange(); };
    fadeoutlist->OnChange = [this] { fadeoutlistChange(); };

    Preview = new TPreviewLoop(this, Mix, TPreviewLoop::cAtClose::StopOwnPreview, [this] { PosTimerTimer(); });
    Preview->Solo = true;
    Preview->Latched = true;

    ui::SetRoundWindowRegion(this, 6);
}

void TFormTransformation::Prepare()
{
    ui::SetDoubleBufferedControls(this);
    RowIndex = snl.SelectedRow;
    Preview->ClearPlaying();
    Mix->DestroyAudioViews();
    Mix->SetLPos_Visible(false);
    Mix->SetRPos_Visible(false);
    Mix->SetEPos_Visible(false);
    Mix->SetPPos_Visible(false);
    Mix->SetTotal(snl.mixdata.TotalLength());
    FillMixTable(*Mix, snl, snl.SelectedRow, false, false);
    Mix->SetSelectedIndex(0);
    AttachFadePainter(snl, *Mix);
    Mix->SetViewStart(snl.mixdata.RowStart(RowIndex));
    Mix->SetViewLen(static_cast<double>(EditedRow(RowIndex).PlayLength()));
    LoadRowControls();
}

void TFormTransformation::LoadRowControls()
{
    const QSignalBlocker blockers[] = {QSignalBlocker(pitch), QSignalBlocker(stretch), QSignalBlocker(volume)};
    const cMixRow& row = EditedRow(RowIndex);
    pitch->setValue(static_cast<int>(row.MixParams.pitch));
    pitchlb->setText(QString::fromStdString(PitchText(row.MixParams.pitch)));
    stretch->setValue(static_cast<int>(row.MixParams.speed));
    stretchlb->setText(QString::fromStdString(SpeedText(row.MixParams.speed)));
    volume->setValue(VolumePosition(&row, volume->maximum()));
    volumelb->setText(QString::fromStdString(VolumeText(row.MixParams.volume)));
    fadeinlist->SetText(LengthText(row.MixParams.fadein, row.MixParams.fadeinlength));
    fadeoutlist->SetText(LengthText(row.MixParams.fadeout, row.MixParams.fadeoutlength));
}

void TFormTransformation::Push()
{
    snl.ApplyPlayingRowParams();
    RefreshMainPlaylistRow(RowIndex);
}

void TFormTransformation::RedrawView()
{
    if (TAudioView* view = Mix->GetAudioView(0))
        view->Redraw();
}

void TFormTransformation::RefreshCurrentRow()
{
    if (FormMain && FormMain->PagePlaylist)
        RefreshMainPlaylistRow(FormMain->PagePlaylist->PlaylistEdit->Grid->Row());
}

void TFormTransformation::volumeChange()
{
    if (!snl.mixdata.Get(RowIndex))
        return;
    snl.SetRowVolume(RowIndex, volume->maximum(), volume->value());
    const int32_t percent = EditedRow(RowIndex).MixParams.volume;
    volumelb->setText(QString::fromStdString(VolumeText(percent)));
    Push();
    ScaleRowView(*Mix, 0, percent);
}

void TFormTransformation::pitchChange()
{
    cMixRow& row = EditedRow(RowIndex);
    if (snl.Enabled)
        row.MixParams.pitch = pitch->value();
    pitchlb->setText(QString::fromStdString(PitchText(row.MixParams.pitch)));
    Push();
}

void TFormTransformation::stretchChange()
{
    cMixRow& row = EditedRow(RowIndex);
    if (snl.Enabled)
        row.MixParams.speed = static_cast<float>(stretch->value());
    stretchlb->setText(QString::fromStdString(SpeedText(row.MixParams.speed)));
    Push();
    Mix->SetTotal(snl.mixdata.TotalLength());
    FillMixTable(*Mix, snl, snl.SelectedRow, false, false);
    Mix->SetSelectedIndex(RowIndex == snl.SelectedRow ? 0 : 1);
    AttachFadePainter(snl, *Mix);
}

void TFormTransformation::fadeinlistChange()
{
    float seconds = 0.0f;
    if (!ListSeconds(fadeinlist->Text(), seconds))
        return;
    MixParams& params = EditedRow(RowIndex).MixParams;
    params.fadein = seconds != 0.0f;
    params.fadeinlength = seconds;
    RefreshCurrentRow();
    RedrawView();
}

void TFormTransformation::fadeoutlistChange()
{
    float seconds = 0.0f;
    if (!ListSeconds(fadeoutlist->Text(), seconds))
        return;
    // The first item switches the fade off; any other item, or a typed or stepped length (even
    // 0.00), switches it on.
    MixParams& params = EditedRow(RowIndex).MixParams;
    params.fadeout = fadeoutlist->ItemIndex() != 0;
    params.fadeoutlength = params.fadeout ? seconds : 0.0f;
    RefreshCurrentRow();
    RedrawView();
}

void TFormTransformation::PlayClick()
{
    Preview->PlayFrom(Mix->ViewStart());
}

void TFormTransformation::StopClick()
{
    Preview->Stop();
}

void TFormTransformation::MixPPosChanged()
{
    Preview->RestartFrom(Mix->PPos());
}

void TFormTransformation::PosTimerTimer()
{
    Preview->Tick();
}

void TFormTransformation::MixViewChange()
{
    TimeLine->SetStart(Mix->ViewStart());
    TimeLine->SetLen(Mix->ViewLen());
}
