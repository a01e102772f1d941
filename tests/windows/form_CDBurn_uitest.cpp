// The CD-burn wizard over the simulated burner: the refusals of its steps, the exact log of the
// burn for the test switches and bad discs, what it writes and ejects, and that it lets go of its
// drives and keeps its window while it burns.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

#include "GraphControls/class_SkinPicture.h"
#include "disc/class_BurnLog.h"
#include "windows/form_CDBurn.h"
#include "model/class_Switches.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/simulated_burner.h"

using namespace sonorel_test;

namespace {

std::vector<std::string> LogLines(const TFormCDBurn& form)
{
    std::vector<std::string> lines;
    for (const QString& line : form.Log->toPlainText().split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

class CDBurnWizardTest : public testing::Test {
protected:
    void SetUp() override
    {
        CDevice::PollIntervalMs = 0;
        SetCommandLine({"sonorel"});
        image = FixtureFolder() + "/image.wav";
        sim.drives = {SimulatedDrive{}};
        form = new TFormCDBurn;
        // Stands in for the main window's render: one second of audio where the image goes.
        form->OnImageRender = [this](QObject* sender) {
            EXPECT_EQ(sender, form);
            ++renders;
            EXPECT_FALSE(form->UpdateTimer->isActive());
            if (renderMakesImage) {
                WriteAudioFile(image, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2);
                form->ImageFileName = image;
            }
        };
    }
    void TearDown() override
    {
        delete form;
        EXPECT_EQ(sim.grabbed, 0) << "no drive stays grabbed";
    }

    // Shows the wizard and walks it to the step given (0..3); the last step burns.
    void WalkTo(int step)
    {
        form->show();
        for (int i = 0; i < step; ++i)
            form->NextClick();
    }

    SimulatedBurner sim;
    ui::MessageRecorder messages;
    TFormCDBurn* form = nullptr;
    std::string image;
    bool renderMakesImage = true;
    int renders = 0;
};

} // namespace

TEST(CDBurnWizard, MediaTexts)
{
    struct Case {
        TMediaType code;
        const char* text;
    } cases[] = {{0, "Uknown"}, {10, "CDROM"}, {3, "CD-RW"}, {8, "DVD-RW"}, {13, "DVD+R"}, {14, "No disc in drive"},
                 {15, "Media Type Unknown"}, {200, "Media Type Unknown"}};
    for (const Case& c : cases)
        EXPECT_STREQ(TFormCDBurn::MediaText(c.code), c.text) << int(c.code);
}

TEST_F(CDBurnWizardTest, StepsRefuseWithTheirMessages)
{
    struct Case {
        const char* name;
        std::function<void(SimulatedBurner&)> script;
        int clicks;    // on Next
        int stoppedAt; // the step the wizard is on then
        std::string message;
    } cases[] = {
        {"no burner", [](SimulatedBurner& s) { s.drives.clear(); }, 1, 0, "No CD burners found for this interface."},
        {"a used CD-R", [](SimulatedBurner& s) { s.drives[0].disc.status = burner::DiscComplete; s.drives[0].disc.next.nwaValid = false; }, 2, 1, "Media is not blank."},
        {"no disc", [](SimulatedBurner& s) { s.drives[0].disc.media = burner::MediaEmpty; }, 2, 1, "Media is not blank."},
        {"blank DVD-R", [](SimulatedBurner& s) { s.drives[0].disc.media = burner::MediaDvdR; }, 2, 1, "Only CD-R or CD-RW allowed."},
        {"blank CD-RW", [](SimulatedBurner& s) { s.drives[0].disc.media = burner::MediaCdRw; }, 2, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.drives = {SimulatedDrive{}};
        c.script(sim);
        messages.Clear();
        form->close();
        WalkTo(c.clicks);
        EXPECT_EQ(form->Step(), c.stoppedAt);
        EXPECT_EQ(messages.Texts(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    }
}

TEST_F(CDBurnWizardTest, BurnerListAndSpeedStep)
{
    sim.drives[0].writeSpeeds = {706, 1411, 2822};
    SimulatedDrive used;
    used.address.path = "/dev/sr1";
    used.disc = {burner::MediaCdR, burner::DiscComplete, true, {2, false, false, 0, 0}, {true, false, 1, {0, 512 * 1024}}};
    SimulatedDrive empty;
    empty.address.path = "/dev/sr2";
    empty.disc.media = burner::MediaEmpty;
    sim.drives.push_back(used);
    sim.drives.push_back(empty);
    WalkTo(1);
    ASSERT_EQ(form->DeviceLV->topLevelItemCount(), 3);
    auto cell = [&](int row, int column) { return form->DeviceLV->topLevelItem(row)->text(column).toStdString(); };
    EXPECT_EQ(cell(0, 0), "SONOREL SIMULATED WRITER1.00");
    EXPECT_EQ(cell(0, 1), "CD-R");
    EXPECT_EQ(cell(0, 2), "Blank");
    EXPECT_EQ(cell(1, 2), "1,024.00"); // 512 Ki blocks of 2048 bytes
    EXPECT_EQ(cell(2, 1), "Empty");
    EXPECT_EQ(cell(2, 2), "");
    EXPECT_TRUE(form->UpdateTimer->isActive());

    form->NextClick();
    ASSERT_EQ(form->Step(), 2);
    EXPECT_FALSE(form->UpdateTimer->isActive()) << "the list refreshes only while a burner is chosen";
    ASSERT_EQ(form->speed_combo->count(), 3);
    EXPECT_EQ(form->speed_combo->itemText(0), "4.0x");
    EXPECT_EQ(form->speed_combo->currentText(), "16.0x");
    EXPECT_TRUE(form->Burn->isVisible());
    EXPECT_FALSE(form->Next->isVisible());

    form->BackClick();
    EXPECT_EQ(form->Step(), 1);
    EXPECT_TRUE(form->Next->isVisible());
    EXPECT_FALSE(form->Burn->isVisible());

    // The burners went while the list was shown: the refresh empties it, Next refuses.
    sim.drives.clear();
    form->UpdateTimerTimer();
    EXPECT_EQ(form->DeviceLV->topLevelItemCount(), 0);
    form->NextClick();
    EXPECT_EQ(form->Step(), 1);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"No CD burners found for this interface."});
    form->close();
    EXPECT_EQ(sim.grabbed, 0) << "closing lets go of the drives";
}

TEST_F(CDBurnWizardTest, BurnLogForSwitchSetsAndDiscs)
{
    const std::vector<std::string> head{"Interface: SPTI", "CD Drive: SONOREL SIMULATED WRITER", "Media Type: CD-R"};
    auto with = [&head](std::vector<std::string> tail) {
        std::vector<std::string> all = head;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    const std::vector<std::string> rendered{"Speed: 52.0x", "Rendering cd image...", "Rendering: 0%"};
    auto after = [&](std::vector<std::string> lead, std::vector<std::string> tail) {
        std::vector<std::string> all = with(lead);
        all.insert(all.end(), rendered.begin(), rendered.end());
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    struct Case {
        const char* name;
        std::vector<std::string> switches;
        std::function<void(SimulatedDrive&)> script;
        std::vector<std::string> log;
        size_t writes;
        size_t ejects;
        bool imageKept;
    } cases[] = {
        {"a burn", {}, [](SimulatedDrive&) {},
         after({"Found blank media."}, {"Burning", "Deleting temporary cd image file.", "Success!"}), 1, 1, false},
        {"noburning leavetemp", {"noburning", "leavetemp"}, [](SimulatedDrive&) {},
         after({"Found blank media."}, {"Success!"}), 0, 1, true},
        {"emulateburnerror", {"emulateburnerror"}, [](SimulatedDrive&) {},
         after({"Found blank media."}, {"Burning", "Deleting temporary cd image file.", "Failure. Burning error."}), 0, 0, false},
        {"burnemulate noeject", {"burnemulate", "noeject"}, [](SimulatedDrive&) {},
         after({"Found blank media."}, {"Burning", "Deleting temporary cd image file.", "Success!"}), 1, 0, false},
        {"the write fails", {}, [](SimulatedDrive& d) { d.writesWell = false; },
         after({"Found blank media."}, {"Burning", "Deleting temporary cd image file.", "Failure. Burning error."}), 1, 0, false},
        {"a used disc", {}, [](SimulatedDrive& d) { d.disc.status = burner::DiscComplete; d.disc.next.nwaValid = false; d.disc.toc.trackStarts = {0, 1024}; },
         with({"2.00 MB", "ERROR: Media is not blank."}), 0, 0, false},
        {"a used disc, nocdchecking", {"nocdchecking"}, [](SimulatedDrive& d) { d.disc.status = burner::DiscComplete; d.disc.next.nwaValid = false; },
         after({}, {"Burning", "Deleting temporary cd image file.", "Success!"}), 1, 1, false},
        {"no disc", {}, [](SimulatedDrive& d) { d.disc.media = burner::MediaEmpty; },
         {"Interface: SPTI", "CD Drive: SONOREL SIMULATED WRITER", "Media Type: No disc in drive", "ERROR: Insert empty CD-R or CD-RW."}, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> commandLine{"sonorel"};
        commandLine.insert(commandLine.end(), c.switches.begin(), c.switches.end());
        SetCommandLine(commandLine);
        sim.drives = {SimulatedDrive{}};
        c.script(sim.drives[0]);
        sim.jobs.clear();
        sim.ejected.clear();
        QFile::remove(QString::fromStdString(image));
        CDevice::FindSPTIDevices();
        BurnerList[0]->RefreshMedia();
        form->FillSpeeds();
        form->Log->clear();
        form->BurnProject();
        EXPECT_EQ(LogLines(*form), c.log);
        EXPECT_EQ(sim.jobs.size(), c.writes);
        EXPECT_EQ(sim.ejected.size(), c.ejects);
        EXPECT_EQ(QFile::exists(QString::fromStdString(image)), c.imageKept);
        if (!sim.jobs.empty()) {
            EXPECT_EQ(sim.jobs[0].simulate, c.name == std::string("burnemulate noeject"));
            EXPECT_EQ(sim.jobs[0].tracks[0].wavPath, image);
        }
        BurnerList.clear();
    }
}

TEST_F(CDBurnWizardTest, NoImageIsNeverBurned)
{
    // A render that made nothing, with the image of an earlier "leavetemp" burn still on disk.
    ASSERT_TRUE(WriteAudioFile(image, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2));
    form->ImageFileName = image;
    renderMakesImage = false;
    CDevice::FindSPTIDevices();
    form->BurnProject();
    EXPECT_EQ(LogLines(*form).back(), "Failure. Burning error.");
    EXPECT_TRUE(sim.jobs.empty());
    EXPECT_TRUE(sim.ejected.empty());
}

TEST_F(CDBurnWizardTest, EmptySpeedListBurnsAtTheMaximum)
{
    sim.drives[0].writeSpeeds.clear();
    CDevice::FindSPTIDevices();
    form->BurnProject();
    const std::vector<std::string> lines = LogLines(*form);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Speed: max"), lines.end());
    EXPECT_EQ(lines.back(), "Success!");
    EXPECT_EQ(sim.speedGoals.back(), 0);
}

TEST_F(CDBurnWizardTest, NoBurnerAndNoSelection)
{
    sim.drives.clear();
    CDevice::FindSPTIDevices();
    form->BurnProject();
    EXPECT_EQ(LogLines(*form), std::vector<std::string>{"ERROR:Recording driver wasn't found"});

    // Burners but no row selected: the first burner burns.
    sim.drives = {SimulatedDrive{}};
    CDevice::FindSPTIDevices();
    form->Log->clear();
    form->BurnProject();
    EXPECT_EQ(LogLines(*form).back(), "Success!");
}

TEST_F(CDBurnWizardTest, BurnStepKeepsItsWindowAndRegistersOneSink)
{
    const size_t sinks = LogSinkCount();
    bool stillOpen = false;
    form->OnImageRender = [&](QObject*) {
        form->close(); // refused while the burn runs
        QTest::keyClick(form, Qt::Key_Escape);
        stillOpen = form->isVisible();
        WriteAudioFile(image, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2);
        form->ImageFileName = image;
    };
    WalkTo(3);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(form->Step(), 3);
    EXPECT_TRUE(form->CloseBtn->isVisible());
    EXPECT_FALSE(form->Cancel->isVisible());
    EXPECT_EQ(form->Progress->value(), 100);
    EXPECT_EQ(LogLines(*form).back(), "Success!");
    form->CancelClick(); // nothing on the burn step
    EXPECT_TRUE(form->isVisible());
    form->CloseBtnClick();
    EXPECT_FALSE(form->isVisible());

    const size_t afterFirst = LogSinkCount();
    EXPECT_EQ(afterFirst, sinks + 1);
    WalkTo(3);
    EXPECT_EQ(LogSinkCount(), afterFirst) << "a second burn adds no sink";
    EXPECT_EQ(sim.jobs.size(), 2u);
}

TEST_F(CDBurnWizardTest, ProgressLinesMoveTheBar)
{
    CDevice::FindSPTIDevices();
    AddLogSink(&TFormCDBurn::OnRenderProgress, form, 0);
    struct Case {
        const char* line;
        int value;
    } cases[] = {{"42% ", 42}, {"no percent", 42}, {"7% ", 7}, {"x% ", 0}, {"%", 0}};
    for (const Case& c : cases) {
        LogPrintf(0, 0, "%s", c.line);
        EXPECT_EQ(form->Progress->value(), c.value) << c.line;
    }
}

// Under xvfb-run with SONOREL_SCREENSHOT_DIR set, the four steps are saved as pictures to look at.
TEST_F(CDBurnWizardTest, PicturesOfTheFourSteps)
{
    SimulatedDrive used;
    used.address.path = "/dev/sr1";
    used.identity = {"PLEXTOR ", "DVDR   PX-760A  ", "1.07", 2 * 1024 * 1024};
    used.disc = {burner::MediaCdR, burner::DiscComplete, true, {2, false, false, 0, 0}, {true, false, 1, {0, 310000}}};
    sim.drives.push_back(used);
    std::vector<QImage> pictures;
    form->OnImageRender = [&](QObject*) {
        form->ReplaceLastLogLine("Rendering: 63%");
        pictures.push_back(form->grab().toImage()); // the burn step while it renders
        WriteAudioFile(image, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2);
        form->ImageFileName = image;
    };
    form->show();
    pictures.push_back(form->grab().toImage());
    form->NextClick();
    pictures.push_back(form->grab().toImage());
    form->NextClick();
    pictures.push_back(form->grab().toImage());
    form->NextClick(); // the render takes its picture
    pictures.push_back(form->grab().toImage());
    ASSERT_EQ(pictures.size(), 5u);
    const char* names[] = {"interface", "burner", "speed", "rendering", "done"};
    for (size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_EQ(pictures[i].size(), QSize(500, 300));
        if (const char* dir = getenv("SONOREL_SCREENSHOT_DIR"))
            pictures[i].save(QString(dir) + "/cdburn_" + names[i] + ".png");
    }
}
