#include "windows/frame_mixedit.h"

#include "model/class_Application.h"
#include "model/class_MixData.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/SkinImage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

const QColor kGridColor(0x0e, 0x10, 0x14);
const QColor kTextColor(0xe8, 0xeb, 0xf0);
const QColor kLineColor(0x2c, 0x32, 0x3c);
const QColor kSelectedColor(0x1d, 0x33, 0x46);
const QColor kSoundingColor(0xa0, 0xa0, 0xa0); // the sounding row's grey
const QColor kTextOnGrey(0x0e, 0x10, 0x14);
const QColor kMissingColor(0xff, 0x5c, 0x5f); // a row whose source file was not found

constexpr int kSlot = 24; // width of one parameter icon slot in column 2

// The grid's own cell painting: the background of the cell, its right cell line, then the
// owner's drawing of the cell.
class PlaylistCellDelegate : public QStyledItemDelegate {
public:
    explicit PlaylistCellDelegate(TPlaylistGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect& rect = option.rect;
        painter->save();
        painter->fillRect(rect, option.state & QStyle::State_Selected ? kSelectedColor : kGridColor);
        painter->setPen(kLineColor);
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->setClipRect(rect);
        if (grid_->OnDrawCell)
            grid_->OnDrawCell(*painter, index.column(), index.row(), rect);
        painter->restore();
    }

private:
    TPlaylistGrid* grid_;
};

// Writes the text in the area, squeezed horizontally when it is wider: the time column is narrow.
void DrawNarrowed(QPainter& canvas, const QRect& area, const QString& text)
{
    const int width = canvas.fontMetrics().horizontalAdvance(text);
    if (width <= area.width()) {
        canvas.drawText(area, Qt::AlignLeft | Qt::AlignTop, text);
        return;
    }
    canvas.save();
    canvas.translate(area.topLeft());
    canvas.scale(static_cast<double>(area.width()) / width, 1.0);
    canvas.drawText(QRect(0, 0, width, area.height()), Qt::AlignLeft | Qt::AlignTop, text);
    canvas.restore();
}

void CheckData(const cmixdata* data, int line)
{
    if (!data)
        throw std::logic_error("Assertion failed: data, file frame_mixedit.cpp, line " + std::to_string(line));
}

// The grab areas of a row, tested in this order; a later match wins (bounds inclusive). Offsets
// from the start of column 2.
struct IconSlot {
    int from;
    int part;
};
constexpr IconSlot kIconSlots[] = {
    {0 * kSlot, TFramePlaylist::PartFadeIn}, {1 * kSlot, TFramePlaylist::PartVolume},
    {2 * kSlot, TFramePlaylist::PartPitch},  {3 * kSlot, TFramePlaylist::PartSpeed},
    {4 * kSlot, TFramePlaylist::PartFadeOut},
};

} // namespace

// ---- The grid ------------------------------------------------------------------------------

TPlaylistGrid::TPlaylistGrid(QWidget* parent) : QTableWidget(parent)
{
    setItemDelegate(new PlaylistCellDelegate(this));
    setColumnCount(3);
    setRowCount(2);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setDefaultSectionSize(200);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(40);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAutoScroll(false);
    setShowGrid(false);
    setWordWrap(false);
    setFrameShape(QFrame::NoFrame);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    font.setBold(true);
    setFont(font);
    setStyleSheet(QStringLiteral("QTableWidget { background: #0e1014; border: 1px solid #2c323c; }"
                                 "QScrollBar:vertical { background: #0e1014; width: 14px; }"
                                 "QScrollBar::handle:vertical { background: #2c323c; min-height: 24px;"
                                 " border-radius: 3px; margin: 2px; }"
                                 "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"));
}

QColor TPlaylistGrid::TextColor()
{
    return kTextColor;
}

int TPlaylistGrid::Row() const
{
    return currentRow();
}

void TPlaylistGrid::SetRow(int row)
{
    setCurrentCell(row, currentColumn() < 0 ? 0 : currentColumn());
    if (OnClick)
        OnClick();
}

void TPlaylistGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        QTableWidget::mousePressEvent(event); // makes the clicked row current
        if (indexAt(event->position().toPoint()).isValid() && OnClick)
            OnClick();
    }
    if (OnMouseDown)
        OnMouseDown(*event);
}

void TPlaylistGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event); // the second press of a double click is a press too
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick();
}

void TPlaylistGrid::keyPressEvent(QKeyEvent* event)
{
    const int before = Row();
    QTableWidget::keyPressEvent(event);
    if (Row() != before && OnClick)
        OnClick();
}

void TPlaylistGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (PopupMenu)
        PopupMenu->exec(event->globalPos());
}

// ---- The frame -----------------------------------------------------------------------------

TFramePlaylist::TFramePlaylist(QWidget* parent) : QWidget(parent)
{
    Grid = new TPlaylistGrid(this);
    Grid->OnDrawCell = [this](QPainter& canvas, int column, int row, const QRect& rect) {
        GridDrawCell(canvas, column, row, rect);
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Grid);

    DoubleClickEvent = new QTimer(this);
    DoubleClickEvent->setInterval(1);
    connect(DoubleClickEvent, &QTimer::timeout, this, [this] { DoubleClickEventTimer(); });

    IconPitch = ui::SkinPixmap("icon_pitch");
    IconStretch = ui::SkinPixmap("icon_tempo");
    IconVolume = ui::SkinPixmap("icon_volume");
    IconFade = ui::SkinPixmap("icon_overlap");
    IconFadeIn = ui::SkinPixmap("icon_fade_in");
    IconFadeOut = ui::SkinPixmap("icon_fade_out");
    IconAnyKey = ui::SkinPixmap("icon_any_key");
    IconMouse = ui::SkinPixmap("icon_mouse");
    IconFadeGray = ui::SkinPixmap("icon_overlap_gray");

    Grid->OnMouseDown = [this](const QMouseEvent& press) { GridMouseDown(press); };
    Grid->OnDblClick = [this] { GridDblClick(); };
    ui::SetDropTarget(Grid->viewport(),
                      {[this](QWidget* source, QPoint pos, ui::DragState state, bool& accept) {
                           GridDragOver(source, pos, state, accept);
                       },
                       [this](QWidget* source, QPoint pos) { GridDragDrop(source, pos); }});
}

void TFramePlaylist::AddRow(cBinItem item)
{
    CheckData(data, __LINE__);
    NewRow(item, data->Count());
    Grid->SetRow(Grid->rowCount() - 1);
    Grid->viewport()->update();
}

void TFramePlaylist::InsertRow(cBinItem item)
{
    CheckData(data, __LINE__);
    // The current row may be a grid row below the last mix row: insert at most at the end.
    const int index = data->Count() > 0 ? std::clamp(Grid->Row(), 0, data->Count()) : 0;
    NewRow(item, index);
    Grid->viewport()->update();
}

void TFramePlaylist::NewRow(cBinItem& item, int index)
{
    cMixRow* row = data->Insert(index, std::make_unique<cMixRow>());
    row->name = item.title;
    row->filename = item.filename;
    row->start = item.start;
    row->length = item.length;
    Grid->setRowCount(data->Count());
}

void TFramePlaylist::RefreshRow(int row)
{
    if (row < 0 || row >= Grid->rowCount())
        return;
    Grid->viewport()->update(0, Grid->rowViewportPosition(row), Grid->viewport()->width(), Grid->rowHeight(row));
}

QString TFramePlaylist::MissingSourceText()
{
    return QStringLiteral("source file missing");
}

QString TFramePlaylist::PlayTimeText(const cMixRow& row)
{
    const double playing = static_cast<double>(row.PlayLength());
    const int minutes = static_cast<int>(playing / 60);
    const double seconds = playing - 60.0 * minutes;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 0);
    return QString::number(minutes) + QStringLiteral("m ") +
           QString::fromLatin1(text, static_cast<int>(written.ptr - text)) + QStringLiteral("s");
}

