#pragma once

#include "platform/ui/DragController.h"
#include "windows/frame_mixedit.h"

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QPainter;
class QTimer;
struct cBin;

// Lists the zones of one bin, one grid row per zone ("2.Intro"). Zones are dragged out of it
// into the playlist, reordered by dragging inside it (where allowed), deleted, double-clicked.
// The owner hears of changes through three hooks. Every handler an owner may replace on one
// instance (the grid's click and double click, the double-click timer, the delete item) is a
// single replaceable function; the frame's own handlers stay callable.
class TFrameReposEdit : public QWidget {
    Q_OBJECT
public:
    explicit TFrameReposEdit(QWidget* parent = nullptr);

    // Shows the bin (not owned): rows refreshed, SelectItem then AssignData raised, and the
    // bin's selected zone made current when it names a zone.
    void AssignBin(cBin* bin);

    // The frame's handlers (public so that owners and tests run them as the user's actions do).
    void StringGrid1DrawCell(QPainter& canvas, int column, int row, const QRect& rect);
    void StringGrid1MouseDown(const QMouseEvent& press);
    void StringGrid1DragOver(QWidget* source, QPoint pos, ui::DragState state, bool& accept);
    void StringGrid1DblClick();
    void DoubleClickEventTimer();
    void DeleteItemClick();
    void StringGrid1Click();

    TPlaylistGrid* StringGrid1;
    QTimer* DoubleClickEvent;
    std::function<void()> OnDoubleClickEventTimer; // the timer's handler; DoubleClickEventTimer by default
    QMenu* ReposPopup;
    QAction* DeleteItem; // "Delete From Bin" (Del)
    std::function<void()> OnDeleteItemClick; // DeleteItemClick by default; null unbinds the item

    TFrameHook DoubleClick; // the deferred double click; sender = the frame
    TFrameHook AssignData;  // the zones or their order may have changed; sender = the frame, or null after a reorder
    TFrameHook SelectItem;  // from AssignBin; sender = the frame

    int DragItem = -1;
    cBin* data = nullptr; // the bin shown; not owned
    bool AllowReorder = true;
};
