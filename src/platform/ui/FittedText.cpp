#include "platform/ui/FittedText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <vector>

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

QString FittedTitle(const QFontMetrics& metrics, const QString& title, int width)
{
    if (metrics.horizontalAdvance(title) <= width)
        return title;
    // Measured whole, not glyph by glyph as Qt's own eliding does, which can leave a text a
    // pixel wider than it allowed for: the longest beginning, cut between letters, that fits
    // with the ellipsis.
    std::vector<int> cuts;
    QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, title);
    for (int cut = letters.toNextBoundary(); cut > 0 && cut < title.size(); cut = letters.toNextBoundary())
        cuts.push_back(cut);
    auto shortened = [&title](int cut) {
        QString kept = title.left(cut);
        while (kept.size() > 1 && kept.back().isSpace())
            kept.chop(1);
        return kept + QChar(0x2026);
    };
    const auto tooWide = std::partition_point(cuts.begin(), cuts.end(), [&](int cut) {
        return metrics.horizontalAdvance(shortened(cut)) <= width;
    });
    return tooWide == cuts.begin() ? QString() : shortened(*(tooWide - 1));
}

QString FittedWrappedText(QPainter& painter, const QRectF& area, const QString& text, const QTextOption& option)
{
    auto fits = [&](const QString& shown) { return painter.boundingRect(area, shown, option).height() <= area.height(); };
    if (fits(text))
        return text;
    // As many lines as the area holds, shortened until the wrapping (which may leave line ends
    // empty) fits them: each try is as long as the area, however long the text.
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = std::max(1, int(area.width()));
    const int lines = int(area.height()) / std::max(1, metrics.lineSpacing());
    for (int room = lines * width; room > 0; room -= std::max(1, width / 4)) {
        const QString shown = metrics.elidedText(text, Qt::ElideMiddle, room);
        if (fits(shown))
            return shown;
    }
    return {};
}

void ShowFittedTitle(QLabel* label, const QString& title)
{
    label->ensurePolished(); // a style sheet's font counts
    label->setText(FittedTitle(label->fontMetrics(), title, label->contentsRect().width()));
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
