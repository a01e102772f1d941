#include "windows/form_MixView.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "AudioControls/class_TimeLine.h"
#include "ModelToViews/MixTableFill.h"
#include "model/class_Application.h"
#include "windows/editor_controls.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

TFormMixView* FormMixView = nullptr;

namespace {

constexpr int kPanelHeight = 48;
constexpr double kEmptyMixLength = 60.0;

QPushButton* PanelButton(QWidget* panel, QStyle::StandardPixmap icon, const char* tip, int left)
{
    auto* button = new QPushButton(panel);
    button->setIcon(panel->style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setGeometry(left, 18, 32, 26);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TFormMixView::TFormMixView(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormMixView");
    setWindowTitle("Mix View");

    Mix = new TAudioMixTable(this);
    Mix->TimeLineChangePPos = true;
    Mix->ZoomCoeff = 1.4;
    Mix->SetTimeLineHeight(25);
    Mix->SetEPos_Visible(false);
    Mix->SetLPos_Visible(false);
    Mix->SetRPos_Visible(false);
    Mix->OnPPosChanged = [this](QObject*) { MixPPosChanged(); };
    Mix->OnAudioViewClick = [this](QObject*, TAudioView* view) { Mix->SetSelectedIndex(view->Tag); };
    Mix->OnMarkerChange = [this](QObject*) { ShowStat(); };
    Mix->OnViewChange = [this](QObject*) {
        ShowStat();
        TimeLine->SetStart(Mix->ViewStart());
        TimeLine->SetLen(Mix->ViewLen());
    };

    TimeLine = new TTimeLine;
    TimeLine->SetLen(10.0);
    TimeLine->SetDistance(100);
    TimeLine->SetFormat("%.1f s");
    TimeLine->FontColor = 0xC0C0C0;
    TimeLine->SetBackColor(0xFFFFFF);
    TimeLine->SetLinesColor(0xC0C0C0);
    TimeLine->SetLineStyle(Qt::DotLine);
    TimeLine->SetTextDistance(7);
    Mix->TakeTimeLine(TimeLine);

    Panel1 = new QWidget(this);
    MixPosition = new QScrollBar(Qt::Horizontal, Panel1);
    Mix->SetScroll(MixPosition);
    Mix->Scroll()->SetPageSize(2000);
    SpeedButton1 = PanelButton(Panel1, QStyle::SP_ArrowUp, "Zoom In", 8);
    SpeedButton2 = PanelButton(Panel1, QStyle::SP_ArrowDown, "Zoom Out", 44);
    Play = PanelButton(Panel1, QStyle::SP_MediaPlay, "Play", 88);
    Stop = PanelButton(Panel1, QStyle::SP_MediaStop, "Stop", 124);
    cbLoop = new QCheckBox("Loop", Panel1);
    cbLoop->setGeometry(168, 21, 60, 20);
    Label1 = new QLabel(Panel1);
    Label1->setGeometry(236, 16, 640, 16);
    Label2 = new QLabel(Panel1);
    Label2->setGeometry(236, 32, 300, 16);
    SpeedButton3 = new QPushButton("Close", Panel1);
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { Mix->ZoomIn(); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { Mix->ZoomOut(); });
    connect(Play, &QPushButton::clicked, this, [this] { PlayClick(); });
    connect(Stop, &QPushButton::clicked, this, [this] { StopClick(); });
    connect(cbLoop, &QCheckBox::clicked, this, [this] { cbLoopClick(); });
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { close(); });

    TogglePlay1 = new QAction("Toggle Play", this);
    TogglePlay1->setShortcut(Qt::Key_Space);
    addAction(TogglePlay1);
    connect(TogglePlay1, &QAction::triggered, this, [this] { TogglePlay1Click(); });
    setContextMenuPolicy(Qt::ActionsContextMenu);

    Preview = new TPreviewLoop(this, Mix, TPreviewLoop::cAtClose::KeepPlaying, [this] { PosTimerTimer(); });
    Preview->MarkerShowsPlay = false;
    Preview->LoopRange = [this]() -> std::optional<TPreviewLoop::cLoop> {
        if (!cbLoop->isChecked())
            return std::nullopt;
        return TPreviewLoop::cLoop{Mix->LPos(), Mix->RPos()};
    };

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    move(screen.left() + 10, y());
    resize(screen.width() - 20, 330);
}

void TFormMixView::resizeEvent(QResizeEvent*)
{
    const int mixHeight = std::max(0, height() - kPanelHeight);
    Mix->setGeometry(0, 0, width(), mixHeight);
    Mix->SetChannelHeight((mixHeight - 24) / 2 - 1);
    Panel1->setGeometry(0, mixHeight, width(), kPanelHeight);
    MixPosition->setGeometry(0, 0, width(), 14);
    SpeedButton3->setGeometry(width() - 88, 18, 80, 26);
}

void TFormMixView::FillMixView(TAudioMixTable& table, bool setTotal)
{
    const int selected = table.SelectedIndex();
    table.DestroyAudioViews();
    {
        TAudioMixTable::RebuildLock lock(table);
        if (setTotal) {
            const double total = snl.mixdata.TotalLength();
            table.SetTotal(total > 0.0 ? total : kEmptyMixLength);
        }
        for (int i = 0; i < snl.mixdata.Count(); ++i) {
            const cMixRow& row = *snl.mixdata.Get(i);
            table.AddAudioStream(row.filename, row.start, row.length, snl.mixdata.RowStart(i),
                                 static_cast<double>(row.PlayLength()), i % 2, MixRowCaption(i, row));
            table.GetAudioView(i)->Tag = i;
        }
        table.SetSelectedIndex(selected < table.StreamCount() ? selected : table.StreamCount() - 1);
    }
    table.Rebuild();
}

void TFormMixView::ShowWholeMix()
{
    FillMixView(*Mix, true);
    AttachFadePainter(snl, *Mix);
    Mix->SetViewStart(0.0);
    Mix->SetViewLen(Mix->Total());
    // A row removed or a smaller project loaded since the selection was made: the last row.
    const int selected = std::clamp(snl.SelectedRow, 0, std::max(0, snl.mixdata.Count() - 1));
    Mix->SetPPos(snl.mixdata.RowStart(selected));
    Mix->SetSelectedIndex(selected);
    ShowStat();
}

void TFormMixView::ShowStat()
{
    Label1->setText(QString::fromStdString(Mix->StatString()));
}

void TFormMixView::PlayClick()
{
    const bool outsideLoop = Mix->PPos() < Mix->LPos() || Mix->PPos() > Mix->RPos();
    Preview->PlayFrom(cbLoop->isChecked() && outsideLoop ? Mix->LPos() : Mix->PPos());
}

void TFormMixView::StopClick()
{
    Preview->Stop();
}

void TFormMixView::TogglePlay1Click()
{
    if (Preview->Playing())
        Preview->Stop();
    else
        PlayClick();
}

void TFormMixView::MixPPosChanged()
{
    if (Preview->Playing())
        Preview->RestartFrom(Mix->PPos());
}

void TFormMixView::PosTimerTimer()
{
    if (const std::optional<float> t = Preview->Tick())
        Label2->setText(QString::asprintf("Play Position: %.1f sec(s)", *t));
    else if (!Label2->text().isEmpty())
        Label2->clear();
}

void TFormMixView::cbLoopClick()
{
    Mix->SetLPos_Visible(cbLoop->isChecked());
    Mix->SetRPos_Visible(cbLoop->isChecked());
}
