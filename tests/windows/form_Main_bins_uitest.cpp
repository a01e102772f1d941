// The main window's bins: the zone editor page, the source list and strips, adding sources, drops
// into the playlist and the project commands, driven headless.
#include "AudioControls/class_AudioView.h"
#include "windows/form_SaveToWav.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "windows/form_LoadRepository.h"
#include "platform/ui/DragController.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"
#include "support/trace_lines.h"
#include "support/ui_waits.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"
#include "windows/frame_mixedit.h"
#include "windows/frame_reposedit.h"
#include "GraphControls/class_SkinPicture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using sonorel_test::AudioFileKind;

// A sound file of `seconds` of sweep and noise (every position sounds different).
std::string SoundFile(const std::string& name, double seconds, AudioFileKind kind = AudioFileKind::Wav)
{
    const std::string path = sonorel_test::FixtureFolder() + "/" + name;
    sonorel_test::SignalSpec spec;
    spec.seconds = seconds;
    if (!sonorel_test::WriteAudioFile(path, kind, sonorel_test::MakeSweepNoise(spec), 44100, 2))
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::vector<std::string> Names(const cmixdata& mix)
{
    std::vector<std::string> names;
    for (const auto& row : mix)
        names.push_back(row->name);
    return names;
}

cBinItem Zone(const std::string& title, const std::string& file, float start, float length)
{
    return cBinItem{title, file, start, length};
}

cBin* AddBin(const std::string& title, const std::string& file, const std::vector<cBinItem>& zones = {})
{
    cBin* bin = snl.Bins.Add();
    bin->title = title;
    bin->filename = file;
    for (const cBinItem& zone : zones)
        *bin->Items.Add() = zone;
    return bin;
}

cMixRow* AddRow(const cBinItem& zone)
{
    cMixRow* row = snl.mixdata.Add();
    row->name = zone.title;
    row->filename = zone.filename;
    row->start = zone.start;
    row->length = zone.length;
    return row;
}

// Removes the data folder only inside the test's own home, never a real user's.
void RemoveTestDataFolder(const std::string& folder)
{
    const char* home = std::getenv("SONOREL_TEST_HOME");
    if (home && *home && folder.rfind(std::string(home) + "/", 0) == 0)
        fs::remove_all(folder);
}

// ---- Rules without a window ----------------------------------------------------------------

TEST(ZoneRules, MakeUniqueZoneNameTakesTheFirstFreeNumberFromTheCountOn)
{
    const struct {
        std::vector<std::string> titles;
        std::string expected;
    } cases[] = {
        {{}, "Drums #1"},
        {{"kick", "snare"}, "Drums #3"},
        {{"kick", "Drums #3"}, "Drums #4"},
        {{"Drums #3", "Drums #4", "x"}, "Drums #5"},
        {{"Drums #1"}, "Drums #2"},
    };
    for (const auto& c : cases) {
        cBin bin;
        bin.title = "Drums";
        for (const std::string& title : c.titles)
            bin.Items.Add()->title = title;
        EXPECT_EQ(MakeUniqueZoneName(bin), c.expected);
    }
}

TEST(ZoneRules, FixPlaylistAfterRenameChangesOnlyRowsMadeFromTheOldZone)
{
    cmixdata mix;
    const cBinItem old = Zone("Intro", "/a.wav", 1.5f, 4);
    auto add = [&mix](const cBinItem& zone) {
        cMixRow* row = mix.Add();
        row->name = zone.title;
        row->filename = zone.filename;
        row->start = zone.start;
        row->length = zone.length;
        row->MixParams.volume = 80;
    };
    add(old);
    add(Zone("Intro", "/a.wav", 1.5f, 4.01f)); // its length was edited afterwards
    add(Zone("Intro", "/b.wav", 1.5f, 4));     // another file
    add(Zone("Outro", "/a.wav", 1.5f, 4));     // another name
    add(old);
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);
    FixPlaylistAfterRename(mix, old, Zone("Opening", "/other.wav", 2, 3));
    DetachTraceTarget(&lines);
    EXPECT_EQ(Names(mix), (std::vector<std::string>{"Opening", "Intro", "Intro", "Outro", "Opening"}));
    EXPECT_EQ(mix.At(0)->filename, "/a.wav") << "the file name stays";
    EXPECT_EQ(mix.At(0)->start, 2);
    EXPECT_EQ(mix.At(0)->length, 3);
    EXPECT_EQ(mix.At(0)->MixParams.volume, 80);
    EXPECT_EQ(mix.At(1)->length, 4.01f);
    EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"Fixing playlist 0", "Fixing playlist 4"}));
}

TEST(ZoneRules, AGrabbedIconDroppedOffTheRowResetsItsParameter)
{
    auto changed = [] {
        cMixRow row;
        row.MixParams.volume = 50;
        row.MixParams.speed = 10;
        row.MixParams.pitch = 2000;
        row.MixParams.fadein = row.MixParams.fadeout = true;
        row.MixParams.fadeinlength = row.MixParams.fadeoutlength = 2;
        row.overlap = true;
        row.overlaplen = 1;
        row.trigger = TriggerMouse;
        return row;
    };
    const struct {
        int part;
        std::function<bool(const cMixRow&)> reset;
    } cases[] = {
        {TFramePlaylist::PartVolume, [](const cMixRow& r) { return r.MixParams.volume == 100; }},
        {TFramePlaylist::PartSpeed, [](const cMixRow& r) { return r.MixParams.speed == 0; }},
        {TFramePlaylist::PartPitch, [](const cMixRow& r) { return r.MixParams.pitch == 0; }},
        {TFramePlaylist::PartTime, [](const cMixRow& r) { return r.trigger == TriggerNone; }},
        {TFramePlaylist::PartOverlap, [](const cMixRow& r) { return !r.overlap && r.overlaplen == 0; }},
        {TFramePlaylist::PartFadeIn, [](const cMixRow& r) { return !r.MixParams.fadein && r.MixParams.fadeinlength == 0; }},
        {TFramePlaylist::PartFadeOut,
         [](const cMixRow& r) { return !r.MixParams.fadeout && r.MixParams.fadeoutlength == 0; }},
    };
    auto resets = [&](const cMixRow& row) {
        int count = 0;
        for (const auto& c : cases)
            count += c.reset(row);
        return count;
    };
    for (const auto& c : cases) {
        cMixRow row = changed();
        ResetGrabbedParameter(row, c.part);
        EXPECT_TRUE(c.reset(row)) << "part " << c.part;
        EXPECT_EQ(resets(row), 1) << "part " << c.part << " resets only its own parameter";
    }
    for (int part : {TFramePlaylist::PartRow, TFramePlaylist::PartNone}) {
        cMixRow row = changed();
        ResetGrabbedParameter(row, part);
        EXPECT_EQ(resets(row), 0) << "part " << part;
    }
}

