// CD drives of the sound layer, exercised on CUE/BIN images.

#include <gtest/gtest.h>

#include <glob.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundTags.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"
#include "support/hang_guard.h"
#include "support/trace_lines.h"
#include "support/waits.h"
#include "sound_test_util.h"

using namespace sonorel_test;

namespace {

size_t OpenDescriptors()
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

size_t LinesHolding(const TraceLines& lines, const std::string& text)
{
    const std::vector<std::string> all = lines.Lines();
    return static_cast<size_t>(std::count_if(all.begin(), all.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

// The files of the private sheet copies libcdio reads, in this run's runtime folder.
std::vector<std::string> SheetCopies()
{
    std::vector<std::string> files;
    glob_t found{};
    if (glob((std::string(std::getenv("XDG_RUNTIME_DIR")) + "/sonorel-cd-*/*").c_str(), 0, nullptr, &found) == 0)
        files.assign(found.gl_pathv, found.gl_pathv + found.gl_pathc);
    globfree(&found);
    return files;
}

// Names one image drive in SONOREL_CD_IMAGES while it lives.
class EnvironmentImage {
public:
    explicit EnvironmentImage(const std::string& cue) { setenv("SONOREL_CD_IMAGES", cue.c_str(), 1); }
    ~EnvironmentImage() { unsetenv("SONOREL_CD_IMAGES"); }
    EnvironmentImage(const EnvironmentImage&) = delete;
    EnvironmentImage& operator=(const EnvironmentImage&) = delete;
};

// What the rip window asks of its drive at a look: the disc id, then the tracks and their texts.
void ReadAsTheRipWindowDoes(int drive)
{
    BASS_CD_GetID(drive, BASS_CDID_CDDB);
    for (int track = 0; track < BASS_CD_GetTracks(drive); ++track) {
        std::string artist, title;
        BASS_CD_GetTrackLength(drive, track);
        TAGS_ReadArtistTitle("a:\\track0" + std::to_string(track + 1) + ".cda", artist, title);
    }
    BASS_CD_GetImageRefusal(drive);
}

class CdTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        BASS_CD_SimulateReadFaults({});
        BASS_CD_SetReadTimeLimit(0);
        BASS_Free();
    }
    // Track `track` of the image, from the BIN.
    static std::vector<int16_t> TrackSamples(const CdImage& image, int track)
    {
        const auto begin = image.samples.begin() + image.trackStartBytes[track] / 2;
        return {begin, begin + image.trackBytes[track] / 2};
    }
    // Reads a decode-only stream in pulls of odd sizes (whole frames).
    static std::vector<int16_t> ReadOddPulls(BassHandle stream)
    {
        std::vector<int16_t> all, buffer(20000);
        const uint32_t sizes[] = {4, 2352 * 3 + 4, 996, 35280, 12};
        for (int i = 0; i < 100000; ++i) {
            const int32_t got = BASS_ChannelGetData(stream, buffer.data(), sizes[i % 5]);
            if (got < 0)
                break;
            all.insert(all.end(), buffer.begin(), buffer.begin() + got / 2);
        }
        return all;
    }
    ScopedImageDrives drives;
    const std::string folder = FixtureFolder();
};

TEST_F(CdTest, DrivesAreListedInOrderAndAddressedByLetter)
{
    std::vector<CdImage> images;
    for (int i = 0; i < 4; ++i)
        images.push_back(MakeCdImage(folder, "disc" + std::to_string(i), {{1.0 + i, false, uint32_t(i + 1)}}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(drives.Add(images[i]), i);
    EXPECT_EQ(BASS_CD_GetDriveLetter(3), 3);
    EXPECT_EQ(BASS_CD_GetDriveLetter(4), -1);
    EXPECT_EQ(BASS_CD_GetDriveLetter(-1), -1);
    EXPECT_EQ(BASS_CD_GetDriveDescription(3), "Image disc3.cue (" + images[3].cue + ")");
    EXPECT_EQ(BASS_CD_GetDriveDescription(4), "");

    const BassHandle stream = BASS_CD_StreamCreateFile("d:\\track01.cda", BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(stream), 4 * 75 * 2352);
    EXPECT_EQ(sound_test::DecodeAll(stream), TrackSamples(images[3], 0));
    BASS_StreamFree(stream);
}

TEST_F(CdTest, TheEnvironmentAddsImageDrivesBeforeTheLayersOwn)
{
    const CdImage fromEnvironment = MakeCdImage(folder, "env", {{1.0}});
    drives.Add(MakeCdImage(folder, "added", {{2.0}}));
    setenv("SONOREL_CD_IMAGES", (":" + fromEnvironment.cue + "::").c_str(), 1);
    EXPECT_EQ(BASS_CD_GetDriveDescription(0), "Image env.cue (" + fromEnvironment.cue + ")");
    EXPECT_EQ(BASS_CD_GetDriveDescription(1), "Image added.cue (" + folder + "/added.cue)");
    EXPECT_EQ(BASS_CD_GetDriveLetter(2), -1);
    unsetenv("SONOREL_CD_IMAGES");
    EXPECT_EQ(BASS_CD_GetDriveLetter(1), -1);
}

TEST_F(CdTest, BadAddressesAndMissingTracksOpenNothing)
{
    drives.Add(MakeCdImage(folder, "one", {{1.0}, {1.0, true}}));
    for (const char* path : {"a:\\track03.cda", "a:\\track00.cda", "e:\\track01.cda", "a:\\track1.cda",
                             "a:/track01.cda", "a:\\track01.wav", "", "a:\\track02.cda" /* data */})
        EXPECT_EQ(BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE), 0u) << path;
    EXPECT_NE(BASS_CD_StreamCreateFile("A:\\TRACK01.CDA", BASS_STREAM_DECODE), 0u);
}

TEST_F(CdTest, DiscIdTrackCountAndLengthsComeFromTheToc)
{
    drives.Add(MakeCdImage(folder, "five_four", {{5.0}, {4.0}}));
    EXPECT_EQ(BASS_CD_GetID(0, BASS_CDID_CDDB), "09000902 2 150 525 11");
    EXPECT_EQ(BASS_CD_GetTracks(0), 2);
    EXPECT_EQ(BASS_CD_GetTrackLength(0, 0), 5 * 176400);
    EXPECT_EQ(BASS_CD_GetTrackLength(0, 1), 4 * 176400);
    EXPECT_EQ(BASS_CD_GetTrackLength(0, 2), -1);
    // No such drive: no disc.
    EXPECT_EQ(BASS_CD_GetID(1, BASS_CDID_CDDB), "");
    EXPECT_EQ(BASS_CD_GetTracks(1), -1);
    EXPECT_EQ(BASS_CD_GetTrackLength(1, 0), -1);
}

TEST_F(CdTest, OddSizedPullsEqualTheBinAndMovesLandExactly)
{
    const CdImage image = MakeCdImage(folder, "album", {{1.5, false, 1}, {2.2, false, 2}, {0.7, false, 3}});
    drives.Add(image);
    for (int track = 0; track < 3; ++track) {
        const std::string path = "a:\\track0" + std::to_string(track + 1) + ".cda";
        const BassHandle stream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(stream, 0u) << path;
        EXPECT_EQ(ReadOddPulls(stream), TrackSamples(image, track)) << path;
        EXPECT_EQ(BASS_ChannelGetPosition(stream), image.trackBytes[track]);
        BASS_StreamFree(stream);
    }
    const BassHandle stream = BASS_CD_StreamCreateFile("a:\\track02.cda", BASS_STREAM_DECODE);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 2352 * 10 + 400));
    std::vector<int16_t> got(300);
    ASSERT_EQ(BASS_ChannelGetData(stream, got.data(), 600), 600);
    const std::vector<int16_t> track = TrackSamples(image, 1);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), track.begin() + (2352 * 10 + 400) / 2));
    BASS_StreamFree(stream);
}

