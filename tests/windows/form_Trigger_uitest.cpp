#include "windows/form_Trigger.h"

#include "model/class_Application.h"
#include "support/ui_waits.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWindow>

namespace {

class TriggerWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFlags(0);
        other.setWindowTitle(QStringLiteral("another window"));
        other.setGeometry(20, 20, 200, 100);
        other.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    }
    void TearDown() override { ResetFlags(0); }

    static void ResetFlags(int waitState)
    {
        snl.WavProducer.WaitState = waitState;
        snl.WavProducer.MouseClicked = 0;
        snl.WavProducer.KeyPressed = 0;
    }

    // Shows the window for a wait, as the main window's poll does, and makes it the active one.
    void ShowForWait(int waitState)
    {
        ResetFlags(waitState);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(sonorel_test::WaitUntil([&] { return form.isActiveWindow(); }));
    }

    // The producer ended the wait; the next poll hides the window.
    void HideAfterWait()
    {
        ResetFlags(0);
        form.hide();
        ASSERT_TRUE(sonorel_test::WaitUntil([&] { return !form.isActiveWindow(); }));
    }

    QWindow* Window() { return form.windowHandle(); }

    TFormTrigger form;
    QWidget other;
};

TEST_F(TriggerWindowTest, IsTheSmallAlwaysOnTopMixTriggerWindow)
{
    EXPECT_EQ(form.windowTitle(), "Mix Trigger");
    EXPECT_EQ(form.size(), QSize(384, 80));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.IconMouse->geometry(), QRect(24, 16, 32, 32));
    EXPECT_EQ(form.IconAnyKey->geometry(), QRect(24, 16, 32, 32));
    EXPECT_EQ(form.Label->pos(), QPoint(72, 25));
    EXPECT_FALSE(form.IconMouse->pixmap().isNull());
    EXPECT_FALSE(form.IconAnyKey->pixmap().isNull());
    EXPECT_EQ(form.Spacebar1->text(), "Space bar");
    EXPECT_EQ(form.Spacebar1->shortcut(), QKeySequence(Qt::Key_Space));
}

// Each action releases only the wait it belongs to.
TEST_F(TriggerWindowTest, TheUsersActionReleasesOnlyItsOwnKindOfWait)
{
    enum class Action { LeftPress, RightPressOnLabel, Space, OtherKey, ClickAnotherWindow };
    struct Case {
        const char* what;
        int waitState;
        Action action;
        bool mouseClicked, keyPressed;
    };
    const Case cases[] = {
        {"mouse wait, left press", 2, Action::LeftPress, true, false},
        {"mouse wait, right press on the prompt", 2, Action::RightPressOnLabel, true, false},
        {"mouse wait, another window clicked", 2, Action::ClickAnotherWindow, true, false},
        {"mouse wait, space", 2, Action::Space, false, false},
        {"key wait, space", 1, Action::Space, false, true},
        {"key wait, press", 1, Action::LeftPress, false, false},
        {"key wait, other key", 1, Action::OtherKey, false, false},
        {"key wait, another window clicked", 1, Action::ClickAnotherWindow, false, false},
        {"running, space", 0, Action::Space, false, false},
        {"running, press", 0, Action::LeftPress, false, false},
    };
    for (const Case& c : cases) {
        ShowForWait(c.waitState);
        switch (c.action) {
        case Action::LeftPress:
            QTest::mousePress(Window(), Qt::LeftButton, {}, QPoint(300, 60));
            QTest::mouseRelease(Window(), Qt::LeftButton, {}, QPoint(300, 60));
            break;
        case Action::RightPressOnLabel:
            QTest::mousePress(Window(), Qt::RightButton, {}, form.Label->geometry().center());
            QTest::mouseRelease(Window(), Qt::RightButton, {}, form.Label->geometry().center());
            break;
        case Action::Space:
            QTest::keyClick(Window(), Qt::Key_Space);
            break;
        case Action::OtherKey:
            QTest::keyClick(Window(), Qt::Key_Return);
            QTest::keyClick(Window(), Qt::Key_A);
            break;
        case Action::ClickAnotherWindow:
            other.activateWindow();
            ASSERT_TRUE(sonorel_test::WaitUntil([&] { return !form.isActiveWindow(); })) << c.what;
            break;
        }
        EXPECT_EQ(snl.WavProducer.MouseClicked, c.mouseClicked) << c.what;
        EXPECT_EQ(snl.WavProducer.KeyPressed, c.keyPressed) << c.what;
        EXPECT_EQ(snl.WavProducer.WaitState, c.waitState) << c.what << ": the sound thread ends the wait";
        EXPECT_TRUE(form.isVisible()) << c.what << ": the window never hides itself";
        HideAfterWait();
    }
}

TEST_F(TriggerWindowTest, HidingTheWindowAfterTheWaitSetsNoFlag)
{
    ShowForWait(2);
    HideAfterWait();
    EXPECT_EQ(snl.WavProducer.MouseClicked, 0);
}

} // namespace
