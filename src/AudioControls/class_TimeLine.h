#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Colors.h"

// One tick of a ruler: its time and the column of its line (before the line-width shift).
struct cTimeLineTick {
    double time;
    int x;
};

// The ticks of a ruler `width` pixels wide showing start .. start + len seconds, one every
// `distance` pixels, the first at or before `start` on the grid of the step. None when the step
// is not positive and finite; never more than width / distance + 2, however deep the zoom.
std::vector<cTimeLineTick> TimeLineTicks(double start, double len, int width, int distance);

// printf-style text of a tick's time with '.' as the decimal separator. The format may hold
// literal text, "%%" and exactly one floating conversion (flags, width and precision allowed,
// no '*'); any other format gives an empty text.
std::string FormatTickText(const std::string& format, double time);

// A ruler label is drawn whole or not at all (a label cut at an edge shows other digits, "03.5 s"
// for 103.5 s): whether a text `textWidth` pixels wide written from column `left` lies within a
// ruler `width` pixels wide.
bool RulerLabelFits(int left, int textWidth, int width);

// A ruler: vertical tick lines at a fixed pixel spacing with each tick's time beside it, for the
// window Start .. Start + Len seconds across its width. Every setter redraws.
class TTimeLine : public QWidget {
    Q_OBJECT
public:
    explicit TTimeLine(QWidget* parent = nullptr);

    double Start() const { return start; }
    double Len() const { return len; }
    int Distance() const { return distance; }
    const std::string& Format() const { return format; }
    TColor BackColor() const { return backColor; }
    TColor LinesColor() const { return linesColor; }
    Qt::PenStyle LineStyle() const { return lineStyle; }
    int LineWidth() const { return lineWidth; }
    int TextDistance() const { return textDistance; }

    void SetStart(double value);
    void SetLen(double value);
    void SetDistance(int value);
    void SetFormat(const std::string& value);
    void SetBackColor(TColor value);
    void SetLinesColor(TColor value);
    void SetLineStyle(Qt::PenStyle value);
    void SetLineWidth(int value);
    void SetTextDistance(int value);

    TColor FontColor = 0x000000; // colour of the tick texts

    // Draws the ruler onto any painter (the widget's paint and tests).
    void PaintTo(QPainter& canvas, int width, int height) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double start = 0.0;
    double len = 10.0;
    int distance = 40;
    std::string format = "%.2f";
    TColor backColor = 0xFFFFFF;
    TColor linesColor = 0x000000;
    Qt::PenStyle lineStyle = Qt::SolidLine;
    int lineWidth = 1;
    int textDistance = 3;
};
