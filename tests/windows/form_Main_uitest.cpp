// The main window driven headless: start-up, help panel, pages, live playback and triggers,
// closing, the exception handler and the automation switches.
#include "GraphControls/class_SkinPicture.h"
#include "windows/form_CDBurn.h"
#include "windows/form_CDRip.h"
#include "windows/form_Record.h"
#include "windows/form_SaveToWav.h"
#include "model/class_FileLog.h"
#include "model/class_Folders.h"
#include "model/class_Settings.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundLibrary.h"
#include "platform/trace/Trace.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ShellOpen.h"
#include "windows/form_LoadRepository.h"
#include "windows/form_Trace.h"
#include "support/audio_fixtures.h"
#include "support/trace_lines.h"
#include "support/ui_waits.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"
#include "windows/form_MixView.h"
#include "windows/form_Preferences.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/form_Trigger.h"
#include "windows/frame_mixedit.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QItemSelectionModel>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

fs::path ShippedHelpFolder()
{
    return fs::path(SONOREL_SOURCE_DIR) / "assets/help";
}

std::string HelpFilePath()
{
    return ExecutableFolder() + "/help.txt";
}

void WriteHelpFile(const std::string& text)
{
    std::ofstream(HelpFilePath(), std::ios::binary) << text;
}

std::string ReadLog()
{
    std::ifstream in(FileLogPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A short stereo WAV of a tone, the source of the test rows.
std::string ToneFile()
{
    static const std::string path = [] {
        const std::string file = sonorel_test::FixtureFolder() + "/tone.wav";
        sonorel_test::SignalSpec spec;
        spec.seconds = 4;
        sonorel_test::WriteAudioFile(file, sonorel_test::AudioFileKind::Wav, sonorel_test::MakeTone(440, spec), 44100, 2);
        return file;
    }();
    return path;
}

void AddRow(float length, int trigger = TriggerNone)
{
    cMixRow* row = snl.mixdata.Add();
    row->name = "tone";
    row->filename = ToneFile();
    row->length = length;
    row->trigger = trigger;
}

void AddBin()
{
    cBin* bin = snl.Bins.Add();
    bin->title = "tone";
    bin->filename = ToneFile();
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        // A release left by an earlier test (the trigger window shown for a wait and then left)
        // would let the next hold go at once: the flags keep their values across plays.
        snl.WavProducer.MouseClicked = 0;
        snl.WavProducer.KeyPressed = 0;
        snl.mixdata.Clear();
        snl.Bins.Clear();
        snl.FileName.clear();
        snl.AskOnClose = 1;
        snl.TimeDisplayMode = 0;
        snl.SelectedRow = 0;
        WriteSettingString(ShowHelp, "0");
        WriteSettingString(LoadLast, "0");
        WriteSettingString(LastProject, "");
        WriteHelpFile("general\nrip#2 cdtrack\n");
        SetCommandLine({"sonorel"});
    }

    void TearDown() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        DetachTraceTarget(&traceLines);
        DestroyForms();
        BASS_ManualOutputEnable(false);
        SetCommandLine({"sonorel"});
    }

    // Creates the windows, shows the main window and waits until the start-up has run.
    void Start(std::vector<std::string> parameters = {}, bool staysOpen = true)
    {
        parameters.insert(parameters.begin(), "sonorel");
        SetCommandLine(parameters);
        CreateForms();
        SetTraceTarget(&traceLines);
        FormMain->show();
        if (staysOpen) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(FormMain));
        }
        WAIT_TRUE(!FormMain->FirstActivation);
    }

    // As Start, on the manual output: no thread renders the mix, so it stays where play put it.
    void StartWithoutOutputThread(std::vector<std::string> parameters = {})
    {
        BASS_ManualOutputEnable(true);
        Start(std::move(parameters));
    }

    void Activate()
    {
        FormMain->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormMain));
    }

    void MoveOver(QWidget* control) { QTest::mouseMove(control, QPoint(2, 2)); }

    ui::MessageRecorder messages;
    ui::ShellOpenRecorder opened;
    sonorel_test::TraceLines traceLines;
};

TEST_F(MainWindowTest, CreatesTheTwelveWindowsAndStartsInOrder)
{
    Start();
    const QWidget* windows[] = {FormMain, FormTrace, FormSaveToWav, FormTransition, FormRecord, FormCDRip,
                                FormMixView, FormTransformation, FormLoadRepository, FormTrigger, FormCDBurn,
                                FormPreferences};
    for (const QWidget* window : windows) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->isVisible(), window == FormMain);
    }
    EXPECT_EQ(FormMain->windowTitle(), "Sonorel");
    EXPECT_EQ(FormMain->size(), QSize(960, 662));
    EXPECT_TRUE(FormMain->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageStartIndex);
    EXPECT_TRUE(FormMain->NewProjectHighlight->isVisible());

    const std::vector<std::string> lines = traceLines.Lines();
    auto at = [&lines](const std::string& line) { return std::find(lines.begin(), lines.end(), line) - lines.begin(); };
    EXPECT_LT(at("Refreshing"), at("FORM ACTIVATE"));
    EXPECT_LT(at("FORM ACTIVATE"), at("Sound Init"));
    EXPECT_LT(at("Sound Init"), static_cast<long>(lines.size()));

    const std::string log = ReadLog();
    EXPECT_TRUE(Contains(log, "\r\n")) << log;
    EXPECT_TRUE(Contains(log, " Started\r\n")) << log;

    // A second activation (after a dialog) opens nothing again.
    FormMain->FormActivate();
    const std::vector<std::string> after = traceLines.Lines();
    EXPECT_EQ(std::count(after.begin(), after.end(), "Sound Init"), 1);
}

