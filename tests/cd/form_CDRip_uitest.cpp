// The CD rip window on image drives, with the real `lame` and a loopback CDDB server: the files a
// rip makes and their names, the one-file track ends, abort, read errors, failed encoders and
// lookups, and the disc watch.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "cd/class_CDDB.h"
#include "cd/class_HTTPQuery.h"
#include "cd/form_CDRip.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundCD.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"
#include "support/cddb_server.h"
#include "support/quick_http_timeouts.h"
#include "support/ui_waits.h"

using namespace sonorel_test;
namespace fs = std::filesystem;

namespace {

constexpr double kMp3FrameSeconds = 1152.0 / 44100;

// Seconds of sound in an MP3 (through the layer's gapless decoder).
double Mp3Seconds(const std::string& path)
{
    const BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!stream)
        return -1;
    const double seconds = BASS_ChannelGetLength(stream) / 176400.0;
    BASS_StreamFree(stream);
    return seconds;
}

// Every file under a folder, recursively.
std::vector<std::string> FilesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    return files;
}

// With SONOREL_SCREENSHOT_DIR set, saves a picture of the window there for a look.
void SaveIfAsked(QWidget& window, const char* name)
{
    const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(QString::fromUtf8(dir));
    EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/" + name));
}

class CDRipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CDDBServer = {"127.0.0.1", server.Port()};
        SetCommandLine({"sonorel"});
        fs::remove_all(GetCDRipFolder());
        fs::remove_all(GetDocumentsFolder() + "/CD Rip");
    }
    void TearDown() override
    {
        BASS_CD_SimulateReadFaults({});
        HTTPQueryTimeouts = {};
        CDDBServer = {};
        SetCommandLine({"sonorel"});
    }
    // Shows the window on the image drive and loads its disc.
    void Open(const CdImage& image)
    {
        const int drive = drives.Add(image);
        form.show();
        form.ComboBox1->setCurrentIndex(drive);
        form.ComboBox1Change();
    }
    void Mark(std::initializer_list<int> tracks)
    {
        for (int t : tracks)
            form.CDRipper1.TrackMarks[t] = true;
    }
    std::vector<std::string> GridColumn(int column)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < form.cdtracks->rowCount(); ++row)
            texts.push_back(form.cdtracks->item(row, column)->text().toStdString());
        return texts;
    }
    // The window is back at rest after a rip, whatever its end.
    void ExpectIdle()
    {
        EXPECT_FALSE(TFormCDRip::Busy());
        EXPECT_TRUE(form.ComboBox1->isEnabled());
        EXPECT_TRUE(form.cdtracks->isEnabled());
        EXPECT_TRUE(form.CDTitle->isEnabled());
        EXPECT_TRUE(form.Abort->isHidden());
        EXPECT_TRUE(form.ProgressBar1->isHidden());
    }

    ui::MessageRecorder messages;
    CddbServer server;
    ScopedImageDrives drives;
    const std::string folder = FixtureFolder();
    TFormCDRip form;
};

TEST_F(CDRipTest, SeparateFilesAreNamedFromTheTitleAndHoldTheirTracks)
{
    const CdImage image = MakeCdImage(folder, "album", {{1.0, false, 1}, {2.0, false, 2}, {1.5, false, 3}, {2.6, false, 4}});
    Open(image);
    EXPECT_EQ(GridColumn(1), (std::vector<std::string>{"track 1", "track 2", "track 3", "track 4"}));
    EXPECT_EQ(GridColumn(2), (std::vector<std::string>{"0:01.0", "0:02.0", "0:01.5", "0:02.6"}));
    form.CDTitle->setText("Album");
    Mark({1, 3});
    form.RipSepClick();

    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.Texts().empty()) << messages.Texts()[0];
    const CDRipResult result = form.Result();
    ASSERT_EQ(result.files.size(), 2u);
    EXPECT_FALSE(result.oneBin);
    const fs::path stamped = fs::path(result.files[0]).parent_path();
    EXPECT_EQ(stamped.parent_path(), fs::path(GetCDRipFolder()));
    EXPECT_EQ(fs::path(result.files[0]).filename(), "Album - track 2.mp3");
    EXPECT_EQ(fs::path(result.files[1]).filename(), "Album - track 4.mp3");
    EXPECT_NEAR(Mp3Seconds(result.files[0]), 2.0, kMp3FrameSeconds);
    EXPECT_NEAR(Mp3Seconds(result.files[1]), 2.6, kMp3FrameSeconds);
    ExpectIdle();
    EXPECT_EQ(form.CDRipper1.NeedleTrack(), 3);
    EXPECT_FALSE(form.CDRipper1.Playing());
}

