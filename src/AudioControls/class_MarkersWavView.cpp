#include "AudioControls/class_MarkersWavView.h"

#include "AudioControls/class_TimeLine.h"
#include "platform/ui/FittedText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr TColor kRulerColor = 0x808080;
constexpr int kRulerTextOffset = 16; // ruler labels stand this far above the bottom edge
constexpr int kCaptionFrame = 2;     // columns a caption box adds to its text: one each side

// Takes a handler out for the life of the guard (so code that changes what it watches does not
// call it back) and puts it back, also when an exception passes.
template <class Handler>
class DetachedHandler {
public:
    explicit DetachedHandler(Handler& slot) : slot(slot), saved(std::move(slot)) { slot = nullptr; }
    ~DetachedHandler() { slot = std::move(saved); }
    DetachedHandler(const DetachedHandler&) = delete;
    DetachedHandler& operator=(const DetachedHandler&) = delete;

private:
    Handler& slot;
    Handler saved;
};

std::string FixedText(double value, int digits)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    return std::string(buffer, result.ptr);
}

bool StrictlyInside(const QRect& box, int x, int y)
{
    return box.left() < x && x < box.right() && box.top() < y && y < box.bottom();
}

} // namespace

std::string FormatTimeLabel(float seconds, int decimals)
{
    if (!std::isfinite(seconds))
        return {};
    const int digits = std::clamp(decimals, 0, 9);
    const double unitsPerSecond = std::pow(10.0, digits);
    const double unitsPerMinute = 60.0 * unitsPerSecond;
    // Round first, then split: 59.97 s with one decimal is 1:00.0, not 0:60.0.
    const double units = std::round(static_cast<double>(seconds) * unitsPerSecond);
    const double minutes = std::floor(units / unitsPerMinute) + 0.0; // + 0.0: no "-0"
    const double secondUnits = std::clamp(units - minutes * unitsPerMinute, 0.0, unitsPerMinute - 1.0);

    std::string secondsText = FixedText(secondUnits / unitsPerSecond, digits);
    const size_t width = decimals == -1 ? 2 : static_cast<size_t>(std::max(0, 2 * decimals + 2));
    if (secondsText.size() < width)
        secondsText.insert(0, width - secondsText.size(), '0');

    const std::string minutesText = FixedText(minutes, 0);
    if (decimals == 0)
        return minutesText + " min " + secondsText + " sec";
    return minutesText + ":" + secondsText;
}

TMarkersWavView::TMarkersWavView(QWidget* parent) : TMemWavView(parent) {}

TMarkersWavView::~TMarkersWavView() = default;

// ---- markers and zones ----

cMarker* TMarkersWavView::AddMarker(float pos, const std::string& caption, int zoneIndex)
{
    cMarker* marker = Markers.Add();
    marker->Pos = pos;
    marker->Caption = caption;
    marker->ZoneIndex = zoneIndex;
    return marker;
}

cZone* TMarkersWavView::AddZone(const std::string& name, float start, float len, bool redraw)
{
    const std::string zoneName = name.empty() ? std::to_string(Zones.Count() + 1) : name;
    cZone* zone = Zones.Add();
    const int zoneIndex = Zones.Count() - 1;
    zone->Start = AddMarker(start == -1.0f ? selStart : start, "(" + zoneName, zoneIndex);
    zone->End = AddMarker(len == -1.0f ? selStart + selLen : start + len, zoneName + ")", zoneIndex);
    zone->End->CaptionLeft = true;
    if (redraw)
        Redraw();
    return zone;
}

void TMarkersWavView::DeleteZone(int index)
{
    const cZone* zone = Zones.At(index);
    Markers.Remove(zone->Start);
    Markers.Remove(zone->End);
    Zones.Delete(index);
}

void TMarkersWavView::SelectionToMarkers()
{
    AddMarker(selStart, "1B", -1);
    AddMarker(selStart + selLen, "1E", -1);
    Redraw();
}

void TMarkersWavView::ZoneToSel()
{
    if (!OptionMarkerZoneSelect || !dragging || dragZoneIndex == -1)
        return;
    const cZone* zone = Zones.At(dragZoneIndex);
    if (!zone->Start || !zone->End)
        return;
    SetSelStart(zone->Start->Pos);
    SetSelLen(zone->End->Pos - zone->Start->Pos);
}

// ---- scroll bar ----

