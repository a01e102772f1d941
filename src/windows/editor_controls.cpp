#include "windows/editor_controls.h"

#include "AudioControls/class_AudioMixTable.h"
#include "AudioControls/class_AudioView.h"
#include "AudioControls/class_TimeLine.h"
#include "GraphControls/class_SkinPicture.h"
#include "model/class_Application.h"
#include "platform/trace/Trace.h"
#include "platform/text/NumberText.h"
#include "platform/ui/WindowHelpers.h"
#include "windows/form_Main.h"
#include "windows/frame_mixedit.h"

#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QString>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cassert>

std::string VolumeText(int32_t volume)
{
    return volume == 0 ? "mute" : QString::asprintf("%d%%", volume).toStdString();
}

std::string SpeedText(float speed)
{
    return speed == 0.0f ? "" : QString::asprintf("x%.2f", (speed + 100.0f) * 0.01).toStdString();
}

std::string PitchText(int64_t pitch)
{
    return pitch == 0 ? "" : QString::asprintf("%.1f semitone(s)", pitch * 0.001).toStdString();
}

bool ListSeconds(const std::string& text, float& seconds)
{
    double value = 0.0;
    if (!ui::TextToFloat(text, value) || value < 0.0 || value > 1.0e6)
        return false;
    seconds = static_cast<float>(value);
    return true;
}

TSecondsList::TSecondsList(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    for (int i = 0; i <= 15; ++i)
        addItem(QString::number(i));
    connect(this, &QComboBox::activated, this, [this](int index) {
        itemIndex = index;
        if (OnChange)
            OnChange();
    });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        itemIndex = -1;
        if (OnChange)
            OnChange();
    });
}

void TSecondsList::SetItemIndex(int index)
{
    itemIndex = index >= 0 && index < count() ? index : -1;
    if (itemIndex >= 0)
        setCurrentIndex(itemIndex);
}

std::string TSecondsList::Text() const { return currentText().toStdString(); }

void TSecondsList::SetText(const std::string& text)
{
    itemIndex = -1;
    setEditText(QString::fromStdString(text));
}

void TSecondsList::Step(float step)
{
    SetText(ui::StepFloatText(Text(), step, false));
    if (OnChange)
        OnChange();
}

TSpinButton::TSpinButton(QWidget* parent, TSecondsList* list) : QWidget(parent), list(list)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Qt::ArrowType arrow : {Qt::UpArrow, Qt::DownArrow}) {
        auto* button = new QToolButton(this);
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        const float step = arrow == Qt::UpArrow ? 0.01f : -0.01f;
        connect(button, &QToolButton::clicked, this, [this, step] { this->list->Step(step); });
        layout->addWidget(button);
    }
}

QScrollBar* ParameterBar(QWidget* parent, int min, int max, int smallChange, int largeChange,
                         std::function<void()> onChange)
{
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setRange(min, max);
    bar->setSingleStep(smallChange);
    bar->setPageStep(largeChange);
    QObject::connect(bar, &QScrollBar::valueChanged, bar, [onChange = std::move(onChange)] { onChange(); });
    return bar;
}

void StopPreview()
{
    trace("snl.stop()");
    snl.WavProducer.Stopped = 1;
    snl.Playing = 0;
    snl.WavProducer.WaitState = 0;
}

void RefreshMainPlaylistRow(int row)
{
    if (FormMain && FormMain->PagePlaylist)
        FormMain->PagePlaylist->PlaylistEdit->RefreshRow(row);
}

cMixRow& EditedRow(int index)
{
    cMixRow* row = snl.mixdata.Get(index);
    assert(row && "RowIndex<mixdata.Count");
    return *row;
}

std::string LengthText(bool on, float length)
{
    return on ? ui::FloatToText(length, 2) : "0";
}

int VolumePosition(const cMixRow* row, int max)
{
    return row ? static_cast<int>(row->MixParams.volume * 0.01 * (max / 2)) : 0;
}

void ScaleRowView(TAudioMixTable& mix, int k, int32_t volume)
{
    if (TAudioView* view = mix.GetAudioView(k)) {
        view->Scale = volume * 0.01f;
        view->Redraw();
    }
}

TPreviewLoop::TPreviewLoop(QDialog* form, TAudioMixTable* mix, cAtClose atClose, std::function<void()> onTimer)
    : QObject(form), mix(mix), atClose(atClose)
{
    LoopRange = [mix] { return cLoop{mix->ViewStart(), mix->ViewStart() + mix->ViewLen()}; };
    PosTimer = new QTimer(this);
    PosTimer->setInterval(25);
    connect(PosTimer, &QTimer::timeout, this, std::move(onTimer));
    form->installEventFilter(this);
    connect(form, &QDialog::finished, this, [this] { Close(); });
}