// Tags written by the test with TagLib itself: ID3v2 frames in Latin-1 and UTF-16, Vorbis
// comments in UTF-8, blanks.
void TagMp3(const std::string& path, const std::string& artist, const std::string& title, TagLib::String::Type encoding)
{
    TagLib::MPEG::File file(path.c_str());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    auto frame = [&](const char* id, const std::string& text) {
        if (text.empty())
            return;
        auto* f = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
        f->setText(TagLib::String(text, TagLib::String::UTF8));
        tag->addFrame(f);
    };
    frame("TPE1", artist);
    frame("TIT2", title);
    file.save(TagLib::MPEG::File::ID3v2);
}

void TagFile(const std::string& path, const std::string& artist, const std::string& title)
{
    TagLib::FileRef file(path.c_str());
    file.tag()->setArtist(TagLib::String(artist, TagLib::String::UTF8));
    file.tag()->setTitle(TagLib::String(title, TagLib::String::UTF8));
    file.save();
}

TEST(SourceTitles, AreArtistAndTitleFromTheTagsOrTheFileName)
{
    const struct {
        std::string name;
        AudioFileKind kind;
        std::function<void(const std::string&)> tag;
        std::string expected;
    } cases[] = {
        {"latin1.mp3", AudioFileKind::Mp3,
         [](const std::string& p) { TagMp3(p, "Bj\xC3\xB6rk", "J\xC3\xB3ga", TagLib::String::Latin1); },
         "Bj\xC3\xB6rk - J\xC3\xB3ga"},
        {"utf16 title only.mp3", AudioFileKind::Mp3,
         [](const std::string& p) { TagMp3(p, "", "\xE5\xA4\x9C \"Night\"", TagLib::String::UTF16); },
         "\xE5\xA4\x9C \"Night\""},
        {"artist only.ogg", AudioFileKind::Ogg, [](const std::string& p) { TagFile(p, "  The Band ", ""); },
         "The Band"},
        {"blank tags.ogg", AudioFileKind::Ogg, [](const std::string& p) { TagFile(p, "   ", " "); }, "blank tags.ogg"},
        {"untagged \xE9t\xE9.wav", AudioFileKind::Wav, nullptr, "untagged \xE9t\xE9.wav"},
        {"flac both.flac", AudioFileKind::Flac, [](const std::string& p) { TagFile(p, "A", "B"); }, "A - B"},
    };
    for (const auto& c : cases) {
        const std::string path = SoundFile(c.name, 0.5, c.kind);
        if (c.tag)
            c.tag(path);
        EXPECT_EQ(SourceTitle(path), c.expected) << c.name;
    }
    std::string artist = "kept";
    std::string title = "kept";
    const std::string corrupt = sonorel_test::FixtureFolder() + "/corrupt.mp3";
    sonorel_test::WriteBytes(corrupt, std::string(3000, 'x'));
    EXPECT_FALSE(ReadArtistTitle(corrupt, artist, title));
    EXPECT_FALSE(ReadArtistTitle(sonorel_test::FixtureFolder() + "/missing.mp3", artist, title));
    EXPECT_EQ(artist + title, "keptkept") << "untouched when no stream opens";
}

// A CD track (here of a CUE/BIN image) is titled from the disc's CD-TEXT.
TEST(SourceTitles, OfACdTrackComeFromItsCdText)
{
    sonorel_test::ScopedImageDrives drives;
    const sonorel_test::CdImage image = sonorel_test::MakeCdImage(sonorel_test::FixtureFolder(), "titled",
                                                                  {{1.0, false, 1}, {1.0, false, 2}},
                                                                  {{"The Band", "First Song"}, {"", "Second"}});
    const std::string drive(1, char('a' + drives.Add(image)));
    EXPECT_EQ(SourceTitle(drive + ":\\track01.cda"), "The Band - First Song");
    EXPECT_EQ(SourceTitle(drive + ":\\track02.cda"), "Second");
    std::string artist = "kept";
    std::string title = "kept";
    EXPECT_FALSE(ReadArtistTitle(drive + ":\\track03.cda", artist, title)) << "no such track";
    EXPECT_EQ(artist + title, "keptkept");
}

// ---- The window ----------------------------------------------------------------------------

class BinsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        snl.WavProducer.Stop();
        snl.Playing = 0;
        snl.mixdata.Clear();
        snl.Bins.Clear();
        snl.FileName.clear();
        snl.SelectedRow = snl.SelectedBin = snl.SelectedZone = 0;
        SetCommandLine({"sonorel"});
        CreateForms();
        FormMain->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(FormMain));
        WAIT_TRUE(!FormMain->FirstActivation);
        // Wholly on the (800 pixels wide) screen where the drags run: the pointer finds its targets.
        FormMain->move(0, 0);
        FormMain->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormMain));
    }

    void TearDown() override
    {
        ui::EndDrag(false);
        snl.WavProducer.Stop();
        snl.Playing = 0;
        DestroyForms();
        snl.mixdata.Clear();
        snl.Bins.Clear();
        SetCommandLine({"sonorel"});
    }

    static const std::string& SongA()
    {
        static const std::string path = SoundFile("song a.wav", 8);
        return path;
    }
    static const std::string& SongB()
    {
        static const std::string path = SoundFile("song b.wav", 5);
        return path;
    }

    TAudioView* View() { return FormMain->PageBinEdit->LoopView; }
    QWindow* Window() { return FormMain->windowHandle(); }
    QPoint In(QWidget* widget, QPoint p) { return widget->mapTo(FormMain, p); }
    QPoint GridRow(TPlaylistGrid* grid, int row, int x = 30)
    {
        return In(grid->viewport(), QPoint(x, grid->rowViewportPosition(row) + grid->rowHeight(row) / 2));
    }
    void Drag(QPoint from, const std::vector<QPoint>& path)
    {
        QTest::mousePress(Window(), Qt::LeftButton, {}, from);
        for (const QPoint& p : path)
            QTest::mouseMove(Window(), p);
        QTest::mouseRelease(Window(), Qt::LeftButton, {}, path.back());
    }

    // The project with bins, shown: the first bin selected in the zone editor.
    void Show(int page)
    {
        snl.OnChange(nullptr);
        FormMain->ShowPage(page);
        View()->Store().WaitLoaded();
        View()->Redraw();
    }

    ui::MessageRecorder messages;
};