void TMarkersWavView::ConnectScrollbar(QScrollBar* bar)
{
    scrollBar.reset();
    if (!bar)
        return;
    scrollBar = std::make_unique<TScrollBarAdapter>(bar);
    scrollBar->OnChange = [this] { PosScrollChange(scrollBar->Bar()); };
    scrollBar->SetMin(0);
    scrollBar->SetMax(10000);
}

void TMarkersWavView::PosScrollChange(QObject*)
{
    if (!ScrollBar())
        return;
    DetachedHandler detached(OnViewChange);
    const int max = scrollBar->Max();
    SetViewStart(max > 0 ? static_cast<float>(scrollBar->Position()) / max : 0.0f);
}

void TMarkersWavView::CallViewChange()
{
    TMemWavView::CallViewChange();
    if (!ScrollBar())
        return;
    DetachedHandler detached(scrollBar->OnChange);
    const double max = scrollBar->Max();
    const int pageSize = static_cast<int>(max * viewLen);
    scrollBar->SetPageSize(pageSize);
    scrollBar->SetPosition(static_cast<int>(max * viewStart));
    scrollBar->SetSmallChange(pageSize / 20);
    scrollBar->SetLargeChange(pageSize / 20);
}

// ---- drawing ----

void TMarkersWavView::PostDraw(QPainter& canvas)
{
    CollectDrawnMarkers();
    // Only what this drawing shows can be grabbed: hidden markers, markers outside the view and
    // markers left out of the drawing keep no caption box from an earlier drawing.
    for (int i = 0; i < Markers.Count(); ++i) {
        Markers.Get(i)->CaptionShown = false;
        Markers.Get(i)->CaptionDrawn.clear();
    }
    const QFontMetrics metrics(font());
    for (cMarker* marker : drawnMarkers)
        if (marker->Visible)
            DrawMarker(canvas, metrics, *marker);
    DrawRuler(canvas, metrics);
}

void TMarkersWavView::CollectDrawnMarkers()
{
    drawnMarkers.clear();
    for (int i = 0; i < Markers.Count(); ++i) {
        cMarker* marker = Markers.Get(i);
        if (SelectedZoneIndex == -1 || marker->ZoneIndex != SelectedZoneIndex)
            drawnMarkers.push_back(marker);
    }
    if (SelectedZoneIndex < 0 || SelectedZoneIndex >= Zones.Count())
        return;
    const cZone* zone = Zones.At(SelectedZoneIndex);
    for (cMarker* marker : {zone->Start, zone->End})
        if (marker && Markers.IndexOf(marker) != -1) // a marker deleted behind the zone's back is not drawn
            drawnMarkers.push_back(marker);
}

void TMarkersWavView::DrawMarker(QPainter& canvas, const QFontMetrics& metrics, cMarker& marker) const
{
    if (marker.Pos < viewStart || marker.Pos > viewStart + viewLen)
        return;
    int x = WavPosToX(marker.Pos);
    canvas.setPen(QPen(ui::ToQColor(marker.Color), 1, marker.Dotted ? Qt::DotLine : Qt::SolidLine));
    canvas.setBrush(Qt::NoBrush);
    const int lines = std::clamp(marker.LineWidth, 0, width());
    const int tick = height() / 5;
    for (int i = 0; i < lines; ++i, ++x) {
        if (marker.TicksOnly) {
            canvas.drawLine(x, 0, x, tick);
            canvas.drawLine(x, height() - tick, x, height());
        } else {
            canvas.drawLine(x, 0, x, height());
        }
    }
    if (marker.Caption.empty())
        return;

    QString text = QString::fromStdString(marker.Caption);
    int left = marker.CaptionLeft ? x - metrics.horizontalAdvance(text) - kCaptionFrame : x;
    if (marker.CaptionFitted) {
        const QRect shown = VisibleArea().isEmpty() ? rect() : VisibleArea();
        left = std::max(left, shown.left());
        text = ui::FittedTitle(metrics, text, shown.right() + 1 - left - kCaptionFrame);
        if (text.isEmpty())
            return;
    }
    const int w = metrics.horizontalAdvance(text);
    const int h = metrics.height();
    const int top = marker.CaptionLowered ? h : 0;
    // Edges as left, top, right, bottom; the box covers left..right-1 and top..bottom-1.
    marker.CaptionRect = QRect(QPoint(left, top), QPoint(left + w + kCaptionFrame, top + h + 2));
    marker.CaptionShown = true;
    marker.CaptionDrawn = text.toStdString();

    canvas.setBrush(ui::ToQColor(ColorBack()));
    canvas.setPen(QPen(ui::ToQColor(FontColor), 1, Qt::SolidLine));
    canvas.drawRect(QRect(left, top, w + 1, h + 1));
    canvas.setFont(font());
    canvas.drawText(QRect(left + 1, top + 1, w, h), Qt::AlignLeft | Qt::AlignTop, text);
}

