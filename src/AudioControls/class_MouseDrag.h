#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QWidget;

// Makes a widget draggable with the left mouse button: it watches the target's mouse events and
// moves the widget by the pointer's offset, horizontally, vertically or both. The target is not
// kept inside its parent.
class TMouseDrag : public QObject {
    Q_OBJECT
public:
    explicit TMouseDrag(QObject* owner = nullptr);

    QWidget* Target() const { return target; }
    // Watches the widget from now on; an earlier target is no longer watched.
    void SetTarget(QWidget* widget);

    bool Adjusting() const { return adjusting; }
    bool Horizontal = true;
    bool Vertical = false;
    bool Enabled = true; // whether a press starts a drag; a running drag goes on regardless

    // Called with the drag component as Sender; handlers reach the control through Target().
    std::function<void(QObject* Sender)> OnStart;
    std::function<void(QObject* Sender)> OnMove;
    std::function<void(QObject* Sender)> OnEnd;

    // The mouse handlers, in target coordinates.
    void MouseDownHandler(Qt::MouseButton button, QPoint pos);
    void MouseMoveHandler(QPoint pos);
    void MouseUpHandler();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* target = nullptr;
    QPoint grab;
    bool adjusting = false;
};