TEST_F(BinsTest, PlayModesFollowTheSelectionTheZoneAndTheButtonThatPlacedTheCursor)
{
    AddBin("A", SongA(), {Zone("A #1", SongA(), 2, 4)});
    Show(PageBinEditIndex);
    const float zs = 0.25f;
    const float zl = 0.5f;
    const struct {
        const char* name;
        float selStart, selLen;
        bool rightButton;
        bool zone;
        int mode;
        TColor back;
    } cases[] = {
        {"selection equal to the zone", zs + 0.00005f, zl, false, true, 2, 0xFFFFFF},
        {"another selection", 0.1f, 0.2f, false, true, 1, 0xFFFFFF},
        {"left click inside the zone", 0.5f, 0, false, true, 2, 0xFFFFFF},
        {"right click inside the zone", 0.5f, 0, true, true, 3, 0xE9EC01},
        {"right click outside the zone", 0.9f, 0, true, true, 2, 0xFFFFFF},
        {"no zone, no selection", 0.4f, 0, false, false, 4, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        if (!c.zone)
            FormMain->PageBinEdit->bingrid->AssignBin(nullptr);
        View()->SetSelStart(c.selStart);
        View()->SetSelLen(c.selLen);
        View()->RightButtonSelection = c.rightButton;
        FormMain->ZoneEditPlayClick();
        EXPECT_EQ(FormMain->PageBinEdit->PlayMode, c.mode) << c.name;
        EXPECT_EQ(View()->ColorSelectionBack, c.back) << c.name;
        EXPECT_TRUE(View()->Player().IsPlaying()) << c.name;
        FormMain->Image13Click();
        EXPECT_EQ(FormMain->PageBinEdit->PlayMode, 0);
        EXPECT_FALSE(View()->Player().IsPlaying());
    }
}

TEST_F(BinsTest, AZoneOfLengthZeroPlaysNothing)
{
    AddBin("A", SongA(), {Zone("empty", SongA(), 2, 0)});
    Show(PageBinEditIndex);
    FormMain->ZoneEditPlayClick();
    EXPECT_FALSE(View()->Player().IsPlaying());
}

TEST_F(BinsTest, SavingAZoneAsksForTheProposedNameAndAddsItFromTheSelection)
{
    AddBin("Drums", SongA(), {Zone("kick", SongA(), 0, 1), Zone("Drums #3", SongA(), 1, 1)});
    Show(PageBinEditIndex);
    View()->SetSelStart(0.5f);
    View()->SetSelLen(0.25f);
    messages.QueueInput(std::nullopt);
    FormMain->Button1Click();
    ASSERT_EQ(messages.Inputs().size(), 1u);
    EXPECT_EQ(messages.Inputs()[0].caption, "Save Zone");
    EXPECT_EQ(messages.Inputs()[0].prompt, "Zone Name");
    EXPECT_EQ(messages.Inputs()[0].text, "Drums #4");
    EXPECT_EQ(snl.Bins.At(0)->Items.Count(), 2) << "cancel adds nothing";

    View()->SetSelStart(0.5f);
    View()->SetSelLen(0.25f);
    messages.QueueInput("Fill \"big\"");
    FormMain->Button1Click();
    const cBin& bin = *snl.Bins.At(0);
    ASSERT_EQ(bin.Items.Count(), 3);
    const cBinItem& saved = *bin.Items.At(2);
    EXPECT_EQ(saved.title, "Fill \"big\"");
    EXPECT_EQ(saved.filename, SongA());
    EXPECT_NEAR(saved.start, 4.0f, 1e-4);
    EXPECT_NEAR(saved.length, 2.0f, 1e-4);
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->Row(), 2) << "the new zone is selected";
    EXPECT_EQ(View()->Zones.Count(), 4) << "the selection zone and one zone per item";
    EXPECT_EQ(View()->SelectedZoneIndex, 3);
}

TEST_F(BinsTest, RenamingAZoneRenamesTheRowsMadeFromIt)
{
    const cBinItem intro = Zone("Intro", SongA(), 1, 2);
    AddBin("A", SongA(), {intro});
    AddRow(intro);
    AddRow(Zone("Intro", SongA(), 1, 2.5f)); // edited afterwards
    Show(PageBinEditIndex);
    messages.QueueInput("Opening");
    FormMain->Image24Click();
    EXPECT_EQ(snl.Bins.At(0)->Items.At(0)->title, "Opening");
    EXPECT_EQ(Names(snl.mixdata), (std::vector<std::string>{"Opening", "Intro"}));
    EXPECT_EQ(messages.Inputs().back().caption, "Zone Name");
    EXPECT_EQ(messages.Inputs().back().prompt, "New Zone Name");
}

TEST_F(BinsTest, DraggingAZonesStartMarkerShortensItAndTheRowsFollow)
{
    const cBinItem zone = Zone("Intro", SongA(), 2, 4);
    AddBin("A", SongA(), {Zone("other", SongA(), 0, 1), zone});
    AddRow(zone);
    snl.Bins.At(0)->SelectedItem = 1;
    Show(PageBinEditIndex);
    View()->SelectedZoneIndex = 2;
    View()->Redraw();
    const cMarker* start = View()->Zones.At(2)->Start;
    ASSERT_TRUE(start->CaptionShown);
    const QPoint grab = In(View(), start->CaptionRect.center());
    Drag(grab, {grab + QPoint(10, 0), grab + QPoint(40, 0)});
    const cBinItem& moved = *snl.Bins.At(0)->Items.At(1);
    EXPECT_GT(moved.start, 2.5f);
    EXPECT_NEAR(moved.start + moved.length, 6.0f, 1e-4) << "the end stays put";
    EXPECT_EQ(snl.mixdata.At(0)->start, moved.start);
    EXPECT_EQ(snl.mixdata.At(0)->length, moved.length);
    EXPECT_EQ(FormMain->PageBinEdit->PlayMode, 2);
    EXPECT_EQ(View()->GetSelLen(), 0.0f);
}

