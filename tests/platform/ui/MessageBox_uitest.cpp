#include "platform/ui/MessageBox.h"
#include "support/ui_waits.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QScreen>
#include <QMessageBox>
#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace ui;

TEST(MessageBox, RecorderKeepsExactTextsAndCaptions)
{
    MessageRecorder recorder;
    ShowMessage("Can't open file. Wrong file name.");
    ShowMessageBox("Unhandled application exception:\r\nboom", "Error", MsgButtons::Ok, MsgIcon::Error);
    ASSERT_EQ(recorder.Messages().size(), 2u);
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"Can't open file. Wrong file name.",
                                                          "Unhandled application exception:\r\nboom"}));
    const RecordedMessage second = recorder.Messages()[1];
    EXPECT_EQ(second.caption, "Error");
    EXPECT_EQ(second.buttons, MsgButtons::Ok);
    EXPECT_EQ(second.icon, MsgIcon::Error);
    EXPECT_TRUE(second.fromUiThread);
    EXPECT_EQ(recorder.Messages()[0].caption, "Sonorel");
    recorder.Clear();
    EXPECT_TRUE(recorder.Texts().empty());
}

TEST(MessageBox, InputBoxesAndFileDialogsTakeQueuedAnswers)
{
    MessageRecorder recorder;
    recorder.QueueInput("Intro \"2\"");
    recorder.QueueInput("/music/a b.snmx");
    recorder.QueueInput(std::nullopt);
    EXPECT_EQ(InputBox("Zone Name", "New Zone Name", "Intro"), std::optional<std::string>("Intro \"2\""));
    EXPECT_EQ(ChooseFile(nullptr, {false, "Sonorel Project|*.snmx", "snmx", "/music/", true, ""}),
              std::optional<std::string>("/music/a b.snmx"));
    EXPECT_EQ(InputBox("Rename", "New Name", "x"), std::nullopt);
    const std::vector<RecordedInput> inputs = recorder.Inputs();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].caption, "Zone Name");
    EXPECT_EQ(inputs[0].prompt, "New Zone Name");
    EXPECT_EQ(inputs[0].text, "Intro");
    EXPECT_EQ(inputs[1].caption, "File");
    EXPECT_EQ(inputs[1].prompt, "Sonorel Project|*.snmx");
    EXPECT_EQ(inputs[1].text, "/music/");
    EXPECT_TRUE(recorder.Texts().empty()) << "inputs are no messages";
}

// Window managers cut a title that does not fit beside the title bar's buttons ("Save … onorel"):
// an input box is as wide as its whole title, the application's name included, and 100 pixels
// for the buttons.
TEST(MessageBox, InputBoxIsWideEnoughForItsWholeTitle)
{
    QGuiApplication::setApplicationDisplayName("Sonorel"); // as the application does
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics title(titleFont);
    const std::string longCaption(60, 'W');
    for (const std::string caption : {"Save Zone", "Rename", "Zone Name", "", longCaption.c_str()}) {
        int width = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                answer.stop();
                width = box->width();
                box->setTextValue("typed");
                box->accept();
            }
        });
        answer.start(10);
        EXPECT_EQ(InputBox(caption, "Zone Name", "Intro"), std::optional<std::string>("typed")) << caption;
        const QString shown = QString::fromStdString(caption) + (caption.empty() ? "" : " \u2014 ") + "Sonorel";
        const int screen = QGuiApplication::primaryScreen()->availableGeometry().width();
        EXPECT_GE(width, std::min(title.horizontalAdvance(shown) + 100, screen)) << caption;
    }
    QGuiApplication::setApplicationDisplayName(QString());
}

TEST(MessageBox, QuestionsTakeQueuedAnswersThenTheDefault)
{
    MessageRecorder recorder;
    recorder.QueueAnswer(MsgResult::Yes);
    recorder.QueueAnswer(MsgResult::Cancel);
    EXPECT_TRUE(AskYesNo("Close Sonorel. Are you sure?\r\nAll unsaved changes to current project will be lost."));
    EXPECT_EQ(ShowMessageBox("Save?", "Sonorel", MsgButtons::YesNoCancel), MsgResult::Cancel);
    const struct {
        MsgButtons buttons;
        MsgResult answer;
    } defaults[] = {{MsgButtons::Ok, MsgResult::Ok},
                    {MsgButtons::OkCancel, MsgResult::Cancel},
                    {MsgButtons::YesNo, MsgResult::No},
                    {MsgButtons::YesNoCancel, MsgResult::Cancel}};
    for (const auto& d : defaults)
        EXPECT_EQ(ShowMessageBox("q", "Sonorel", d.buttons), d.answer);
    EXPECT_FALSE(AskYesNo("again?"));
    EXPECT_EQ(recorder.Messages().size(), 7u);
    EXPECT_EQ(recorder.Messages()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(recorder.Messages()[0].icon, MsgIcon::Question);
}

TEST(MessageBox, OtherThreadsGetTheDefaultAnswerAtOnce)
{
    MessageRecorder recorder;
    recorder.QueueAnswer(MsgResult::Yes); // meant for the UI thread; a worker never takes it
    bool answer = true;
    std::thread worker([&] { answer = AskYesNo("from the sound thread"); });
    worker.join();
    EXPECT_FALSE(answer);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "from the sound thread");
    EXPECT_FALSE(recorder.Messages()[0].fromUiThread);
    EXPECT_TRUE(AskYesNo("now on the UI thread"));
}

// Without a recorder a worker's message is queued: the worker returns before any box exists, and
// the box appears with the text once the UI thread runs its event loop.
TEST(MessageBox, WorkersMessageIsQueuedToTheUiThread)
{
    std::thread worker([] { ShowMessageBox("Line one\r\nLine two", "Burner", MsgButtons::Ok, MsgIcon::Warning); });
    worker.join();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QString shownText, shownTitle;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownText = box->text();
            shownTitle = box->windowTitle();
            box->accept();
        }
    });
    WAIT_TRUE(!shownText.isEmpty());
    EXPECT_EQ(shownText, "Line one\nLine two");
    EXPECT_EQ(shownTitle, "Burner");
}

TEST(MessageBox, QueuedMessageMeetsALaterRecorder)
{
    std::thread worker([] { ShowMessage("queued before the recorder"); });
    worker.join();
    MessageRecorder recorder;
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"queued before the recorder"});
    EXPECT_FALSE(recorder.Messages()[0].fromUiThread);
}

} // namespace
