#include "AudioControls/class_MixTable.h"

#include "AudioControls/class_TimeLine.h"
#include "platform/ui/Colors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QString>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kMarkerSize = 16;
constexpr int kScrollMax = 10000;
constexpr TColor kMarkerColor = 0xFFFFFF;
constexpr TColor kMarkerDragColor = 0xDDDDDD;
constexpr TColor kClientColor = 0xAAAAAA;

void FillColor(QWidget* widget, TColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ui::ToQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// An int that a pixel or scroll computation may safely become: the value held to the range
// Qt's geometry accepts, 0 for a value that is not a number.
int ClampedInt(double value, double limit)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -limit, limit));
}

// The white strip on top: its presses and moves are the table's (the same horizontal axis).
class TTimeLineStrip : public QWidget {
public:
    explicit TTimeLineStrip(TMixTable* table) : QWidget(table), table(table)
    {
        setMouseTracking(true);
        FillColor(this, 0xFFFFFF);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        table->TimeLineMouseDown(event->button(), event->position().toPoint().x());
    }
    void mouseMoveEvent(QMouseEvent* event) override { table->TimeLineMouseMove(event->position().toPoint().x()); }
    void resizeEvent(QResizeEvent*) override
    {
        for (QObject* child : children())
            if (auto* widget = qobject_cast<QWidget*>(child))
                widget->setGeometry(rect());
    }

private:
    TMixTable* table;
};

// A marker: its letter in a bordered box of its fill colour. Painted by itself, so the style of
// the window it stands in does not change it.
class TMarkerPanel : public QWidget {
public:
    TMarkerPanel(const char* letter, QWidget* parent) : QWidget(parent), letter(letter) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter canvas(this);
        canvas.fillRect(rect(), palette().color(QPalette::Window));
        canvas.setPen(Qt::black);
        canvas.drawRect(rect().adjusted(0, 0, -1, -1));
        QFont small = font();
        small.setPixelSize(10);
        canvas.setFont(small);
        canvas.drawText(rect(), Qt::AlignCenter, letter);
    }

private:
    QString letter;
};

} // namespace

TMixTable::TMixTable(QWidget* parent) : QWidget(parent)
{
    timeLinePanel = new TTimeLineStrip(this);
    clientPanel = new QWidget(this);
    FillColor(clientPanel, kClientColor);
    lLine = CreateLine();
    rLine = CreateLine();
    pLine = CreateLine();
    eLine = CreateLine();
    eMarker = CreateMarker("E");
    rMarker = CreateMarker("R");
    lMarker = CreateMarker("L");
    pMarker = CreateMarker("P");
    pLine->move(pLine->x(), 10);
    lMarker->move(0, 0);
    pMarker->move(20, 10);
    rMarker->move(40, 0);
    eMarker->move(60, 0);
    lDrag = CreateDrag(lMarker);
    rDrag = CreateDrag(rMarker);
    pDrag = CreateDrag(pMarker);
    eDrag = CreateDrag(eMarker);
    LayoutPanels();
    viewLen = 20.0;
    viewStart = 0.0;
    total = 100.0;
    SetLPos(0.0);
    SetRPos(10.0);
    SetPPos(5.0);
    SetEPos(15.0);
}

TMixTable::~TMixTable() = default;

QWidget* TMixTable::CreateMarker(const char* caption)
{
    auto* marker = new TMarkerPanel(caption, this);
    marker->setFixedSize(kMarkerSize, kMarkerSize);
    FillColor(marker, kMarkerColor);
    return marker;
}

QWidget* TMixTable::CreateLine()
{
    auto* line = new QWidget(this);
    line->setGeometry(0, 0, 1, 100);
    FillColor(line, 0x000000);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    return line;
}

TMouseDrag* TMixTable::CreateDrag(QWidget* marker)
{
    auto* drag = new TMouseDrag(this);
    drag->SetTarget(marker);
    drag->OnStart = [](QObject* sender) { FillColor(static_cast<TMouseDrag*>(sender)->Target(), kMarkerDragColor); };
    drag->OnMove = [this](QObject* sender) { MarkerDragMove(static_cast<TMouseDrag*>(sender)); };
    drag->OnEnd = [this](QObject* sender) { MarkerDragEnd(static_cast<TMouseDrag*>(sender)); };
    return drag;
}

QWidget* TMixTable::Marker(char letter) const
{
    switch (letter) {
    case 'L': return lMarker;
    case 'R': return rMarker;
    case 'P': return pMarker;
    default: return eMarker;
    }
}