void TFramePlaylist::GridDrawCell(QPainter& canvas, int column, int row, const QRect& rect)
{
    const cMixRow* mixRow = data ? data->Get(row) : nullptr;
    if (!mixRow)
        return;
    const int left = rect.left();
    const int top = rect.top();
    const bool sounding = row == HighlightRow && row != Grid->Row();
    if (sounding)
        canvas.fillRect(rect.adjusted(0, 0, -1, 0), kSoundingColor);
    canvas.setPen(sounding ? kTextOnGrey : kTextColor);
    canvas.setFont(Grid->font());
    const QRect textArea(left + 2, 0, rect.width() - 4, canvas.fontMetrics().height());
    switch (column) {
    case 0: {
        const QString text = QString::number(row + 1) + QStringLiteral(". ") + QString::fromStdString(mixRow->name);
        if (mixRow->SourceMissing)
            canvas.setPen(kMissingColor);
        canvas.drawText(textArea.translated(0, top + 2), Qt::AlignLeft | Qt::AlignTop,
                        canvas.fontMetrics().elidedText(text, Qt::ElideRight, textArea.width()));
        if (mixRow->overlap && row < data->Count() - 1)
            canvas.drawPixmap(left, top + 12, IconFade);
        break;
    }
    case 1: {
        DrawNarrowed(canvas, textArea.translated(0, top + 24), PlayTimeText(*mixRow));
        if (mixRow->trigger == TriggerMouse)
            canvas.drawPixmap(left + 2, top, IconMouse);
        else if (mixRow->trigger == TriggerKey)
            canvas.drawPixmap(left + 2, top, IconAnyKey);
        break;
    }
    case 2: {
        const MixParams& params = mixRow->MixParams;
        if (params.fadein)
            canvas.drawPixmap(left + 0 * kSlot, top, IconFadeIn);
        if (params.volume != 100)
            canvas.drawPixmap(left + 1 * kSlot, top, IconVolume);
        if (params.pitch != 0)
            canvas.drawPixmap(left + 2 * kSlot, top, IconPitch);
        if (params.speed != 0.0f)
            canvas.drawPixmap(left + 3 * kSlot, top, IconStretch);
        if (params.fadeout)
            canvas.drawPixmap(left + 4 * kSlot, top, IconFadeOut);
        if (mixRow->SourceMissing) {
            canvas.setPen(kMissingColor);
            canvas.drawText(textArea.translated(0, top + 24), Qt::AlignLeft | Qt::AlignTop, MissingSourceText());
        }
        break;
    }
    default:
        break;
    }
}

void TFramePlaylist::GridMouseDown(const QMouseEvent& press)
{
    const int x = press.position().toPoint().x();
    const int y = press.position().toPoint().y();
    if (press.button() == Qt::RightButton) {
        // The pop-up menu acts on the clicked row; below the last row, on the last.
        const int row = RowAt(y);
        if (row >= 0)
            Grid->SetRow(row);
        return;
    }
    if (press.button() != Qt::LeftButton)
        return;
    const int row = Grid->rowAt(y);
    const int column = Grid->columnAt(x);
    if (row < 0 || column < 0 || row >= Grid->rowCount())
        return;
    DragRow = row;
    DragPart = PartNone;
    const int c1 = Grid->columnWidth(0);
    const int c2 = c1 + Grid->columnWidth(1);
    for (const IconSlot& slot : kIconSlots)
        if (x >= c2 + slot.from && x <= c2 + slot.from + kSlot)
            DragPart = slot.part;
    if (x >= c1 && x <= c2)
        DragPart = PartTime;
    if (x >= 0 && x <= 32 && y > Grid->rowViewportPosition(row) + 14)
        DragPart = PartOverlap;
    if (DragPart != PartNone) {
        ui::BeginDrag(Grid, press, 0);
    } else if (column == 0 || column == 1) {
        DragPart = PartRow;
        ui::BeginDrag(Grid, press, 4);
    }
}

void TFramePlaylist::GridDragOver(QWidget* source, QPoint pos, ui::DragState state, bool& accept)
{
    accept = true;
    if (source != Grid || DragPart != PartRow || state == ui::DragState::Leave)
        return;
    MoveDraggedRow(RowAt(pos.y()));
}

// The row travels with the pointer: one place per row crossed.
void TFramePlaylist::MoveDraggedRow(int to)
{
    if (!data)
        return;
    // Grid rows below the mix's rows hold no row to move or to move onto.
    to = std::min(to, data->Count() - 1);
    if (to < 0 || DragRow < 0 || DragRow >= data->Count() || to == DragRow)
        return;
    // The sound thread reads the rows while the mix plays: they must not move under it.
    if (!snl.WavProducer.Stopped) {
        ui::EndDrag(false);
        QTimer::singleShot(0, [] { ui::ShowMessage("Can't drag and drop while playing."); });
        return;
    }
    Grid->SetRow(to);
    data->Move(DragRow, to);
    DragRow = to;
    Grid->viewport()->update();
}

void TFramePlaylist::GridDragDrop(QWidget* source, QPoint pos)
{
    if (source == Grid)
        return; // a row drag has moved its row already
    DropRow = Grid->rowAt(pos.y());
    Grid->SetRow(RowAt(pos.y()));
    DragDrop.Click(source);
}

int TFramePlaylist::RowAt(int y) const
{
    const int row = Grid->rowAt(y);
    const int last = Grid->rowCount() - 1;
    return row < 0 || row > last ? last : row;
}

void TFramePlaylist::GridDblClick()
{
    if (ui::DragSource() == Grid)
        ui::EndDrag(false);
    if (DoubleClick.OnClick)
        DoubleClickEvent->start();
}

void TFramePlaylist::DoubleClickEventTimer()
{
    DoubleClickEvent->stop();
    DoubleClick.Click(this);
}