TEST_F(MainWindowTest, LogAndNologTogetherLeaveTheLogOn)
{
    const struct {
        std::vector<std::string> switches;
        bool logged;
    } cases[] = {{{"nolog"}, false}, {{"nolog", "log"}, true}, {{"log", "nolog"}, true}, {{}, true}};
    for (const auto& c : cases) {
        SetFileLogName("SonorelLog.txt");
        QFile::remove(QString::fromStdString(FileLogPath()));
        std::vector<std::string> line{"sonorel"};
        line.insert(line.end(), c.switches.begin(), c.switches.end());
        SetCommandLine(line);
        TFormMain form;
        EXPECT_EQ(Contains(ReadLog(), "Started"), c.logged) << c.switches.size();
        SetFileLogEnabled(true);
    }
}

TEST_F(MainWindowTest, HelpLinesAreCutAtTheirFirstHash)
{
    WriteHelpFile("general\n# all remark\ntext before#remark # more\nno remark at all\r\n");
    Start();
    EXPECT_EQ(FormMain->Help->toPlainText(), "general") << "shown until the pointer rests on a control";
    EXPECT_EQ(FormMain->HelpTopics,
              QStringList({"general", "", "text before", "no remark at all"}));
    const struct {
        int context;
        QString topic;
    } cases[] = {{0, "general"}, {1, "general"}, {2, ""}, {3, "text before"}, {4, "no remark at all"},
                 {5, ""}, {39, ""}};
    for (const auto& c : cases) {
        QLabel control(FormMain);
        SetHelpContext(&control, c.context);
        FormMain->LastHelpTopic = "something else";
        FormMain->HelpMouseMove(&control);
        EXPECT_EQ(FormMain->Help->toPlainText(), c.topic) << c.context;
        EXPECT_EQ(control.toolTip(), c.topic) << c.context;
        EXPECT_FALSE(FormMain->HelpHTML->isVisible());
    }
}

TEST_F(MainWindowTest, MissingHelpFileGivesEmptyTopicsAndStartsAnyway)
{
    QFile::remove(QString::fromStdString(HelpFilePath()));
    Start();
    EXPECT_TRUE(FormMain->HelpTopics.isEmpty());
    FormMain->LastHelpTopic = "x";
    MoveOver(FormMain->PagePlaylist->Play);
    EXPECT_EQ(FormMain->Help->toPlainText(), "");
    EXPECT_TRUE(FormMain->TriggersTimer->isActive());
}

TEST_F(MainWindowTest, MouseMovesShowTextAndHtmlTopics)
{
    const std::string page = sonorel_test::FixtureFolder() + "/page.html";
    std::ofstream(page) << "<html><body><p>Play the mix</p></body></html>";
    std::string lines;
    for (int n = 1; n <= 39; ++n)
        lines += n == 18 ? page + "#Play\n" : n == 17 ? "Stop the mix#Stop\n" : "topic " + std::to_string(n) + "\n";
    WriteHelpFile(lines);
    Start();
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->HelpButtonClick();
    QSignalSpy reloads(FormMain->HelpHTML, &QTextBrowser::sourceChanged);

    MoveOver(FormMain->PagePlaylist->Play);
    EXPECT_TRUE(FormMain->HelpHTML->isVisible());
    EXPECT_EQ(FormMain->HelpHTML->source().toLocalFile().toStdString(), page);
    EXPECT_TRUE(FormMain->PagePlaylist->Play->toolTip().isEmpty());
    EXPECT_EQ(reloads.count(), 1);

    MoveOver(FormMain->PagePlaylist->Stop);
    EXPECT_FALSE(FormMain->HelpHTML->isVisible());
    EXPECT_EQ(FormMain->Help->toPlainText(), "Stop the mix");
    EXPECT_EQ(FormMain->PagePlaylist->Stop->toolTip(), "Stop the mix");

    // Back to the page: shown again, not loaded again.
    MoveOver(FormMain->PagePlaylist->Play);
    EXPECT_TRUE(FormMain->HelpHTML->isVisible());
    EXPECT_EQ(reloads.count(), 1);

    // Two controls with one topic: the second changes nothing.
    FormMain->HelpMouseMove(FormMain->PageStart->Image1);
    FormMain->Help->setPlainText("changed");
    QLabel sameContext(FormMain->PageStart);
    SetHelpContext(&sameContext, 39);
    FormMain->HelpMouseMove(&sameContext);
    EXPECT_EQ(FormMain->Help->toPlainText(), "changed");
}