TEST_F(CDRipTest, OneFileRipEndsEachTrackJustBeforeTheNext)
{
    Open(MakeCdImage(folder, "three", {{6.0, false, 1}, {9.0, false, 2}, {3.0, false, 3}}));
    form.CDTitle->setText("Three");
    form.RipOneBinClick(); // nothing marked: every track
    ASSERT_EQ(form.result(), QDialog::Accepted) << (messages.Texts().empty() ? "" : messages.Texts()[0]);
    const CDRipResult result = form.Result();
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_TRUE(result.oneBin);
    EXPECT_EQ(fs::path(result.files[0]).parent_path().parent_path(), fs::path(GetDocumentsFolder() + "/CD Rip"));
    EXPECT_EQ(fs::path(result.files[0]).filename(), "Three - onebin.mp3");
    ASSERT_EQ(result.trackEnds.size(), 3u);
    EXPECT_NEAR(result.trackEnds[0], 5.97, 1e-4);
    EXPECT_NEAR(result.trackEnds[1], 14.97, 1e-4);
    EXPECT_NEAR(result.trackEnds[2], 18.0, 1e-4);
    EXPECT_NEAR(Mp3Seconds(result.files[0]), 18.0, kMp3FrameSeconds);
    ExpectIdle();
}

TEST_F(CDRipTest, AbortRemovesEveryFileOfTheRipAndKeepsTheWindowOpen)
{
    Open(MakeCdImage(folder, "abort", {{1.0, false, 1}, {4.0, false, 2}}));
    Mark({0, 1});
    form.EncoderNode1.OnEncodeProgress = [this](TAudioTransformNode*) {
        form.EncoderNode1EncodeProgress();
        if (form.CDRipper1.NeedleTrack() == 1 && form.CDRipper1.Progress > 0.4f && !form.Abort->isHidden()) {
            SaveIfAsked(form, "cdrip_ripping.png");
            form.AbortClick();
        }
    };
    form.RipSepClick();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Result().files.empty());
    EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty()) << FilesUnder(GetCDRipFolder())[0];
    EXPECT_TRUE(fs::is_empty(GetCDRipFolder())) << "the stamped folder goes too";
    EXPECT_TRUE(messages.Texts().empty());
    ExpectIdle();
}

// Every way a rip can fail leaves no file, says why and puts the window back at rest.
TEST_F(CDRipTest, FailedRipsLeaveNoFileAndSayWhy)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::function<void()> undo;
        std::string message;
    };
    const std::string emptyPath = folder + "/empty_path";
    fs::create_directories(emptyPath);
    const std::string savedPath = std::getenv("PATH");
    const CdImage image = MakeCdImage(folder, "fail", {{2.0, false, 1}, {2.0, false, 2}, {1.0, true, 3}});
    std::vector<int32_t> secondOfBadSectors;
    for (int32_t s = 160; s < 240; ++s)
        secondOfBadSectors.push_back(s);
    const Case cases[] = {
        {"disc removed", [] { BASS_CD_SimulateReadFaults({}, 170); }, [] { BASS_CD_SimulateReadFaults({}); },
         "Can't read cd track."},
        {"a second of bad sectors", [&] { BASS_CD_SimulateReadFaults(secondOfBadSectors); },
         [] { BASS_CD_SimulateReadFaults({}); }, "Can't read cd track."},
        {"a data track", [this] { form.CDRipper1.TrackMarks[2] = true; }, [] {}, "Can't read cd track."},
        {"lame missing", [&] { setenv("PATH", emptyPath.c_str(), 1); }, [&] { setenv("PATH", savedPath.c_str(), 1); },
         "Can't start MP3 encoder."},
    };
    Open(image);
    for (const Case& c : cases) {
        messages.Clear();
        form.CDRipper1.TrackMarks.fill(false);
        Mark({0, 1});
        c.arrange();
        form.RipSepClick();
        c.undo();
        EXPECT_TRUE(form.isVisible()) << c.what;
        EXPECT_TRUE(form.Result().files.empty()) << c.what;
        EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty()) << c.what;
        ASSERT_EQ(messages.Texts().size(), 1u) << c.what;
        EXPECT_EQ(messages.Texts()[0].rfind(c.message, 0), 0u) << c.what << ": " << messages.Texts()[0];
        ExpectIdle();
    }
}

