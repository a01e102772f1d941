#include "platform/ui/FittedText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QStyledItemDelegate>

#include <algorithm>

namespace ui {
namespace {

// Lays out and draws the items no wider than the view's visible area.
class FitToViewDelegate : public QStyledItemDelegate {
public:
    explicit FitToViewDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::min(size.width(), view_->viewport()->width()));
        return size;
    }

    // Drawn within the visible width also before the layout follows a change of it (a vertical
    // scroll bar that has just appeared).
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem fitted(option);
        fitted.rect.setRight(std::min(option.rect.right(), view_->viewport()->rect().right()));
        QStyledItemDelegate::paint(painter, fitted, index);
    }

private:
    QAbstractItemView* view_;
};

} // namespace

void ShowFittedTitle(QLabel* label, const QString& title)
{
    label->ensurePolished(); // a style sheet's font counts
    label->setText(label->fontMetrics().elidedText(title, Qt::ElideRight, label->contentsRect().width()));
    label->setToolTip(title);
}

void FitItemsToView(QAbstractItemView* view)
{
    view->setItemDelegate(new FitToViewDelegate(view));
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int WholeTitleWidth(const QString& title)
{
    constexpr int kTitleBarRoom = 120; // the window's icon and its three buttons
    // Qt's window system layer appends the display name after an em dash.
    QString shown = title;
    const QString application = QGuiApplication::applicationDisplayName();
    if (!application.isEmpty() && !title.endsWith(application))
        shown += (shown.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) + application;
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(shown) + kTitleBarRoom;
}

} // namespace ui