TEST_F(MainWindowTest, HelpPanelTogglesAndIsRememberedForTheNextStart)
{
    WriteSettingString(ShowHelp, "1");
    Start();
    EXPECT_TRUE(FormMain->HelpPanel->isVisible());
    EXPECT_EQ(FormMain->width(), 960 + 350);
    EXPECT_EQ(FormMain->x(), (FormMain->screen()->geometry().width() - FormMain->width()) / 2);
    EXPECT_TRUE(FormMain->HelpButton->Latched());

    FormMain->HelpButtonClick();
    EXPECT_FALSE(FormMain->HelpPanel->isVisible());
    EXPECT_EQ(FormMain->width(), 960);
    EXPECT_EQ(ReadSettingString(ShowHelp), "0");
    DestroyForms();

    Start();
    EXPECT_FALSE(FormMain->HelpPanel->isVisible());
}

TEST_F(MainWindowTest, HelpSwitchWithStoredHelpOpensAndClosesThePanel)
{
    WriteSettingString(ShowHelp, "1");
    Start({"help"});
    EXPECT_FALSE(FormMain->HelpPanel->isVisible());
}

TEST_F(MainWindowTest, LeavingThePlaylistPageStopsTheMix)
{
    Start();
    FormMain->FormActivate();
    const struct {
        int from, to;
    } cases[] = {{3, 0}, {3, 2}, {3, 3}, {0, 3}, {2, 0}, {0, 1}, {1, 2}};
    for (const auto& c : cases) {
        FormMain->Pages->setCurrentIndex(c.from);
        const bool fromPlaylist = c.from == PagePlaylistIndex;
        snl.WavProducer.Stopped = 0;
        snl.Playing = 0; // the sound thread then renders nothing: only the flags are looked at
        snl.WavProducer.WaitState = 2;
        FormMain->ShowPage(c.to);
        EXPECT_EQ(snl.WavProducer.Stopped == 1, fromPlaylist) << c.from << " -> " << c.to;
        EXPECT_EQ(snl.WavProducer.WaitState == 0, fromPlaylist) << c.from << " -> " << c.to;
        EXPECT_EQ(FormMain->navigation_panel->isVisible(), c.to != PageNewProjectIndex);
        EXPECT_EQ(FormMain->PlaylistEditorHighlight->isVisible(), c.to == PagePlaylistIndex);
        EXPECT_EQ(FormMain->LoopEditorHighlight->isVisible(), c.to == PageBinEditIndex);
    }
    FormTransition->show();
    FormMain->ShowPage(PageStartIndex);
    EXPECT_FALSE(FormTransition->isVisible());
}

TEST_F(MainWindowTest, SpacePlaysAndStopsOnThePlaylistPageOnly)
{
    AddRow(2);
    AddRow(2);
    StartWithoutOutputThread();
    Activate();
    QTest::keyClick(FormMain, Qt::Key_Space);
    EXPECT_EQ(snl.WavProducer.Stopped, 1) << "the start page has no play";

    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->OnChangeClick(nullptr);
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(1);
    EXPECT_EQ(snl.SelectedRow, 1);
    QTest::keyClick(FormMain, Qt::Key_Space);
    EXPECT_EQ(snl.WavProducer.Stopped, 0);
    EXPECT_EQ(snl.Playing, 1);
    EXPECT_FLOAT_EQ(snl.WavProducer.MainTime, 2.0f); // from the selected row
    WAIT_EQ(FormMain->PagePlaylist->PlaylistEdit->HighlightRow, 1);
    WAIT_TRUE(!FormMain->PagePlaylist->lbPosition->text().isEmpty());

    QTest::keyClick(FormMain, Qt::Key_Space);
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(snl.Playing, 0);
    WAIT_TRUE(FormMain->PagePlaylist->lbPosition->text().isEmpty());
    EXPECT_EQ(FormMain->PagePlaylist->lbTotalLength->text(), "4.0s");
    WAIT_EQ(FormMain->PagePlaylist->PlaylistEdit->HighlightRow, -1);
    const std::string log = ReadLog();
    EXPECT_TRUE(Contains(log, "Playlist Play\r\n") && Contains(log, "Playlist Stop\r\n"));
}

struct TriggerCase {
    int trigger;
    int waitState;
    bool keyIcon;
    const char* prompt;
};

class MainWindowTriggers : public MainWindowTest, public testing::WithParamInterface<TriggerCase> {};