TEST_F(CDRipTest, SkippedSectorsAreNamedInOneMessageAfterTheRip)
{
    Open(MakeCdImage(folder, "skips", {{1.0, false, 1}, {2.0, false, 2}}));
    Mark({0, 1});
    BASS_CD_SimulateReadFaults({80, 81, 82});
    form.RipOneBinClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("track 2 ("), std::string::npos) << messages.Texts()[0];
    EXPECT_EQ(messages.Texts()[0].find("track 1 ("), std::string::npos) << messages.Texts()[0];
}

TEST_F(CDRipTest, AnUnwritableRipFolderIsReported)
{
    Open(MakeCdImage(folder, "nowrite", {{1.0}}));
    // A file where the folder should be: nothing can be made in it, not even as root.
    const std::string ripFolder = GetCDRipFolder();
    fs::remove_all(ripFolder);
    WriteBytes(ripFolder, "not a folder");
    Mark({0});
    form.RipSepClick();
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0].rfind("Can't create folder " + ripFolder + "/", 0), 0u) << messages.Texts()[0];
    EXPECT_TRUE(form.isVisible());
    fs::remove(ripFolder);
    ExpectIdle();
}

TEST_F(CDRipTest, CddbTitlesNameTheTracksAndStayInTheGridUnchanged)
{
    const CdImage image = MakeCdImage(folder, "titled", std::vector<CdImageTrack>(5, {1.0}));
    drives.Add(image);
    const std::string id = TCDRipper::GetCDID(0).substr(0, 8);
    const std::string longTitle(400, 'x');
    server.AddDisc({"rock", id, "Band / Caf\xc3\xa9", {"A/B", "..", "Tab\there", longTitle, "A/B"}});
    form.show();
    form.ComboBox1Change();
    EXPECT_EQ(form.CDTitle->text().toStdString(), "Band - Caf\xc3\xa9");
    EXPECT_EQ(GridColumn(1), (std::vector<std::string>{"A/B", "..", "Tab\there", longTitle, "A/B"}));
    form.SelectAll1Click();
    form.RipSepClick();
    ASSERT_EQ(form.result(), QDialog::Accepted) << (messages.Texts().empty() ? "" : messages.Texts()[0]);
    const CDRipResult result = form.Result();
    ASSERT_EQ(result.files.size(), 5u);
    const std::string stamped = fs::path(result.files[0]).parent_path().string();
    EXPECT_EQ(fs::path(result.files[0]).filename(), "Band - Caf\xc3\xa9 - A-B.mp3");
    EXPECT_EQ(fs::path(result.files[1]).filename(), "Band - Caf\xc3\xa9 - ...mp3");
    EXPECT_EQ(fs::path(result.files[2]).filename(), "Band - Caf\xc3\xa9 - Tab-here.mp3");
    EXPECT_EQ(fs::path(result.files[3]).filename().string().size(), 255u);
    EXPECT_EQ(fs::path(result.files[4]).filename(), "Band - Caf\xc3\xa9 - A-B (2).mp3");
    for (const std::string& file : result.files) {
        EXPECT_EQ(fs::path(file).parent_path().string(), stamped) << file;
        EXPECT_GT(Mp3Seconds(file), 0.9) << file;
    }
}

