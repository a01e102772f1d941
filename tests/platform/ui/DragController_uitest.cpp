#include "platform/ui/DragController.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <string>
#include <vector>

namespace {

class PressSource : public QWidget {
public:
    using QWidget::QWidget;
    int threshold = 4;

protected:
    void mousePressEvent(QMouseEvent* event) override { ui::BeginDrag(this, *event, threshold); }
};

// A window with a source and two targets; the second holds a child without handlers of its own.
class DragControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 200);
        source = new PressSource(&window);
        source->setGeometry(10, 10, 50, 50);
        first = new QWidget(&window);
        first->setGeometry(100, 10, 100, 100);
        second = new QWidget(&window);
        second->setGeometry(250, 10, 100, 100);
        child = new QWidget(second);
        child->setGeometry(20, 20, 40, 40);
        Watch(first, "first");
        Watch(second, "second");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void Watch(QWidget* target, std::string name)
    {
        ui::SetDropTarget(target, {[this, name](QWidget*, QPoint, ui::DragState state, bool& accept) {
                                       static const char* const states[] = {"enter", "leave", "move"};
                                       events.push_back(name + " " + states[static_cast<int>(state)]);
                                       accept = accept && name != refusing;
                                   },
                                   [this, name](QWidget* from, QPoint pos) {
                                       EXPECT_EQ(from, source);
                                       drops.push_back(name + " " + std::to_string(pos.x()) + "," +
                                                       std::to_string(pos.y()));
                                   }});
    }

    QWindow* Window() { return window.windowHandle(); }
    void Press(QPoint p) { QTest::mousePress(Window(), Qt::LeftButton, {}, p); }
    void Move(QPoint p) { QTest::mouseMove(Window(), p); }
    void Release(QPoint p) { QTest::mouseRelease(Window(), Qt::LeftButton, {}, p); }

    QWidget window;
    PressSource* source;
    QWidget *first, *second, *child;
    std::vector<std::string> events, drops;
    std::string refusing;
};

TEST_F(DragControllerTest, FollowsThePointerAcrossTargetsAndDropsOnTheLastOne)
{
    Press({20, 20});
    Move({22, 22}); // below the threshold
    EXPECT_TRUE(ui::Dragging());
    EXPECT_FALSE(ui::DragStarted());
    Move({120, 20});
    Move({130, 20});
    Move({275, 35}); // over the child: its parent is the target
    Release({275, 35});
    EXPECT_EQ(events, (std::vector<std::string>{"first enter", "first move", "first leave", "second enter"}));
    EXPECT_EQ(drops, (std::vector<std::string>{"second 25,25"}));
    EXPECT_FALSE(ui::Dragging());
}

TEST_F(DragControllerTest, NoDropWithoutAcceptanceOrAfterEscape)
{
    refusing = "first";
    Press({20, 20});
    Move({150, 50});
    Release({150, 50}); // refused
    Press({20, 20});
    Move({290, 50});
    QTest::keyClick(Window(), Qt::Key_Escape);
    EXPECT_FALSE(ui::Dragging());
    Release({290, 50});
    Press({20, 20});
    Release({24, 20}); // never started
    source->threshold = 0;
    Press({20, 20});
    Move({21, 20});
    EXPECT_TRUE(ui::DragStarted()) << "threshold 0 starts at the first move";
    events.clear();
    Move({290, 50});
    ui::EndDrag(false);
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(events, (std::vector<std::string>{"second enter", "second leave"})) << "a cancelled drag leaves";
}

} // namespace