TEST_F(BinsTest, ReorderingZonesInTheZoneGridRenumbersTheViewsZones)
{
    AddBin("A", SongA(), {Zone("one", SongA(), 0, 1), Zone("two", SongA(), 2, 1), Zone("three", SongA(), 4, 1)});
    Show(PageBinEditIndex);
    TPlaylistGrid* grid = FormMain->PageBinEdit->bingrid->StringGrid1;
    Drag(GridRow(grid, 0), {GridRow(grid, 0) + QPoint(0, 6), GridRow(grid, 2), GridRow(grid, 2) + QPoint(0, 2)});
    const cBin& bin = *snl.Bins.At(0);
    EXPECT_EQ(bin.Items.At(2)->title, "one");
    ASSERT_EQ(View()->Zones.Count(), 4);
    EXPECT_EQ(View()->Zones.At(3)->Link, bin.Items.At(2));
    EXPECT_NEAR(View()->Zones.At(3)->Start->Pos, 0.0f, 1e-6);
    EXPECT_NEAR(View()->Zones.At(1)->Start->Pos, 0.25f, 1e-6);
}

TEST_F(BinsTest, ZoneKeysActOnlyOnTheZoneEditorPage)
{
    AddBin("A", SongA(), {Zone("A #1", SongA(), 2, 4)});
    Show(PagePlaylistIndex);
    const float viewLen = View()->ViewLen();
    View()->SetSelStart(0.3f);
    QTest::keyClick(FormMain, Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(View()->ViewLen(), viewLen);
    QTest::keyClick(FormMain, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(View()->Player().IsPlaying()) << "no preview in a hidden view";
    FormMain->ShowPage(PageBinEditIndex);
    QTest::keyClick(FormMain, Qt::Key_I, Qt::ControlModifier);
    EXPECT_LT(View()->ViewLen(), viewLen);
    View()->SetSelStart(0.3f);
    View()->SetSelLen(0);
    QTest::keyClick(FormMain, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(View()->Player().IsPlaying());
    QTest::keyClick(FormMain, Qt::Key_Space);
    EXPECT_FALSE(View()->Player().IsPlaying()) << "Space stops the zone editor's preview";
}

TEST_F(BinsTest, DoubleClickingAZonePlaysItAndAStripOpensItsBinInTheZoneEditor)
{
    AddBin("A", SongA(), {Zone("a", SongA(), 0, 1)});
    AddBin("B", SongB(), {Zone("b1", SongB(), 0, 1), Zone("b2", SongB(), 2, 1)});
    Show(PagePlaylistIndex);
    FormMain->playlisteditorClick();
    TPlaylistGrid* strip = FormMain->PagePlaylist->ReposEdits[1]->StringGrid1;
    QTest::mouseClick(Window(), Qt::LeftButton, {}, GridRow(strip, 1));
    QTest::keyClick(FormMain, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex);
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->currentRow(), 1);
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->data, snl.Bins.At(1));
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->Row(), 1) << "the zone clicked in the strip";
    EXPECT_EQ(View()->SelectedZoneIndex, 2);

    FormMain->Image13Click();
    QTest::mouseDClick(Window(), Qt::LeftButton, {}, GridRow(FormMain->PageBinEdit->bingrid->StringGrid1, 0));
    EXPECT_TRUE(View()->Player().IsPlaying());
    EXPECT_EQ(FormMain->PageBinEdit->PlayMode, 2);
    EXPECT_EQ(snl.SelectedZone, 0);
}

// ---- Sources -------------------------------------------------------------------------------

TEST_F(BinsTest, AFileFromTheOpenDialogBecomesTheSelectedSource)
{
    AddBin("A", SongA());
    snl.OnChange(nullptr);
    messages.QueueInput(SongB());
    FormMain->openmp3Click(FormMain->selectfromdisk);
    ASSERT_EQ(snl.Bins.Count(), 2);
    // Every kind of file the sound layer plays can be picked, and any file at all.
    EXPECT_EQ(messages.Inputs().at(0).prompt,
              "Sound files|*.wav;*.aif;*.aiff;*.aifc;*.flac;*.au;*.snd;*.caf;*.w64;*.rf64;*.ogg;*.mp3;*.mp2;*.wma"
              "|All files|*");
    EXPECT_EQ(snl.Bins.At(1)->title, "song b.wav");
    EXPECT_EQ(snl.Bins.At(1)->filename, SongB());
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->currentRow(), 1);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PageBinEditIndex);
    EXPECT_EQ(View()->FileName(), SongB());
    EXPECT_FALSE(View()->FileLocked);

    for (const AudioFileKind kind : {AudioFileKind::Ogg, AudioFileKind::Flac}) {
        const std::string file = SoundFile("picked" + sonorel_test::ExtensionOf(kind), 1, kind);
        messages.QueueInput(file);
        FormMain->openmp3Click(FormMain->selectfromdisk);
        EXPECT_EQ(snl.Bins.At(snl.Bins.Count() - 1)->filename, file);
        EXPECT_EQ(View()->FileName(), file);
    }
    ASSERT_EQ(snl.Bins.Count(), 4);

    messages.QueueInput(std::nullopt);
    FormMain->openmp3Click(FormMain->selectfromdisk);
    FormMain->AudioOpen.FileName = "/no/such/file.mp3";
    FormMain->openmp3Click(nullptr); // automation: no dialog
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Can't open file. Wrong file name."}));
    EXPECT_EQ(snl.Bins.Count(), 4);
}