// Sectors paranoia gives up on are skipped and counted; a second of them in a row, or a drive that
// returns nothing, ends the stream early with its failure flag, whatever the time limit.
TEST_F(CdTest, ReadFaultsAreCountedOrEndTheStream)
{
    struct Case {
        const char* what;
        std::vector<int32_t> bad;
        int32_t removedFrom;
        bool failed;
        bool skipsCounted;
    };
    // Track 2 (sectors 75 to 299) is read.
    std::vector<int32_t> secondOfBadSectors;
    for (int32_t s = 175; s < 255; ++s)
        secondOfBadSectors.push_back(s);
    const Case cases[] = {
        {"three bad sectors", {95, 96, 225}, -1, false, true},
        {"a second of bad sectors", secondOfBadSectors, -1, true, true},
        {"disc removed", {}, 195, true, false},
        {"disc removed before the track", {}, 40, true, false}, // paranoia retries such reads without end
    };
    const CdImage image = MakeCdImage(folder, "faults", {{1.0}, {3.0}});
    drives.Add(image);
    BASS_CD_SetReadTimeLimit(3600 * 1000); // the retry limits alone must end every read
    for (const Case& c : cases) {
        HangGuard guard(c.what);
        BASS_CD_SimulateReadFaults(c.bad, c.removedFrom);
        const BassHandle stream = BASS_CD_StreamCreateFile("a:\\track02.cda", BASS_STREAM_DECODE);
        ASSERT_NE(stream, 0u) << c.what;
        const std::vector<int16_t> all = sound_test::DecodeAll(stream);
        BassCDReadStatus status;
        ASSERT_TRUE(BASS_CD_StreamGetReadStatus(stream, &status));
        EXPECT_EQ(status.failed, c.failed) << c.what;
        EXPECT_EQ(status.skippedSectors > 0, c.skipsCounted) << c.what << " " << status.skippedSectors;
        if (c.failed)
            EXPECT_LT(all.size(), TrackSamples(image, 1).size()) << c.what;
        else
            EXPECT_EQ(all.size(), TrackSamples(image, 1).size()) << c.what;
        EXPECT_EQ(BASS_ChannelGetData(stream, std::vector<int16_t>(8).data(), 16), -1) << c.what;
        BASS_StreamFree(stream);
    }
}

