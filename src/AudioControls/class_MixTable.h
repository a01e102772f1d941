#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "AudioControls/class_MouseDrag.h"
#include "AudioControls/class_ScrollBarAdapter.h"

class QScrollBar;
class TTimeLine;

// A horizontal time table in seconds: it shows the window ViewStart .. ViewStart + ViewLen of a
// span Total, a white time-line strip on top where a click sets the play position, and four
// draggable markers with their vertical lines: L (left mark), R (right mark), P (play position)
// and E (end). Its client panel, under the strip, holds the content of derived tables.
class TMixTable : public QWidget {
    Q_OBJECT
public:
    explicit TMixTable(QWidget* parent = nullptr);
    ~TMixTable() override;

    bool AllowNegatives = false;    // else negative ViewStart and marker times become 0
    bool TimeLineChangePPos = true; // a left click on the strip moves P
    double ZoomCoeff = 1.4;
    bool RebuildLocked = false;     // while set, Rebuild does nothing
    double MouseTime = 0.0;         // time under the pointer on the strip
    int LineWidth = 1;

    std::function<void(QObject* Sender)> OnTimeLineMouseMove;
    std::function<void(QObject* Sender)> OnMarkerChange; // while a marker is dragged
    std::function<void(QObject* Sender)> OnViewChange;
    std::function<void(QObject* Sender)> OnPPosChanged; // P set from the strip, or a P drag ended

    double Total() const { return total; }
    double ViewStart() const { return viewStart; }
    double ViewLen() const { return viewLen; }
    double LPos() const { return lPos; }
    double RPos() const { return rPos; }
    double PPos() const { return pPos; }
    double EPos() const { return ePos; }
    int TimeLineHeight() const { return timeLineHeight; }
    bool AdjustingPPos() const { return pDrag->Adjusting(); }

    void SetTotal(double value);
    void SetViewLen(double value);
    void SetViewStart(double value);
    void SetLPos(double value);
    void SetRPos(double value);
    void SetPPos(double value);
    void SetEPos(double value); // the E marker moves at the next Rebuild
    void SetLPos_Visible(bool value);
    void SetRPos_Visible(bool value);
    void SetPPos_Visible(bool value);
    void SetEPos_Visible(bool value);
    bool LPos_Visible() const { return lVisible; }
    bool RPos_Visible() const { return rVisible; }
    bool PPos_Visible() const { return pVisible; }
    bool EPos_Visible() const { return eVisible; }
    void SetTimeLineHeight(int value);

    // Binds a scroll bar (not owned; null unbinds): Max 10000, the page shows ViewLen of Total.
    void SetScroll(QScrollBar* bar);
    TScrollBarAdapter* Scroll() const { return scroll.get(); }
    void OnScrollChange();

    // Pixel column of a time: -1 outside the view (or when the view or the width is empty).
    int TimeToX(double t) const;
    double XToTime(int x) const;

    void ZoomIn();
    void ZoomOut();
    std::string StatString() const;

    virtual void Rebuild();

    // The strip and the client panel (parent of a derived table's content).
    QWidget* TimeLinePanel() const { return timeLinePanel; }
    QWidget* ClientPanel() const { return clientPanel; }
    // Puts a ruler inside the strip, filling it; clicks on it act as clicks on the strip.
    void TakeTimeLine(TTimeLine* ruler);

    // The strip's mouse handlers, in table coordinates (the strip spans the full width).
    void TimeLineMouseDown(Qt::MouseButton button, int x);
    void TimeLineMouseMove(int x);

    QWidget* Marker(char letter) const;
    QWidget* Line(char letter) const;
    TMouseDrag* Drag(char letter) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* CreateMarker(const char* caption);
    QWidget* CreateLine();
    TMouseDrag* CreateDrag(QWidget* marker);
    void PutMark(QWidget* marker, double time, bool visible, int anchor);
    void PutLMark();
    void PutRMark();
    void PutPMark();
    void PutEMark();
    void SnapLinesToMarkers();
    void MarkerDragMove(TMouseDrag* drag);
    void MarkerDragEnd(TMouseDrag* drag);
    void LayoutPanels();
    double Clamped(double value) const;
    void UpdateScrollPage();

    double total = 100.0;
    double viewStart = 0.0;
    double viewLen = 20.0;
    double lPos = 0.0, rPos = 10.0, pPos = 5.0, ePos = 15.0;
    bool lVisible = true, rVisible = true, pVisible = true, eVisible = true;
    int timeLineHeight = 25;

    QWidget* timeLinePanel;
    QWidget* clientPanel;
    QWidget *lLine, *rLine, *eLine, *pLine;
    QWidget *eMarker, *rMarker, *lMarker, *pMarker;
    TMouseDrag *lDrag, *rDrag, *pDrag, *eDrag;
    std::unique_ptr<TScrollBarAdapter> scroll;
};
