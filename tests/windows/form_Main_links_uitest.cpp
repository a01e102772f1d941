// The user's way from the main window's navigation through the CD rip and record wizards back to
// the zone editor: image drives, a loopback CDDB server, the real `lame` and the manual sound input.

#include "AudioControls/class_AudioView.h"
#include "GraphControls/class_SkinPicture.h"
#include "disc/class_CDDB.h"
#include "windows/form_CDRip.h"
#include "windows/form_Record.h"
#include "model/class_Folders.h"
#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundRecord.h"
#include "support/cd_images.h"
#include "support/cddb_server.h"
#include "support/ui_waits.h"
#include "editor_fixture.h"
#include "windows/frame_reposedit.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTableWidget>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace sonorel_test;

// Every file under a folder, recursively (none when the folder is missing).
std::vector<std::string> FilesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    return files;
}

std::vector<std::string> BinFiles()
{
    std::vector<std::string> files;
    for (int i = 0; i < snl.Bins.Count(); ++i)
        files.push_back(snl.Bins.At(i)->filename);
    return files;
}

class WizardLinksTest : public editor_test::EditorTest {
protected:
    void SetUp() override
    {
        // The tests empty the rip and record folders, which lie in the test program's own fresh home.
        for (const std::string& folder : {GetCDRipFolder(), GetDocumentsFolder() + "/CD Rip", GetRecordFolder()})
            for (const auto& entry : fs::directory_iterator(folder, ignored))
                fs::remove_all(entry.path());
        CDDBServer = {"127.0.0.1", server.Port()};
        BASS_ManualInputEnable(true);
        EditorTest::SetUp();
        // Each addition of a source ends in the project's change callback: note when, and with how many bins.
        const auto refresh = snl.OnChange;
        snl.OnChange = [this, refresh](QObject* sender) {
            changes.push_back({snl.Bins.Count(), clock.elapsed()});
            refresh(sender);
        };
        clock.start();
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        BASS_RecordFree();
        BASS_ManualInputEnable(false);
        CDDBServer = {};
    }

    TAudioView* View() { return FormMain->PageBinEdit->LoopView; }

    // Clicks "Rip CD" on the navigation; inside the wizard waits for the disc's tracks, clicks
    // the rows of `marks` and then runs `finish` (a rip or the close button).
    void RipThroughTheWizard(int tracks, std::vector<int> marks, std::function<void()> finish)
    {
        QTimer::singleShot(0, FormCDRip, [=] {
            QTableWidget* grid = FormCDRip->cdtracks;
            const bool loaded = WaitUntil([=] { return grid->rowCount() == tracks && grid->item(0, 2) &&
                                                      !grid->item(0, 2)->text().isEmpty(); });
            EXPECT_TRUE(loaded) << "the disc watch loads the disc in the drive";
            for (int row : marks) {
                const QPoint at(20, grid->rowViewportPosition(row) + grid->rowHeight(row) / 2);
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
            }
            finish();
        });
        QTest::mouseClick(FormMain->cdtrack, Qt::LeftButton);
    }

    // The zone editor shows the last bin, selected in the source list.
    void ExpectLastBinShown()
    {
        ASSERT_GT(snl.Bins.Count(), 0);
        const int last = snl.Bins.Count() - 1;
        EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex);
        EXPECT_EQ(FormMain->PageBinEdit->FilesList->count(), snl.Bins.Count());
        EXPECT_EQ(FormMain->PageBinEdit->FilesList->currentRow(), last);
        EXPECT_EQ(FormMain->PageBinEdit->bingrid->data, snl.Bins.At(last));
        EXPECT_EQ(View()->FileName(), snl.Bins.At(last)->filename);
        EXPECT_FALSE(View()->FileLocked);
    }

    struct Change {
        int bins;
        qint64 ms;
    };
    std::error_code ignored;
    CddbServer server;
    ScopedImageDrives drives;
    std::vector<Change> changes;
    QElapsedTimer clock;
};