// A sheet whose last INDEX 01 lies past its BIN gives tracks that run past the disc's end;
// paranoia never returns from reading one. Such tracks do not open, and the others read exactly.
TEST_F(CdTest, TracksPastTheEndOfTheBinDoNotOpen)
{
    HangGuard guard("a sheet with an INDEX 01 past the BIN");
    const CdImage image = MakeCdImage(folder, "damaged", {{1.0, false, 1}, {1.0, false, 2}, {1.0, false, 3, CueIndex::PastTheBin}});
    drives.Add(image);
    EXPECT_NE(BASS_CD_GetID(0, BASS_CDID_CDDB), "") << "the disc is still seen";
    const bool readable[] = {true, false, false};
    for (int t = 0; t < 3; ++t) {
        const std::string path = "a:\\track0" + std::to_string(t + 1) + ".cda";
        const BassHandle stream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
        EXPECT_EQ(stream != 0, readable[t]) << path;
        EXPECT_EQ(BASS_CD_GetTrackLength(0, t), readable[t] ? image.trackBytes[t] : -1) << path;
        if (stream) {
            EXPECT_EQ(sound_test::DecodeAll(stream), TrackSamples(image, t)) << path;
            BASS_StreamFree(stream);
        }
    }
}

// Sheets of one BIN that their FILE line names ("Some Album.bin", 750 sectors), each beside a decoy
// BIN named after the sheet, as libcdio alone would pick it. Each gives the tracks it lists, ripped
// frame-exact from the named BIN whatever its first track's number, and the disc id of their
// offsets; or it is refused with its reason. A hundred looks leave no descriptor open and say why
// only once.
TEST_F(CdTest, CueSheetsAreReadAsTheySayOrRefusedWithTheirReason)
{
    const std::string file = "FILE \"Some Album.bin\" BINARY\n";
    const auto track = [](int number, const std::string& at) {
        return "  TRACK " + std::string(number < 10 ? "0" : "") + std::to_string(number) + " AUDIO\n    INDEX 01 " + at + "\n";
    };
    const auto twoTracks = [&](int first) { return file + track(first, "00:00:00") + track(first + 1, "00:04:00"); };
    struct Case {
        const char* what;
        std::string sheet;
        std::vector<int64_t> sectors;        // empty: refused
        std::string why = {};                // the refusal's start, or how a CD-TEXT file is left out
        std::vector<CdTrackText> texts = {}; // the tracks' CD-TEXT
    };
    const Case cases[] = {
        {"tracks from 1", twoTracks(1), {300, 450}},
        {"tracks from 13", twoTracks(13), {300, 450}},
        {"tracks from 74", twoTracks(74), {300, 450}},
        {"track 99 alone", file + track(99, "00:00:00"), {750}},
        {"TRACK 86, then 02 and 03 with only an INDEX 00",
         file + "  TRACK 86 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n"
                "  TRACK 03 AUDIO\n    INDEX 00 00:02:00\n",
         {}, "line 4: TRACK 02 after TRACK 86: tracks must be numbered in sequence"},
        {"a FILE line without a TRACK", file, {}, "no TRACK line"},
        {"tracks 1 and 3", file + track(1, "00:00:00") + track(3, "00:04:00"), {}, "line 4: TRACK 03 after TRACK 01"},
        {"an index of 75 frames", file + track(1, "00:00:00") + track(2, "00:03:75"), {},
         "line 5: \"00:03:75\" is not a time mm:ss:ff"},
        {"a track without INDEX 01", file + track(1, "00:00:00") + "  TRACK 02 AUDIO\n    INDEX 00 00:04:00\n", {},
         "line 4: TRACK 02 has no INDEX 01"},
        {"an index before the one before it", file + track(1, "00:04:00") + track(2, "00:00:00"), {},
         "line 5: INDEX 01 at 00:00:00 is not after the index before it, at 00:04:00"},
        {"two FILE lines", file + track(1, "00:00:00") + file + track(2, "00:00:00"), {},
         "line 4: a second FILE: sheets of more than one file are not read"},
        {"a WAVE file", "FILE \"Some Album.wav\" WAVE\n" + track(1, "00:00:00"), {}, "line 1: FILE of type \"WAVE\""},
        {"a CD-TEXT file of 3 bytes", "CDTEXTFILE \"three.cdt\"\n" + twoTracks(1), {300, 450},
         "three.cdt is left out: its 3 bytes are not whole 18-byte packs"},
        {"a CD-TEXT file that is a folder", "CDTEXTFILE \"folder.cdt\"\n" + twoTracks(1), {300, 450},
         "folder.cdt is left out: it is not a regular file"},
        {"a good CD-TEXT file", "CDTEXTFILE \"good.cdt\"\n" + twoTracks(1), {300, 450}, "",
         {{"The Quartet", "Opening"}, {"", "Caf\xc3\xa9 Walk"}}},
        {"tracks from 80 with a CD-TEXT file of performers only, without a header",
         "CDTEXTFILE \"from80.cdt\"\n" + twoTracks(80), {300, 450}, "", {{"Ann", ""}, {"Bob", ""}}},
    };
    const CdImage image = MakeCdImage(folder, "Some Album", {{4.0}, {6.0}});
    WriteBytes(folder + "/three.cdt", "abc");
    std::filesystem::create_directory(folder + "/folder.cdt");
    WriteBytes(folder + "/good.cdt", MakeCdText(1, {"The Quartet", "Night"}, {{"The Quartet", "Opening"}, {"", "Caf\xe9 Walk"}}));
    WriteBytes(folder + "/from80.cdt", MakeCdText(80, {"Ann & Bob", ""}, {{"Ann", ""}, {"Bob", ""}}, false));
    TraceLines lines;
    SetTraceTarget(&lines);
    std::string twoTrackId;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        HangGuard guard(c.what);
        const std::string name = "sheet" + std::to_string(i);
        MakeCdImage(folder, name, {{1.0, false, 9}}); // the decoy BIN
        WriteBytes(folder + "/" + name + ".cue", c.sheet);
        EnvironmentImage drive(folder + "/" + name + ".cue");
        ReadAsTheRipWindowDoes(0);
        const size_t descriptors = OpenDescriptors();
        for (int look = 0; look < 100; ++look)
            ReadAsTheRipWindowDoes(0);
        EXPECT_EQ(OpenDescriptors(), descriptors) << c.what;
        if (!c.why.empty()) {
            EXPECT_EQ(LinesHolding(lines, c.why), 1u) << c.what << ": said once";
        }
        if (c.sectors.empty()) {
            EXPECT_EQ(BASS_CD_GetTracks(0), -1) << c.what;
            EXPECT_EQ(BASS_CD_GetImageRefusal(0).rfind(name + ".cue: " + c.why, 0), 0u) << c.what << ": "
                                                                                         << BASS_CD_GetImageRefusal(0);
            continue;
        }
        EXPECT_EQ(BASS_CD_GetImageRefusal(0), "") << c.what;
        ASSERT_EQ(BASS_CD_GetTracks(0), static_cast<int>(c.sectors.size())) << c.what;
        auto from = image.samples.begin();
        for (size_t t = 0; t < c.sectors.size(); ++t) {
            EXPECT_EQ(BASS_CD_GetTrackLength(0, static_cast<int>(t)), c.sectors[t] * 2352) << c.what;
            const BassHandle stream = BASS_CD_StreamCreateFile("a:\\track0" + std::to_string(t + 1) + ".cda", BASS_STREAM_DECODE);
            const auto to = from + c.sectors[t] * 2352 / 2;
            EXPECT_EQ(sound_test::DecodeAll(stream), std::vector<int16_t>(from, to)) << c.what << " track " << t + 1;
            BASS_StreamFree(stream);
            from = to;
        }
        if (c.sectors.size() == 2) {
            if (twoTrackId.empty())
                twoTrackId = BASS_CD_GetID(0, BASS_CDID_CDDB);
            EXPECT_EQ(BASS_CD_GetID(0, BASS_CDID_CDDB), twoTrackId) << c.what;
        }
        for (size_t t = 0; t < c.texts.size(); ++t) {
            std::string artist, title;
            EXPECT_TRUE(TAGS_ReadArtistTitle("a:\\track0" + std::to_string(t + 1) + ".cda", artist, title)) << c.what;
            EXPECT_EQ(artist, c.texts[t].performer) << c.what << " track " << t + 1;
            EXPECT_EQ(title, c.texts[t].title) << c.what << " track " << t + 1;
        }
    }
    SetTraceTarget(nullptr);
    EXPECT_EQ(twoTrackId.substr(8), " 2 150 450 12") << "the offsets and the count, not the numbers";
}

