// The image button sinks while pressed, returns on release and clicks for any mouse button.
#include "GraphControls/class_ImageButton.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

TEST(ImageButton, SinksWhilePressedAndClicksOnReleaseOfAnyButton)
{
    QWidget window;
    window.resize(200, 100);
    auto* button = new ImageButton(&window);
    button->setGeometry(10, 10, 50, 30);
    int clicks = 0;
    button->OnButtonClick = [&](ImageButton*) { ++clicks; };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mousePress(window.windowHandle(), b, {}, QPoint(30, 20));
        EXPECT_EQ(button->pos(), QPoint(11, 11));
        QTest::mouseRelease(window.windowHandle(), b, {}, QPoint(31, 21));
        EXPECT_EQ(button->pos(), QPoint(10, 10));
    }
    EXPECT_EQ(clicks, 2);
}
