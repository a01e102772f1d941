#include "model/class_Switches.h"
#include "windows/form_Trace.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <thread>

namespace {

QStringList MemoLines(const TFormTrace& form)
{
    QCoreApplication::processEvents(); // lines reach the memo through the event loop
    const QString text = form.Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

class TraceFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetCommandLine({"sonorel"});
        ResetTraceCounter();
    }
    void TearDown() override { SetCommandLine({}); }
};

TEST_F(TraceFormTest, HiddenWithoutSwitchesYetReceivesLines)
{
    TFormTrace form;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Trace Log (Debug Info)");
    EXPECT_EQ(form.pos(), QPoint(145, 3));
    EXPECT_EQ(form.size(), QSize(879, 138));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.PauseButton->text(), "Pause");
    trace("SetNeedlePos");
    trace("Sound Init");
    EXPECT_EQ(MemoLines(form), QStringList({"SetNeedlePos", "Sound Init"}));
}

struct SwitchCase {
    std::vector<std::string> parameters;
    bool visible;
    QPoint pos;
    int height;
    bool maximized;
    bool clearLog;
};

class TraceFormSwitches : public TraceFormTest, public testing::WithParamInterface<SwitchCase> {};

TEST_P(TraceFormSwitches, ShapeTheWindow)
{
    const SwitchCase& c = GetParam();
    std::vector<std::string> arguments{"sonorel"};
    arguments.insert(arguments.end(), c.parameters.begin(), c.parameters.end());
    SetCommandLine(arguments);
    TFormTrace form;
    EXPECT_EQ(form.isVisible(), c.visible);
    EXPECT_EQ(form.isMaximized(), c.maximized);
    if (!c.maximized) {
        EXPECT_EQ(form.pos(), c.pos);
        EXPECT_EQ(form.height(), c.height);
        EXPECT_EQ(form.width(), 879);
    }
    EXPECT_EQ(form.ClearLogEnabled(), c.clearLog);
}

INSTANTIATE_TEST_SUITE_P(Table, TraceFormSwitches, testing::Values(
    SwitchCase{{"trace"}, true, {145, 3}, 138, false, true},
    SwitchCase{{"DEBUG"}, true, {145, 3}, 138, false, true},
    SwitchCase{{"traceheight", "300"}, false, {145, 3}, 300, false, true},
    SwitchCase{{"trace", "traceheight", "300"}, true, {145, 3}, 300, false, true},
    SwitchCase{{"traceheight", "high"}, false, {145, 3}, 138, false, true},
    SwitchCase{{"traceheight", "-5"}, false, {145, 3}, 138, false, true},
    SwitchCase{{"traceup"}, true, {0, 0}, 138, false, true},
    SwitchCase{{"debugmax"}, true, {}, 0, true, true},
    SwitchCase{{"noclearlog"}, false, {145, 3}, 138, false, false}));

TEST_F(TraceFormTest, FortyFirstCallClearsThenAppends)
{
    TFormTrace form;
    for (int i = 1; i <= 40; ++i)
        trace("line " + std::to_string(i));
    EXPECT_EQ(MemoLines(form).size(), 40);
    trace("line 41");
    EXPECT_EQ(MemoLines(form), QStringList({"line 41"}));
    // The clearing call resets the count without counting itself: the next clear is call 82.
    for (int i = 42; i <= 81; ++i)
        trace("line " + std::to_string(i));
    EXPECT_EQ(MemoLines(form).size(), 41);
    EXPECT_EQ(MemoLines(form).first(), "line 41");
    trace("line 82");
    EXPECT_EQ(MemoLines(form), QStringList({"line 82"}));
}

TEST_F(TraceFormTest, NoClearLogKeepsEveryLine)
{
    SetCommandLine({"sonorel", "noclearlog"});
    TFormTrace form;
    for (int i = 1; i <= 100; ++i)
        trace(std::to_string(i));
    const QStringList lines = MemoLines(form);
    ASSERT_EQ(lines.size(), 100);
    EXPECT_EQ(lines.last(), "100");
}