bool TPreviewLoop::eventFilter(QObject*, QEvent* event)
{
    // The position is followed only while the window shows.
    if (event->type() == QEvent::Show)
        PosTimer->start();
    else if (event->type() == QEvent::Hide)
        PosTimer->stop();
    return false;
}

bool TPreviewLoop::Playing() const
{
    return Latched ? started : !snl.WavProducer.Stopped;
}

void TPreviewLoop::PlayFrom(double t)
{
    started = true;
    trace("snl.play(pos)");
    snl.WavProducer.SetNeedlePos(snl.mixdata, static_cast<float>(t), false, Solo ? snl.SelectedRow : -1);
    snl.Playing = 1;
}

void TPreviewLoop::RestartFrom(double t)
{
    StopPreview();
    PlayFrom(t);
}

void TPreviewLoop::Stop()
{
    started = false;
    StopPreview();
}

std::optional<float> TPreviewLoop::Tick()
{
    if (!Playing()) {
        if (MarkerShowsPlay)
            mix->SetPPos_Visible(false);
        return std::nullopt;
    }
    if (MarkerShowsPlay)
        mix->SetPPos_Visible(true);
    const float t = snl.WavProducer.MainTime - kPreviewLatency;
    const std::optional<cLoop> loop = LoopRange();
    if (loop && (loop->End < t || (Latched && snl.WavProducer.Stopped)))
        RestartFrom(loop->Start);
    if (!mix->AdjustingPPos())
        mix->SetPPos(t);
    return t;
}

void TPreviewLoop::Close()
{
    if (atClose == cAtClose::StopPlayback || (atClose == cAtClose::StopOwnPreview && started))
        Stop();
    PosTimer->stop();
    mix->DestroyAudioViews();
}

void ApplyEditorStyle(QDialog* form)
{
    form->setStyleSheet("QLabel { color: #e8ebf0; font-family: 'DejaVu Sans'; font-size: 8pt; }"
                        " QLabel[caption=\"true\"] { color: #8d96a6; }"
                        " QComboBox { color: #e8ebf0; background: #0e1014; border: 1px solid #3a424f;"
                        " font-family: 'DejaVu Sans'; font-size: 8pt; }"
                        " QComboBox QAbstractItemView { color: #e8ebf0; background: #0e1014;"
                        " selection-background-color: #1d3346; }"
                        " QPushButton { color: #e8ebf0; background: #2a303a; border: 1px solid #3a424f;"
                        " border-radius: 3px; font-size: 8pt; padding: 1px 6px; }"
                        " QPushButton:pressed { background: #1d3346; }"
                        " QToolButton { background: #2a303a; border: 1px solid #3a424f; }");
}

cEditorPreview MakeEditorPreview(QWidget* form, const QRect& area, double viewLen)
{
    auto* mix = new TAudioMixTable(form);
    mix->setGeometry(area);
    mix->SetViewLen(viewLen);
    mix->SetChannelHeight(94);
    mix->AllowNegatives = true;
    mix->TimeLineChangePPos = true;
    auto* scroll = new QScrollBar(Qt::Horizontal, form);
    scroll->setGeometry(area.left(), area.bottom() + 2, area.width(), 16);
    mix->SetScroll(scroll);
    auto* timeLine = new TTimeLine;
    timeLine->SetLen(10.0);
    timeLine->SetDistance(60);
    timeLine->SetFormat("%.1f s");
    timeLine->SetBackColor(0xFFFFFF);
    timeLine->SetLinesColor(0xFFFFFF);
    timeLine->SetTextDistance(3);
    mix->TakeTimeLine(timeLine);
    return {mix, scroll, timeLine};
}

cParameterLine MakeParameterLine(QWidget* form, const char* caption, int x, int y, QScrollBar* bar)
{
    MakeCaption(form, caption, QRect(x, y, 58, 18));
    bar->setGeometry(x + 60, y + 1, 124, 16);
    auto* label = new QLabel(form);
    label->setGeometry(x + 188, y, 100, 18);
    auto* reset = new QPushButton("reset", form);
    reset->setGeometry(x + 290, y, 40, 18);
    reset->setFocusPolicy(Qt::NoFocus);
    return {bar, label, reset};
}

QLabel* MakeCaption(QWidget* form, const char* text, const QRect& place)
{
    auto* label = new QLabel(text, form);
    label->setProperty("caption", true);
    label->setGeometry(place);
    return label;
}

TSkinPicture* MakeEditorButton(QWidget* form, const std::string& skinName, int left, int top)
{
    auto* button = new TSkinPicture(form, skinName, left, top);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

TSkinPicture* MakeEditorBackground(QDialog* form, const std::string& skinName)
{
    auto* background = new TSkinPicture(form, skinName, 0, 0);
    background->OnMouseDown = [form](QMouseEvent* press) {
        if (press->button() == Qt::LeftButton)
            ui::DragWindowByControl(form);
    };
    return background;
}
