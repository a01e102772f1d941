#include "GraphControls/class_GraphScroll.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdint>

TGraphScroll::TGraphScroll(QWidget* parent) : QWidget(parent)
{
    slideTimer_.setInterval(100);
    connect(&slideTimer_, &QTimer::timeout, this, [this] { SlideTick(); });
}

void TGraphScroll::SetImageTop(const QImage& picture) { top_ = picture.copy(); SetKind(kind_); }
void TGraphScroll::SetImageBottom(const QImage& picture) { bottom_ = picture.copy(); SetKind(kind_); }
void TGraphScroll::SetImageBackground(const QImage& picture) { background_ = picture.copy(); update(); }
void TGraphScroll::SetImageSlider(const QImage& picture) { slider_ = picture.copy(); SetKind(kind_); }

QRect TGraphScroll::AlongRect(int start, int length) const
{
    return kind_ == Qt::Horizontal ? QRect(start, 0, length, height()) : QRect(0, start, width(), length);
}

QRect TGraphScroll::TopArrowRect() const { return AlongRect(0, Along(top_.size())); }
QRect TGraphScroll::BottomArrowRect() const
{
    return AlongRect(Along(size()) - Along(bottom_.size()), Along(bottom_.size()));
}
QRect TGraphScroll::TrackRect() const
{
    return AlongRect(Along(top_.size()), Along(size()) - Along(top_.size()) - Along(bottom_.size()));
}
QRect TGraphScroll::SliderRect() const { return AlongRect(sliderStart_, Along(slider_.size())); }

int TGraphScroll::Amplitude() const
{
    return Along(size()) - Along(bottom_.size()) - Along(top_.size()) - Along(slider_.size());
}

void TGraphScroll::SetKind(Qt::Orientation kind)
{
    kind_ = kind;
    changeDetached_ = true;
    SetPosition(position_);
    changeDetached_ = false;
}

void TGraphScroll::SetPosition(int position)
{
    if (loaded_)
        position = std::clamp(position, Min, std::max(Min, Max));
    position_ = position;
    const int64_t range = int64_t(Max) - Min;
    const int64_t offset = range == 0 ? 0 : (int64_t(position_) - Min) * Amplitude() / range;
    sliderStart_ = Along(top_.size()) + static_cast<int>(offset);
    update();
    Changed();
}

void TGraphScroll::Changed()
{
    if (OnChange && !changeDetached_)
        OnChange(this);
}

void TGraphScroll::Loaded()
{
    SetPosition(position_);
    SetKind(kind_);
    loaded_ = true;
}

void TGraphScroll::ChangeToMax()
{
    SetPosition(std::min(position_ + SmallChange, Max - PageSize));
}

void TGraphScroll::ChangeToMin()
{
    SetPosition(std::max(position_ - SmallChange, Min));
}

void TGraphScroll::SlideTick()
{
    if (minHeld_)
        ChangeToMin();
    if (maxHeld_)
        ChangeToMax();
}

void TGraphScroll::TrackClick(int p)
{
    const int len = Along(TrackRect().size());
    const int s = Along(slider_.size());
    const int64_t range = int64_t(Max) - Min;
    const int64_t edge = int64_t(len) * (PageSize / 2) / range;
    int position;
    if (p < edge)
        position = Min;
    else if (p > len - edge)
        position = Max - PageSize;
    else if (len == s)
        position = Min; // a slider as long as its track has nowhere to go
    else
        position = static_cast<int>(std::clamp<int64_t>((int64_t(p) - s / 2) * (range - PageSize) / (len - s) + Min,
                                                        Min, int64_t(Max) - PageSize));
    SetPosition(position);
}

void TGraphScroll::DragTo(int pointerAlong)
{
    // The lower bound is the bottom arrow's length: with arrows of equal size it is the track's start.
    const int b = Along(bottom_.size());
    const int amplitude = Amplitude();
    const int c = std::clamp(pointerAlong - grab_, b, std::max(b, b + amplitude));
    sliderStart_ = c;
    const int position =
        amplitude <= 0 ? Min : static_cast<int>((int64_t(c) - b) * (int64_t(Max) - Min - PageSize) / amplitude + Min);
    SetPosition(position);
}

TGraphScroll::Part TGraphScroll::PartAt(const QPoint& p) const
{
    if (SliderRect().contains(p))
        return Part::Slider;
    if (TopArrowRect().contains(p))
        return Part::TopArrow;
    if (BottomArrowRect().contains(p))
        return Part::BottomArrow;
    if (TrackRect().contains(p))
        return Part::Track;
    return Part::None;
}

void TGraphScroll::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    pressed_ = PartAt(p);
    const bool left = event->button() == Qt::LeftButton;
    switch (pressed_) {
    case Part::TopArrow:
        minHeld_ = true;
        ChangeToMin();
        slideTimer_.start();
        break;
    case Part::BottomArrow:
        maxHeld_ = true;
        ChangeToMax();
        slideTimer_.start();
        break;
    case Part::Track:
        if (left && Max != Min)
            TrackClick(Along(p) - Along(TrackRect().topLeft()));
        break;
    case Part::Slider:
        if (left) {
            dragging_ = sliderPressed_ = true;
            grab_ = Along(p) - sliderStart_;
        }
        break;
    case Part::None:
        break;
    }
}

void TGraphScroll::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_)
        DragTo(Along(event->position().toPoint()));
}

void TGraphScroll::mouseReleaseEvent(QMouseEvent*)
{
    switch (pressed_) {
    case Part::TopArrow:
        minHeld_ = false;
        slideTimer_.stop();
        break;
    case Part::BottomArrow:
        maxHeld_ = false;
        slideTimer_.stop();
        break;
    case Part::Slider:
        if (dragging_) {
            dragging_ = sliderPressed_ = false;
            Changed();
        }
        break;
    default:
        break;
    }
    pressed_ = Part::None;
}

void TGraphScroll::resizeEvent(QResizeEvent*)
{
    SetKind(kind_);
}

void TGraphScroll::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const auto draw = [&](const QRect& rect, const QImage& picture) {
        if (!picture.isNull() && !rect.isEmpty())
            painter.drawImage(rect, picture);
    };
    draw(TrackRect(), background_);
    draw(TopArrowRect(), top_);
    draw(BottomArrowRect(), bottom_);
    draw(SliderRect(), slider_);
}
