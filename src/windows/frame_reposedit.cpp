#include "windows/frame_reposedit.h"

#include "model/class_MixData.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kDragThreshold = 4;
constexpr int kColumnWidths[] = {437, 200, 58, 52};

} // namespace

TFrameReposEdit::TFrameReposEdit(QWidget* parent) : QWidget(parent)
{
    StringGrid1 = new TPlaylistGrid(this);
    StringGrid1->setColumnCount(4);
    for (int column = 0; column < 4; ++column)
        StringGrid1->setColumnWidth(column, kColumnWidths[column]);
    StringGrid1->verticalHeader()->setDefaultSectionSize(20);
    StringGrid1->setRowCount(2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(StringGrid1);

    DoubleClickEvent = new QTimer(this);
    DoubleClickEvent->setInterval(1);
    OnDoubleClickEventTimer = [this] { DoubleClickEventTimer(); };
    connect(DoubleClickEvent, &QTimer::timeout, this, [this] {
        if (OnDoubleClickEventTimer)
            OnDoubleClickEventTimer();
    });

    ReposPopup = new QMenu(this);
    DeleteItem = ReposPopup->addAction("Delete From Bin");
    DeleteItem->setShortcut(Qt::Key_Delete);
    // The grid owns the key: Del deletes only while the grid has the focus.
    DeleteItem->setShortcutContext(Qt::WidgetShortcut);
    StringGrid1->addAction(DeleteItem);
    OnDeleteItemClick = [this] { DeleteItemClick(); };
    connect(DeleteItem, &QAction::triggered, this, [this] {
        if (OnDeleteItemClick)
            OnDeleteItemClick();
    });
    StringGrid1->PopupMenu = ReposPopup;

    StringGrid1->OnDrawCell = [this](QPainter& canvas, int column, int row, const QRect& rect) {
        StringGrid1DrawCell(canvas, column, row, rect);
    };
    StringGrid1->OnClick = [this] { StringGrid1Click(); };
    StringGrid1->OnDblClick = [this] { StringGrid1DblClick(); };
    StringGrid1->OnMouseDown = [this](const QMouseEvent& press) { StringGrid1MouseDown(press); };
    ui::SetDropTarget(StringGrid1->viewport(),
                      {[this](QWidget* source, QPoint pos, ui::DragState state, bool& accept) {
                           StringGrid1DragOver(source, pos, state, accept);
                       },
                       [](QWidget*, QPoint) {}}); // zones are reordered during the drag
}

void TFrameReposEdit::AssignBin(cBin* bin)
{
    data = bin;
    const int items = bin ? bin->Items.Count() : 0;
    StringGrid1->setRowCount(std::max(items, 1));
    StringGrid1->viewport()->update();
    SelectItem.Click(this);
    AssignData.Click(this);
    if (bin && bin->SelectedItem >= 0 && bin->SelectedItem < items)
        StringGrid1->SetRow(bin->SelectedItem);
}

void TFrameReposEdit::StringGrid1DrawCell(QPainter& canvas, int column, int row, const QRect& rect)
{
    const cBinItem* item = data && row >= 0 ? data->Items.Get(row) : nullptr;
    if (!item || column != 0)
        return;
    canvas.setPen(TPlaylistGrid::TextColor());
    canvas.setFont(StringGrid1->font());
    const QString text = QString::number(row + 1) + "." + QString::fromStdString(item->title);
    // The column is wider than the narrow bin strips: a long title ends in "..." where the strip
    // ends instead of being cut off mid-letter.
    const int visibleRight = std::min(rect.right(), StringGrid1->viewport()->width() - 1);
    const QRect textArea = rect.adjusted(2, 2, 0, 0);
    canvas.drawText(textArea, Qt::AlignLeft | Qt::AlignTop,
                    canvas.fontMetrics().elidedText(text, Qt::ElideRight, visibleRight - textArea.left() - 2));
}

void TFrameReposEdit::StringGrid1MouseDown(const QMouseEvent& press)
{
    if (press.button() != Qt::LeftButton)
        return;
    const QPoint at = press.position().toPoint();
    const int row = StringGrid1->rowAt(at.y());
    if (row < 0 || StringGrid1->columnAt(at.x()) < 0)
        return;
    DragItem = row;
    ui::BeginDrag(StringGrid1, press, kDragThreshold);
}

// The dragged zone moves to the row that was current at the previous move, then the row under
// the pointer becomes current: the zone follows the pointer one move behind.
void TFrameReposEdit::StringGrid1DragOver(QWidget* source, QPoint pos, ui::DragState state, bool& accept)
{
    accept = source == StringGrid1 && DragItem >= 0 && AllowReorder;
    if (!accept || state == ui::DragState::Leave || !data)
        return;
    const int items = data->Items.Count();
    const int to = StringGrid1->Row();
    // The empty row of an empty bin, or a row without a zone, has nothing to move.
    if (DragItem >= items || to < 0 || to >= items)
        return;
    data->Items.Move(DragItem, to);
    DragItem = to;
    StringGrid1->viewport()->update();
    const int under = StringGrid1->rowAt(pos.y());
    // Made current without the owner's click handler, which would act on a half-moved list.
    StringGrid1->setCurrentCell(under < 0 ? StringGrid1->rowCount() - 1 : under, 0);
    StringGrid1Click();
    AssignData.Click(nullptr);
}

void TFrameReposEdit::StringGrid1DblClick()
{
    if (ui::DragSource() == StringGrid1)
        ui::EndDrag(false);
    if (DoubleClick.OnClick)
        DoubleClickEvent->start();
}

void TFrameReposEdit::DoubleClickEventTimer()
{
    DoubleClickEvent->stop();
    DoubleClick.Click(this);
}

void TFrameReposEdit::DeleteItemClick()
{
    if (!data)
        return;
    const int row = StringGrid1->Row();
    if (data->Items.Get(row))
        data->Items.Delete(row);
    AssignBin(data);
}

void TFrameReposEdit::StringGrid1Click()
{
    if (data)
        data->SelectedItem = StringGrid1->Row();
}
