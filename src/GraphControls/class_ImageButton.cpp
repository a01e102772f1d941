#include "GraphControls/class_ImageButton.h"

#include <QPainter>

ImageButton::ImageButton(QWidget* parent) : QWidget(parent) {}

void ImageButton::SetPicture(const QImage& picture)
{
    picture_ = picture.copy();
    update();
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void ImageButton::mousePressEvent(QMouseEvent*)
{
    move(x() + 1, y() + 1);
}

void ImageButton::mouseReleaseEvent(QMouseEvent*)
{
    move(x() - 1, y() - 1);
    if (OnButtonClick)
        OnButtonClick(this);
}