QWidget* TMixTable::Line(char letter) const
{
    switch (letter) {
    case 'L': return lLine;
    case 'R': return rLine;
    case 'P': return pLine;
    default: return eLine;
    }
}

TMouseDrag* TMixTable::Drag(char letter) const
{
    switch (letter) {
    case 'L': return lDrag;
    case 'R': return rDrag;
    case 'P': return pDrag;
    default: return eDrag;
    }
}

// ---- conversions ----

int TMixTable::TimeToX(double t) const
{
    const double d = t - viewStart;
    if (!(viewLen > 0.0) || width() <= 0 || !(d >= 0.0 && d <= viewLen))
        return -1;
    return static_cast<int>(width() * d / viewLen);
}

double TMixTable::XToTime(int x) const
{
    if (!(viewLen > 0.0) || width() <= 0)
        return viewStart;
    return x * viewLen / width() + viewStart;
}

double TMixTable::Clamped(double value) const
{
    return value < 0.0 && !AllowNegatives ? 0.0 : value;
}

// ---- view ----

void TMixTable::SetTotal(double value)
{
    total = value;
    Rebuild();
}

void TMixTable::UpdateScrollPage()
{
    const int max = scroll->Max();
    const int page = total > 0.0 ? ClampedInt(max * viewLen / total, max) : max;
    // Changing the range may move the bar's position; that is no user's scroll.
    auto handler = std::exchange(scroll->OnChange, nullptr);
    scroll->SetPageSize(std::max(page, 0));
    scroll->SetLargeChange(scroll->PageSize() / 4);
    scroll->SetSmallChange(scroll->PageSize() / 8);
    scroll->OnChange = std::move(handler);
    scroll->Bar()->update();
}

void TMixTable::SetViewLen(double value)
{
    viewLen = value;
    if (scroll)
        UpdateScrollPage();
    Rebuild();
    if (OnViewChange)
        OnViewChange(this);
}

void TMixTable::SetViewStart(double value)
{
    viewStart = Clamped(value);
    Rebuild();
    if (OnViewChange)
        OnViewChange(this);
    if (scroll) {
        auto handler = std::exchange(scroll->OnChange, nullptr);
        scroll->SetPosition(total > 0.0 ? ClampedInt(scroll->Max() * viewStart / total, 2147483647.0) : 0);
        scroll->OnChange = std::move(handler);
    }
}

void TMixTable::SetScroll(QScrollBar* bar)
{
    scroll.reset();
    if (!bar)
        return;
    scroll = std::make_unique<TScrollBarAdapter>(bar);
    scroll->SetMax(kScrollMax);
    scroll->SetPageSize(total > 0.0 ? std::max(0, ClampedInt(kScrollMax * viewLen / total, kScrollMax)) : kScrollMax);
    scroll->SetPosition(0);
    scroll->OnChange = [this] { OnScrollChange(); };
    scroll->SetLargeChange(100);
    scroll->SetSmallChange(50);
}

void TMixTable::OnScrollChange()
{
    viewStart = scroll->Position() * total / scroll->Max();
    Rebuild();
    if (OnViewChange)
        OnViewChange(this);
}

void TMixTable::ZoomIn()
{
    RebuildLocked = true;
    const double old = viewLen;
    SetViewLen(viewLen / ZoomCoeff);
    SetViewStart((old - viewLen) * 0.5 + viewStart);
    RebuildLocked = false;
    Rebuild();
}

void TMixTable::ZoomOut()
{
    // An empty view (a zero-length row) cannot grow by a factor: it opens to the whole table.
    double newLen = std::min(viewLen * ZoomCoeff, total);
    if (!(newLen > 0.0))
        newLen = total;
    if (!(newLen > 0.0))
        return;
    RebuildLocked = true;
    const double old = viewLen;
    viewLen = newLen;
    double start = (old - viewLen) * 0.5 + viewStart;
    if (start + viewLen > total)
        start = total - viewLen;
    if (start < 0.0)
        start = 0.0;
    SetViewStart(start);
    SetViewLen(viewLen);
    RebuildLocked = false;
    Rebuild();
}

std::string TMixTable::StatString() const
{
    return QString::asprintf("Left: %.1f Right: %.1f Position: %.1f End: %.1f ViewPos:%.1f ViewLen:%.1f Total:%.1f",
                             lPos, rPos, pPos, ePos, viewStart, viewLen, total)
        .toStdString();
}

// ---- markers ----