// A source that went after the project loaded says so in a message when its bin is first
// selected; one missing at the load was named by the load's message. In the zone editor the view
// names both alike in place of the waveform, at every selection, and shows the bins' zones
// without a time line.
TEST_F(BinsTest, ASourceMissingAtTheLoadOrSinceIsNamedInTheZoneEditorAlike)
{
    const std::string folder = sonorel_test::FixtureFolder();
    const std::string kept = folder + "/kept.wav";
    const std::string vanishing = folder + "/vanishing.wav";
    const std::string gone = folder + "/gone.wav";
    for (const std::string& file : {kept, vanishing, gone}) {
        fs::copy_file(SongA(), file);
        const std::string name = fs::path(file).stem().string();
        AddBin(name, file, {Zone(name + " #1", file, 1, 2)});
    }
    const std::string project = folder + "/vanishing.snmx";
    snl.SaveToFile(project);
    fs::remove(gone);
    FormMain->LoadProject(project);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{MissingSourcesMessage({gone})});
    fs::remove(vanishing);
    FormMain->ShowPage(PageBinEditIndex);

    const struct {
        int bin;
        std::vector<std::string> messages;
        std::string shown;
        std::string named; // in the view, in place of the waveform
    } selections[] = {
        {1, {"File not found " + vanishing + "."}, "", "File not found " + vanishing + "."},
        {2, {}, "", "File not found " + gone + "."},
        {0, {}, kept, ""},
        {1, {}, "", "File not found " + vanishing + "."},
        {2, {}, "", "File not found " + gone + "."},
    };
    for (const auto& s : selections) {
        messages.Clear();
        FormMain->PageBinEdit->FilesList->setCurrentRow(s.bin);
        FormMain->FilesListClick();
        EXPECT_EQ(messages.Texts(), s.messages) << "bin " << s.bin;
        EXPECT_EQ(View()->FileName(), s.shown) << "bin " << s.bin;
        EXPECT_EQ(View()->LoadFailure(), s.named) << "bin " << s.bin;
        EXPECT_EQ(FormMain->PageBinEdit->bingrid->data, snl.Bins.At(s.bin)) << "bin " << s.bin;
        EXPECT_EQ(View()->Zones.Count(), s.shown.empty() ? 1 : 2) << "the selection, and the zone with a file";
    }
}

// For review (SONOREL_SCREENSHOT_DIR): the source dialog in a folder of files, a bin whose source
// went after the project loaded, with the real message box over the window, and a bin whose
// source was missing at the load.
TEST(SourceScreenshots, TheSourceDialogAndMissingSources)
{
    const QString shots = qEnvironmentVariable("SONOREL_SCREENSHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "SONOREL_SCREENSHOT_DIR not set";
    const std::string folder = sonorel_test::FixtureFolder();
    std::map<std::string, std::string> files;
    for (const auto& [name, kind] : std::vector<std::pair<std::string, AudioFileKind>>{
             {"Blue Hour.ogg", AudioFileKind::Ogg}, {"Field Recording.flac", AudioFileKind::Flac},
             {"Intro.mp3", AudioFileKind::Mp3}, {"LOUD MIX.MP3", AudioFileKind::Mp3},
             {"Morning Take.wav", AudioFileKind::Wav}, {"Evening Take.aiff", AudioFileKind::Aiff}})
        ASSERT_TRUE(sonorel_test::WriteAudioFile(files[name] = folder + "/" + name, kind,
                                                 sonorel_test::MakeSweepNoise({44100, 2, 6.0, 1}), 44100, 2));
    sonorel_test::WriteBytes(folder + "/notes.txt", "set list\n");
    snl.mixdata.Clear();
    snl.Bins.Clear();
    SetCommandLine({"sonorel"});
    CreateForms();
    FormMain->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(FormMain));
    WAIT_TRUE(!FormMain->FirstActivation);
    auto whenModal = [](std::function<void(QWidget*)> act) {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, [poll, act] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                poll->deleteLater();
                poll->stop();
                QTest::qWait(500); // the dialog lists the folder
                act(modal);
            }
        });
        poll->start(50);
    };

    FormMain->AudioOpen.FileName = folder + "/";
    whenModal([&shots](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        files->resize(760, 460);
        QTest::qWait(200);
        files->grab().save(shots + "/add_from_disk_dialog.png");
        files->selectNameFilter("All files (*)");
        QTest::qWait(300);
        files->grab().save(shots + "/add_from_disk_dialog_all_files.png");
        files->reject();
    });
    FormMain->openmp3Click(FormMain->selectfromdisk);

    for (const auto& [name, file] : std::vector<std::pair<std::string, std::string>>{
             {"Morning Take", files["Morning Take.wav"]},
             {"Evening Take", files["Evening Take.aiff"]},
             {"Blue Hour", files["Blue Hour.ogg"]}})
        AddBin(name, file, {Zone(name + " #1", file, 0.5f, 2), Zone("Break", file, 3, 1.5f)});
    const std::string project = folder + "/vanishing.snmx";
    snl.SaveToFile(project);
    fs::remove(files["Blue Hour.ogg"]);
    whenModal([](QWidget* box) { box->close(); }); // the load names the missing source
    FormMain->LoadProject(project);
    FormMain->ShowPage(PageBinEditIndex);
    fs::remove(files["Evening Take.aiff"]);
    whenModal([&shots](QWidget* box) {
        QGuiApplication::primaryScreen()->grabWindow(0).save(shots + "/vanished_source_message.png");
        box->close();
    });
    FormMain->PageBinEdit->FilesList->setCurrentRow(1);
    FormMain->FilesListClick();
    QTest::qWait(300);
    FormMain->grab().save(shots + "/vanished_source_bin.png");
    FormMain->PageBinEdit->FilesList->setCurrentRow(2);
    FormMain->FilesListClick();
    QTest::qWait(300);
    FormMain->grab().save(shots + "/source_missing_at_load_bin.png");
    DestroyForms();
    snl.mixdata.Clear();
    snl.Bins.Clear();
}

TEST_F(BinsTest, AFileThatCannotBeOpenedNeverBecomesABinEvenOnASecondTry)
{
    const std::string folder = sonorel_test::FixtureFolder();
    const std::vector<std::string> bad = {folder + "/missing.wav", folder + "/empty.mp3", folder + "/text.wav"};
    sonorel_test::WriteBytes(bad[1], "");
    sonorel_test::WriteBytes(bad[2], "this is no sound at all\n");
    for (const std::string& path : bad) {
        for (int attempt = 0; attempt < 2; ++attempt)
            EXPECT_ANY_THROW(FormMain->OpenSourceFile(path, true)) << path << " attempt " << attempt;
        EXPECT_EQ(snl.Bins.Count(), 0) << path;
        EXPECT_FALSE(View()->FileLocked);
    }
    FormMain->OpenSourceFile(SongA(), true);
    EXPECT_EQ(snl.Bins.Count(), 1) << "a good file after the bad ones";
}

TEST_F(BinsTest, TheViewTakesFilesAgainAfterAStepOfAddingThrew)
{
    auto refresh = snl.OnChange;
    snl.OnChange = [](QObject*) { throw std::runtime_error("refresh failed"); };
    EXPECT_THROW(FormMain->OpenSourceFile(SongA(), true), std::runtime_error);
    snl.OnChange = refresh;
    EXPECT_FALSE(View()->FileLocked);
    FormMain->OpenSourceFile(SongB(), true);
    EXPECT_EQ(View()->FileName(), SongB());
}

