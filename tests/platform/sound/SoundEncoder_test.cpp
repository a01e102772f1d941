// The encoders: the WAV writer's header and data, the encoder program behind its pipe, and what
// is left on disk when a run fails (nothing new; an old file of the target's name untouched).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/sound/SoundEncoder.h"
#include "sound_test_util.h"
#include "support/audio_fixtures.h"
#include "support/file_size_limit.h"
#include "support/pattern_stream.h"

using namespace sonorel_test;
namespace fs = std::filesystem;

namespace {

uint32_t Le32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

uint16_t Le16(const std::string& bytes, size_t at)
{
    uint16_t v = 0;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
}

class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override { folder = FixtureFolder(); }

    // A stream of `frames` sweep frames, fed to its encoder in blocks.
    void Feed(BassHandle channel, int64_t frames, int channels = 2)
    {
        const uint32_t block = 4410 * channels * 2;
        std::vector<char> buffer(block);
        for (int64_t left = frames * channels * 2; left > 0;) {
            const uint32_t ask = static_cast<uint32_t>(std::min<int64_t>(left, block));
            const int32_t got = BASS_ChannelGetData(channel, buffer.data(), ask);
            ASSERT_GT(got, 0);
            if (!BASS_Encode_Write(channel, buffer.data(), static_cast<uint32_t>(got)))
                return;
            left -= got;
        }
    }

    std::unique_ptr<PatternStream> Stream(double seconds, int channels = 2)
    {
        samples = MakeSweepNoise({44100, channels, seconds, 7});
        return MakePatternStream(samples, channels, 44100);
    }

    // Only the given names lie in the folder (no temporary file is left behind).
    std::vector<std::string> FolderNames() const { return FileNames(folder); }

    std::string folder;
    std::vector<int16_t> samples;
};

TEST_F(EncoderTest, WavFileHasItsSizesPatchedAndHoldsTheDataAsFed)
{
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::string path = folder + "/out" + std::to_string(channels) + ".wav";
        auto stream = Stream(1.5, channels);
        ASSERT_TRUE(BASS_Encode_StartFile(stream->handle, path, BASS_ENCODE_PCM | BASS_ENCODE_AUTOFREE));
        EXPECT_TRUE(BASS_Encode_IsActive(stream->handle));
        EXPECT_FALSE(fs::exists(path)) << "the file takes its name only when complete";
        Feed(stream->handle, 66150, channels);
        ASSERT_TRUE(BASS_Encode_Stop(stream->handle)) << BASS_Encode_ErrorText();
        EXPECT_FALSE(BASS_Encode_IsActive(stream->handle));

        const std::string bytes = ReadBytes(path);
        const uint32_t data = 66150 * channels * 2;
        ASSERT_EQ(bytes.size(), 44 + data);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(Le32(bytes, 4), 36 + data);
        EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(Le32(bytes, 16), 16u);
        EXPECT_EQ(Le16(bytes, 20), 1);
        EXPECT_EQ(Le16(bytes, 22), channels);
        EXPECT_EQ(Le32(bytes, 24), 44100u);
        EXPECT_EQ(Le32(bytes, 28), 44100u * channels * 2);
        EXPECT_EQ(Le16(bytes, 32), channels * 2);
        EXPECT_EQ(Le16(bytes, 34), 16);
        EXPECT_EQ(bytes.substr(36, 4), "data");
        EXPECT_EQ(Le32(bytes, 40), data);
        EXPECT_EQ(std::memcmp(bytes.data() + 44, samples.data(), data), 0);
        BASS_StreamFree(stream->handle);
    }
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"out1.wav", "out2.wav"}));
}

TEST_F(EncoderTest, RawPcmHasNoHeaderAndAReplacedFileKeepsItsPermissions)
{
    const std::string path = folder + "/out.pcm";
    WriteBytes(path, "old");
    chmod(path.c_str(), 0640);
    auto stream = Stream(0.5);
    ASSERT_TRUE(BASS_Encode_StartFile(stream->handle, path, BASS_ENCODE_NOHEAD));
    Feed(stream->handle, 22050);
    ASSERT_TRUE(BASS_Encode_Stop(stream->handle));
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 22050u * 4);
    EXPECT_EQ(std::memcmp(bytes.data(), samples.data(), bytes.size()), 0);
    struct stat info {};
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    BASS_StreamFree(stream->handle);
}

