#include "windows/frame_reposedit.h"

#include "model/class_MixData.h"
#include "support/ui_waits.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

namespace {

void Fill(cBin& bin, const std::vector<std::string>& titles)
{
    for (const std::string& title : titles) {
        cBinItem* item = bin.Items.Add();
        item->title = title;
        item->filename = "/music/song.wav";
    }
}

std::vector<std::string> Titles(const cBin& bin)
{
    std::vector<std::string> titles;
    for (const auto& item : bin.Items)
        titles.push_back(item->title);
    return titles;
}

// The frame in a window of its own, at the zone editor's size, its hooks recorded in order.
class BinFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 260);
        frame = new TFrameReposEdit(&window);
        frame->setGeometry(10, 10, 321, 204);
        frame->SelectItem.OnClick = [this](QObject* sender) { hooks.push_back({"SelectItem", sender}); };
        frame->AssignData.OnClick = [this](QObject* sender) { hooks.push_back({"AssignData", sender}); };
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QPoint RowPoint(int row)
    {
        return frame->StringGrid1->viewport()->mapTo(&window, QPoint(40, frame->StringGrid1->rowViewportPosition(row) + 10));
    }
    void Drag(QPoint from, const std::vector<QPoint>& path)
    {
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, from);
        for (const QPoint& p : path)
            QTest::mouseMove(window.windowHandle(), p);
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, path.back());
    }

    struct Hook {
        std::string name;
        QObject* sender;
        bool operator==(const Hook&) const = default;
    };

    QWidget window;
    TFrameReposEdit* frame = nullptr;
    std::vector<Hook> hooks;
    cBin bin;
};

TEST_F(BinFrameTest, AssignBinShowsOneRowPerZoneRaisesTheHooksAndSelectsTheBinsZone)
{
    Fill(bin, {"Intro", "Verse", "Chorus"});
    bin.SelectedItem = 1;
    frame->AssignBin(&bin);
    EXPECT_EQ(frame->StringGrid1->rowCount(), 3);
    EXPECT_EQ(hooks, (std::vector<Hook>{{"SelectItem", frame}, {"AssignData", frame}}));
    EXPECT_EQ(frame->StringGrid1->Row(), 1);

    cBin empty;
    empty.SelectedItem = 0;
    frame->AssignBin(&empty);
    EXPECT_EQ(frame->StringGrid1->rowCount(), 1) << "an empty bin shows one empty row";
    frame->AssignBin(nullptr);
    EXPECT_EQ(frame->data, nullptr);
    EXPECT_EQ(frame->StringGrid1->rowCount(), 1);
}

// Whether drawing the cell put any ink on a black image.
bool DrawsInk(TFrameReposEdit& frame, int column, int row)
{
    QImage image(200, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter canvas(&image);
    frame.StringGrid1DrawCell(canvas, column, row, image.rect());
    canvas.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != QColor(Qt::black).rgb())
                return true;
    return false;
}

TEST_F(BinFrameTest, OnlyTheFirstColumnOfAZonesRowIsDrawn)
{
    Fill(bin, {"Intro", "Verse"});
    frame->AssignBin(&bin);
    EXPECT_TRUE(DrawsInk(*frame, 0, 1));
    for (int column = 1; column < 4; ++column)
        EXPECT_FALSE(DrawsInk(*frame, column, 1)) << "column " << column;
    EXPECT_FALSE(DrawsInk(*frame, 0, 2)) << "no zone in that row";
    frame->AssignBin(nullptr);
    EXPECT_FALSE(DrawsInk(*frame, 0, 0));
}

// A title longer than a narrow strip ends in an ellipsis clear of the strip's edge, not in letters
// cut off by it.
TEST_F(BinFrameTest, ALongTitleEndsInsideANarrowStrip)
{
    Fill(bin, {std::string(60, 'W')});
    frame->setGeometry(10, 10, 90, 204);
    frame->AssignBin(&bin);
    const int visible = frame->StringGrid1->viewport()->width();
    ASSERT_LT(visible, 200);
    QImage image(437, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter canvas(&image);
    frame->StringGrid1DrawCell(canvas, 0, 0, image.rect());
    canvas.end();
    int inkRight = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) != QColor(Qt::black).rgb())
                inkRight = x;
    EXPECT_GT(inkRight, visible / 2);
    EXPECT_LT(inkRight, visible - 1);
}

TEST_F(BinFrameTest, DeleteRemovesTheCurrentZoneAndKeepsAValidCurrentRow)
{
    Fill(bin, {"A", "B", "C"});
    frame->AssignBin(&bin);
    frame->StringGrid1->SetRow(2);
    frame->DeleteItem->trigger();
    EXPECT_EQ(Titles(bin), (std::vector<std::string>{"A", "B"}));
    frame->StringGrid1->SetRow(0);
    frame->DeleteItemClick();
    EXPECT_EQ(Titles(bin), (std::vector<std::string>{"B"}));
    EXPECT_EQ(frame->StringGrid1->Row(), 0) << "the bin's selected zone is still a zone";
    frame->DeleteItemClick();
    EXPECT_TRUE(bin.Items.Count() == 0);
    EXPECT_NO_THROW(frame->DeleteItemClick()) << "the empty row deletes nothing";
    EXPECT_EQ(frame->StringGrid1->rowCount(), 1);
}

TEST_F(BinFrameTest, DraggingAZoneReordersTheBinOneMoveBehindThePointer)
{
    Fill(bin, {"A", "B", "C", "D"});
    frame->AssignBin(&bin);
    hooks.clear();
    Drag(RowPoint(0), {RowPoint(0) + QPoint(0, 6), RowPoint(2), RowPoint(2) + QPoint(0, 2)});
    EXPECT_EQ(Titles(bin), (std::vector<std::string>{"B", "C", "A", "D"}));
    EXPECT_EQ(bin.SelectedItem, 2);
    ASSERT_FALSE(hooks.empty());
    EXPECT_EQ(hooks.back(), (Hook{"AssignData", nullptr})) << "a reorder raises AssignData without a sender";
}

TEST_F(BinFrameTest, ReorderingIsRefusedWhereSwitchedOffAndMovesNothingInAnEmptyBin)
{
    Fill(bin, {"A", "B", "C"});
    frame->AllowReorder = false;
    frame->AssignBin(&bin);
    Drag(RowPoint(0), {RowPoint(0) + QPoint(0, 6), RowPoint(2), RowPoint(2) + QPoint(0, 2)});
    EXPECT_EQ(Titles(bin), (std::vector<std::string>{"A", "B", "C"}));

    cBin empty;
    frame->AllowReorder = true;
    frame->AssignBin(&empty);
    hooks.clear();
    EXPECT_NO_THROW(Drag(RowPoint(0), {RowPoint(0) + QPoint(0, 6), RowPoint(0) + QPoint(0, 40), RowPoint(0)}));
    EXPECT_EQ(empty.Items.Count(), 0);
    EXPECT_TRUE(hooks.empty());
}

TEST_F(BinFrameTest, ADoubleClickRaisesTheHookOnceFromTheEventLoop)
{
    Fill(bin, {"A", "B"});
    frame->AssignBin(&bin);
    std::vector<QObject*> senders;
    frame->DoubleClick.OnClick = [&](QObject* sender) { senders.push_back(sender); };
    QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, RowPoint(1));
    EXPECT_FALSE(ui::Dragging());
    EXPECT_TRUE(sonorel_test::WaitUntil([&] { return !senders.empty(); }));
    QTest::qWait(20);
    EXPECT_EQ(senders, (std::vector<QObject*>{frame}));
}

} // namespace
