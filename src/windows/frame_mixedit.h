#pragma once

#include "platform/ui/DragController.h"

#include <QPixmap>
#include <QTableWidget>
#include <QWidget>

#include <functional>

class QMenu;
class QPainter;
class QTimer;
class cmixdata;
struct cBinItem;
struct cMixRow;

// The string grid of the program's frames: no fixed rows or columns, whole-row selection, cells
// drawn by the owner. Its click handler runs whenever a row becomes current: by a click, by the
// keys, and by SetRow from code.
class TPlaylistGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TPlaylistGrid(QWidget* parent);

    // Draws one cell over its background (the cell's own rectangle, clipped to it).
    std::function<void(QPainter& canvas, int column, int row, const QRect& rect)> OnDrawCell;

    static QColor TextColor(); // of the texts drawn on the grid's background

    int Row() const;         // the current row, -1 for none
    void SetRow(int row);    // makes the row current and runs OnClick

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    // A press on the viewport (positions in viewport coordinates), after a left press has made
    // the clicked row current.
    std::function<void(const QMouseEvent& press)> OnMouseDown;
    QMenu* PopupMenu = nullptr; // opened by a right click, after OnMouseDown

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// A hook through which a frame reports to its owner; raised only when the owner assigned it.
struct TFrameHook {
    std::function<void(QObject* sender)> OnClick;
    void Click(QObject* sender) const
    {
        if (OnClick)
            OnClick(sender);
    }
};

// The project's playlist: one grid row per mix row, in play order, with the row's number and
// name, its playing time and an icon for each parameter that differs from its neutral value.
// Rows are reordered by dragging them; a row's icons can be dragged elsewhere (the owner decides
// what such a drop means from DragPart); drops from other controls and double clicks reach the
// owner through the hooks DragDrop and DoubleClick.
class TFramePlaylist : public QWidget {
    Q_OBJECT
public:
    explicit TFramePlaylist(QWidget* parent = nullptr);

    // Which part of a row the last left press grabbed.
    enum : int {
        PartNone = 0,
        PartRow = 1,
        PartVolume = 2,
        PartSpeed = 3,
        PartPitch = 4,
        PartTime = 6,
        PartOverlap = 7,
        PartFadeIn = 8,
        PartFadeOut = 9,
    };

    // Appends a row made from the item and makes it the current row (its click handler runs).
    void AddRow(cBinItem item);
    // Inserts a row made from the item at the current row (at 0 in an empty mix); the current
    // row index stays, so the new row is current.
    void InsertRow(cBinItem item);
    // Repaints one grid row; an index outside the grid is ignored.
    void RefreshRow(int row);

    // Handlers (public so that the owner and tests can run them as the user's actions do).
    void GridDrawCell(QPainter& canvas, int column, int row, const QRect& rect);
    void GridMouseDown(const QMouseEvent& press);
    void GridDragOver(QWidget* source, QPoint pos, ui::DragState state, bool& accept);
    void GridDragDrop(QWidget* source, QPoint pos);
    void GridDblClick();
    void DoubleClickEventTimer();

    // The playing time text of a row: "%dm %.0fs" of whole minutes and the rest of the seconds.
    static QString PlayTimeText(const cMixRow& row);
    // Written under the icons of a row whose source file was missing when the project loaded.
    static QString MissingSourceText();

    TPlaylistGrid* Grid;
    TFrameHook DragDrop;    // a drop from another control; sender = the dragged control
    TFrameHook DoubleClick; // the deferred double click; sender = the frame
    QTimer* DoubleClickEvent;

    QPixmap IconPitch, IconStretch, IconVolume, IconFade, IconFadeIn, IconFadeOut; // 24 x 24
    QPixmap IconAnyKey, IconMouse, IconFadeGray;                                    // 32 x 32

    cmixdata* data = nullptr; // the project's mix; not owned
    int DropRow = -1;         // grid row of the last drop from another control; -1 below the last
    int DragPart = PartNone;
    int DragRow = 0;          // the row a row drag is moving
    int HighlightRow = -1;    // the sounding row, drawn on grey; -1 for none

private:
    void NewRow(cBinItem& item, int index);
    int RowAt(int y) const;
    void MoveDraggedRow(int to);
};