// An export over a symbolic link replaces the file the link points to, existing or not yet, and
// the link stays.
TEST_F(EncoderTest, AnOutputReachedThroughALinkIsWrittenThroughIt)
{
    fs::create_directory(folder + "/music");
    WriteBytes(folder + "/music/old.wav", "old");
    fs::create_symlink("music/old.wav", folder + "/to-old.wav");
    fs::create_symlink(folder + "/music/new.wav", folder + "/to-new.wav");
    for (const char* link : {"to-old.wav", "to-new.wav"}) {
        auto stream = Stream(0.5);
        ASSERT_TRUE(BASS_Encode_StartFile(stream->handle, folder + "/" + link, BASS_ENCODE_NOHEAD));
        Feed(stream->handle, 22050);
        ASSERT_TRUE(BASS_Encode_Stop(stream->handle)) << BASS_Encode_ErrorText();
        BASS_StreamFree(stream->handle);
        EXPECT_TRUE(fs::is_symlink(folder + "/" + link)) << link;
    }
    EXPECT_EQ(ReadBytes(folder + "/music/old.wav").size(), 22050u * 4);
    EXPECT_EQ(ReadBytes(folder + "/music/new.wav").size(), 22050u * 4);
    EXPECT_EQ(FileNames(folder + "/music"), (std::vector<std::string>{"new.wav", "old.wav"}));
}

TEST_F(EncoderTest, FilesThatCantBeWrittenFailWithAReasonAndLeaveNothing)
{
    fs::create_directory(folder + "/a folder.wav");
    struct Case {
        const char* what;
        std::string path;
        int error;
    } cases[] = {
        {"missing folder", folder + "/no such folder/x.wav", BASS_ERROR_CREATE},
        {"target is a folder", folder + "/a folder.wav", BASS_ERROR_CREATE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto stream = Stream(0.1);
        EXPECT_FALSE(BASS_Encode_StartFile(stream->handle, c.path, BASS_ENCODE_PCM));
        EXPECT_EQ(BASS_ErrorGetCode(), c.error);
        EXPECT_FALSE(BASS_Encode_ErrorText().empty());
        EXPECT_FALSE(BASS_Encode_IsActive(stream->handle));
        BASS_StreamFree(stream->handle);
    }
    EXPECT_FALSE(BASS_Encode_StartFile(0, folder + "/x.wav", BASS_ENCODE_PCM));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_Encode_Write(0, "x", 1));
    EXPECT_FALSE(BASS_Encode_Stop(0));
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"a folder.wav"}));
}

TEST_F(EncoderTest, SecondEncoderOnAChannelIsRefused)
{
    auto stream = Stream(0.1);
    ASSERT_TRUE(BASS_Encode_StartFile(stream->handle, folder + "/a.wav", BASS_ENCODE_PCM));
    EXPECT_FALSE(BASS_Encode_StartFile(stream->handle, folder + "/b.wav", BASS_ENCODE_PCM));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    BASS_Encode_Cancel(stream->handle);
    EXPECT_TRUE(FolderNames().empty());
    BASS_StreamFree(stream->handle);
}

TEST_F(EncoderTest, FullDiskFailsTheRunAndKeepsTheOldFile)
{
    const std::string path = folder + "/full.wav";
    WriteBytes(path, "the old export");
    auto stream = Stream(3.0);
    {
        FileSizeLimit limit(100000);
        ASSERT_TRUE(BASS_Encode_StartFile(stream->handle, path, BASS_ENCODE_PCM));
        Feed(stream->handle, 132300);
        EXPECT_FALSE(BASS_Encode_Write(stream->handle, samples.data(), 4)) << "a failed encoder takes no more data";
        EXPECT_FALSE(BASS_Encode_Stop(stream->handle));
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_WRITE);
    EXPECT_NE(BASS_Encode_ErrorText().find(std::strerror(EFBIG)), std::string::npos) << BASS_Encode_ErrorText();
    EXPECT_EQ(ReadBytes(path), "the old export");
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"full.wav"}));
    BASS_StreamFree(stream->handle);
}