TEST_P(MainWindowTriggers, HoldTheMixUntilReleased)
{
    const TriggerCase& c = GetParam();
    AddRow(0.3f);
    AddRow(2, c.trigger);
    Start();
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->OnChangeClick(nullptr);
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(0);
    FormMain->PlayClick();

    WAIT_EQ(snl.WavProducer.WaitState.load(), c.waitState);
    WAIT_TRUE(FormTrigger->isVisible());
    EXPECT_EQ(FormTrigger->IconAnyKey->isVisible(), c.keyIcon);
    EXPECT_EQ(FormTrigger->IconMouse->isVisible(), !c.keyIcon);
    EXPECT_EQ(FormTrigger->Label->text(), c.prompt);

    // The wrong action does nothing; the right one releases the mix.
    if (c.keyIcon) {
        QTest::mouseClick(FormTrigger->Image1, Qt::LeftButton);
        QTest::qWait(100);
        EXPECT_EQ(snl.WavProducer.WaitState, c.waitState);
        FormTrigger->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormTrigger));
        QTest::keyClick(FormTrigger, Qt::Key_Space);
    } else {
        QTest::mouseClick(FormTrigger->Image1, Qt::LeftButton);
    }
    WAIT_EQ(snl.WavProducer.WaitState.load(), 0);
    WAIT_TRUE(!FormTrigger->isVisible());
    EXPECT_EQ(snl.WavProducer.Stopped, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MainWindowTriggers, testing::Values(
    TriggerCase{TriggerMouse, 2, false, "Mix was stopped. Click with mouse to resume."},
    TriggerCase{TriggerKey, 1, true, "Mix was stopped. Press space bar to resume."}));

TEST_F(MainWindowTest, TimeDisplayModes)
{
    EXPECT_EQ(FormatMinutesSeconds(125.0f - 0.08f), "2m 4.9s");
    EXPECT_EQ(FormatMinutesSeconds(125.0f), "2m 5.0s");
    EXPECT_EQ(FormatMinutesSeconds(59.96f), "0m 60.0s");
    AddRow(125);
    Start();
    FormMain->TriggersTimer->stop();
    snl.WavProducer.Stopped = 0; // position shown as if playing; Playing stays 0, nothing renders
    snl.WavProducer.MainTime = 125.0f;
    for (uint8_t mode : {1, 0}) {
        snl.TimeDisplayMode = mode;
        FormMain->TriggersTimerTimer();
        EXPECT_EQ(FormMain->PagePlaylist->lbPosition->text(), mode ? "2m 4.9s" : "125.0s");
        EXPECT_EQ(FormMain->PagePlaylist->lbTotalLength->text(), mode ? "2m 5.0s" : "125.0s");
    }
    FormMain->Image12Click();
    EXPECT_EQ(snl.TimeDisplayMode, 1);
    snl.WavProducer.Stopped = 1;
    FormMain->TriggersTimerTimer();
    EXPECT_TRUE(FormMain->PagePlaylist->lbPosition->text().isEmpty());
    EXPECT_EQ(FormMain->PagePlaylist->lbTotalLength->text(), "2m 5.0s");
}

TEST_F(MainWindowTest, TriggerCommandsActOnTheSelectedRow)
{
    AddRow(2);
    AddRow(2, TriggerMouse);
    Start();
    snl.SelectedRow = 0;
    FormMain->MouseWaitDblClick();
    EXPECT_EQ(snl.mixdata.At(0)->trigger, TriggerMouse);
    FormMain->MouseWaitDblClick();
    EXPECT_EQ(snl.mixdata.At(0)->trigger, TriggerNone);
    snl.SelectedRow = 1;
    FormMain->KeyboardWaitDblClick();
    EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerKey);
    FormMain->PlaylistPopupPopup();
    EXPECT_TRUE(FormMain->PagePlaylist->TriggerKeyboard->isChecked());
    FormMain->TriggerNoneClick();
    EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerNone);
    snl.SelectedRow = 5; // no such row: nothing happens
    FormMain->TriggerMouseClick();
    FormMain->MouseWaitDblClick();
    EXPECT_EQ(snl.mixdata.At(0)->trigger, TriggerNone);
    EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerNone);
    FormMain->PlaylistPopupPopup();
    EXPECT_TRUE(FormMain->PagePlaylist->TriggerNone->isChecked());
}

TEST_F(MainWindowTest, CloseQuery)
{
    const struct {
        bool rows;
        bool closenoquery;
        uint8_t askOnClose;
        ui::MsgResult answer;
        bool asked;
        bool closes;
    } cases[] = {
        {false, false, 1, ui::MsgResult::No, false, true},
        {true, false, 1, ui::MsgResult::No, true, false},
        {true, false, 1, ui::MsgResult::Yes, true, true},
        {true, true, 1, ui::MsgResult::No, false, true},
        {true, false, 0, ui::MsgResult::No, false, true},
    };
    for (const auto& c : cases) {
        snl.mixdata.Clear();
        if (c.rows)
            AddRow(1);
        Start(c.closenoquery ? std::vector<std::string>{"closenoquery"} : std::vector<std::string>{});
        snl.AskOnClose = c.askOnClose;
        snl.FileName = "/some/project.snmx";
        messages.Clear();
        if (c.asked)
            messages.QueueAnswer(c.answer);
        EXPECT_EQ(FormMain->close(), c.closes) << &c - cases;
        const auto recorded = messages.Messages();
        ASSERT_EQ(recorded.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(recorded[0].text, "Close Sonorel. Are you sure?\r\nAll unsaved changes to current project will be lost.");
            EXPECT_EQ(recorded[0].caption, "Quit");
            EXPECT_EQ(recorded[0].buttons, ui::MsgButtons::YesNo);
        }
        EXPECT_EQ(ReadSettingString(LastProject), c.closes ? "/some/project.snmx" : "");
        WriteSettingString(LastProject, "");
        DestroyForms();
    }
    EXPECT_TRUE(Contains(ReadLog(), " Closed\r\n"));
}