void TMixTable::SetLPos(double value) { lPos = Clamped(value); PutLMark(); SnapLinesToMarkers(); }
void TMixTable::SetRPos(double value) { rPos = Clamped(value); PutRMark(); SnapLinesToMarkers(); }
void TMixTable::SetPPos(double value) { pPos = Clamped(value); PutPMark(); SnapLinesToMarkers(); }
void TMixTable::SetEPos(double value) { ePos = Clamped(value); }

void TMixTable::SetLPos_Visible(bool value) { lVisible = value; lMarker->setVisible(value); lLine->setVisible(value); }
void TMixTable::SetRPos_Visible(bool value) { rVisible = value; rMarker->setVisible(value); rLine->setVisible(value); }
void TMixTable::SetPPos_Visible(bool value) { pVisible = value; pMarker->setVisible(value); pLine->setVisible(value); }
void TMixTable::SetEPos_Visible(bool value) { eVisible = value; eMarker->setVisible(value); eLine->setVisible(value); }

// anchor: 0 the marker's left edge at the time, 1 its middle, 2 its right edge.
void TMixTable::PutMark(QWidget* marker, double time, bool visible, int anchor)
{
    const int x = TimeToX(time);
    if (x == -1) {
        marker->hide();
        return;
    }
    marker->setVisible(visible);
    const int w = marker->width();
    marker->move(anchor == 0 ? x : anchor == 1 ? x - w / 2 : x - w, marker->y());
}

void TMixTable::PutLMark() { PutMark(lMarker, lPos, lVisible, 0); }
void TMixTable::PutRMark() { PutMark(rMarker, rPos, rVisible, 2); }
void TMixTable::PutPMark() { PutMark(pMarker, pPos, pVisible, 1); }
void TMixTable::PutEMark() { PutMark(eMarker, ePos, eVisible, 2); }

void TMixTable::SnapLinesToMarkers()
{
    const int w = kMarkerSize;
    lLine->move(lMarker->x(), lLine->y());
    rLine->move(rMarker->x() + w - 1, rLine->y());
    pLine->move(pMarker->x() + w / 2, pLine->y());
    eLine->move(eMarker->x() + w - 1, eLine->y());
    for (char letter : {'L', 'R', 'P', 'E'})
        Line(letter)->setVisible(!Marker(letter)->isHidden());
}

void TMixTable::MarkerDragMove(TMouseDrag* drag)
{
    SnapLinesToMarkers();
    // Only the dragged marker is read back: a hidden marker's panel stands where it was last shown.
    if (drag == lDrag)
        lPos = XToTime(lLine->x());
    else if (drag == rDrag)
        rPos = XToTime(rLine->x());
    else if (drag == eDrag)
        ePos = XToTime(eLine->x());
    else
        pPos = XToTime(pLine->x());
    if (OnMarkerChange)
        OnMarkerChange(this);
}

void TMixTable::MarkerDragEnd(TMouseDrag* drag)
{
    FillColor(drag->Target(), kMarkerColor);
    if (drag == pDrag && OnPPosChanged)
        OnPPosChanged(this);
}

void TMixTable::Rebuild()
{
    if (RebuildLocked)
        return;
    PutLMark();
    PutRMark();
    PutPMark();
    PutEMark();
    SnapLinesToMarkers();
}

// ---- strip ----

void TMixTable::SetTimeLineHeight(int value)
{
    timeLineHeight = value;
    LayoutPanels();
}

void TMixTable::TakeTimeLine(TTimeLine* ruler)
{
    ruler->setParent(timeLinePanel);
    ruler->setGeometry(timeLinePanel->rect());
    ruler->setAttribute(Qt::WA_TransparentForMouseEvents); // its clicks are the strip's
    ruler->show();
}

void TMixTable::TimeLineMouseDown(Qt::MouseButton button, int x)
{
    if (button != Qt::LeftButton || !TimeLineChangePPos)
        return;
    SetPPos(XToTime(x));
    if (OnPPosChanged)
        OnPPosChanged(this);
}

void TMixTable::TimeLineMouseMove(int x)
{
    MouseTime = XToTime(x);
    if (OnTimeLineMouseMove)
        OnTimeLineMouseMove(this);
}

void TMixTable::LayoutPanels()
{
    timeLinePanel->setGeometry(0, 0, width(), timeLineHeight);
    clientPanel->setGeometry(0, timeLineHeight, width(), std::max(0, height() - timeLineHeight));
}

void TMixTable::resizeEvent(QResizeEvent*)
{
    LayoutPanels();
    for (char letter : {'L', 'R', 'P', 'E'}) {
        QWidget* line = Line(letter);
        line->resize(1, std::max(0, height() - line->y()));
    }
    Rebuild();
}
