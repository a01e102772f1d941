// CD drives of the sound layer, exercised on CUE/BIN images.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/sound/SoundCD.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"
#include "support/hang_guard.h"
#include "support/waits.h"
#include "sound_test_util.h"

using namespace sonorel_test;

namespace {

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

// A damaged CUE sheet gives tracks that start before the disc, run past its end or end before they
// start (indexes out of order); paranoia never returns from reading them. Such tracks do not open,
// and the others read exactly, also where paranoia's own reading of the TOC leaves it nothing to
// read (a data track 1 listed past the audio).
TEST_F(CdTest, TracksOfADamagedCueSheetOpenOnlyWhereTheyLieOnTheDisc)
{
    struct Case {
        const char* what;
        std::vector<CdImageTrack> tracks;
        std::vector<bool> readable;
    };
    const Case cases[] = {
        {"no INDEX 01 on the first track", {{1.0, false, 1, CueIndex::Missing}, {1.0, false, 2}}, {false, true}},
        {"an INDEX 01 past the BIN", {{1.0, false, 1}, {1.0, false, 2}, {1.0, false, 3, CueIndex::PastTheBin}},
         {true, false, false}},
        {"indexes out of order: a data track 1 past the BIN",
         {{1.0, true, 1, CueIndex::PastTheBin}, {1.0, false, 2}, {1.0, false, 3}}, {false, true, true}},
        {"indexes out of order: an audio track 1 past the BIN", {{1.0, false, 1, CueIndex::PastTheBin}, {2.0, false, 2}},
         {false, true}},
    };
    for (const Case& c : cases) {
        HangGuard guard(c.what);
        const CdImage image = MakeCdImage(folder, "damaged", c.tracks);
        drives.Add(image);
        EXPECT_NE(BASS_CD_GetID(0, BASS_CDID_CDDB), "") << c.what << ": the disc is still seen";
        for (size_t t = 0; t < c.tracks.size(); ++t) {
            const std::string path = "a:\\track0" + std::to_string(t + 1) + ".cda";
            const BassHandle stream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
            EXPECT_EQ(stream != 0, c.readable[t]) << c.what << " " << path;
            EXPECT_EQ(BASS_CD_GetTrackLength(0, static_cast<int>(t)), c.readable[t] ? image.trackBytes[t] : -1)
                << c.what << " " << path;
            if (stream) {
                EXPECT_EQ(sound_test::DecodeAll(stream), TrackSamples(image, static_cast<int>(t))) << c.what << " " << path;
                BASS_StreamFree(stream);
            }
        }
        BASS_CD_RemoveImageDrives();
    }
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