TEST_F(WizardLinksTest, RippedTracksBecomeOneBinEachAndTheLastIsShown)
{
    FormMain->OpenSourceFile(editor_test::SongFile(), true); // a source the project already has
    drives.Add(MakeCdImage(FixtureFolder(), "album", {{1.0, false, 1}, {1.5, false, 2}, {2.0, false, 3}}));
    server.AddDisc({"rock", TCDRipper::GetCDID(0).substr(0, 8), "The Band / First Album", {"Intro", "Walk", "Coda"}});
    changes.clear();
    RipThroughTheWizard(3, {0, 2}, [] { QTest::mouseClick(FormCDRip->RipMarked, Qt::LeftButton); });

    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    const CDRipResult rip = FormCDRip->Result();
    ASSERT_EQ(rip.files.size(), 2u);
    EXPECT_EQ(fs::path(rip.files[0]).filename(), "The Band - First Album - Intro.mp3");
    EXPECT_EQ(fs::path(rip.files[1]).filename(), "The Band - First Album - Coda.mp3");
    EXPECT_EQ(BinFiles(), (std::vector<std::string>{editor_test::SongFile(), rip.files[0], rip.files[1]}));
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(snl.Bins.At(i)->title, fs::path(rip.files[i - 1]).filename().string()) << "untagged: the file name";
        EXPECT_EQ(snl.Bins.At(i)->Items.Count(), 0);
    }
    ExpectLastBinShown();
    // Between two files the window pauses, so that each file's waveform is prepared in turn.
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].bins, 2);
    EXPECT_EQ(changes[1].bins, 3);
    EXPECT_GE(changes[1].ms - changes[0].ms, 500);

    // Opened again and closed: the earlier rip is not added a second time.
    RipThroughTheWizard(3, {}, [] { QTest::mouseClick(FormCDRip->Image1, Qt::LeftButton); });
    EXPECT_EQ(snl.Bins.Count(), 3);
    EXPECT_EQ(FilesUnder(GetCDRipFolder()).size(), 2u);
}

TEST_F(WizardLinksTest, AOneFileRipBecomesOneBinWithAZonePerTrackAtTheTrackEnds)
{
    SetCommandLine({"sonorel", "nocddb"});
    drives.Add(MakeCdImage(FixtureFolder(), "three", {{2.0, false, 1}, {3.0, false, 2}, {1.0, false, 3}}));
    RipThroughTheWizard(3, {}, [] {
        FormCDRip->CDTitle->setText("Three");
        QTest::mouseClick(FormCDRip->RipOneBin, Qt::LeftButton); // nothing marked: every track
    });

    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    EXPECT_TRUE(server.Requests().empty()) << "no lookup with the switch";
    const CDRipResult rip = FormCDRip->Result();
    ASSERT_EQ(rip.files.size(), 1u);
    ASSERT_EQ(rip.trackEnds.size(), 3u);
    EXPECT_NEAR(rip.trackEnds[0], 1.97, 1e-4);
    EXPECT_NEAR(rip.trackEnds[1], 4.97, 1e-4);
    EXPECT_NEAR(rip.trackEnds[2], 6.0, 1e-4);
    ASSERT_EQ(snl.Bins.Count(), 1);
    const cBin& bin = *snl.Bins.At(0);
    EXPECT_EQ(bin.filename, rip.files[0]);
    EXPECT_EQ(bin.title, "Three - onebin.mp3");
    ASSERT_EQ(bin.Items.Count(), 3);
    float start = 0;
    for (int i = 0; i < 3; ++i) {
        const cBinItem& zone = *bin.Items.At(i);
        EXPECT_EQ(zone.title, "Three - onebin.mp3 #" + std::to_string(i + 1));
        EXPECT_EQ(zone.filename, rip.files[0]);
        EXPECT_EQ(zone.start, start) << "zone " << i;
        EXPECT_EQ(zone.length, rip.trackEnds[i] - start) << "zone " << i;
        start = rip.trackEnds[i];
    }
    ExpectLastBinShown();
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->rowCount(), 3);
    EXPECT_EQ(View()->Zones.Count(), 4) << "the selection zone and one zone per track";
    // The zones come after the file's pause, in one refresh.
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_GE(changes[1].ms - changes[0].ms, 500);
}