// The window with a titled disc, two tracks marked: its skin is there and sized, and (with
// SONOREL_SCREENSHOT_DIR set) a picture of it is saved for a look.
TEST_F(CDRipTest, PictureOfTheWindowWithATitledDisc)
{
    const CdImage image = MakeCdImage(folder, "picture", {{3.2, false, 1}, {4.1, false, 2}, {2.5, false, 3}, {5.0, false, 4},
                                                          {3.3, false, 5}});
    drives.Add(image);
    server.AddDisc({"jazz", TCDRipper::GetCDID(0).substr(0, 8), "The Quartet / Night Sessions",
                    {"Opening", "Blue Hour", "Caf\xc3\xa9 Walk", "Long Way Home", "Coda"}});
    form.show();
    form.ComboBox1Change();
    Mark({1, 3});
    form.SelectTrack(1);
    form.RefreshGrid();
    EXPECT_EQ(form.size(), QSize(560, 446));
    EXPECT_FALSE(form.Image->pixmap().isNull());
    EXPECT_EQ(GridColumn(3), (std::vector<std::string>{"", "rip", "", "rip", ""}));
    SaveIfAsked(form, "cdrip_window.png");
}

TEST_F(CDRipTest, AFailedLookupKeepsTheTitlesAndSaysWhyOnlyForAWrongCount)
{
    const CdImage image = MakeCdImage(folder, "twelve", std::vector<CdImageTrack>(12, {0.5}));
    drives.Add(image);
    const std::string id = TCDRipper::GetCDID(0).substr(0, 8);
    server.AddDisc({"rock", id, "Thirteen", std::vector<std::string>(13, "t")});
    form.show();
    form.ComboBox1Change();
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "Wrong tracks number received from Internet Database.");
    EXPECT_EQ(form.CDTitle->text(), "");
    EXPECT_EQ(GridColumn(1)[11], "track 12");
    EXPECT_EQ(form.Status->text(), "");
    HTTPQueryTimeouts = kQuickTimeouts; // the silent server is given up on soon
    for (auto mode : {CddbServer::Mode::Silence, CddbServer::Mode::Huge, CddbServer::Mode::Reset}) {
        messages.Clear();
        server.SetMode(mode);
        form.ComboBox1Change();
        EXPECT_TRUE(messages.Texts().empty());
        EXPECT_EQ(GridColumn(1)[0], "track 1");
    }
}

TEST_F(CDRipTest, ASwappedDiscReloadsWithinASecondAndIsLookedUpAgain)
{
    for (bool noCddb : {false, true}) {
        SetCommandLine(noCddb ? std::vector<std::string>{"sonorel", "nocddb"} : std::vector<std::string>{"sonorel"});
        const CdImage first = MakeCdImage(folder, noCddb ? "swap_b" : "swap_a", {{1.0}, {1.0}});
        const int drive = drives.Add(first);
        form.show();
        form.ComboBox1->setCurrentIndex(drive);
        form.ComboBox1Change();
        const size_t requests = server.Requests().size();
        MakeCdImage(folder, noCddb ? "swap_b" : "swap_a", {{1.0}, {1.0}, {2.0}}); // another disc in the drive
        EXPECT_TRUE(WaitUntil([this] { return form.cdtracks->rowCount() == 3; })) << noCddb;
        EXPECT_EQ(server.Requests().size(), requests + (noCddb ? 0 : 1)) << noCddb;
        form.close();
        BASS_CD_RemoveImageDrives();
    }
}

TEST_F(CDRipTest, NoDiscAsksForOneAndPlayAndStopWaitForTheRip)
{
    form.show();
    form.ComboBox1Change(); // "no drives"
    EXPECT_EQ(form.CDRipper1.TrackCount, -1);
    form.RipSepClick();
    form.RipOneBinClick();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Please insert audio cd.", "Please insert audio cd."}));
    EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty());
}

TEST_F(CDRipTest, ClosingDuringARipAbortsItAndFreesTheDrive)
{
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    Open(MakeCdImage(folder, "close", {{4.0}}));
    form.SelectTrack(0);
    form.PlayClick();
    EXPECT_TRUE(form.CDRipper1.Playing());
    Mark({0});
    form.EncoderNode1.OnEncodeProgress = [this](TAudioTransformNode*) {
        form.EncoderNode1EncodeProgress();
        if (form.CDRipper1.Progress > 0.3f && form.isVisible())
            form.Image1Click();
    };
    form.RipSepClick();
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty());
    EXPECT_EQ(form.CDRipper1.GetData(std::vector<char>(16).data(), 16), -1) << "the needle stream is closed";
    EXPECT_FALSE(form.CDRipper1.Playing());
    ExpectIdle();
    BASS_Free();
}

