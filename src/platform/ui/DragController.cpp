#include "platform/ui/DragController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace ui {
namespace {

// Follows the mouse events of the program's windows while a drag runs. It watches the events
// as they reach the windows (before any widget), so it sees each event once, wherever the
// pointer is.
class Controller : public QObject {
public:
    explicit Controller(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

    void SetTarget(QWidget* widget, DropTarget handlers)
    {
        if (targets_.find(widget) == targets_.end())
            connect(widget, &QObject::destroyed, this, [this, widget] { targets_.erase(widget); });
        targets_[widget] = std::move(handlers);
    }

    void ClearTarget(QWidget* widget) { targets_.erase(widget); }

    void Begin(QWidget* source, const QMouseEvent& press, int threshold)
    {
        End(false);
        source_ = source;
        button_ = press.button();
        pressPos_ = press.globalPosition().toPoint();
        threshold_ = threshold;
        dragging_ = true;
        started_ = false;
        target_ = nullptr;
        accepted_ = false;
        ++generation_;
    }

    void End(bool drop)
    {
        if (!dragging_)
            return;
        QPointer<QWidget> source = source_;
        QPointer<QWidget> target = target_;
        const bool doDrop = drop && started_ && accepted_ && target && source;
        const QPoint pos = targetPos_;
        const bool started = started_;
        if (started)
            QApplication::restoreOverrideCursor();
        dragging_ = started_ = accepted_ = false;
        source_ = target_ = nullptr;
        ++generation_;
        // The drag is over before the handler runs: it may open windows or start another drag.
        if (doDrop) {
            if (const DropTarget* handlers = Handlers(target))
                if (handlers->DragDrop)
                    handlers->DragDrop(source, pos);
        } else if (target && started) {
            NotifyLeave(target, source);
        }
    }

    bool Dragging() const { return dragging_; }
    bool Started() const { return started_; }
    QWidget* Source() const { return source_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!dragging_ || !watched->isWindowType())
            return false;
        switch (event->type()) {
        case QEvent::MouseMove:
            return MouseMove(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == button_)
                End(true);
            return false;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && started_) {
                End(false);
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    bool MouseMove(QPoint global)
    {
        if (!source_) {
            End(false);
            return false;
        }
        if (!started_) {
            const QPoint moved = global - pressPos_;
            if (std::max(std::abs(moved.x()), std::abs(moved.y())) < threshold_)
                return false;
            started_ = true;
            QApplication::setOverrideCursor(Qt::DragMoveCursor);
        }
        Follow(global);
        return true; // the widgets under a drag see no moves (no selection dragging meanwhile)
    }

    void Follow(QPoint global)
    {
        const unsigned generation = generation_;
        QWidget* target = FindTarget(QApplication::widgetAt(global));
        DragState state = DragState::Move;
        if (target != target_) {
            if (target_)
                NotifyLeave(target_, source_);
            if (generation != generation_)
                return;
            target_ = target;
            state = DragState::Enter;
        }
        accepted_ = false;
        if (target) {
            targetPos_ = target->mapFromGlobal(global);
            const DropTarget* handlers = Handlers(target);
            if (handlers && handlers->DragOver) {
                bool accept = true;
                handlers->DragOver(source_, targetPos_, state, accept);
                if (generation != generation_)
                    return; // the handler ended the drag
                accepted_ = accept;
            }
        }
        QApplication::changeOverrideCursor(accepted_ ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
    }

    void NotifyLeave(QWidget* target, QWidget* source)
    {
        const DropTarget* handlers = Handlers(target);
        if (handlers && handlers->DragOver) {
            bool accept = false;
            handlers->DragOver(source, targetPos_, DragState::Leave, accept);
        }
    }

    QWidget* FindTarget(QWidget* widget) const
    {
        for (; widget; widget = widget->parentWidget())
            if (Handlers(widget))
                return widget;
        return nullptr;
    }

    const DropTarget* Handlers(QWidget* widget) const
    {
        const auto found = targets_.find(widget);
        return found == targets_.end() ? nullptr : &found->second;
    }

    std::unordered_map<QWidget*, DropTarget> targets_;
    QPointer<QWidget> source_;
    QPointer<QWidget> target_;
    Qt::MouseButton button_ = Qt::LeftButton;
    QPoint pressPos_;
    QPoint targetPos_;
    int threshold_ = 0;
    bool dragging_ = false;
    bool started_ = false;
    bool accepted_ = false;
    unsigned generation_ = 0; // changes whenever a drag begins or ends
};

Controller& TheController()
{
    static QPointer<Controller> controller;
    if (!controller)
        controller = new Controller(qApp);
    return *controller;
}

} // namespace

void SetDropTarget(QWidget* target, DropTarget handlers) { TheController().SetTarget(target, std::move(handlers)); }
void ClearDropTarget(QWidget* target) { TheController().ClearTarget(target); }
void BeginDrag(QWidget* source, const QMouseEvent& press, int threshold) { TheController().Begin(source, press, threshold); }
void EndDrag(bool drop) { TheController().End(drop); }
bool Dragging() { return TheController().Dragging(); }
bool DragStarted() { return TheController().Started(); }
QWidget* DragSource() { return TheController().Source(); }

} // namespace ui
