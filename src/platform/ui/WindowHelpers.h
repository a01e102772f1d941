#pragma once

#include <QRegion>

class QWidget;

namespace ui {

// The rounded outline of a w x h window with corner radius r: an octagon cut at r from every
// corner, united with a circle of diameter 2r in each corner.
QRegion RoundWindowRegion(int w, int h, int r);

// Gives the form's window that outline (its mask); call again after a resize.
void SetRoundWindowRegion(QWidget* form, int r);

// Moves the form's window with the mouse until the button is released, as if it were dragged by
// its caption. Called from a mouse press (left button) on any picture of a borderless window.
// Where the window system offers no interactive move, the window follows the mouse itself.
void DragWindowByControl(QWidget* form);

// A control's tag: a plain number that groups controls (0 unless set).
void SetTag(QWidget* control, int tag);
int Tag(const QWidget* control);

// Enables or disables every direct child of the container whose tag equals the tag.
void EnableControlsByTag(QWidget* container, bool enabled, int tag);

// Qt paints every widget through its window's backing store, so children are already double
// buffered; kept so that windows can say what they expect.
inline void SetDoubleBufferedControls(QWidget*) {}

} // namespace ui