TEST_F(BinsTest, WizardFilesBecomeSourcesAndAOneBinRipGetsAZonePerTrack)
{
    FormMain->AddWizardSources({SongA(), SongB(), SongA()}, false, {});
    ASSERT_EQ(snl.Bins.Count(), 3);
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->currentRow(), 2) << "only the last is selected";
    EXPECT_EQ(snl.Bins.At(2)->Items.Count(), 0);

    FormMain->AddWizardSources({SongB()}, true, {200.5f, 412.0f});
    ASSERT_EQ(snl.Bins.Count(), 4);
    const cBin& bin = *snl.Bins.At(3);
    ASSERT_EQ(bin.Items.Count(), 2);
    EXPECT_EQ(bin.Items.At(0)->title, "song b.wav #1");
    EXPECT_EQ(bin.Items.At(1)->title, "song b.wav #2");
    EXPECT_EQ(bin.Items.At(0)->start, 0.0f);
    EXPECT_EQ(bin.Items.At(0)->length, 200.5f);
    EXPECT_EQ(bin.Items.At(1)->start, 200.5f);
    EXPECT_EQ(bin.Items.At(1)->length, 211.5f);
    EXPECT_EQ(bin.Items.At(1)->filename, SongB());
    EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->rowCount(), 2);
}

// ---- Strips and drops ----------------------------------------------------------------------

TEST_F(BinsTest, BinStripsPageThroughTheBinsAndTheCurrentBinsStripTakesTheFocus)
{
    const struct {
        int bins;
        bool scrollShown;
        int scrollMax;
        int visibleStrips;
    } cases[] = {{0, false, 0, 0}, {3, false, 0, 3}, {4, true, 1, 3}, {5, true, 2, 3}};
    for (const auto& c : cases) {
        snl.Bins.Clear();
        for (int i = 0; i < c.bins; ++i)
            AddBin("bin " + std::to_string(i + 1), SongA());
        FormMain->ShowPage(PageStartIndex);
        snl.OnChange(nullptr);
        FormMain->PageBinEdit->FilesList->setCurrentRow(c.bins - 1);
        FormMain->FilesListClick();
        FormMain->playlisteditorClick();
        EXPECT_EQ(!FormMain->PagePlaylist->BinsScroll->isHidden(), c.scrollShown) << c.bins << " bins";
        EXPECT_EQ(FormMain->PagePlaylist->BinsScroll->maximum(), c.scrollMax) << c.bins << " bins";
        int visible = 0;
        for (TFrameReposEdit* strip : FormMain->PagePlaylist->ReposEdits)
            visible += !strip->isHidden();
        EXPECT_EQ(visible, c.visibleStrips) << c.bins << " bins";
        if (c.bins == 0)
            continue;
        EXPECT_TRUE(FormMain->PagePlaylist->ReposEdits[2]->StringGrid1->hasFocus()) << c.bins << " bins: the last bin's strip";
        EXPECT_EQ(FormMain->PagePlaylist->ReposEdits[2]->data, snl.Bins.At(c.bins - 1));
        EXPECT_EQ(FormMain->PagePlaylist->ReposTitles[2]->text().toStdString(), "bin " + std::to_string(c.bins));
    }
    FormMain->PagePlaylist->BinsScroll->setValue(0);
    EXPECT_EQ(FormMain->PagePlaylist->ReposEdits[0]->data, snl.Bins.At(0));
    EXPECT_EQ(FormMain->PagePlaylist->ReposTitles[0]->toolTip(), "bin 1");
}

TEST_F(BinsTest, ZonesDraggedFromAStripAppendBelowTheLastRowOrInsertOnARow)
{
    AddBin("A", SongA(), {Zone("one", SongA(), 0, 1), Zone("two", SongA(), 1, 1)});
    for (const char* name : {"r1", "r2", "r3", "r4"})
        AddRow(Zone(name, SongB(), 0, 1));
    Show(PagePlaylistIndex);
    FormMain->playlisteditorClick();
    TPlaylistGrid* strip = FormMain->PagePlaylist->ReposEdits[0]->StringGrid1;
    TPlaylistGrid* playlist = FormMain->PagePlaylist->PlaylistEdit->Grid;
    const QPoint below = In(playlist->viewport(), QPoint(40, playlist->viewport()->height() - 5));
    Drag(GridRow(strip, 1), {GridRow(strip, 1) + QPoint(8, 0), below});
    EXPECT_EQ(Names(snl.mixdata), (std::vector<std::string>{"r1", "r2", "r3", "r4", "two"}));
    EXPECT_EQ(snl.SelectedRow, 4);
    Drag(GridRow(strip, 0), {GridRow(strip, 0) + QPoint(8, 0), GridRow(playlist, 2, 60)});
    EXPECT_EQ(Names(snl.mixdata), (std::vector<std::string>{"r1", "r2", "one", "r3", "r4", "two"}));
    EXPECT_EQ(snl.mixdata.At(2)->filename, SongA());
    EXPECT_EQ(snl.mixdata.At(2)->length, 1.0f);

    Drag(GridRow(strip, 0), {GridRow(strip, 0) + QPoint(8, 0), GridRow(strip, 1)});
    EXPECT_EQ(snl.Bins.At(0)->Items.At(0)->title, "one") << "a strip does not reorder";

    snl.WavProducer.Stopped = 0;
    Drag(GridRow(strip, 0), {GridRow(strip, 0) + QPoint(8, 0), GridRow(playlist, 0, 60)});
    snl.WavProducer.Stopped = 1;
    EXPECT_EQ(snl.mixdata.Count(), 6);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Can't drag and drop while playing."}));
}

TEST_F(BinsTest, ATriggerDroppedOnARowSetsItAndClearsTheOverlapBeforeIt)
{
    for (const char* name : {"r1", "r2", "r3", "r4", "r5"})
        AddRow(Zone(name, SongB(), 0, 1))->overlap = true;
    snl.mixdata.At(3)->overlaplen = 0.5f;
    Show(PagePlaylistIndex);
    TPlaylistGrid* playlist = FormMain->PagePlaylist->PlaylistEdit->Grid;
    const QPoint mouse = In(FormMain->PagePlaylist->MouseWait, QPoint(10, 10));
    Drag(mouse, {mouse + QPoint(8, 0), GridRow(playlist, 0, 60)});
    EXPECT_EQ(snl.mixdata.At(0)->trigger, TriggerMouse);
    EXPECT_TRUE(snl.mixdata.At(0)->overlap) << "no row before the first";
    Drag(mouse, {mouse + QPoint(8, 0), GridRow(playlist, 4, 60)});
    EXPECT_EQ(snl.mixdata.At(4)->trigger, TriggerMouse);
    EXPECT_FALSE(snl.mixdata.At(3)->overlap);
    EXPECT_EQ(snl.mixdata.At(3)->overlaplen, 0.0f);
    EXPECT_TRUE(snl.mixdata.At(2)->overlap);
}

