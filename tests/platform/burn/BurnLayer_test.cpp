#include <gtest/gtest.h>

#include <glob.h>
#include <signal.h>

#include <string>
#include <vector>

#include "platform/burn/BurnLayer.h"
#include "support/audio_fixtures.h"

using namespace burner;
using namespace sonorel_test;

namespace {

std::string Le32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }

// A WAV header with the given format and data size field, then `bytes` of audio; a LIST chunk
// before the data shows that the parser walks the chunks.
std::string Wav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataSize, size_t bytes)
{
    const std::string format = Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * channels * bits / 8) +
                               Le16(uint16_t(channels * bits / 8)) + Le16(bits);
    const std::string body = "WAVEfmt " + Le32(16) + format + "LIST" + Le32(3) + "abc" + std::string(1, '\0') +
                             "data" + Le32(dataSize) + std::string(bytes, '\x11');
    return "RIFF" + Le32(uint32_t(body.size())) + body;
}

bool HasOpticalDrive()
{
    glob_t found{};
    const bool any = glob("/dev/sr*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    return any;
}

} // namespace

TEST(ReadWavAudio, AcceptsOnlyWholeCdAudio)
{
    const std::string folder = FixtureFolder();
    struct Case {
        const char* name;
        std::string bytes;
        bool ok;
        int64_t dataBytes;
        const char* reason;
    } cases[] = {
        {"cd.wav", Wav(1, 2, 44100, 16, 8, 8), true, 8, ""},
        {"streaming.wav", Wav(1, 2, 44100, 16, 0xFFFFFFFF, 10), true, 8, ""}, // rounded to whole frames
        {"rate.wav", Wav(1, 2, 48000, 16, 8, 8), false, 0, "not 44100 Hz stereo 16-bit PCM"},
        {"mono.wav", Wav(1, 1, 44100, 16, 8, 8), false, 0, "not 44100 Hz stereo 16-bit PCM"},
        {"float.wav", Wav(3, 2, 44100, 32, 8, 8), false, 0, "not 44100 Hz stereo 16-bit PCM"},
        {"cut.wav", Wav(1, 2, 44100, 16, 4000, 8), false, 0, "cut short"},
        {"text.wav", "just some text, no RIFF here", false, 0, "not a WAV file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder + "/" + c.name;
        WriteBytes(path, c.bytes);
        WavAudio audio;
        std::string error;
        EXPECT_EQ(ReadWavAudio(path, audio, error), c.ok);
        if (c.ok) {
            EXPECT_EQ(audio.dataBytes, c.dataBytes);
            EXPECT_EQ(c.bytes.substr(size_t(audio.dataOffset), 1), "\x11");
        } else {
            EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        }
    }
    WavAudio audio;
    std::string error;
    EXPECT_FALSE(ReadWavAudio(folder + "/gone.wav", audio, error));
    EXPECT_NE(error.find("gone.wav"), std::string::npos);
}

TEST(BestSpeedNotAbove, AllowsOnePercentOverTheGoal)
{
    const std::vector<int> offered{706, 1411, 2822, 9173};
    struct Case {
        int goal, best;
    } cases[] = {{0, 0}, {176, 0}, {706, 706}, {1400, 1411}, {1760, 1411}, {2800, 2822}, {9152, 9173}, {20000, 9173}};
    for (const Case& c : cases)
        EXPECT_EQ(BestSpeedNotAbove(offered, c.goal), c.best) << c.goal;
}

TEST(MediaCodeOfProfile, MapsTheCommonDiscs)
{
    struct Case {
        int profile;
        uint8_t code;
    } cases[] = {{0x08, MediaCdRom}, {0x09, MediaCdR}, {0x0a, MediaCdRw}, {0x11, MediaDvdR}, {0x14, MediaDvdRw},
                 {0x1b, MediaDvdPlusR}, {0x43, MediaBdRe}, {0xffff, MediaUnknown}, {0, MediaUnknown}};
    for (const Case& c : cases)
        EXPECT_EQ(MediaCodeOfProfile(c.profile), c.code) << c.profile;
}

namespace {

// CRC-16 (CCITT, x^16 + x^12 + x^5 + 1) of a pack's first 16 bytes, stored inverted.
uint16_t PackCrc(const uint8_t* pack)
{
    uint16_t crc = 0;
    for (int i = 0; i < 16; ++i) {
        crc ^= uint16_t(pack[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return uint16_t(~crc);
}

} // namespace

TEST(CdTextPacks, LibburnBuildsDiscAndTrackTextsWithValidCrcs)
{
    WriteJob job;
    job.discTitle = "Sonorel";
    job.discPerformer = "Performance";
    job.tracks = {{"a.wav", "Opening", "Deck A"}, {"b.wav", "Closing", "Deck B"}};
    const std::vector<uint8_t> packs = CdTextPacks(job);
    ASSERT_FALSE(packs.empty());
    ASSERT_EQ(packs.size() % 18, 0u);
    std::string titles, performers;
    std::vector<int> titleTracks;
    for (size_t at = 0; at < packs.size(); at += 18) {
        const uint8_t* pack = &packs[at];
        EXPECT_EQ(PackCrc(pack), uint16_t(pack[16] << 8 | pack[17])) << "pack " << at / 18;
        const std::string text(reinterpret_cast<const char*>(pack + 4), 12);
        if (pack[0] == 0x80) {
            titles += text;
            titleTracks.push_back(pack[1] & 0x7f);
        }
        if (pack[0] == 0x81)
            performers += text;
    }
    // Each item is zero-terminated in track order: the disc (track 0), then the tracks.
    EXPECT_EQ(titles.substr(0, titles.find_last_not_of('\0') + 1), std::string("Sonorel\0Opening\0Closing", 23));
    EXPECT_EQ(performers.substr(0, performers.find_last_not_of('\0') + 1), std::string("Performance\0Deck A\0Deck B", 25));
    ASSERT_FALSE(titleTracks.empty());
    EXPECT_EQ(titleTracks.front(), 0);
}

TEST(CdTextPacks, TheWizardsDiscWithUntitledTrack)
{
    WriteJob job;
    job.discTitle = "Sonorel";
    job.discPerformer = "Performance";
    job.tracks = {{"image.wav", "", ""}};
    const std::vector<uint8_t> packs = CdTextPacks(job);
    ASSERT_FALSE(packs.empty());
    const std::string all(packs.begin(), packs.end());
    EXPECT_NE(all.find("Sonorel"), std::string::npos);
    EXPECT_NE(all.find("Performance"), std::string::npos);
}

TEST(Libburn, StartsWithoutSignalHandlersOfItsOwn)
{
    struct sigaction before {}, after {};
    sigaction(SIGINT, nullptr, &before);
    ASSERT_TRUE(CurrentBackend().Start());
    CurrentBackend().Scan();
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(Libburn, FindsNoDriveWithoutHardware)
{
    if (HasOpticalDrive())
        GTEST_SKIP() << "this machine has an optical drive";
    Backend& backend = CurrentBackend();
    EXPECT_TRUE(backend.Start());
    EXPECT_TRUE(backend.Scan().empty());
    EXPECT_TRUE(backend.Scan().empty()); // a second scan works as well (the first freed its list)
}

TEST(Libburn, StdioPseudoDriveRefusesAudioWithLibburnsReason)
{
    const std::string folder = FixtureFolder();
    const std::string wav = folder + "/image.wav";
    ASSERT_TRUE(WriteAudioFile(wav, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2));
    std::unique_ptr<Drive> drive = CurrentBackend().Grab("stdio:" + folder + "/pseudo.img");
    ASSERT_TRUE(drive) << CurrentBackend().ErrorText();
    WriteJob job;
    job.tracks = {{wav, "", ""}};
    job.cdText = true;
    EXPECT_FALSE(drive->StartWrite(job));
    EXPECT_EQ(drive->ErrorText(), "audio track prohibited by non-CD");
    EXPECT_EQ(drive->PollWrite().phase, WritePhase::Idle);
    drive.reset();
    // Released: the same drive can be grabbed again.
    EXPECT_TRUE(CurrentBackend().Grab("stdio:" + folder + "/pseudo.img"));
}