TEST_F(MainWindowTest, ExceptionsReachTheHandlerAndTheProgramGoesOn)
{
    Start();
    EXPECT_FALSE(DeliverGuarded([]() -> bool { throw std::runtime_error("boom"); }));
    EXPECT_FALSE(DeliverGuarded([]() -> bool { throw 42; }));
    EXPECT_TRUE(DeliverGuarded([] { return true; }));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Unhandled application exception:\r\nboom",
                                                          "Unhandled application exception:\r\n"}));
    const std::string log = ReadLog();
    EXPECT_TRUE(Contains(log, " Exception: boom\r\n")) << log;
    EXPECT_TRUE(FormMain->isVisible());
}

TEST_F(MainWindowTest, NewProjectStopsTheMixBeforeTheRowsGo)
{
    AddRow(3);
    AddBin();
    Start();
    snl.FileName = "/a/project.snmx";
    FormMain->ProjSaveDialog.FileName = "/a/project.snmx";
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->PlayClick();
    ASSERT_EQ(snl.WavProducer.Stopped, 0);

    messages.QueueAnswer(ui::MsgResult::Cancel);
    FormMain->NewProject1Click();
    EXPECT_EQ(snl.mixdata.Count(), 1);
    EXPECT_EQ(snl.FileName, "/a/project.snmx");
    EXPECT_EQ(snl.WavProducer.Stopped, 0);

    messages.QueueAnswer(ui::MsgResult::Ok);
    FormMain->NewProject1Click();
    EXPECT_EQ(messages.Messages().back().text, "All unsaved data in current project will be lost. Continue?");
    EXPECT_EQ(messages.Messages().back().caption, "Start New Project");
    EXPECT_EQ(snl.WavProducer.Stopped, 1);
    EXPECT_EQ(snl.WavProducer.mixdata, nullptr);
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(snl.Bins.Count(), 0);
    EXPECT_TRUE(snl.FileName.empty() && FormMain->ProjSaveDialog.FileName.empty());
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageStartIndex);
}

TEST_F(MainWindowTest, StartsOnTheFirstParameterOrTheLastProject)
{
    AddRow(3);
    AddBin();
    const std::string project = sonorel_test::FixtureFolder() + "/start.snmx";
    snl.SaveToFile(project);
    snl.mixdata.Clear();
    snl.Bins.Clear();

    const struct {
        std::vector<std::string> parameters;
        const char* loadLast;
        std::string lastProject;
        bool loaded;
    } cases[] = {
        {{project}, "0", "", true},
        {{}, "1", project, true},
        {{}, "0", project, false},
        {{}, "1", "/no/such/project.snmx", false},
        {{"/no/such/file.snmx"}, "1", "", false},
    };
    for (const auto& c : cases) {
        WriteSettingString(LoadLast, c.loadLast);
        WriteSettingString(LastProject, c.lastProject);
        Start(c.parameters);
        EXPECT_EQ(snl.mixdata.Count(), c.loaded ? 1 : 0);
        EXPECT_EQ(FormMain->Pages->currentIndex(), c.loaded ? PagePlaylistIndex : PageStartIndex);
        EXPECT_EQ(FormMain->ProjSaveDialog.FileName, c.loaded ? project : "");
        EXPECT_EQ(FormMain->PageBinEdit->FilesList->count(), c.loaded ? 1 : 0);
        EXPECT_TRUE(messages.Texts().empty());
        snl.mixdata.Clear();
        snl.Bins.Clear();
        DestroyForms();
    }
}

TEST_F(MainWindowTest, ACorruptLastProjectIsReportedAndTheStartUpGoesOn)
{
    const std::string project = sonorel_test::FixtureFolder() + "/corrupt.snmx";
    sonorel_test::WriteBytes(project, "<Sonorel><mix><row name=\"a\" start=\"x");
    WriteSettingString(LoadLast, "1");
    WriteSettingString(LastProject, project);
    WriteSettingString(ShowHelp, "1");
    Start();
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_TRUE(Contains(messages.Texts()[0], "Unhandled application exception:\r\n")) << messages.Texts()[0];
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageStartIndex);
    EXPECT_TRUE(FormMain->HelpPanel->isVisible()) << "the steps after the project still ran";
}

TEST_F(MainWindowTest, HelpTestSwitch)
{
    const std::string page = sonorel_test::FixtureFolder() + "/help.html";
    std::ofstream(page) << "<p>help</p>";
    WriteHelpFile("general\n" + page + "#page\n");
    Start({"helptest"});
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Help Test passed:" + page + "\r\n"});
    DestroyForms();

    WriteHelpFile("general\n/no/such/page.html\n");
    SetCommandLine({"sonorel", "helptest", "close"});
    CreateForms();
    QSignalSpy closed(FormMain, &TFormMain::Closed);
    try {
        FormMain->FormActivate();
        ADD_FAILURE() << "no exception";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Test failed:/no/such/page.html");
    }
    EXPECT_EQ(closed.count(), 0); // the switches after it did not run
}

