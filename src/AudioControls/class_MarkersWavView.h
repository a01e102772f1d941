#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QRect>

#include "AudioControls/class_MemWavView.h"
#include "AudioControls/class_ScrollBarAdapter.h"
#include "engine/class_AnyList.h"

class QFontMetrics;
class QScrollBar;

// A vertical line over the wave at a block position, optionally with a caption box that can be
// grabbed and dragged.
struct cMarker {
    TColor Color = 0x0606CE;
    int LineWidth = 1;          // 1-pixel lines drawn side by side, rightwards
    float Pos = 0.0f;           // fraction of the block
    std::string Caption;        // no box for an empty caption
    QRect CaptionRect;          // box of the last drawing (hit-testing)
    bool CaptionShown = false;  // the box was drawn in the last drawing
    std::string CaptionDrawn;   // the text in that box (a fitted caption may be shortened)
    bool CaptionLeft = false;   // box left of the line (zone end markers)
    // The box keeps to the columns on screen: it starts at the first of them when the marker
    // stands further left, and its caption ends in "…" where it would pass the last; no box
    // where not even a letter fits.
    bool CaptionFitted = false;
    bool Dotted = true;
    bool CaptionLowered = false; // box moved down by one text height
    bool TicksOnly = false;     // only the top and bottom fifths of the line
    bool Visible = true;
    int ZoneIndex = -1;         // index in Zones of the zone it bounds
    int BeatNumber = 0;
    int MarkerKind = 0;         // 0 ordinary, 1 beat, 2 sub-beat tick
};

// A named range: its start and end markers (owned by the view's Markers).
struct cZone {
    cMarker* Start = nullptr;
    cMarker* End = nullptr;
    void* Link = nullptr; // the owner's object the zone stands for; the view neither sets nor reads it
};

// A ruler label: minutes and seconds, the seconds with `decimals` digits ("2:05.3" for 125.3 s
// and 1 decimal, "2 min 05 sec" with 0, "2:05" with -1). Always with '.'; the value is rounded
// before minutes are split off, so a label never shows 60 seconds. Empty for a value that is not
// a number.
std::string FormatTimeLabel(float seconds, int decimals);

// The memory waveform view with markers, zones (named start and end marker pairs), marker drags
// by the caption boxes, a time ruler and a link to an external scroll bar.
class TMarkersWavView : public TMemWavView {
    Q_OBJECT
public:
    explicit TMarkersWavView(QWidget* parent = nullptr);
    ~TMarkersWavView() override;

    float TotalTime = -1.0f;        // seconds; -1.0: not known (no ruler)
    bool TimeLineShow = false;
    int TimeLineDist = 50;          // pixels between ruler labels
    bool OptionMarkerZoneSelect = true;
    bool Locked = false;            // no marker drags, no mouse selection
    int SelectedZoneIndex = -1;     // zone drawn on top
    bool KeepZoneOrder = true;
    TColor FontColor = 0xFFFFFF;    // colour of captions and boxes; the font itself is QWidget's

    std::function<void(QObject* Sender, cMarker* Marker)> OnMarkerMove;
    std::function<void(QObject* Sender, cMarker* Marker)> OnMarkerMoveStart;
    std::function<void(QObject* Sender, cMarker* Marker)> OnMarkerMoveEnd;
    std::function<void(QObject* Sender, float Position)> OnPositionClick;
    std::function<void(QObject* Sender)> OnMouseClick;

    cAnyList<cMarker> Markers;
    cAnyList<cZone> Zones;
    // The markers of the last drawing, in drawing order (not owned).
    const std::vector<cMarker*>& DrawnMarkers() const { return drawnMarkers; }

    // Adds a zone and its two markers. start -1.0 takes SelStart, len -1.0 ends it at
    // SelStart + SelLen; an empty name becomes the zone's number (count + 1). Without `redraw`
    // the caller redraws once after adding many.
    cZone* AddZone(const std::string& name, float start, float len, bool redraw = true);
    // Removes the zone and its markers (other markers keep their zone indexes).
    void DeleteZone(int index);
    virtual void SelectionToMarkers();
    // While a zone marker is dragged (and OptionMarkerZoneSelect): the selection is the zone.
    void ZoneToSel();

    void ConnectScrollbar(QScrollBar* bar);
    QScrollBar* ScrollBar() const { return scrollBar ? scrollBar->Bar() : nullptr; }
    void PosScrollChange(QObject* Sender);

    virtual float LenSec() const { return TotalTime; }

    bool Dragging() const { return dragging; }

    void ImageMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void ImageMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void ImageMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;

protected:
    // Ends a marker drag without its end event (for a subclass that has just freed the marker).
    void EndMarkerDrag() { dragging = false; }
    void PostDraw(QPainter& canvas) override;
    void CallViewChange() override;

private:
    void CollectDrawnMarkers();
    void DrawMarker(QPainter& canvas, const QFontMetrics& metrics, cMarker& marker) const;
    void DrawRuler(QPainter& canvas, const QFontMetrics& metrics) const;
    int MarkerAt(int x, int y) const;
    void DragMarker(QObject* Sender, int x);
    cMarker* AddMarker(float pos, const std::string& caption, int zoneIndex);

    std::vector<cMarker*> drawnMarkers;
    std::unique_ptr<TScrollBarAdapter> scrollBar;
    int dragIndex = -1;
    int dragOffset = 0;
    int dragZoneIndex = -1;
    bool dragging = false;
};
