#pragma once

#include <QPoint>

#include <functional>

class QMouseEvent;
class QWidget;

// Drag and drop inside the program, between widgets of its own windows. A mouse press calls
// BeginDrag; the drag starts once the pointer has moved past the threshold; while it runs, the
// widget under the pointer (QApplication::widgetAt) or its nearest ancestor with drop handlers is
// the target; releasing the button drops on the target when it accepted. Qt's own QDrag runs a
// platform loop that returns at once without a display, so this controller follows the mouse
// events of the program's windows itself.
namespace ui {

enum class DragState { Enter, Leave, Move };

struct DropTarget {
    // Asked on each move over the target (positions in the target's coordinates). `accept` is
    // true on entry: a target with a drag-over handler accepts unless the handler says no.
    std::function<void(QWidget* source, QPoint pos, DragState state, bool& accept)> DragOver;
    std::function<void(QWidget* source, QPoint pos)> DragDrop;
};

// Makes the widget a drop target (replacing earlier handlers); the registration ends with the
// widget. A target without a DragOver handler accepts nothing.
void SetDropTarget(QWidget* target, DropTarget handlers);
void ClearDropTarget(QWidget* target);

// Called from the mouse press on `source`; releasing that press's button drops. threshold: pixels
// the pointer must move from the press before the drag starts; 0 starts it at the first move. A
// drag in progress is cancelled first.
void BeginDrag(QWidget* source, const QMouseEvent& press, int threshold);

// Ends the drag in progress (also one that has not passed its threshold yet): drop = true drops
// on the current target when it accepts, false cancels. Nothing happens without a drag.
void EndDrag(bool drop);

// True between BeginDrag and the end of that drag, `Started` once the threshold was passed.
bool Dragging();
bool DragStarted();
QWidget* DragSource();

} // namespace ui