// Every window a switch opens is closed as it appears; the order of the windows is the switches'
// order, whatever the order on the command line.
TEST_F(MainWindowTest, WindowSwitchesRunTheirCommandsInOrder)
{
    AddRow(1.5f);
    AddRow(1.5f);
    AddBin();
    snl.SaveToFile(TestProjectPath());
    snl.mixdata.Clear();
    snl.Bins.Clear();
    std::vector<std::string> seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : {static_cast<QWidget*>(FormCDRip), static_cast<QWidget*>(FormMixView),
                                static_cast<QWidget*>(FormTransition), static_cast<QWidget*>(FormLoadRepository),
                                static_cast<QWidget*>(FormSaveToWav), static_cast<QWidget*>(FormRecord),
                                static_cast<QWidget*>(FormTransformation),
                                static_cast<QWidget*>(FormCDBurn)})
            if (window && window->isVisible()) {
                seen.push_back(window->metaObject()->className());
                window->close();
            }
    });
    poll.start();
    Start({"cdburn", "transformation", "record", "towav", "loadrepos", TestProjectPath(), "zoneedit", "transition", "mixview",
           "ide", "cdrip"});
    const std::vector<std::string> expected = {"TFormCDRip", "TFormMixView", "TFormTransition", "TFormLoadRepository",
                                               "TFormSaveToWav", "TFormRecord", "TFormTransformation", "TFormCDBurn"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(snl.mixdata.Count(), 2) << "\"ide\" loaded the test project";
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex) << "\"zoneedit\" came after \"ide\"";
    EXPECT_TRUE(FormMain->MixViewMenu->isVisible());
}

TEST_F(MainWindowTest, Openmp3StartsANewProjectThatTheLastProjectDoesNotReplace)
{
    AddRow(3);
    AddBin();
    const std::string project = sonorel_test::FixtureFolder() + "/last.snmx";
    snl.SaveToFile(project);
    WriteSettingString(LoadLast, "1");
    WriteSettingString(LastProject, project);
    snl.mixdata.Clear();
    snl.Bins.Clear();

    Start({"openmp3", ToneFile()});
    EXPECT_EQ(snl.mixdata.Count(), 0);
    ASSERT_EQ(snl.Bins.Count(), 1);
    EXPECT_EQ(snl.Bins.At(0)->filename, ToneFile());
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex);
    DestroyForms();

    // Without its value: the project is emptied, then the file is refused.
    AddRow(3);
    Start({"openmp3"});
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(snl.Bins.Count(), 0);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't open file. Wrong file name."});
}

TEST_F(MainWindowTest, IdeWithoutTheTestProjectSaysSoAndLeavesTheProjectEmpty)
{
    QFile::remove(QString::fromStdString(TestProjectPath()));
    Start({"ide"});
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"XML Load: file doesn't exist" + TestProjectPath()});
    EXPECT_EQ(snl.mixdata.Count(), 0);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PagePlaylistIndex);
}