void TMarkersWavView::DrawRuler(QPainter& canvas, const QFontMetrics& metrics) const
{
    const double lenSec = LenSec();
    // -1.0 means the length is not known yet; no other length without seconds gets a ruler either.
    if (!TimeLineShow || !std::isfinite(lenSec) || lenSec <= 0.0 || width() <= 0)
        return;
    const double startSec = lenSec * viewStart;
    const double viewSec = lenSec * viewLen;
    const double step = TimeLineDist * viewSec / width();
    if (!std::isfinite(step) || step <= 0.0)
        return; // a zero step would never advance
    // About Width / TimeLineDist labels; never more than one per column.
    const double labels = std::min(viewSec / step + 1.0, static_cast<double>(width()) + 2.0);

    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(font());
    canvas.setPen(ui::ToQColor(kRulerColor));
    const QRect area = DrawingArea();
    const int widestLabel = metrics.horizontalAdvance(QString::fromStdString(FormatTimeLabel(lenSec, 1) + "0"));
    double t = std::floor(startSec / step) * step;
    for (int i = 0; i < labels; ++i, t += step) {
        const int x = WavPosToX(static_cast<float>(t / lenSec));
        if (x == -1 || x + widestLabel < area.left())
            continue; // not in the columns being drawn
        if (x > area.right())
            break;
        const QString text = QString::fromStdString(FormatTimeLabel(static_cast<float>(t), 1));
        const int w = metrics.horizontalAdvance(text);
        if (!RulerLabelFits(x, w, width()))
            break; // the labels further right do not fit either
        canvas.drawText(QRect(x, height() - kRulerTextOffset, w + 1, metrics.height()), Qt::AlignLeft | Qt::AlignTop, text);
    }
}

// ---- mouse ----

int TMarkersWavView::MarkerAt(int x, int y) const
{
    for (int i = Markers.Count() - 1; i >= 0; --i) {
        const cMarker* marker = Markers.Get(i);
        if (marker->CaptionShown && StrictlyInside(marker->CaptionRect, x, y))
            return i;
    }
    return -1;
}

void TMarkersWavView::ImageMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    if (OnMouseClick)
        OnMouseClick(this);
    if (OnPositionClick)
        OnPositionClick(this, XToWavPos(X));
    if (Locked)
        return;
    const int grabbed = MarkerAt(X, Y);
    if (grabbed != -1) {
        const cMarker* marker = Markers.At(grabbed);
        dragging = true;
        dragIndex = grabbed;
        dragZoneIndex = marker->ZoneIndex;
        dragOffset = X - (marker->CaptionLeft ? marker->CaptionRect.right() : marker->CaptionRect.left());
    }
    ZoneToSel();
    if (grabbed == -1)
        TMemWavView::ImageMouseDown(Sender, Button, Shift, X, Y);
    else if (OnMarkerMoveStart)
        OnMarkerMoveStart(this, Markers.At(dragIndex));
}

void TMarkersWavView::ImageMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TMemWavView::ImageMouseMove(Sender, Shift, X, Y);
    if (MarkerAt(X, Y) != -1)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    if (dragging)
        DragMarker(Sender, X);
}

void TMarkersWavView::DragMarker(QObject* Sender, int X)
{
    // The timer's own moves keep drag-scrolling, so a marker can be carried past the view's edge.
    X = FollowMouseOutside(Sender, X);
    cMarker* marker = Markers.At(dragIndex);
    float pos = std::clamp(XToWavPos(X - dragOffset), 0.0f, 1.0f);
    if (KeepZoneOrder && marker->ZoneIndex != -1) {
        const cZone* zone = Zones.At(marker->ZoneIndex);
        if (marker == zone->Start && zone->End)
            pos = std::min(pos, zone->End->Pos);
        else if (marker == zone->End && zone->Start)
            pos = std::max(pos, zone->Start->Pos);
    }
    marker->Pos = pos;
    if (OnMarkerMove)
        OnMarkerMove(this, marker);
    ZoneToSel();
}

void TMarkersWavView::ImageMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TMemWavView::ImageMouseUp(Sender, Button, Shift, X, Y);
    if (!dragging)
        return;
    dragging = false;
    if (OnMarkerMoveEnd)
        OnMarkerMoveEnd(this, Markers.At(dragIndex));
}
