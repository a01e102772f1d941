// The CD ripper node on image drives: drive lines and track addresses, per-disc state, the PCM it
// serves to an encoder and its progress, preview play, and bad indexes.

#include <gtest/gtest.h>

#include <vector>

#include "disc/class_CDRipper.h"
#include "platform/sound/SoundCD.h"
#include "platform/ui/MessageBox.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"

using namespace sonorel_test;

namespace {

class CDRipperTest : public ::testing::Test {
protected:
    void TearDown() override { BASS_Free(); }
    ScopedImageDrives drives;
    const std::string folder = FixtureFolder();
    TCDRipper ripper;
};

TEST_F(CDRipperTest, TheFourthDriveIsDAndItsTracksOpenAsDTracks)
{
    for (int i = 0; i < 4; ++i)
        drives.Add(MakeCdImage(folder, "disc" + std::to_string(i), {{1.0}, {15.0}}));
    const std::vector<std::string> names = ripper.GetDrives();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[3], "D: Image disc3.cue (" + folder + "/disc3.cue)");
    ripper.SetDriveIndex(3);
    EXPECT_EQ(ripper.TrackFileName(0), "d:\\track01.cda");
    EXPECT_EQ(ripper.TrackFileName(1), "d:\\track02.cda");
    EXPECT_EQ(ripper.GetTrackLenStr(1), "0:15.0");
    EXPECT_EQ(ripper.GetTracks(), (std::vector<std::string>{"track01.cda (0:01.0)", "track02.cda (0:15.0)"}));
}

TEST_F(CDRipperTest, ANewDiscResetsNamesTitlesAndMarks)
{
    drives.Add(MakeCdImage(folder, "twelve", std::vector<CdImageTrack>(12, {0.2})));
    ripper.TrackMarks[3] = true;
    ripper.DiscTitle = "old";
    ripper.TrackTitles = {"old"};
    ripper.SetDriveIndex(0);
    EXPECT_EQ(ripper.TrackCount, 12);
    ASSERT_EQ(ripper.TrackNames.size(), 12u);
    EXPECT_EQ(ripper.TrackNames.front(), "track 1");
    EXPECT_EQ(ripper.TrackNames.back(), "track 12");
    EXPECT_TRUE(ripper.TrackTitles.empty());
    EXPECT_EQ(ripper.DiscTitle, "");
    for (bool mark : ripper.TrackMarks)
        EXPECT_FALSE(mark);
    ripper.SetDriveIndex(1); // no such drive
    EXPECT_EQ(ripper.TrackCount, -1);
    EXPECT_TRUE(ripper.TrackNames.empty());
}

TEST_F(CDRipperTest, ADiscOfNinetyNineTracks)
{
    drives.Add(MakeCdImage(folder, "full", std::vector<CdImageTrack>(99, {0.1})));
    ripper.SetDriveIndex(0);
    EXPECT_EQ(ripper.TrackCount, 99);
    EXPECT_EQ(ripper.TrackNames.back(), "track 99");
    EXPECT_EQ(ripper.TrackFileName(98), "a:\\track99.cda");
    ripper.PutNeedleOnTrack(98);
    std::vector<char> buffer(TCDRipper::BytesPerSecond);
    EXPECT_EQ(ripper.GetData(buffer.data(), static_cast<int>(buffer.size())), 8 * 2352) << "0.1 s is 8 sectors";
}

TEST_F(CDRipperTest, OddPullsEqualTheTrackAndEndWithMinusOneAtFullProgress)
{
    const CdImage image = MakeCdImage(folder, "pull", {{0.5, false, 1}, {1.3, false, 2}});
    drives.Add(image);
    ripper.SetDriveIndex(0);
    std::vector<char> buffer(8000);
    EXPECT_EQ(ripper.GetData(buffer.data(), 4000), -1) << "no needle yet";
    ripper.PutNeedleOnTrack(1);
    std::vector<int16_t> got;
    for (int size = 4; got.size() * 2 < static_cast<size_t>(image.trackBytes[1]); size = size * 3 % 7996 + 4) {
        const int count = ripper.GetData(buffer.data(), size);
        ASSERT_GT(count, 0);
        got.insert(got.end(), reinterpret_cast<int16_t*>(buffer.data()), reinterpret_cast<int16_t*>(buffer.data() + count));
    }
    const auto begin = image.samples.begin() + image.trackStartBytes[1] / 2;
    EXPECT_EQ(got, std::vector<int16_t>(begin, begin + image.trackBytes[1] / 2));
    EXPECT_EQ(ripper.Progress, 1.0f);
    EXPECT_EQ(ripper.GetData(buffer.data(), 4000), -1);
    EXPECT_EQ(ripper.Progress, 1.0f);
    EXPECT_FALSE(ripper.NeedleReadFailed());
}

TEST_F(CDRipperTest, BadIndexesFailQuietlyAndPreviewStreamsAreFreed)
{
    drives.Add(MakeCdImage(folder, "bad", {{0.5}}));
    ripper.SetDriveIndex(0);
    EXPECT_FALSE(ripper.ValidTrackIndex(-1));
    EXPECT_FALSE(ripper.ValidTrackIndex(1));
    EXPECT_TRUE(ripper.ValidTrackIndex(0));
    EXPECT_EQ(ripper.GetTrackLenStr(-1), "0:00.0");
    EXPECT_EQ(ripper.GetTrackLenStr(7), "0:00.0");
    EXPECT_THROW(ripper.PutNeedleOnTrack(5), std::runtime_error);
    EXPECT_EQ(ripper.GetData(std::vector<char>(16).data(), 16), -1);

    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    ripper.PlayTrack(-1);
    EXPECT_FALSE(ripper.Playing());
    ripper.PlayTrack(0);
    EXPECT_TRUE(ripper.Playing());
    ripper.PutNeedleOnTrack(0); // stops the preview
    EXPECT_FALSE(ripper.Playing());
}

} // namespace
