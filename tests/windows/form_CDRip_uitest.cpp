// The CD rip window on image drives, with the real `lame` and a loopback CDDB server: the files a
// rip makes and their names, the one-file track ends, abort, read errors, failed encoders and
// lookups, and the disc watch.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "disc/class_CDDB.h"
#include "disc/class_HTTPQuery.h"
#include "windows/form_CDRip.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundCD.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"
#include "support/cddb_server.h"
#include "support/file_size_limit.h"
#include "support/hang_guard.h"
#include "support/quick_http_timeouts.h"
#include "support/ui_waits.h"
#include "platform/sound/sound_test_util.h"

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

// How far a stretch of decoded sound is from the disc's: the RMS of their difference over the
// RMS of the disc's (MP3 at 256 kbit/s stays well below 0.3; sound 10 ms off is above 1).
double DistanceFromDisc(const std::vector<int16_t>& decoded, size_t decodedFrom, const std::vector<int16_t>& disc,
                        size_t discFrom, size_t count)
{
    if (decodedFrom + count > decoded.size() || discFrom + count > disc.size() || count == 0)
        return 99;
    double difference = 0, sound = 0;
    for (size_t i = 0; i < count; ++i) {
        const double d = disc[discFrom + i], e = decoded[decodedFrom + i] - d;
        difference += e * e;
        sound += d * d;
    }
    return std::sqrt(difference / sound);
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

// Posts one half of a click on `target` to its window, as the window system delivers a person's
// click: the window takes it at its next look at events, on whatever is under the point then.
void PostMouse(QWidget* target, QEvent::Type type)
{
    const QPointF inWindow = target->mapTo(target->window(), QPointF(target->rect().center()));
    const QPointF global = target->mapToGlobal(QPointF(target->rect().center()));
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QCoreApplication::postEvent(target->window()->windowHandle(),
                                new QMouseEvent(type, inWindow, inWindow, global, Qt::LeftButton, held, {}));
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
        unsetenv("SONOREL_CD_IMAGES");
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

// A rip that fails on some tracks keeps every complete one (handed over as usual: a one-file rip
// cut after the last track it holds whole, a zone for each), leaves no partial or hidden file, and
// names the tracks not ripped in one message; damaged CUE sheets end it without a hang.
TEST_F(CDRipTest, TracksThatFailAreNamedAndTheCompleteOnesKept)
{
    struct Case {
        const char* what;
        bool oneFile;
        std::vector<CdImageTrack> disc;
        std::vector<int> marked; // empty: "Select All"
        std::function<void()> arrange;
        std::vector<int> kept;           // the tracks ripped whole (separate files, or in the one file)
        std::vector<float> trackEnds;    // one file: the ends of the tracks it holds whole
        std::vector<std::string> failed; // the message's lines after its first, as they begin
    };
    const std::vector<CdImageTrack> cdExtra = {{2.0, false, 1}, {3.0, false, 2}, {1.0, false, 3}, {1.0, true, 4}};
    std::vector<int32_t> secondOfBadSectors; // inside track 2 (sectors 150 to 374)
    for (int32_t s = 160; s < 240; ++s)
        secondOfBadSectors.push_back(s);
    const std::string emptyPath = folder + "/empty_path";
    fs::create_directories(emptyPath);
    const std::string savedPath = std::getenv("PATH");
    std::unique_ptr<FileSizeLimit> fullDisk;
    const auto fullAt80k = [&] { fullDisk = std::make_unique<FileSizeLimit>(80000); };
    const std::vector<CdImageTrack> fourTracks = {{2.0, false, 1}, {3.0, false, 2}, {1.0, false, 3}, {1.0, false, 4}};
    const Case cases[] = {
        {"the data track of a CD-Extra disc", false, cdExtra, {0, 1, 2, 3}, {}, {0, 1, 2}, {},
         {"track 4: Can't read cd track."}},
        {"Select All on a CD-Extra disc", false, cdExtra, {}, {}, {0, 1, 2}, {}, {"track 4: Can't read cd track."}},
        {"a disc taken out in track 2", false, cdExtra, {0, 1, 2}, [] { BASS_CD_SimulateReadFaults({}, 200); }, {0}, {},
         {"track 2: Can't read cd track.", "track 3: Can't read cd track."}},
        {"a second of bad sectors in track 2", false, cdExtra, {0, 1, 2},
         [&] { BASS_CD_SimulateReadFaults(secondOfBadSectors); }, {0, 2}, {}, {"track 2: Can't read cd track."}},
        {"a disk full at track 2 (80 kB left)", false, cdExtra, {0, 1, 2}, fullAt80k, {0, 2}, {},
         {"track 2: MP3 encoding failed."}},
        {"no encoder", false, cdExtra, {0, 1}, [&] { setenv("PATH", emptyPath.c_str(), 1); }, {}, {},
         {"track 1: Can't start MP3 encoder.", "track 2: Can't start MP3 encoder."}},
        {"an INDEX 01 past the BIN", false, {{2.0, false, 1}, {3.0, false, 2}, {1.0, false, 3, CueIndex::PastTheBin}},
         {}, {}, {0}, {}, {"track 2: Can't read cd track.", "track 3: Can't read cd track."}},
        {"one file, the data track marked", true, cdExtra, {0, 1, 2, 3}, {}, {0, 1, 2}, {1.97f, 4.97f, 6.0f},
         {"track 4: Can't read cd track."}},
        {"one file, a disc taken out in track 2", true, cdExtra, {0, 1, 2}, [] { BASS_CD_SimulateReadFaults({}, 200); },
         {0}, {1.97f}, {"track 2: Can't read cd track.", "track 3: the rip stopped at track 2."}},
        {"one file, a disk full at track 2 (80 kB left)", true, fourTracks, {}, fullAt80k, {0}, {2.0f},
         {"track 2: MP3 encoding failed.", "track 3: the rip stopped at track 2.", "track 4: the rip stopped at track 2."}},
        {"one file, a disk full at track 3 (80 kB left)", true,
         {{1.0, false, 1}, {1.0, false, 2}, {3.0, false, 3}, {1.0, false, 4}}, {}, fullAt80k, {0, 1}, {0.97f, 2.0f},
         {"track 3: MP3 encoding failed.", "track 4: the rip stopped at track 3."}},
        {"one file, a disk full in track 1 (20 kB left)", true, fourTracks, {},
         [&] { fullDisk = std::make_unique<FileSizeLimit>(20000); }, {}, {},
         {"track 1: MP3 encoding failed.", "track 2: the rip stopped at track 1.", "track 3: the rip stopped at track 1.",
          "track 4: the rip stopped at track 1."}},
    };
    for (const Case& c : cases) {
        HangGuard guard(c.what);
        messages.Clear();
        const CdImage image = MakeCdImage(folder, "partly", c.disc);
        TFormCDRip window;
        window.show();
        window.ComboBox1->setCurrentIndex(drives.Add(image));
        window.ComboBox1Change();
        for (int t : c.marked)
            window.CDRipper1.TrackMarks[t] = true;
        if (c.marked.empty())
            window.SelectAll1Click();
        if (c.arrange)
            c.arrange();
        c.oneFile ? window.RipOneBinClick() : window.RipSepClick();
        fullDisk.reset();
        setenv("PATH", savedPath.c_str(), 1);
        BASS_CD_SimulateReadFaults({});

        const CDRipResult result = window.Result();
        const bool anyKept = !c.kept.empty() || !c.trackEnds.empty();
        EXPECT_EQ(window.isVisible(), !anyKept) << c.what;
        EXPECT_EQ(window.result() == QDialog::Accepted, anyKept) << c.what;
        std::vector<std::string> expectedFiles;
        for (size_t i = 0; i < c.kept.size() && !c.oneFile; ++i)
            expectedFiles.push_back(" - track " + std::to_string(c.kept[i] + 1) + ".mp3");
        if (!c.trackEnds.empty())
            expectedFiles.push_back(" - onebin.mp3");
        std::vector<std::string> names;
        for (const std::string& file : result.files)
            names.push_back(fs::path(file).filename().string());
        EXPECT_EQ(names, expectedFiles) << c.what;
        for (size_t i = 0; i < c.kept.size() && i < result.files.size() && !c.oneFile; ++i)
            EXPECT_NEAR(Mp3Seconds(result.files[i]), c.disc[c.kept[i]].seconds, kMp3FrameSeconds) << c.what;
        ASSERT_EQ(result.trackEnds.size(), c.trackEnds.size()) << c.what;
        for (size_t i = 0; i < c.trackEnds.size(); ++i)
            EXPECT_NEAR(result.trackEnds[i], c.trackEnds[i], 1e-4) << c.what;
        if (c.oneFile && !result.files.empty()) {
            // The file decodes cleanly, and each zone holds the sound of its track (the tracks in
            // the file follow one another on the disc).
            EXPECT_EQ(DecoderComplaints(result.files[0]), "") << c.what;
            const BassHandle stream = BASS_StreamCreateFile(result.files[0], BASS_STREAM_DECODE);
            const std::vector<int16_t> decoded = sound_test::DecodeAll(stream);
            BASS_StreamFree(stream);
            const size_t discStart = size_t(image.trackStartBytes.at(c.kept.at(0)) / 2);
            size_t from = 0;
            for (size_t i = 0; i < c.trackEnds.size(); ++i) {
                const size_t to = size_t(std::lround(c.trackEnds[i] * 44100)) * 2;
                EXPECT_LT(DistanceFromDisc(decoded, from, image.samples, discStart + from, to - from), 0.3)
                    << c.what << ": zone " << i + 1;
                from = to;
            }
        }
        std::vector<std::string> onDisk = FilesUnder(GetCDRipFolder()), oneBins = FilesUnder(GetDocumentsFolder() + "/CD Rip");
        onDisk.insert(onDisk.end(), oneBins.begin(), oneBins.end());
        std::sort(onDisk.begin(), onDisk.end());
        std::vector<std::string> handedOver = result.files;
        std::sort(handedOver.begin(), handedOver.end());
        EXPECT_EQ(onDisk, handedOver) << c.what << ": nothing partial or hidden is left";

        ASSERT_EQ(messages.Texts().size(), 1u) << c.what;
        const QStringList lines = QString::fromStdString(messages.Texts()[0]).split("\r\n");
        EXPECT_EQ(lines[0], "These tracks were not ripped:") << c.what;
        const QStringList nothingKept = {"", "No file was kept."};
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(1 + c.failed.size() + (anyKept ? 0 : nothingKept.size())))
            << c.what << ": " << messages.Texts()[0];
        for (size_t i = 0; i < c.failed.size(); ++i)
            EXPECT_TRUE(lines[i + 1].startsWith(QString::fromStdString(c.failed[i]))) << c.what << ": " << messages.Texts()[0];
        if (!anyKept) {
            EXPECT_EQ(lines.mid(lines.size() - nothingKept.size()), nothingKept) << c.what;
        }
        EXPECT_FALSE(TFormCDRip::Busy());
        BASS_CD_RemoveImageDrives();
        fs::remove_all(GetCDRipFolder());
        fs::remove_all(GetDocumentsFolder() + "/CD Rip");
    }
}

// One click on Abort ends a rip at any moment: in a track, across the end of a track (the press in
// one track, the release in the next), between tracks, before the first block, while the encoder
// finishes the last track's file (also when only the press comes before the rip ends); in both
// modes.
TEST_F(CDRipTest, OneClickOnAbortEndsTheRipAtAnyMoment)
{
    enum class When { Before, After }; // posted before or after the window's look at events
    struct Post {
        QEvent::Type type;
        int track;            // at the first progress event on this track...
        bool atTrackEnd;      // ...or at the one where it is read to its end
        When when;
    };
    struct Case {
        const char* what;
        bool oneFile;
        std::vector<Post> posts;
        bool beforeTheRip; // the whole click is waiting when the rip starts
    };
    const auto press = QEvent::MouseButtonPress, release = QEvent::MouseButtonRelease;
    const Case cases[] = {
        {"in a track", false, {{press, 2, false, When::Before}, {release, 2, false, When::Before}}, false},
        {"press at a track's end, release in the next", false,
         {{press, 1, true, When::Before}, {release, 2, false, When::Before}}, false},
        {"the whole click between two tracks", false,
         {{press, 1, true, When::After}, {release, 1, true, When::After}}, false},
        {"before the first block", false, {}, true},
        {"one file, press at a track's end, release in the next", true,
         {{press, 1, true, When::Before}, {release, 2, false, When::After}}, false},
        {"the whole click while the last file is finished", false,
         {{press, 7, true, When::After}, {release, 7, true, When::After}}, false},
        {"the press while the last file is finished, the release after the rip", false,
         {{press, 7, true, When::After}}, false},
        {"one file, the whole click while the file is finished", true,
         {{press, 7, true, When::After}, {release, 7, true, When::After}}, false},
    };
    const CdImage image = MakeCdImage(folder, "eight", std::vector<CdImageTrack>(8, {1.0}));
    for (const Case& c : cases) {
        TFormCDRip window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.ComboBox1->setCurrentIndex(drives.Add(image));
        window.ComboBox1Change();
        window.SelectAll1Click();
        size_t next = 0;
        auto postDue = [&](When when) {
            const bool atEnd = window.CDRipper1.Progress == 1.0f;
            while (next < c.posts.size() && c.posts[next].when == when && c.posts[next].track == window.CDRipper1.NeedleTrack() &&
                   c.posts[next].atTrackEnd == atEnd)
                PostMouse(window.Abort, c.posts[next++].type);
        };
        window.EncoderNode1.OnEncodeProgress = [&](TAudioTransformNode*) {
            postDue(When::Before);
            window.EncoderNode1EncodeProgress();
            postDue(When::After);
        };
        if (c.beforeTheRip) {
            PostMouse(window.Abort, press);
            PostMouse(window.Abort, release);
        }
        c.oneFile ? window.RipOneBinClick() : window.RipSepClick();
        EXPECT_EQ(next, c.posts.size()) << c.what << ": every part of the click was posted";
        EXPECT_TRUE(window.isVisible()) << c.what;
        EXPECT_NE(window.result(), QDialog::Accepted) << c.what;
        const bool atTheEnd = !c.posts.empty() && c.posts.front().track == 7;
        if (!c.oneFile)
            EXPECT_TRUE(FilesUnder(GetCDRipFolder()).empty()) << c.what;
        else if (atTheEnd)
            EXPECT_NEAR(Mp3Seconds(window.Result().files.at(0)), 8.0, kMp3FrameSeconds) << c.what << ": kept, as aborted ones are";
        else
            EXPECT_LT(Mp3Seconds(window.Result().files.at(0)), 8.0 - 1) << c.what << ": not all eight tracks";
        EXPECT_TRUE(messages.Texts().empty()) << c.what;
        BASS_CD_RemoveImageDrives();
        fs::remove_all(GetCDRipFolder());
        fs::remove_all(GetDocumentsFolder() + "/CD Rip");
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

TEST_F(CDRipTest, ASwappedDiscIsReloadedByTheDiscWatchAndLookedUpAgain)
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

// An image drive whose sheet is refused lists no tracks and says why on the status line, the other
// drives read as before, and once the sheet is mended the disc watch loads it and the line clears.
TEST_F(CDRipTest, AnUnreadableImageSaysWhyUntilItIsMended)
{
    SetCommandLine({"sonorel", "nocddb"});
    const CdImage good = MakeCdImage(folder, "good", {{1.0}, {1.0}});
    const std::string sheet = folder + "/numbered from 86.cue";
    const std::string file = "FILE \"good.bin\" BINARY\n  TRACK 86 AUDIO\n    INDEX 01 00:00:00\n";
    WriteBytes(sheet, file + "  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n");
    setenv("SONOREL_CD_IMAGES", sheet.c_str(), 1);
    EXPECT_EQ(drives.Add(good), 1);
    form.show();
    ASSERT_EQ(form.ComboBox1->count(), 2);
    form.ComboBox1->setCurrentIndex(0);
    form.ComboBox1Change();
    EXPECT_EQ(form.CDRipper1.TrackCount, -1);
    const QString why = "Cannot read image numbered from 86.cue: line 4: TRACK 02 after TRACK 86: tracks must be numbered in sequence";
    EXPECT_EQ(form.Status->toolTip(), why);
    EXPECT_TRUE(why.startsWith(form.Status->text().chopped(1))) << form.Status->text().toStdString();
    EXPECT_LE(form.Status->fontMetrics().horizontalAdvance(form.Status->text()), form.Status->width());
    SaveIfAsked(form, "cdrip_unreadable_image.png");

    form.ComboBox1->setCurrentIndex(1);
    form.ComboBox1Change();
    EXPECT_EQ(form.CDRipper1.TrackCount, 2);
    EXPECT_EQ(form.Status->text(), "");

    form.ComboBox1->setCurrentIndex(0);
    form.ComboBox1Change();
    WriteBytes(sheet, file + "  TRACK 87 AUDIO\n    INDEX 01 00:01:00\n");
    EXPECT_TRUE(WaitUntil([this] { return form.CDRipper1.TrackCount == 2; }));
    EXPECT_EQ(form.Status->text(), "");
    EXPECT_EQ(GridColumn(1), (std::vector<std::string>{"track 1", "track 2"}));
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

// The report of a partly failed rip as the user sees it: a real message box over the window, with
// the window back at rest beneath (with SONOREL_SCREENSHOT_DIR set, one picture of both is saved).
TEST(CDRipReport, PictureOfTheReportAfterAPartlyFailedRip)
{
    CddbServer server;
    ScopedImageDrives drives;
    CDDBServer = {"127.0.0.1", server.Port()};
    const CdImage image = MakeCdImage(FixtureFolder(), "extra", {{2.0, false, 1}, {1.5, false, 2}, {1.0, false, 3}, {1.0, true, 4}});
    drives.Add(image);
    server.AddDisc({"jazz", TCDRipper::GetCDID(0).substr(0, 8), "The Quartet / Night Sessions",
                    {"Opening", "Blue Hour", "Caf\xc3\xa9 Walk", "Data"}});
    TFormCDRip form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.ComboBox1Change();
    form.SelectAll1Click();
    QString shown;
    bool restful = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        watch.stop();
        shown = box->text();
        restful = form.cdtracks->isEnabled() && form.Abort->isHidden() && form.ProgressBar1->isHidden();
        QImage picture = form.grab().toImage();
        QPainter painter(&picture);
        const QPixmap boxPicture = box->grab();
        painter.drawPixmap((picture.width() - boxPicture.width()) / 2, (picture.height() - boxPicture.height()) / 2, boxPicture);
        painter.end();
        const QByteArray dir = qgetenv("SONOREL_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(QString::fromUtf8(dir));
            EXPECT_TRUE(picture.save(QString::fromUtf8(dir) + "/cdrip_partly_failed.png"));
        }
        box->accept();
    });
    watch.start(20);
    form.RipSepClick();
    EXPECT_EQ(shown, "These tracks were not ripped:\ntrack 4 (Data): Can't read cd track.");
    EXPECT_TRUE(restful);
    EXPECT_EQ(form.Result().files.size(), 3u);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    CDDBServer = {};
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