TEST_F(EncoderTest, CancelDiscardsTheOutputAndKeepsTheOldFile)
{
    const std::string path = folder + "/keep.mp3";
    WriteBytes(path, "old");
    for (bool program : {false, true}) {
        auto stream = Stream(1.0);
        const bool started = program ? BASS_Encode_StartProgram(stream->handle, {"lame", "-"}, path, 0)
                                     : BASS_Encode_StartFile(stream->handle, path, BASS_ENCODE_PCM);
        ASSERT_TRUE(started) << BASS_Encode_ErrorText();
        Feed(stream->handle, 22050);
        BASS_Encode_Cancel(stream->handle);
        EXPECT_FALSE(BASS_Encode_IsActive(stream->handle));
        BASS_StreamFree(stream->handle);
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"keep.mp3"}));
}

// ---- The encoder program ------------------------------------------------------------------

TEST_F(EncoderTest, LameWritesTheNamedFileWhateverItsNameAndItDecodesGapless)
{
    // Blanks, quotes, a semicolon, a leading dash and letters beyond ASCII reach the program as
    // one argument: no shell ever sees them.
    const std::string name = "-a b \"q\" 'x'; rm -rf $HOME `id` ü日.mp3";
    const std::string path = folder + "/" + name;
    auto stream = Stream(2.0);
    ASSERT_TRUE(BASS_Encode_StartProgram(stream->handle, {"lame", "-m", "j", "-b", "256", "-h", "-"}, path, 0))
        << BASS_Encode_ErrorText();
    BASS_Encode_RaisePriority(stream->handle); // best effort: refused without the privilege
    Feed(stream->handle, 88200);
    ASSERT_TRUE(BASS_Encode_Stop(stream->handle)) << BASS_Encode_ErrorText();
    BASS_StreamFree(stream->handle);
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{name}));

    const BassHandle decoded = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    ASSERT_NE(decoded, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(decoded), 88200 * 4) << "the gapless tag gives the exact length";
    BASS_StreamFree(decoded);
}

TEST_F(EncoderTest, ProgramFailuresAreReportedAndLeaveNothing)
{
    const std::string path = folder + "/fail.mp3";
    WriteBytes(path, "old");
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        bool starts;
        int error;
        const char* reasonPart;
    } cases[] = {
        {"no such program", {"sonorel-no-such-encoder", "-"}, false, BASS_ERROR_START, "No such file"},
        {"exits at once with an error", {"sh", "-c", "echo bad input >&2; exit 3"}, true, BASS_ERROR_PROGRAM,
         "exit status 3): bad input"},
        {"reads, then fails", {"sh", "-c", "head -c 100000 >/dev/null; exit 2"}, true, BASS_ERROR_PROGRAM,
         "exit status 2"},
        {"is killed", {"sh", "-c", "kill -9 $$"}, true, BASS_ERROR_PROGRAM, "signal 9"},
        {"lame refuses its switches", {"lame", "--no-such-switch", "-"}, true, BASS_ERROR_PROGRAM, "exit status"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto stream = Stream(3.0);
        const bool started = BASS_Encode_StartProgram(stream->handle, c.arguments, path, 0);
        EXPECT_EQ(started, c.starts) << BASS_Encode_ErrorText();
        if (started) {
            Feed(stream->handle, 132300);
            EXPECT_FALSE(BASS_Encode_Stop(stream->handle));
        }
        EXPECT_EQ(BASS_ErrorGetCode(), c.error);
        EXPECT_NE(BASS_Encode_ErrorText().find(c.reasonPart), std::string::npos) << BASS_Encode_ErrorText();
        EXPECT_FALSE(BASS_Encode_IsActive(stream->handle));
        BASS_StreamFree(stream->handle);
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"fail.mp3"}));
}

