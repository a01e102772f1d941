#include "AudioControls/class_MouseDrag.h"

#include <QMouseEvent>
#include <QWidget>

TMouseDrag::TMouseDrag(QObject* owner) : QObject(owner) {}

void TMouseDrag::SetTarget(QWidget* widget)
{
    if (target)
        target->removeEventFilter(this);
    target = widget;
    if (target)
        target->installEventFilter(this);
}

void TMouseDrag::MouseDownHandler(Qt::MouseButton button, QPoint pos)
{
    if (!Enabled || button != Qt::LeftButton)
        return;
    grab = pos;
    adjusting = true;
    if (OnStart)
        OnStart(this);
}

void TMouseDrag::MouseMoveHandler(QPoint pos)
{
    if (!adjusting || !target)
        return;
    // The position is relative to the target, which moves with the pointer: the grab point stays
    // under the pointer.
    QPoint to = target->pos();
    if (Horizontal)
        to.rx() += pos.x() - grab.x();
    if (Vertical)
        to.ry() += pos.y() - grab.y();
    target->move(to);
    if (OnMove)
        OnMove(this);
}

void TMouseDrag::MouseUpHandler()
{
    if (!adjusting)
        return;
    adjusting = false;
    if (OnEnd)
        OnEnd(this);
}

bool TMouseDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != target)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        MouseDownHandler(mouse->button(), mouse->position().toPoint());
        return adjusting;
    }
    case QEvent::MouseMove:
        MouseMoveHandler(static_cast<QMouseEvent*>(event)->position().toPoint());
        return adjusting;
    case QEvent::MouseButtonRelease: {
        const bool was = adjusting;
        MouseUpHandler();
        return was;
    }
    default:
        return false;
    }
}
