#include "GraphControls/class_SkinPicture.h"

#include "platform/ui/Colors.h"
#include "platform/ui/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>

TSkinPicture::TSkinPicture(QWidget* parent, const std::string& skinName, int left, int top) : QWidget(parent)
{
    SetPicture(skinName);
    move(left, top);
    setMouseTracking(true);
}

void TSkinPicture::SetPicture(const std::string& skinName)
{
    normal_ = ui::SkinPixmap(skinName);
    hover_ = ui::SkinPixmap(skinName + "_hover");
    down_ = ui::SkinPixmap(skinName + "_down");
    setObjectName(QString::fromStdString(skinName));
    if (!normal_.isNull())
        setFixedSize(normal_.size());
    update();
}

void TSkinPicture::SetLatched(bool latched)
{
    latched_ = latched;
    update();
}

const QPixmap& TSkinPicture::CurrentPixmap() const
{
    if (!isEnabled())
        return normal_;
    if ((pressed_ || latched_) && !down_.isNull())
        return down_;
    if (hovered_ && !hover_.isNull())
        return hover_;
    return normal_;
}

void TSkinPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, CurrentPixmap());
    // A command that cannot be used is dimmed into the background it stands on.
    if (!isEnabled())
        painter.fillRect(rect(), ui::DisabledShade());
}

void TSkinPicture::enterEvent(QEnterEvent*)
{
    hovered_ = true;
    update();
}

void TSkinPicture::leaveEvent(QEvent*)
{
    hovered_ = false;
    update();
}

void TSkinPicture::hideEvent(QHideEvent*)
{
    pressed_ = false; // its release may never come
}

void TSkinPicture::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        update();
    }
    if (OnMouseDown)
        OnMouseDown(event);
}

void TSkinPicture::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasPressed = pressed_;
    pressed_ = false;
    update();
    if (swallowRelease_) {
        swallowRelease_ = false;
        return;
    }
    if (wasPressed && rect().contains(event->position().toPoint()) && OnClick)
        OnClick();
}

void TSkinPicture::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    swallowRelease_ = true;
    if (OnDblClick)
        OnDblClick();
}

void TSkinPicture::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(event);
}

TSkinPicture* MakeSkinButton(QWidget* parent, const std::string& skinName, const char* name, int left, int top)
{
    auto* button = new TSkinPicture(parent, skinName, left, top);
    button->setObjectName(name);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