TEST_F(TraceFormTest, PausedLinesAreDroppedButCounted)
{
    TFormTrace form;
    for (int i = 1; i <= 10; ++i)
        trace("before " + std::to_string(i));
    QTest::mouseClick(form.PauseButton, Qt::LeftButton);
    ASSERT_TRUE(form.PauseButton->isChecked());
    for (int i = 11; i <= 30; ++i)
        trace("paused " + std::to_string(i));
    EXPECT_EQ(MemoLines(form).size(), 10);
    QTest::mouseClick(form.PauseButton, Qt::LeftButton);
    for (int i = 31; i <= 40; ++i)
        trace("after " + std::to_string(i));
    EXPECT_EQ(MemoLines(form).size(), 20);
    trace("call 41");
    EXPECT_EQ(MemoLines(form), QStringList({"call 41"}));
}

TEST_F(TraceFormTest, PausedClearStillClears)
{
    TFormTrace form;
    for (int i = 1; i <= 40; ++i)
        trace("x");
    form.PauseButton->setChecked(true);
    trace("dropped 41st");
    EXPECT_TRUE(MemoLines(form).isEmpty());
}

// The sound thread traces while the UI thread is busy: the caller never waits for the UI, and the
// lines arrive in order, together with the UI thread's own, with the clearing rule kept.
TEST_F(TraceFormTest, LinesFromOtherThreadsArriveInOrderWithoutBlocking)
{
    SetCommandLine({"sonorel", "noclearlog"});
    TFormTrace form;
    trace("ui 0");
    std::thread sound([] {
        for (int i = 1; i <= 500; ++i)
            trace("sound " + std::to_string(i));
    });
    sound.join(); // returns although the UI thread processed no event meanwhile
    trace("ui 501");
    const QStringList lines = MemoLines(form);
    ASSERT_EQ(lines.size(), 502);
    EXPECT_EQ(lines.first(), "ui 0");
    for (int i = 1; i <= 500; ++i)
        ASSERT_EQ(lines[i], QString("sound %1").arg(i));
    EXPECT_EQ(lines.last(), "ui 501");
}

TEST_F(TraceFormTest, ClearingRuleHoldsAcrossThreads)
{
    TFormTrace form;
    std::thread sound([] {
        for (int i = 1; i <= 95; ++i)
            trace("line " + std::to_string(i));
    });
    sound.join();
    // Calls 41 and 82 cleared: lines 82..95 remain.
    const QStringList lines = MemoLines(form);
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.first(), "line 82");
    EXPECT_EQ(lines.last(), "line 95");
}

TEST_F(TraceFormTest, DestroyedWindowStopsReceiving)
{
    {
        TFormTrace form;
        trace("queued but never shown");
    }
    trace("after the window"); // must not touch the destroyed window
    QCoreApplication::processEvents();
    TFormTrace next;
    trace("next");
    EXPECT_EQ(MemoLines(next), QStringList({"next"}));
}

// Saves a picture of the window with some lines when SONOREL_SCREENSHOT_DIR is set (for review
// under xvfb-run); always checks that the memo shows text.
TEST_F(TraceFormTest, ShowsItsLines)
{
    SetCommandLine({"sonorel", "trace"});
    TFormTrace form;
    for (const char* line : {"Sound Init", "SetNeedlePos", "snl.play(pos)", "WavMix.AddWave id:3",
                             "RowIndex(class_Application.cpp):2", "snl.stop()"})
        trace(line);
    MemoLines(form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage picture = form.grab().toImage();
    if (const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR"); !dir.isEmpty())
        picture.save(QString::fromLocal8Bit(dir) + "/trace_window.png");
    const QImage memo = form.Memo1->viewport()->grab().toImage();
    const QRgb background = memo.pixel(memo.width() - 2, memo.height() - 2);
    int inked = 0;
    for (int y = 0; y < memo.height(); ++y)
        for (int x = 0; x < memo.width(); ++x)
            inked += memo.pixel(x, y) != background;
    EXPECT_GT(inked, 100);
}

} // namespace
