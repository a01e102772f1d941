// The picture button: which clicks count, double clicks, and the picture it shows in each state.
#include "GraphControls/class_SkinPicture.h"

#include "platform/ui/SkinImage.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class SkinPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(300, 200);
        picture->OnClick = [this] { ++clicks; };
        window.show();
    }

    QImage Shown() const { return picture->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QImage Skin(const std::string& name) const { return ui::SkinImage(name).convertToFormat(QImage::Format_RGB32); }

    QWidget window;
    TSkinPicture* picture = new TSkinPicture(&window, "play", 10, 20);
    int clicks = 0;
    int doubleClicks = 0;
};

TEST_F(SkinPictureTest, TakesTheSizeAndNameOfItsPicture)
{
    EXPECT_EQ(picture->pos(), QPoint(10, 20));
    EXPECT_EQ(picture->size(), ui::SkinImage("play").size());
    EXPECT_EQ(picture->objectName(), "play");
    EXPECT_EQ(Shown(), Skin("play"));
}

TEST_F(SkinPictureTest, ClicksOnlyWhenTheLeftButtonIsReleasedOverIt)
{
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(picture, Qt::RightButton);
    EXPECT_EQ(clicks, 1) << "the right button is no click";
    QTest::mousePress(picture, Qt::LeftButton);
    EXPECT_EQ(Shown(), Skin("play_down")) << "pressed";
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(picture->width() + 5, 2));
    EXPECT_EQ(clicks, 1) << "released beside it: no click";
    EXPECT_EQ(Shown(), Skin("play"));
}

TEST_F(SkinPictureTest, ADoubleClickIsOneClickAndOneDoubleClick)
{
    picture->OnDblClick = [this] { ++doubleClicks; };
    // What the window system sends: press, release, the double-click press, release.
    QTest::mouseClick(picture, Qt::LeftButton);
    QMouseEvent secondPress(QEvent::MouseButtonDblClick, QPointF(2, 2), picture->mapToGlobal(QPointF(2, 2)),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &secondPress);
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubleClicks, 1);
    QTest::mouseClick(picture, Qt::LeftButton);
    EXPECT_EQ(clicks, 2) << "the next click counts again";
}

TEST_F(SkinPictureTest, ALatchedPictureShowsItsPressedPicture)
{
    picture->SetLatched(true);
    EXPECT_TRUE(picture->Latched());
    EXPECT_EQ(Shown(), Skin("play_down"));
    picture->SetLatched(false);
    EXPECT_EQ(Shown(), Skin("play"));
}

} // namespace