TEST_F(CDRipTest, TheDiscWatchWaitsWhileARipRuns)
{
    const CdImage image = MakeCdImage(folder, "watched", {{2.0}, {2.0}});
    Open(image);
    Mark({0, 1});
    bool swapped = false;
    form.EncoderNode1.OnEncodeProgress = [&](TAudioTransformNode*) {
        form.EncoderNode1EncodeProgress();
        if (!swapped && form.CDRipper1.Progress > 0.2f) {
            swapped = true;
            MakeCdImage(folder, "watched", {{1.0}, {1.0}, {2.0}}); // as long as the first disc
            form.CheckNewCDTimer();
            EXPECT_FALSE(form.CheckNewCD->isActive());
        }
    };
    form.RipSepClick();
    EXPECT_TRUE(swapped);
    EXPECT_EQ(form.cdtracks->rowCount(), 2) << "the list stayed while ripping";
    EXPECT_EQ(form.CDRipper1.TrackCount, 2);
}

TEST(CDRipNames, TitlesBecomeSafeUniqueFileNames)
{
    struct Case {
        std::string stem, expected;
    };
    const std::string euro = "\xe2\x82\xac"; // three bytes
    const Case cases[] = {
        {"Album - track 1", "Album - track 1.mp3"},
        {"AC/DC - Back\nIn", "AC-DC - Back-In.mp3"},
        {std::string("a\0b", 3), "a-b.mp3"},
        {"..", ".mp3"},
        {"../../etc/x", "-..-etc-x.mp3"},
        {".hidden", "hidden.mp3"},
        {std::string(300, 'x'), std::string(251, 'x') + ".mp3"},
        {"x" + [&] { std::string s; for (int i = 0; i < 100; ++i) s += euro; return s; }(),
         "x" + [&] { std::string s; for (int i = 0; i < 83; ++i) s += euro; return s; }() + ".mp3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFormCDRip::SafeFileName(c.stem, ".mp3"), c.expected) << c.stem;

    const std::string folder = FixtureFolder();
    WriteBytes(folder + "/A - b.mp3", "existing");
    EXPECT_EQ(TFormCDRip::UniqueFilePath(folder, "A - c.mp3", {}), folder + "/A - c.mp3");
    EXPECT_EQ(TFormCDRip::UniqueFilePath(folder, "A - b.mp3", {}), folder + "/A - b (2).mp3");
    EXPECT_EQ(TFormCDRip::UniqueFilePath(folder, "A - b.mp3", {folder + "/A - b (2).mp3"}), folder + "/A - b (3).mp3");
    const std::string longName = std::string(251, 'y') + ".mp3";
    WriteBytes(folder + "/" + longName, "existing");
    const std::string second = TFormCDRip::UniqueFilePath(folder, longName, {});
    EXPECT_EQ(fs::path(second).filename().string(), std::string(247, 'y') + " (2).mp3");
}

TEST(CDRipNames, TimeTextsAndStamps)
{
    struct Case {
        float seconds;
        int digits;
        std::string expected;
    };
    const Case cases[] = {
        {125.4f, 1, "2:05.4"}, {125.4f, -1, "2:05"}, {125.4f, 0, "2 min 05 sec"},
        {15.0f, 1, "0:15.0"},  {59.96f, 1, "0:60.0"}, {0.0f, 1, "0:00.0"}, {3600.4f, -1, "60:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCDRipper::TimeToStr(c.seconds, c.digits), c.expected) << c.seconds << " " << c.digits;
    const std::string stamp = MakeDateTimeStamp();
    ASSERT_EQ(stamp.size(), 20u) << stamp;
    for (size_t i : {4u, 7u, 10u, 11u, 14u, 17u})
        EXPECT_EQ(stamp[i], '_') << stamp;
}

} // namespace