TEST_F(BinsTest, AnIconDraggedOntoThePageBackgroundResetsItsParameter)
{
    AddRow(Zone("r1", SongB(), 0, 1))->MixParams.volume = 40;
    AddRow(Zone("r2", SongB(), 0, 1))->MixParams.volume = 60;
    Show(PagePlaylistIndex);
    TPlaylistGrid* playlist = FormMain->PagePlaylist->PlaylistEdit->Grid;
    const int iconColumn = playlist->columnWidth(0) + playlist->columnWidth(1);
    const QPoint volume = GridRow(playlist, 1, iconColumn + 30);
    const QPoint background = In(FormMain->PagePlaylist->PlaylistBack, QPoint(700, 600));
    Drag(volume, {volume + QPoint(2, 0), background});
    EXPECT_EQ(snl.mixdata.At(1)->MixParams.volume, 100);
    EXPECT_EQ(snl.mixdata.At(0)->MixParams.volume, 40);

    snl.mixdata.At(1)->MixParams.volume = 60;
    snl.WavProducer.Stopped = 0;
    Drag(volume, {volume + QPoint(2, 0), background});
    snl.WavProducer.Stopped = 1;
    EXPECT_EQ(snl.mixdata.At(1)->MixParams.volume, 60);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Can't modify playlist while playing."}));
}

// ---- Bins going away -----------------------------------------------------------------------

TEST_F(BinsTest, FramesAndZonesLetGoOfBinsThatAreRemovedOrReplaced)
{
    const std::string empty = sonorel_test::FixtureFolder() + "/no bins.snmx";
    snl.SaveToFile(empty);
    const struct {
        const char* name;
        std::function<void()> remove;
    } cases[] = {
        {"remove the last bin", [] { FormMain->DeleteFile1Click(); }},
        {"new project",
         [this] {
             messages.QueueAnswer(ui::MsgResult::Ok);
             FormMain->NewProject1Click();
         }},
        {"load a project without bins", [&empty] { FormMain->LoadProject(empty); }},
    };
    for (const auto& c : cases) {
        snl.Bins.Clear();
        AddBin("A", SongA(), {Zone("one", SongA(), 0, 1), Zone("two", SongA(), 2, 1)});
        Show(PageBinEditIndex);
        FormMain->PageBinEdit->FilesList->setCurrentRow(0);
        ASSERT_EQ(View()->Zones.Count(), 3);
        c.remove();
        EXPECT_EQ(snl.Bins.Count(), 0) << c.name;
        EXPECT_EQ(FormMain->PageBinEdit->bingrid->data, nullptr) << c.name;
        EXPECT_EQ(FormMain->PageBinEdit->bingrid->StringGrid1->rowCount(), 1) << c.name;
        for (TFrameReposEdit* strip : FormMain->PagePlaylist->ReposEdits)
            EXPECT_EQ(strip->data, nullptr) << c.name;
        EXPECT_EQ(View()->Zones.Count(), 1) << c.name << ": only the selection zone";
        // Painting and a marker drag read nothing freed (the sanitizer build checks).
        FormMain->ShowPage(PageBinEditIndex);
        FormMain->grab();
        cMarker* selectionStart = View()->Zones.At(0)->Start;
        FormMain->LoopViewMarkerMoveStart(selectionStart);
        FormMain->LoopViewMarkerMove(selectionStart);
        FormMain->LoopViewMarkerMoveEnd(selectionStart);
    }
}

TEST_F(BinsTest, RemovingAndRenamingSourcesRefreshesListStripsAndTitles)
{
    AddBin("A", SongA(), {Zone("one", SongA(), 0, 1)});
    AddBin("B", SongB());
    AddRow(Zone("one", SongA(), 0, 1));
    Show(PageBinEditIndex);
    FormMain->PageBinEdit->FilesList->setCurrentRow(1);
    messages.QueueInput("B \xC3\xA9");
    FormMain->Rename2Click();
    EXPECT_EQ(snl.Bins.At(1)->title, "B \xC3\xA9");
    EXPECT_EQ(FormMain->PageBinEdit->FilesList->item(1)->text().toStdString(), "B \xC3\xA9");
    EXPECT_EQ(FormMain->PagePlaylist->ReposTitles[1]->toolTip().toStdString(), "B \xC3\xA9");
    EXPECT_EQ(messages.Inputs().back().caption, "Rename");
    EXPECT_EQ(messages.Inputs().back().prompt, "New Name");

    FormMain->PageBinEdit->FilesList->setCurrentRow(0);
    FormMain->FilesListClick();
    TPlaylistGrid* zones = FormMain->PageBinEdit->bingrid->StringGrid1;
    zones->setFocus();
    messages.QueueInput("first");
    QTest::keyClick(zones, Qt::Key_F2);
    EXPECT_EQ(snl.Bins.At(0)->Items.At(0)->title, "first");
    EXPECT_EQ(snl.mixdata.At(0)->name, "first");
    QTest::keyClick(zones, Qt::Key_Delete);
    EXPECT_EQ(snl.Bins.At(0)->Items.Count(), 0);
    EXPECT_EQ(View()->Zones.Count(), 1);
    EXPECT_EQ(View()->GetSelLen(), 0.0f);
    EXPECT_EQ(snl.mixdata.At(0)->name, "first") << "rows made from a deleted zone stay";

    FormMain->PageBinEdit->FilesList->setCurrentRow(1);
    FormMain->DeleteFile1Click();
    FormMain->PageBinEdit->FilesList->setCurrentRow(0);
    FormMain->DeleteFile1Click();
    EXPECT_EQ(snl.Bins.Count(), 0);
    EXPECT_EQ(snl.mixdata.Count(), 1) << "rows made from a removed bin stay";
    EXPECT_EQ(View()->FileName(), "");
    messages.Clear();
    FormMain->LoopEditorClick();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Project doesn't have any source audio files."}));
}

