#include "AudioControls/class_TimeLine.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

std::vector<cTimeLineTick> TimeLineTicks(double start, double len, int width, int distance)
{
    std::vector<cTimeLineTick> ticks;
    if (width <= 0 || distance <= 0 || !std::isfinite(start) || !std::isfinite(len))
        return ticks;
    const double step = distance * len / width;
    if (!(step > 0.0) || !std::isfinite(step))
        return ticks;
    const double first = std::trunc(start / step) * step;
    // Counted rather than summed: at deep zoom t += step may not move t at all.
    const long long most = width / distance + 2;
    for (long long i = 0; i <= most; ++i) {
        const double t = first + static_cast<double>(i) * step;
        if (t > start + len)
            break;
        const double x = (t - start) * width / len;
        ticks.push_back({t, static_cast<int>(std::clamp(x, -16777215.0, 16777215.0))});
    }
    return ticks;
}

namespace {

// True when the format holds literal text, "%%" and exactly one floating conversion.
bool IsSingleFloatFormat(const std::string& format)
{
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        ++i;
        if (i < format.size() && format[i] == '%')
            continue;
        while (i < format.size() && std::strchr("-+ #0", format[i]))
            ++i;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
                ++i;
        }
        if (i >= format.size() || !std::strchr("fFeEgGaA", format[i]))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

} // namespace

std::string FormatTickText(const std::string& format, double time)
{
    if (!IsSingleFloatFormat(format))
        return {};
    // QString::asprintf always writes '.', whatever the C locale says.
    return QString::asprintf(format.c_str(), time).toStdString();
}

bool RulerLabelFits(int left, int textWidth, int width)
{
    return left >= 0 && textWidth <= width - left;
}

TTimeLine::TTimeLine(QWidget* parent) : QWidget(parent) {}

void TTimeLine::SetStart(double value) { start = value; update(); }
void TTimeLine::SetLen(double value) { len = value; update(); }
void TTimeLine::SetDistance(int value) { distance = value; update(); }
void TTimeLine::SetFormat(const std::string& value) { format = value; update(); }
void TTimeLine::SetBackColor(TColor value) { backColor = value; update(); }
void TTimeLine::SetLinesColor(TColor value) { linesColor = value; update(); }
void TTimeLine::SetLineStyle(Qt::PenStyle value) { lineStyle = value; update(); }
void TTimeLine::SetLineWidth(int value) { lineWidth = value; update(); }
void TTimeLine::SetTextDistance(int value) { textDistance = value; update(); }

void TTimeLine::PaintTo(QPainter& canvas, int width, int height) const
{
    canvas.fillRect(0, 0, width, height, ui::ToQColor(backColor));
    canvas.setFont(font());
    const QPen linePen(ui::ToQColor(linesColor), lineWidth, lineStyle);
    const QPen textPen(ui::ToQColor(FontColor));
    const QFontMetrics metrics = canvas.fontMetrics();
    for (const cTimeLineTick& tick : TimeLineTicks(start, len, width, distance)) {
        const int xl = tick.x + lineWidth / 2;
        canvas.setPen(linePen);
        canvas.drawLine(xl, 0, xl, height);
        const QString text = QString::fromStdString(FormatTickText(format, tick.time));
        const int left = xl + textDistance;
        if (text.isEmpty() || !RulerLabelFits(left, metrics.horizontalAdvance(text), width))
            continue;
        canvas.setPen(textPen);
        canvas.drawText(left, metrics.ascent(), text);
    }
}

void TTimeLine::paintEvent(QPaintEvent*)
{
    QPainter canvas(this);
    PaintTo(canvas, width(), height());
}
