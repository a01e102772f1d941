#include "GraphControls/class_GraphButton.h"

#include <QMouseEvent>
#include <QPainter>

TGraphButton::TGraphButton(QWidget* parent) : QWidget(parent) {}

void TGraphButton::SetImage(const QImage& picture)
{
    image_ = picture.copy();
    update();
}

void TGraphButton::SetImagePressed(const QImage& picture)
{
    imagePressed_ = picture.copy();
    update();
}

void TGraphButton::SetDown(bool down)
{
    down_ = down;
    update();
}

QPoint TGraphButton::PictureOrigin() const
{
    // Without a pressed picture the normal one sinks from (-1, -1) to (0, 0) while down.
    if (down_ && imagePressed_.width() == 0)
        return {0, 0};
    return {-1, -1};
}

void TGraphButton::paintEvent(QPaintEvent*)
{
    const QImage& shown = ShowsPressedPicture() ? imagePressed_ : image_;
    if (shown.isNull())
        return;
    // Each picture is stretched to one pixel more than the button in both directions.
    QPainter painter(this);
    painter.drawImage(QRect(PictureOrigin(), QSize(width() + 1, height() + 1)), shown);
}

void TGraphButton::FireMouse(const MouseEvent& handler, QMouseEvent* event)
{
    if (!handler)
        return;
    const QPoint inPicture = event->position().toPoint() - PictureOrigin();
    handler(this, event->button(), event->modifiers(), inPicture.x(), inPicture.y());
}

void TGraphButton::mousePressEvent(QMouseEvent* event)
{
    pressOnNormal_ = !ShowsPressedPicture();
    if (event->button() != Qt::LeftButton)
        return;
    if (pressOnNormal_) {
        SetDown(!down_);
    } else if (Sticky) {
        SetDown(false);
    } else {
        // A press on the pressed picture of a push button does nothing but arm the click.
        pressing_ = true;
        return;
    }
    FireMouse(OnMouseDown, event);
    pressing_ = true;
}

void TGraphButton::mouseReleaseEvent(QMouseEvent* event)
{
    // Only the normal picture answers a release; a press that began on the pressed picture
    // (a latched button being released) ends without a click.
    if (!pressOnNormal_)
        return;
    if (!Sticky)
        SetDown(false);
    if (pressing_) {
        pressing_ = false;
        if (OnClick)
            OnClick(this);
    }
    FireMouse(OnMouseUp, event);
}
