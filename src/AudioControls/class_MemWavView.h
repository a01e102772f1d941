#pragma once

#include <cstdint>
#include <functional>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include "platform/ui/Colors.h"

class QPainter;

// Wraps a position into 0..1 the way repeated +-1.0 steps would (above 1.0 lands in (0, 1],
// below 0.0 in [0, 1)), in constant time for any input; a value that is not finite becomes 0.
float WrapUnitPosition(double value);
// The same for a signed length: the result lies in [-1, 1].
float WrapUnitLength(double value);

// A view of 16-bit PCM samples that lie in memory: draws the visible window of the block, one
// vertical line per pixel column, with a selection, mouse selection, drag-scroll past the edges
// and zoom. Positions and lengths are fractions of the whole block (0.0 its first byte, 1.0 its
// end). The view never owns the block; the block must stay valid while it is set.
//
// Only the columns on screen are drawn: a view much wider than its visible part (inside a scroll
// area or a wide panel) costs what its visible part costs.
class TMemWavView : public QWidget {
    Q_OBJECT
public:
    explicit TMemWavView(QWidget* parent = nullptr);
    ~TMemWavView() override;

    // Describe the block for users of the component; the drawing always reads 16-bit samples.
    bool DataStereo = true;
    int DataBytesPerSample = 2;
    float Scale = 1.0f;                     // vertical gain of the drawing
    TColor ColorSelectionBack = 0xFFFFFF;
    TColor ColorSelectionPCM = 0x008000;
    float ScrollSpeed = 1.5f;               // base of the drag-scroll acceleration
    bool RightButtonSelect = false;         // the right button selects too
    bool RightButtonSelection = false;      // the last selection started with the right button
    int Tag = 0;                            // free for the owner (e.g. an index)

    std::function<void(QObject* Sender)> OnSelChange;
    std::function<void(QObject* Sender)> OnViewChange;
    std::function<void(QObject* Sender, QPainter& Canvas)> OnDraw;
    std::function<void(QObject* Sender)> OnSelEnd;

    void SetMemBuffer(const void* buffer, std::int64_t length);
    const void* MemBuffer() const { return block; }
    std::int64_t MemLength() const { return blockLength; }

    // Rebuilds the picture of the visible columns and schedules it for the screen.
    void Redraw();

    float ViewStart() const { return viewStart; }
    float ViewLen() const { return viewLen; }
    float SelStart() const { return selStart; }
    float SelLen() const { return selLen; }
    void SetViewStart(float value);
    void SetViewLen(float value);
    void SetSelStart(float value);
    void SetSelLen(float value);

    // The selection with a non-negative length.
    float GetSelStart() const;
    float GetSelLen() const;
    float GetSelEnd() const;

    TColor ColorPCM() const { return colorPCM; }
    TColor ColorPCMOrig() const { return colorPCMOrig; }
    TColor ColorBack() const { return colorBack; }
    bool Vertical() const { return vertical; }
    int ViewMargin() const { return viewMargin; }
    void SetColorPCM(TColor value);
    void SetColorPCMOrig(TColor value);
    void SetColorBack(TColor value);
    void SetVertical(bool value);
    void SetViewMargin(int value);

    // Conversions between pixel columns and block fractions of the current view.
    float XToWavPos(int x) const;
    float XDiffToWavLen(int dx) const;
    int WavPosToX(float pos) const;

    void ZoomIn();
    void ZoomOut();
    void ZoomInSelection();
    void Full();

    // Mouse handlers, in widget coordinates. The move handler is virtual so that subclasses see
    // every move, including those the drag-scroll timer makes (Sender null).
    virtual void ImageMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void ImageMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    virtual void ImageMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

    // One drag-scroll step (the 25 ms timer's handler).
    void OnScrollTimer();
    bool ScrollTimerActive() const { return scrollTimer.isActive(); }
    int ScrollTimerTag() const { return scrollTag; }

    // The last picture built (the visible columns) and where it lies in the widget.
    const QImage& Picture() const { return bitmap; }
    QRect PictureArea() const { return pictureArea; }

protected:
    // Drawn after the wave and before OnDraw, in widget coordinates.
    virtual void PostDraw(QPainter& canvas);
    virtual void CallViewChange();

    // While the mouse is past the left or right edge the drag-scroll timer runs, with the signed
    // distance as its tag; back inside, a real move (Sender not null) stops it. Returns X held
    // to 0..Width.
    int FollowMouseOutside(QObject* Sender, int X);
    void StopScrollTimer();
    // The columns being drawn during PostDraw and OnDraw.
    QRect DrawingArea() const { return drawingArea; }
    // Columns of the widget that the picture must cover now (empty when nothing is on screen).
    QRect VisibleArea() const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    // Store without a redraw or an event (mouse and drag-scroll paths).
    float viewStart = 0.0f;
    float viewLen = 1.0f;
    float selStart = 0.0f;
    float selLen = 0.0f;

private:
    struct SelectedColumns {
        int x1;
        int x2;
    };

    void Render(const QRect& area);
    SelectedColumns SelectionColumns() const;
    void DrawWave(QPainter& canvas, const QRect& area, const std::int16_t* data, std::int64_t bytes,
                  SelectedColumns selected) const;
    void DrawCursor(QPainter& canvas) const;
    void ClampViewStart();

    const void* block = nullptr;
    std::int64_t blockLength = 0;
    TColor colorPCM = 0x00FF00;
    TColor colorPCMOrig = 0x808080;
    TColor colorBack = 0x000000;
    bool vertical = false;
    int viewMargin = 15;

    bool selecting = false;
    QTimer scrollTimer;
    int scrollTag = 0;

    QImage bitmap;
    QRect pictureArea;      // the widget columns the bitmap covers
    QRect drawingArea;
    bool pictureValid = false;
};
