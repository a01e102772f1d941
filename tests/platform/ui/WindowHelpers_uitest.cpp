#include "platform/ui/WindowHelpers.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace ui;

int Area(const QRegion& region)
{
    int area = 0;
    for (const QRect& r : region)
        area += r.width() * r.height();
    return area;
}

TEST(RoundWindowRegion, KeepsTheRectangleButForTheCornerArcs)
{
    const QRegion region = RoundWindowRegion(400, 300, 10);
    const QRegion window = region.intersected(QRect(0, 0, 400, 300));
    // Everything at least r away from a corner along either edge is kept.
    EXPECT_TRUE(window.contains(QRect(10, 0, 380, 300)));
    EXPECT_TRUE(window.contains(QRect(0, 10, 400, 280)));
    const struct {
        QPoint point;
        bool inside;
    } points[] = {{{0, 0}, false},    {{399, 0}, false},  {{0, 299}, false},  {{399, 299}, false},
                  {{1, 1}, false},    {{398, 1}, false},  {{1, 298}, false},  {{398, 298}, false},
                  {{4, 4}, true},     {{395, 4}, true},   {{4, 295}, true},   {{395, 295}, true},
                  {{200, 0}, true},   {{0, 150}, true},   {{399, 150}, true}, {{200, 299}, true}};
    for (const auto& p : points)
        EXPECT_EQ(window.contains(p.point), p.inside) << p.point.x() << "," << p.point.y();
    // Only the corners are cut: in each r x r corner square a piece smaller than the square
    // minus a quarter circle would leave (about 21 pixels) but more than the corner pixel.
    for (const QRect& corner : {QRect(0, 0, 10, 10), QRect(390, 0, 10, 10), QRect(0, 290, 10, 10), QRect(390, 290, 10, 10)}) {
        const int cut = 100 - Area(window.intersected(corner));
        EXPECT_GT(cut, 1);
        EXPECT_LT(cut, 40);
    }
    EXPECT_EQ(Area(window), 400 * 300 - (100 - Area(window.intersected(QRect(0, 0, 10, 10)))) -
                                (100 - Area(window.intersected(QRect(390, 0, 10, 10)))) -
                                (100 - Area(window.intersected(QRect(0, 290, 10, 10)))) -
                                (100 - Area(window.intersected(QRect(390, 290, 10, 10)))));
}

TEST(RoundWindowRegion, BecomesTheWindowsMask)
{
    QWidget form;
    form.resize(400, 300);
    QLabel picture(&form);
    SetRoundWindowRegion(&picture, 6); // any control of the window stands for it
    EXPECT_EQ(form.mask(), RoundWindowRegion(400, 300, 6));
}

TEST(EnableControlsByTag, TouchesOnlyDirectChildrenWithTheTag)
{
    QWidget container;
    auto* tagged = new QPushButton(&container);
    auto* alsoTagged = new QLabel(&container);
    auto* other = new QPushButton(&container);
    auto* untagged = new QPushButton(&container);
    auto* panel = new QWidget(&container);
    auto* nested = new QPushButton(panel);
    for (QWidget* w : std::initializer_list<QWidget*>{tagged, alsoTagged, nested})
        SetTag(w, 1);
    SetTag(other, 2);

    EnableControlsByTag(&container, false, 1);
    EXPECT_FALSE(tagged->isEnabled());
    EXPECT_FALSE(alsoTagged->isEnabled());
    EXPECT_TRUE(other->isEnabled());
    EXPECT_TRUE(untagged->isEnabled());
    EXPECT_TRUE(nested->isEnabled());
    EXPECT_TRUE(container.isEnabled());

    EnableControlsByTag(&container, false, 0);
    EXPECT_FALSE(untagged->isEnabled());
    EXPECT_FALSE(panel->isEnabled());
    EnableControlsByTag(&container, true, 1);
    EXPECT_TRUE(tagged->isEnabled());
    EXPECT_EQ(Tag(untagged), 0);
}

QMouseEvent MouseEvent(QEvent::Type type, QWidget* target, QPoint global, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    return QMouseEvent(type, QPointF(target->mapFromGlobal(global)), QPointF(global), button, buttons, Qt::NoModifier);
}

// The offscreen platform, like X without a window manager, has no interactive move: the window
// must follow the mouse itself until the button is released.
TEST(DragWindowByControl, WindowFollowsTheMouseUntilRelease)
{
    QWidget form(nullptr, Qt::FramelessWindowHint);
    form.setGeometry(100, 100, 300, 200);
    auto* picture = new QLabel(&form);
    picture->setGeometry(0, 0, 300, 200);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint start = form.pos();
    const QPoint cursor = QCursor::pos();

    DragWindowByControl(picture);
    QMouseEvent move1 = MouseEvent(QEvent::MouseMove, picture, cursor + QPoint(30, 20), Qt::LeftButton);
    QApplication::sendEvent(picture, &move1);
    EXPECT_EQ(form.pos(), start + QPoint(30, 20));
    QMouseEvent move2 = MouseEvent(QEvent::MouseMove, picture, cursor + QPoint(-15, 5), Qt::LeftButton);
    QApplication::sendEvent(picture, &move2);
    EXPECT_EQ(form.pos(), start + QPoint(-15, 5));
    QMouseEvent release = MouseEvent(QEvent::MouseButtonRelease, picture, cursor + QPoint(-15, 5), Qt::NoButton);
    QApplication::sendEvent(picture, &release);

    QMouseEvent after = MouseEvent(QEvent::MouseMove, picture, cursor + QPoint(200, 200), Qt::LeftButton);
    QApplication::sendEvent(picture, &after);
    EXPECT_EQ(form.pos(), start + QPoint(-15, 5));
}

} // namespace