TEST_F(MainWindowTest, TowavtestExportsOpensTheFileAndCloses)
{
    AddRow(1.5f);
    AddBin();
    const std::string project = sonorel_test::FixtureFolder() + "/export.snmx";
    snl.SaveToFile(project);
    QFile::remove(QString::fromStdString(TestWavPath()));
    Start({project, "towavtest", "closenoquery", "close"}, false);
    WAIT_TRUE(!FormMain->isVisible());
    ASSERT_TRUE(QFileInfo(QString::fromStdString(TestWavPath())).isFile());
    EXPECT_EQ(QFileInfo(QString::fromStdString(TestWavPath())).size(), 44 + 264600);
    EXPECT_EQ(opened.Targets(), std::vector<std::string>{TestWavPath()});
    EXPECT_TRUE(Contains(ReadLog(), " Out to wav\r\n"));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(MainWindowTest, AMovedProjectFolderPlaysAndExportsFromAThirdFolder)
{
    // One source inside the project's folder, one outside it, as Add From Disk names them.
    const fs::path made = sonorel_test::FixtureFolder();
    const fs::path outside = fs::path(sonorel_test::FixtureFolder()) / "outside.wav";
    sonorel_test::SignalSpec spec;
    spec.seconds = 2;
    fs::create_directories(made / "sources");
    for (const fs::path& file : {made / "sources" / "inside.wav", outside})
        ASSERT_TRUE(sonorel_test::WriteAudioFile(file.string(), sonorel_test::AudioFileKind::Wav,
                                                 sonorel_test::MakeSweepNoise(spec), 44100, 2));
    AddRow(1.5f);
    AddRow(1.5f);
    AddBin();
    snl.mixdata.At(0)->filename = snl.Bins.At(0)->filename = (made / "sources" / "inside.wav").string();
    snl.mixdata.At(1)->filename = outside.string();
    snl.SaveToFile((made / "mix.snmx").string());
    snl.mixdata.Clear();
    snl.Bins.Clear();
    const fs::path moved = fs::path(sonorel_test::FixtureFolder()) / "moved here";
    fs::rename(made, moved);
    const fs::path before = fs::current_path();
    const fs::path third = sonorel_test::FixtureFolder();
    fs::current_path(third);
    QFile::remove(QString::fromStdString(TestWavPath()));
    const fs::path given = fs::relative(moved / "mix.snmx", third);
    Start({given.string(), "towavtest", "closenoquery", "close"}, false);
    WAIT_TRUE(!FormMain->isVisible());
    fs::current_path(before);
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    EXPECT_EQ(snl.mixdata.At(0)->filename, (moved / "sources" / "inside.wav").string());
    EXPECT_EQ(snl.mixdata.At(1)->filename, outside.string());
    EXPECT_EQ(ReadSettingString(LastProject), (moved / "mix.snmx").string()) << "opened as " << given;
    const std::string wav = sonorel_test::ReadBytes(TestWavPath());
    const size_t rowBytes = 264600;
    ASSERT_EQ(wav.size(), 44u + 2 * rowBytes);
    for (size_t row = 0; row < 2; ++row) {
        const std::string_view sound = std::string_view(wav).substr(44 + row * rowBytes, rowBytes);
        EXPECT_NE(sound.find_first_not_of('\0'), std::string_view::npos) << "row " << row << " is silent";
    }
}

TEST_F(MainWindowTest, MissingSourcesAreNamedOnceAndTheirRowsStayShownAsMissing)
{
    AddRow(1.5f);
    AddRow(1.5f);
    AddRow(1.5f);
    AddBin();
    const std::string gone = sonorel_test::FixtureFolder() + "/unplugged drive/song.wav";
    snl.mixdata.At(1)->filename = snl.mixdata.At(2)->filename = snl.Bins.At(0)->filename = gone;
    const std::string project = sonorel_test::FixtureFolder() + "/missing.snmx";
    snl.SaveToFile(project);
    const std::string saved = sonorel_test::ReadBytes(project);
    snl.mixdata.Clear();
    snl.Bins.Clear();
    Start({project});
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{MissingSourcesMessage({gone})});
    ASSERT_EQ(snl.mixdata.Count(), 3);
    EXPECT_EQ(FormMain->PagePlaylist->PlaylistEdit->Grid->rowCount(), 3);
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->count(), 1);
    EXPECT_FALSE(snl.mixdata.At(0)->SourceMissing);
    EXPECT_TRUE(snl.mixdata.At(1)->SourceMissing && snl.mixdata.At(2)->SourceMissing);
    snl.SaveToFile(project);
    EXPECT_EQ(sonorel_test::ReadBytes(project), saved);
}

TEST_F(MainWindowTest, ALoadedProjectShowsTheRowPlayStartsFromSelected)
{
    AddRow(2);
    AddRow(2);
    AddRow(2);
    const std::string project = sonorel_test::FixtureFolder() + "/three.snmx";
    snl.SaveToFile(project);
    auto expectPlayFromTheSelectedFirstRow = [](const char* when) {
        const QModelIndexList selected = FormMain->PagePlaylist->PlaylistEdit->Grid->selectionModel()->selectedRows();
        ASSERT_EQ(selected.size(), 1) << when;
        EXPECT_EQ(selected[0].row(), 0) << when;
        EXPECT_EQ(snl.SelectedRow, 0) << when;
        FormMain->PlayClick();
        EXPECT_FLOAT_EQ(snl.WavProducer.MainTime, 0.0f) << when;
        FormMain->StopClick();
    };
    StartWithoutOutputThread({project});
    expectPlayFromTheSelectedFirstRow("at start-up");
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(2);
    FormMain->LoadProject(project);
    expectPlayFromTheSelectedFirstRow("after a row further down was selected");
}

TEST_F(MainWindowTest, DroppingATriggerPictureWhilePlayingIsRefused)
{
    AddRow(2);
    AddRow(2);
    snl.mixdata.At(0)->overlap = true;
    snl.mixdata.At(0)->overlaplen = 1;
    Start();
    FormMain->ShowPage(PagePlaylistIndex);
    FormMain->OnChangeClick(nullptr);
    FormMain->PagePlaylist->PlaylistEdit->Grid->SetRow(1);
    for (TSkinPicture* picture : {FormMain->PagePlaylist->MouseWait, FormMain->PagePlaylist->KeyboardWait}) {
        messages.Clear();
        snl.WavProducer.Stopped = 0; // only the flag is looked at
        FormMain->mixedit1DragDropClick(picture);
        snl.WavProducer.Stopped = 1;
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Can't drag and drop while playing."});
        EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerNone);
        EXPECT_TRUE(snl.mixdata.At(0)->overlap);
    }
    FormMain->mixedit1DragDropClick(FormMain->PagePlaylist->KeyboardWait);
    EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerKey);
    EXPECT_FALSE(snl.mixdata.At(0)->overlap);
}