// A sheet is read again when it or a file it names changes, and only then; the copy libcdio reads
// is written again when something removed it, and goes with its drive.
TEST_F(CdTest, ASheetIsReadAgainWhenItOrItsFilesChangeAndItsCopyGoesWithItsDrive)
{
    const std::string cue = folder + "/later.cue";
    WriteBytes(cue, "FILE \"later.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    TraceLines lines;
    SetTraceTarget(&lines);
    {
        EnvironmentImage drive(cue);
        for (int look = 0; look < 3; ++look)
            EXPECT_EQ(BASS_CD_GetTracks(0), -1);
        EXPECT_EQ(BASS_CD_GetImageRefusal(0), "later.cue: line 1: the file " + folder + "/later.bin does not exist");
        EXPECT_EQ(LinesHolding(lines, "cannot be read"), 1u);
        const CdImage bin = MakeCdImage(folder, "later", {{1.0}, {2.0}}); // the BIN arrives, with a sheet of two tracks
        EXPECT_EQ(BASS_CD_GetTracks(0), 2);
        EXPECT_EQ(BASS_CD_GetTrackLength(0, 1), 2 * 176400);
        ASSERT_FALSE(SheetCopies().empty());
        std::filesystem::remove_all(std::filesystem::path(SheetCopies().front()).parent_path()); // a cleaner of /tmp
        EXPECT_EQ(BASS_CD_GetTracks(0), 2) << "the copy is written again";
        EXPECT_FALSE(SheetCopies().empty());
    }
    EXPECT_EQ(BASS_CD_GetDriveLetter(0), -1);
    EXPECT_EQ(SheetCopies(), std::vector<std::string>{});
    SetTraceTarget(nullptr);
}

// A drive that stops answering ends a decode-only read as failed at the time limit, after the
// sound read before it; freeing the stream leaves the hanging read behind without waiting for it.
TEST_F(CdTest, ADriveThatStopsAnsweringEndsTheReadAtTheTimeLimit)
{
    HangGuard guard("a read from a drive that stops answering");
    const CdImage image = MakeCdImage(folder, "hang", {{3.0}});
    drives.Add(image);
    BASS_CD_SetReadTimeLimit(300);
    BASS_CD_SimulateReadFaults({}, -1, 100);
    const BassHandle stream = BASS_CD_StreamCreateFile("a:\\track01.cda", BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u);
    const std::vector<int16_t> all = sound_test::DecodeAll(stream);
    BassCDReadStatus status;
    ASSERT_TRUE(BASS_CD_StreamGetReadStatus(stream, &status));
    EXPECT_TRUE(status.failed);
    ASSERT_LT(all.size(), image.samples.size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), image.samples.begin())) << "what was read is the track's start";
    EXPECT_EQ(BASS_ChannelGetData(stream, std::vector<int16_t>(8).data(), 16), -1);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0)) << "the stream stays ended";
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(CdTest, PlayingStreamReadsAheadOnItsOwnThread)
{
    const CdImage image = MakeCdImage(folder, "play", {{2.0}});
    drives.Add(image);
    EXPECT_EQ(BASS_CD_StreamCreateFile("a:\\track01.cda", 0), 0u) << "no output yet";
    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    const BassHandle stream = BASS_CD_StreamCreateFile("a:\\track01.cda", 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, false));
    // The output takes what the read-ahead holds and never waits for it: each pump of one sector's
    // frames gets a whole sector, or silence while the read-ahead has none yet (a loaded machine).
    constexpr uint32_t kSectorFrames = BASS_CD_SECTOR_BYTES / 4;
    std::vector<int16_t> heard, sector(2 * kSectorFrames);
    ASSERT_TRUE(PollUntil([&] {
        EXPECT_EQ(BASS_ManualOutputPump(sector.data(), kSectorFrames), kSectorFrames * 4);
        if (std::any_of(sector.begin(), sector.end(), [](int16_t sample) { return sample != 0; }))
            heard.insert(heard.end(), sector.begin(), sector.end());
        return heard.size() >= 2 * 4410;
    }));
    EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + 2 * 4410, image.samples.begin()));
    EXPECT_TRUE(BASS_StreamFree(stream)); // stops the read-ahead thread
    BASS_ManualOutputEnable(false);
}

} // namespace