// A full disk stops the encoder part way. Asked to, it keeps the sound it wrote whole (lame's cut
// last frame goes), up to the last keep end that sound reaches: the file decodes cleanly to
// exactly the sound kept, in its place.
TEST_F(EncoderTest, AFullDiskFailsTheRunAndKeepsTheSoundWrittenWholeWhenAsked)
{
    constexpr int64_t kFrameBytes = 836; // of MP3 at 256 kbit/s and 44.1 kHz
    constexpr uint64_t kSecond = 176400;
    struct Case {
        const char* what;
        bool mp3;
        uint64_t limit;
        uint32_t flags;
        std::vector<uint64_t> keepEnds;
        double keptSeconds; // 0: nothing; -1: what the file could hold, from its size
    } cases[] = {
        {"MP3, not asked: nothing stays", true, 100000, 0, {}, 0},
        {"lame's tag frame cut short", true, 500, BASS_ENCODE_KEEPPART, {}, 0},
        {"only the tag frame, which holds no sound", true, 1000, BASS_ENCODE_KEEPPART, {}, 0},
        {"a few frames", true, 20000, BASS_ENCODE_KEEPPART, {}, -1},
        {"most of the sound", true, 200000, BASS_ENCODE_KEEPPART, {}, -1},
        {"MP3 cut at the last end it holds", true, 100000, BASS_ENCODE_KEEPPART, {kSecond, 2 * kSecond, 9 * kSecond}, 2.0},
        {"MP3 that holds no end", true, 100000, BASS_ENCODE_KEEPPART, {5 * kSecond}, 0},
        {"WAV, not asked", false, 100000, 0, {}, 0},
        {"WAV, its whole blocks", false, 100000, BASS_ENCODE_KEEPPART, {}, 0.5},
        {"WAV cut at the last end it holds", false, 100000, BASS_ENCODE_KEEPPART, {kSecond / 4, kSecond}, 0.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder + (c.mp3 ? "/full.mp3" : "/full.wav");
        auto stream = Stream(10.0);
        double kept = -1;
        {
            FileSizeLimit limit(c.limit);
            ASSERT_TRUE(c.mp3 ? BASS_Encode_StartProgram(stream->handle, {"lame", "-b", "256", "-"}, path, c.flags)
                              : BASS_Encode_StartFile(stream->handle, path, BASS_ENCODE_PCM | c.flags));
            Feed(stream->handle, 441000);
            EXPECT_FALSE(BASS_Encode_Stop(stream->handle, &kept, c.keepEnds));
        }
        EXPECT_EQ(BASS_ErrorGetCode(), c.mp3 ? BASS_ERROR_PROGRAM : BASS_ERROR_WRITE) << BASS_Encode_ErrorText();
        EXPECT_NE(BASS_Encode_ErrorText().find(c.mp3 ? "Error writing mp3 output" : std::strerror(EFBIG)), std::string::npos)
            << BASS_Encode_ErrorText();
        BASS_StreamFree(stream->handle);
        if (c.keptSeconds == 0) {
            EXPECT_EQ(kept, 0.0);
            EXPECT_TRUE(FolderNames().empty());
            continue;
        }
        ASSERT_EQ(FolderNames(), std::vector<std::string>{fs::path(path).filename().string()});
        const int64_t size = static_cast<int64_t>(fs::file_size(path));
        EXPECT_LE(size, int64_t(c.limit));
        if (c.keptSeconds > 0) {
            EXPECT_EQ(kept, c.keptSeconds);
        } else {
            EXPECT_GT(size, int64_t(c.limit) - kFrameBytes) << "only the frame lame could not finish is cut";
            EXPECT_NEAR(kept, (size - kFrameBytes) * 8 / 256000.0, 0.03 + kFrameBytes * 8 / 256000.0)
                << "every frame but the tag frame, less lame's delay";
        }
        EXPECT_EQ(DecoderComplaints(path), "");
        const BassHandle decoded = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(decoded, 0u);
        const std::vector<int16_t> sound = sound_test::DecodeAll(decoded);
        BASS_StreamFree(decoded);
        EXPECT_EQ(int64_t(sound.size()) / 2, std::llround(kept * 44100)) << "the exact length (for MP3 by the gapless tag)";
        double difference = 0, level = 0;
        for (size_t i = 0; i < sound.size(); ++i) {
            difference += (double(sound[i]) - samples[i]) * (double(sound[i]) - samples[i]);
            level += double(samples[i]) * samples[i];
        }
        EXPECT_LE(std::sqrt(difference / level), c.mp3 ? 0.3 : 0.0) << "the sound is the first that was fed";
        fs::remove(path);
    }
}

} // namespace