TEST_F(MainWindowTest, CommandsNotBuiltYetAreDisabledAndSaySo)
{
    WriteHelpFile("general\nRip CD Track: copies tracks.#2 cdtrack\nRecord: records.#3\nBins: drag [BinDrag].#4\n");
    Start();
    int widgets = 0;
    for (const NotBuiltCommand& command : NotBuiltCommands(*FormMain)) {
        if (command.page) {
            // The page's text about the command is covered by a dimming shade that says why.
            const QList<QWidget*> shades = command.page->findChildren<QWidget*>("NotBuiltShade");
            const auto shade = std::find_if(shades.begin(), shades.end(), [&command](const QWidget* w) {
                return w->geometry() == command.textOnPage;
            });
            ASSERT_NE(shade, shades.end()) << command.name;
            EXPECT_EQ((*shade)->toolTip(), "Not built yet.") << command.name;
            EXPECT_FALSE((*shade)->isHidden()) << command.name;
        }
        if (!command.control)
            continue;
        auto* action = qobject_cast<QAction*>(command.control);
        auto* widget = qobject_cast<QWidget*>(command.control);
        ASSERT_TRUE(action || widget) << command.name;
        EXPECT_FALSE(action ? action->isEnabled() : widget->isEnabled()) << command.name;
        const QString tip = action ? action->toolTip() : widget->toolTip();
        EXPECT_TRUE(tip.startsWith("Not built yet.")) << command.name << ": " << tip.toStdString();
        if (widget)
            ++widgets;
    }
    EXPECT_GT(widgets, 0);
    EXPECT_EQ(FormMain->PagePlaylist->Image22->toolTip(), "Not built yet. general") << "a picture without a topic of its own";
    EXPECT_EQ(FormMain->HelpTopics.value(3), "Bins: drag (not built yet).");
    // The help panel says so too, and a click on a disabled picture does nothing.
    SetHelpContext(FormMain->PagePlaylist->Image22, 3);
    FormMain->HelpMouseMove(FormMain->PagePlaylist->Image22);
    EXPECT_EQ(FormMain->Help->toPlainText(), "Not built yet. Record: records.");
    QLabel working(FormMain);
    SetHelpContext(&working, 1);
    FormMain->HelpMouseMove(&working);
    EXPECT_EQ(FormMain->Help->toPlainText(), "general");
    bool clicked = false;
    FormMain->PagePlaylist->Image22->OnClick = [&clicked] { clicked = true; };
    QTest::mouseClick(FormMain->PagePlaylist->Image22, Qt::LeftButton);
    EXPECT_FALSE(clicked);
    // Commands that work stay enabled.
    for (QWidget* working : {static_cast<QWidget*>(FormMain->PagePlaylist->Play), static_cast<QWidget*>(FormMain->loadproj),
                             static_cast<QWidget*>(FormMain->PagePlaylist->ToWav), static_cast<QWidget*>(FormMain->PagePlaylist->MouseWait)})
        EXPECT_TRUE(working->isEnabled()) << working->objectName().toStdString();
}

TEST_F(MainWindowTest, HelpMarksOnlyCommandsThatAreNotBuiltYet)
{
    // A mark left behind when its command was built would tell the user it is still missing.
    Start();
    std::vector<std::string> names;
    for (const NotBuiltCommand& command : NotBuiltCommands(*FormMain))
        names.push_back(command.name);
    const fs::path shipped = ShippedHelpFolder();
    auto expectListed = [&](const fs::path& file, const std::string& opening, char closing) {
        const std::string text = sonorel_test::ReadBytes(file.string());
        for (size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
            const size_t from = at + opening.size();
            const size_t to = text.find(closing, from);
            const std::string name = text.substr(from, to - from);
            if (closing == ']' && name.find_first_of(" \n") != std::string::npos)
                continue; // brackets around text, not a mark
            EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << file.filename() << " marks " << name;
        }
    };
    for (const auto& entry : fs::directory_iterator(shipped / "html"))
        expectListed(entry.path(), "<span class=\"notbuilt\" title=\"", '"');
    expectListed(shipped / "help.txt", "[", ']');
}

TEST_F(MainWindowTest, ShippedHelpHasEveryTopicAndItsPages)
{
    const fs::path shipped = ShippedHelpFolder();
    std::ifstream in(shipped / "help.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 39u);
    for (const std::string& line : lines) {
        const std::string topic = line.substr(0, line.find('#'));
        EXPECT_FALSE(topic.empty()) << line;
        if (topic.rfind("<APPDIR>/", 0) == 0) {
            EXPECT_TRUE(fs::is_regular_file(shipped / topic.substr(9))) << topic;
        }
    }
    // Add From Disk's topic names every kind of file the sound layer opens.
    auto upper = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), ::toupper);
        return text;
    };
    const std::string addFromDisk = upper(lines[3]);
    for (const std::string& extension : BASS_GetFileExtensions())
        EXPECT_NE(addFromDisk.find(upper(extension)), std::string::npos) << extension << " in " << lines[3];
}

} // namespace
