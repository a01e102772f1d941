#include "AudioControls/class_AudioMeter.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

TAudioMeter::TAudioMeter(QWidget* owner) : QWidget(owner)
{
    picture_ = new QLabel(this);
    picture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    Redraw();
}

void TAudioMeter::SetPosition(float value) { Store(position_, value); }

float TAudioMeter::GetPositionDB() const
{
    if (!(position_ > 0))
        return -AmplitudeDB;
    return 20.0f * std::log10(position_);
}

void TAudioMeter::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Redraw();
}

// The first lit index from the loud end. A level at or below the bottom of the range, a silent,
// negative or undefined Position, and a range of 0 dB or less light nothing; above full scale
// everything is lit.
int TAudioMeter::LitLimit(int length) const
{
    if (!(AmplitudeDB > 0) || !(position_ > 0))
        return length;
    const double attenuation = -20.0 * std::log10(static_cast<double>(position_));
    const double limit = (length - 1) - (AmplitudeDB - attenuation) * length / AmplitudeDB;
    return static_cast<int>(std::clamp(limit, -1.0, static_cast<double>(length)));
}

void TAudioMeter::Redraw()
{
    const int w = width(), h = height();
    bitmap_ = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    bitmap_.fill(ui::ToQColor(colorBackground_));
    const int length = horizontal_ ? w : h;
    const int lit = LitLimit(length);
    const int top = static_cast<int>((length - 1) * (1 - thresholdMax_));
    const int middle = static_cast<int>((length - 1) * (1 - thresholdNormal_));
    QPainter painter(&bitmap_);
    for (int i = 1; i <= length - 2; ++i) {
        if ((horizontal_ ? i : i - 1) % 4 == 0)
            continue; // the gap between segments
        TColor color;
        if (i >= lit)
            color = i < top ? colorTop_ : i >= middle ? colorNormal_ : colorMiddle_;
        else
            color = i < top ? colorBackTop_ : i >= middle ? colorBackNormal_ : colorBackMiddle_;
        // One pixel clear of each edge; the loud end is at the right or at the top.
        if (horizontal_)
            painter.fillRect(w - i - 1, 1, 1, h - 2, ui::ToQColor(color));
        else
            painter.fillRect(1, i, w - 2, 1, ui::ToQColor(color));
    }
    painter.end();
    picture_->setGeometry(0, 0, w, h);
    picture_->setPixmap(QPixmap::fromImage(bitmap_));
}
