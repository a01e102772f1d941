#include "platform/ui/FittedText.h"
#include "support/ui_waits.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QTextOption>

#include <gtest/gtest.h>

namespace {

using namespace ui;

const char* const kTitles[] = {
    "Drums",
    "W",
    "",
    "Vocals recorded at the evening session in the big hall",
    "Strings_and_woodwinds_final_master_version",
    "Ch\xC5\x93ur \xC3\xA9t\xC3\xA9 \xE2\x80\x94 l'\xC3\xA9glise Saint-Eustache, prise 3",
};

TEST(FittedText, ALabelShowsTheWholeTitleOrAPrefixEndingInAnEllipsis)
{
    QLabel label;
    label.setStyleSheet("font-weight: bold; font-size: 10px;"); // as the bin strips' titles
    label.resize(95, 13);
    for (const char* utf8 : kTitles) {
        const QString title = QString::fromUtf8(utf8);
        ShowFittedTitle(&label, title);
        const QString shown = label.text();
        const int room = label.contentsRect().width();
        EXPECT_EQ(label.toolTip(), title);
        EXPECT_LE(label.fontMetrics().horizontalAdvance(shown), room) << utf8;
        if (label.fontMetrics().horizontalAdvance(title) <= room) {
            EXPECT_EQ(shown, title);
        } else {
            ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(title.startsWith(shown.chopped(1))) << shown.toStdString();
        }
    }
}

// In every width up to its own: never wider, the whole title or a beginning ending in "…" (never
// the "…" alone), and something wherever a letter and the "…" fit.
TEST(FittedText, ATitleFitsEveryWidthWithAsMuchOfItsBeginningAsRoomAllows)
{
    const QFontMetrics metrics(QApplication::font());
    const QString ellipsis(QChar(0x2026));
    for (const char* utf8 : kTitles) {
        const QString title = QString::fromUtf8(utf8);
        if (title.isEmpty())
            continue;
        const int letterWidth = metrics.horizontalAdvance(title.left(1) + ellipsis);
        for (int width = -1; width <= metrics.horizontalAdvance(title); ++width) {
            const QString shown = FittedTitle(metrics, title, width);
            SCOPED_TRACE(std::string(utf8) + " in " + std::to_string(width) + ": " + shown.toStdString());
            EXPECT_LE(metrics.horizontalAdvance(shown), std::max(width, 0));
            if (!shown.isEmpty() && shown != title) {
                EXPECT_GT(shown.size(), 1);
                EXPECT_TRUE(shown.endsWith(ellipsis) && title.startsWith(shown.chopped(1)));
            }
            if (width >= letterWidth && title.size() > 1) {
                EXPECT_FALSE(shown.isEmpty()) << "a letter and the ellipsis fit";
            }
        }
    }
}

// A failure's text where a waveform would be: whole when it fits, else its beginning and its end
// around "…", always within the area, however long the path.
TEST(FittedText, AWrappedTextKeepsItsBeginningAndEndWithinTheArea)
{
    QImage image(300, 120, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(QApplication::font());
    QTextOption wrap(Qt::AlignCenter);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QString deep = "File not found " + QString("/d").repeated(2000) + "/x.wav.";
    const QString ellipsis(QChar(0x2026));
    struct Case {
        const char* what;
        QString text;
        QRectF area;
        bool whole;
    } cases[] = {
        {"short", "File not found /music/a.wav.", {0, 0, 300, 120}, true},
        {"deep path", deep, {0, 0, 300, 120}, false},
        {"deep path in one line", deep, {0, 0, 300, qreal(painter.fontMetrics().height())}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString shown = FittedWrappedText(painter, c.area, c.text, wrap);
        EXPECT_LE(painter.boundingRect(c.area, shown, wrap).height(), c.area.height());
        if (c.whole) {
            EXPECT_EQ(shown, c.text);
            continue;
        }
        ASSERT_TRUE(shown.contains(ellipsis)) << shown.toStdString();
        EXPECT_TRUE(c.text.startsWith(shown.section(ellipsis, 0, 0))) << shown.toStdString();
        EXPECT_TRUE(c.text.endsWith(shown.section(ellipsis, 1))) << shown.toStdString();
        EXPECT_TRUE(shown.startsWith("File not found /d/d") && shown.endsWith("/x.wav.")) << shown.toStdString();
    }
    EXPECT_EQ(FittedWrappedText(painter, {0, 0, 300, 2}, deep, wrap), QString()) << "not even one line fits";
}

TEST(FittedText, ListItemsStayWithinTheVisibleWidth)
{
    QListWidget list;
    list.resize(124, 133);
    FitItemsToView(&list);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    for (int round = 0; round < 3; ++round) // enough rows for a vertical scroll bar at the end
        for (const char* utf8 : kTitles)
            list.addItem(QString::fromUtf8(utf8));
    WAIT_TRUE(list.verticalScrollBar()->isVisible());
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0) << "nothing to scroll sideways";
    const QRect visible = list.viewport()->rect();
    for (int i = 0; i < list.count(); ++i) {
        const QRect item = list.visualItemRect(list.item(i));
        EXPECT_GE(item.left(), visible.left()) << i;
        EXPECT_LE(item.right(), visible.right()) << i;
        EXPECT_EQ(list.item(i)->text(), QString::fromUtf8(kTitles[i % std::size(kTitles)])) << "the item keeps the title";
    }
}

} // namespace