TEST_F(WizardLinksTest, ClosingTheRipWizardAddsNothing)
{
    FormMain->OpenSourceFile(editor_test::SongFile(), true);
    drives.Add(MakeCdImage(FixtureFolder(), "closed", {{1.0, false, 1}, {1.0, false, 2}, {1.0, false, 3}}));
    changes.clear();
    RipThroughTheWizard(3, {1}, [] { QTest::mouseClick(FormCDRip->Image1, Qt::LeftButton); });
    EXPECT_EQ(BinFiles(), std::vector<std::string>{editor_test::SongFile()});
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(View()->FileName(), editor_test::SongFile());
    EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty());
    EXPECT_TRUE(FilesUnder(GetDocumentsFolder() + "/CD Rip").empty());
}

// Runs `then` once the recorder has handed every pushed sample to the encoder; it waits by timer,
// so that the encoder's loop, which the wizard runs inside the start click, goes on pulling.
void WhenDrained(std::function<void()> then)
{
    if (FormRecord->RecorderNode1.Recorded() == 0)
        then();
    else
        QTimer::singleShot(10, FormRecord, [then] { WhenDrained(then); });
}

// Clicks "Record My Own"; inside the wizard starts a recording, feeds it a 440 Hz tone and, once
// the encoder has taken it all, clicks `finish` (done or cancel) while still recording.
void RecordThroughTheWizard(double seconds, TSkinPicture* TFormRecord::*finish)
{
    QTimer::singleShot(0, FormRecord, [=] {
        QTimer::singleShot(0, FormRecord, [=] {
            const std::vector<int16_t> tone = MakeTone(440, {editor_test::kRate, 2, seconds}, 0.5);
            EXPECT_EQ(BASS_ManualInputPush(tone.data(), uint32_t(tone.size() * 2)), tone.size() * 2);
            WhenDrained([finish] {
                EXPECT_TRUE(FormRecord->IsRecording());
                QTest::mouseClick(FormRecord->*finish, Qt::LeftButton);
            });
        });
        QTest::mouseClick(FormRecord->Image4, Qt::LeftButton); // start: records until done or cancel
    });
    QTest::mouseClick(FormMain->record, Qt::LeftButton);
}

TEST_F(WizardLinksTest, ARecordingBecomesTheSelectedSourceAndACancelledOneLeavesNothing)
{
    FormMain->OpenSourceFile(editor_test::SongFile(), true);
    RecordThroughTheWizard(0.5, &TFormRecord::Image3);
    const std::string recorded = GetRecordFolder() + "/Record 1.mp3";
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    EXPECT_TRUE(fs::exists(recorded));
    EXPECT_EQ(BinFiles(), (std::vector<std::string>{editor_test::SongFile(), recorded}));
    EXPECT_EQ(snl.Bins.At(1)->title, "Record 1.mp3");
    ExpectLastBinShown();
    EXPECT_GT(View()->LenSec(), 0.4);

    changes.clear();
    RecordThroughTheWizard(0.5, &TFormRecord::Image2);
    EXPECT_EQ(snl.Bins.Count(), 2);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(FilesUnder(GetRecordFolder()), std::vector<std::string>{recorded}) << "the cancelled file is gone";
    EXPECT_EQ(View()->FileName(), recorded);

    // Done before any sound came in: no file to open, so nothing is added and nothing is said.
    RecordThroughTheWizard(0, &TFormRecord::Image3);
    EXPECT_EQ(snl.Bins.Count(), 2);
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    EXPECT_EQ(FilesUnder(GetRecordFolder()), std::vector<std::string>{recorded});
}

} // namespace