TEST_F(BinsTest, LongSourceTitlesEndInAnEllipsisInTheListAndOverTheStrips)
{
    const std::string title = "Vocals recorded at the evening session in the big hall";
    AddBin("Drums", SongA());
    AddBin(title, SongB());
    Show(PagePlaylistIndex);
    const QString shown = FormMain->PagePlaylist->ReposTitles[1]->text();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(QString::fromStdString(title).startsWith(shown.chopped(1))) << shown.toStdString();
    EXPECT_EQ(FormMain->PagePlaylist->ReposTitles[1]->toolTip().toStdString(), title);
    EXPECT_EQ(FormMain->PagePlaylist->ReposTitles[0]->text(), "Drums");

    Show(PageBinEditIndex);
    QListWidget* list = FormMain->PageBinEdit->FilesList;
    EXPECT_EQ(list->item(1)->text().toStdString(), title);
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0) << "the list does not scroll sideways";
    EXPECT_LE(list->visualItemRect(list->item(1)).right(), list->viewport()->rect().right())
        << "the item ends where the list ends, so the list ends its text in an ellipsis";
}

// ---- Commands ------------------------------------------------------------------------------

TEST_F(BinsTest, ProjectDialogsOfferSonorelProjectsAndTheLoadedPath)
{
    AddBin("A", SongA());
    const std::string project = sonorel_test::FixtureFolder() + "/commands.snmx";
    snl.SaveToFile(project);
    snl.Bins.Clear();
    messages.QueueInput(project);
    FormMain->Image21Click();
    EXPECT_EQ(snl.Bins.Count(), 1);
    EXPECT_EQ(FormMain->Pages->currentIndex(), PagePlaylistIndex);
    // The save dialog offers the loaded file, with the data folder (made again when it went) as
    // the folder of a name without one.
    const std::string dataFolder = GetDataFolder();
    RemoveTestDataFolder(dataFolder);
    messages.QueueInput(std::nullopt);
    FormMain->Save1Click();
    EXPECT_TRUE(fs::is_directory(dataFolder));
    const std::vector<ui::RecordedInput> inputs = messages.Inputs();
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(inputs[0].prompt, "Sonorel Project|*.snmx");
    EXPECT_EQ(inputs[0].text, "");
    EXPECT_EQ(inputs[1].prompt, "Sonorel Project|*.snmx");
    EXPECT_EQ(inputs[1].text, project);
    EXPECT_EQ(inputs[1].folder, dataFolder);

    messages.QueueAnswer(ui::MsgResult::Cancel);
    FormMain->NewProject1Click();
    EXPECT_EQ(snl.Bins.Count(), 1);
    EXPECT_EQ(FormMain->ProjSaveDialog.FileName, project) << "cancel keeps the file name";
    messages.QueueAnswer(ui::MsgResult::Ok);
    FormMain->NewProject1Click();
    RemoveTestDataFolder(dataFolder);
    messages.QueueInput(std::nullopt);
    FormMain->Save1Click();
    EXPECT_EQ(messages.Inputs().back().text, "") << "a new project is saved under a new name";
    EXPECT_EQ(messages.Inputs().back().folder, dataFolder);
    EXPECT_TRUE(fs::is_directory(dataFolder));
}

// The user's whole path, headless: a mix made inside the program comes back equal after a save,
// a new project and a load, and its export lasts as long as the mix.
TEST_F(BinsTest, AMixMadeInsideTheProgramSurvivesSaveNewAndLoad)
{
    FormMain->OpenSourceFile(SongA(), true);
    FormMain->OpenSourceFile(SongB(), true);
    View()->Store().WaitLoaded();
    View()->SetSelStart(0.2f);
    View()->SetSelLen(0.4f);
    messages.QueueInput("B one");
    FormMain->Button1Click();
    View()->SetSelStart(0.0f);
    View()->SetSelLen(0.2f);
    messages.QueueInput("B two");
    FormMain->Button1Click();
    messages.QueueInput("B first");
    FormMain->PageBinEdit->bingrid->StringGrid1->SetRow(0);
    FormMain->Image24Click();
    FormMain->playlisteditorClick();
    TPlaylistGrid* strip = FormMain->PagePlaylist->ReposEdits[1]->StringGrid1;
    TPlaylistGrid* playlist = FormMain->PagePlaylist->PlaylistEdit->Grid;
    const QPoint below = In(playlist->viewport(), QPoint(40, playlist->viewport()->height() - 5));
    Drag(GridRow(strip, 0), {GridRow(strip, 0) + QPoint(8, 0), below});
    Drag(GridRow(strip, 1), {GridRow(strip, 1) + QPoint(8, 0), below});
    const QPoint key = In(FormMain->PagePlaylist->KeyboardWait, QPoint(10, 10));
    Drag(key, {key + QPoint(8, 0), GridRow(playlist, 1, 60)});
    ASSERT_EQ(Names(snl.mixdata), (std::vector<std::string>{"B first", "B two"}));
    EXPECT_EQ(snl.mixdata.At(1)->trigger, TriggerKey);
    EXPECT_TRUE(messages.Texts().empty());

    const std::string project = sonorel_test::FixtureFolder() + "/made here.snmx";
    messages.QueueInput(project);
    FormMain->Save1Click();
    const std::string saved = snl.SaveToText();
    messages.QueueAnswer(ui::MsgResult::Ok);
    FormMain->NewProject1Click();
    EXPECT_EQ(snl.Bins.Count() + snl.mixdata.Count(), 0);
    messages.QueueInput(project);
    FormMain->Image21Click();
    EXPECT_EQ(snl.SaveToText(), saved);
    EXPECT_EQ(snl.Bins.At(0)->title, "song a.wav");

    const float mixLength = snl.mixdata.TotalLength();
    EXPECT_NEAR(mixLength, 0.4f * 5 + 0.2f * 5, 1e-3);
    const std::string wav = sonorel_test::FixtureFolder() + "/made here.wav";
    FormSaveToWav->SetMode(true);
    FormSaveToWav->filename->setText(QString::fromStdString(wav));
    QTimer::singleShot(0, FormSaveToWav, [] {
        FormSaveToWav->saveClick();
        FormSaveToWav->close();
    });
    FormSaveToWav->exec();
    EXPECT_NEAR(static_cast<double>(fs::file_size(wav) - 44), mixLength * 44100 * 4, 4 * 2);
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"All unsaved data in current project will be lost. Continue?"}))
        << "nothing failed on the way";
}

} // namespace
