// The skinned push button: push and toggle behaviour, the picture shown, and which presses count,
// driven by window-level mouse events as a person's clicks arrive.
#include "GraphControls/class_GraphButton.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

QImage Filled(QColor colour)
{
    QImage picture(41, 21, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

class GraphButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(200, 100);
        button->setGeometry(20, 30, 40, 20);
        button->SetImage(Filled(Qt::blue));
        button->OnClick = [this](TGraphButton*) { ++clicks; };
        button->OnMouseDown = [this](TGraphButton*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
            ++downs;
            lastDown = {x, y};
        };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void Press(Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(window.windowHandle(), b, {}, centre); }
    void Release(Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(window.windowHandle(), b, {}, centre); }
    QRgb Centre() const { return button->grab().toImage().pixel(20, 10); }

    QWidget window;
    TGraphButton* button = new TGraphButton(&window);
    const QPoint centre{40, 40};
    int clicks = 0;
    int downs = 0;
    QPoint lastDown;
};

TEST_F(GraphButtonTest, APushButtonShowsPressedWhileHeldAndClicksOnce)
{
    button->SetImagePressed(Filled(Qt::red));
    Press();
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(Centre(), QColor(Qt::red).rgb());
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(lastDown, QPoint(21, 11)) << "positions are inside the picture, which starts at (-1, -1)";
    Release();
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(Centre(), QColor(Qt::blue).rgb());
    EXPECT_EQ(clicks, 1);
}

TEST_F(GraphButtonTest, WithoutAPressedPictureTheNormalOneSinksByAPixel)
{
    const auto topLeft = [this] { return button->grab().toImage().pixel(0, 0); };
    button->SetImage([] {
        QImage picture = Filled(Qt::blue);
        picture.setPixel(1, 1, QColor(Qt::green).rgb()); // lands on the button's (0, 0) when not down
        return picture;
    }());
    EXPECT_EQ(topLeft(), QColor(Qt::green).rgb());
    Press();
    EXPECT_EQ(topLeft(), QColor(Qt::blue).rgb()) << "the picture moved to (0, 0)";
    EXPECT_EQ(lastDown, QPoint(20, 10));
    Release();
    EXPECT_EQ(topLeft(), QColor(Qt::green).rgb());
}

TEST_F(GraphButtonTest, AStickyButtonLatchesAndAPressOnThePressedPictureReleasesIt)
{
    button->SetImagePressed(Filled(Qt::red));
    button->Sticky = true;
    Press();
    Release();
    EXPECT_TRUE(button->Down());
    EXPECT_EQ(clicks, 1);
    Press();
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(downs, 2);
    Release();
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(clicks, 1) << "the release belongs to the pressed picture, which reports no click";
}

TEST_F(GraphButtonTest, TheRightButtonNeitherPressesNorArmsTheClick)
{
    Press(Qt::RightButton);
    EXPECT_FALSE(button->Down());
    EXPECT_EQ(downs, 0);
    Release(Qt::RightButton);
    EXPECT_EQ(clicks, 0);
}

} // namespace
