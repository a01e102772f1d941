// The encoder node: its settings, how a run pulls and ends, and that a failed or cancelled run is
// reported and leaves no file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "engine/class_EncoderNode.h"
#include "support/audio_fixtures.h"
#include "support/file_size_limit.h"

using namespace sonorel_test;
namespace fs = std::filesystem;

namespace {

// Delivers a counter pattern; returns `shortBy` bytes less than asked from block `shortFrom`
// on, and -1 from block `endAt` on.
class CountingSource : public TAudioTransformNode {
public:
    int GetData(void* Buffer, int Length) override
    {
        ++blocks;
        asked.push_back(Length);
        if (endAt && blocks >= endAt)
            return -1;
        auto* samples = static_cast<int16_t*>(Buffer);
        for (int i = 0; i < Length / 2; ++i)
            samples[i] = static_cast<int16_t>(next++);
        return shortFrom && blocks >= shortFrom ? Length - shortBy : Length;
    }
    int blocks = 0, shortFrom = 0, shortBy = 0, endAt = 0;
    int16_t next = 0;
    std::vector<int> asked;
};

class EncoderNodeTest : public ::testing::Test {
protected:
    void SetUp() override { folder = FixtureFolder(); }
    std::string Path(const std::string& name) const { return folder + "/" + name; }
    int64_t DataBytes(const std::string& path) const
    {
        return fs::exists(path) ? static_cast<int64_t>(fs::file_size(path)) - 44 : -1;
    }
    std::string folder;
};

TEST_F(EncoderNodeTest, DefaultsAndTheMp3CommandLine)
{
    TEncoderNode node;
    EXPECT_EQ(node.LameKeys, "-h");
    EXPECT_TRUE(node.OutputMP3());
    EXPECT_FALSE(node.OutputWAV());
    EXPECT_FALSE(node.OutputPCM());
    EXPECT_FALSE(node.StopOnDataEnd);
    EXPECT_TRUE(node.RealTimeProcess);
    EXPECT_EQ(node.SampleRate, 44100);
    EXPECT_EQ(node.Channels, 2);
    EXPECT_EQ(node.EncodeTimeLimit, 0.0f);
    EXPECT_EQ(node.OutputFileName(), "c:\\out.mp3");
    EXPECT_EQ(node.MP3KBitRate, 256);
    EXPECT_EQ(node.MP3Channels, 2);
    EXPECT_EQ(node.ReadChannel, 0u);
    EXPECT_EQ(node.Mp3Arguments(), (std::vector<std::string>{"lame", "-m", "j", "-b", "256", "-h", "-"}));
    node.MP3Channels = 1;
    node.MP3KBitRate = 128;
    node.LameKeys = " -q 2  --noreplaygain ";
    EXPECT_EQ(node.Mp3Arguments(),
              (std::vector<std::string>{"lame", "-m", "m", "-b", "128", "-q", "2", "--noreplaygain", "-"}));

    node.SetOutputPCM(true);
    EXPECT_TRUE(node.OutputPCM());
    EXPECT_FALSE(node.OutputMP3());
    node.SetOutputPCM(false);
    EXPECT_TRUE(node.OutputPCM()) << "false selects nothing else";
}

TEST_F(EncoderNodeTest, OutputFormatDetectGoesByTheLowerCasedExtension)
{
    struct Case {
        const char* name;
        const char* error; // nullptr: accepted
        bool mp3;
    } cases[] = {
        {"/music/Mix.MP3", nullptr, true},
        {"mix.Wav", nullptr, false},
        {"mix.ogg", ".ogg type not supported.", false},
        {"mix", " type not supported.", false},
        {"/music/v1.0/mix", " type not supported.", false},
        {"c:\\v1.0\\mix", " type not supported.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEncoderNode node;
        node.SetOutputWAV(true);
        node.SetOutputFileName(c.name);
        if (c.error) {
            try {
                node.OutputFormatDetect();
                ADD_FAILURE() << "accepted";
            } catch (const std::runtime_error& error) {
                EXPECT_EQ(std::string(error.what()), c.error);
            }
            EXPECT_TRUE(node.OutputWAV()) << "the settings stay";
        } else {
            node.OutputFormatDetect();
            EXPECT_EQ(node.OutputMP3(), c.mp3);
            EXPECT_EQ(node.OutputWAV(), !c.mp3);
        }
    }
}

TEST_F(EncoderNodeTest, TimeLimitCutsTheLastBlockAndEndsTheRun)
{
    struct Case {
        float seconds;
        std::vector<int> asked;
    } cases[] = {
        {1.0f, {176400}},
        {4.5f, {352800, 352800, 88200}},
        {0.00003f, {4}}, // 5.29 bytes: down to one whole frame
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const std::string path = Path("limit.wav");
        CountingSource source;
        TEncoderNode node;
        node.SourceNode = &source;
        node.SetOutputWAV(true);
        node.SetOutputFileName(path);
        node.EncodeTimeLimit = c.seconds;
        int progress = 0;
        node.OnEncodeProgress = [&](TAudioTransformNode*) { ++progress; };
        ASSERT_TRUE(node.Encode()) << node.ErrorText();
        EXPECT_EQ(source.asked, c.asked);
        int64_t total = 0;
        for (int bytes : c.asked)
            total += bytes;
        EXPECT_EQ(DataBytes(path), total);
        EXPECT_EQ(node.ProgressBytes, total);
        EXPECT_EQ(progress, static_cast<int>(c.asked.size()) + 1) << "once at the start, then before every block";
        const std::string bytes = ReadBytes(path);
        int16_t second = 0;
        std::memcpy(&second, bytes.data() + 44 + 2, 2);
        EXPECT_EQ(second, 1) << "the samples are the source's";
    }
}

TEST_F(EncoderNodeTest, ShortBlocksGoOnUnlessStopOnDataEndAndMinusOneEnds)
{
    struct Case {
        const char* what;
        bool stopOnDataEnd;
        int shortFrom, endAt;
        int blocks;
        int64_t bytes;
    } cases[] = {
        {"short blocks go on until the source ends", false, 2, 4, 4, 352800 + 2 * 352796},
        {"a short block ends the run", true, 2, 0, 2, 352800 + 352796},
        {"the source ends at once", false, 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CountingSource source;
        source.shortFrom = c.shortFrom;
        source.shortBy = 4;
        source.endAt = c.endAt;
        TEncoderNode node;
        node.SourceNode = &source;
        node.StopOnDataEnd = c.stopOnDataEnd;
        node.SetOutputWAV(true);
        node.SetOutputFileName(Path("short.wav"));
        ASSERT_TRUE(node.Encode()) << node.ErrorText();
        EXPECT_EQ(source.blocks, c.blocks);
        EXPECT_EQ(node.ProgressBytes, c.bytes);
        EXPECT_EQ(DataBytes(Path("short.wav")), c.bytes);
    }
}

TEST_F(EncoderNodeTest, WithoutALimitTheOwnerStopsTheRunAndTheFileIsKept)
{
    TEncoderNode node;
    node.SetOutputWAV(true);
    node.SetOutputFileName(Path("stopped.wav"));
    int blocks = 0;
    node.OnQueryData = [&](TAudioTransformNode* sender, void* buffer, int length) {
        EXPECT_EQ(sender, &node);
        EXPECT_EQ(static_cast<const char*>(buffer)[length - 1], 0) << "the block comes zero-filled";
        std::memset(buffer, 1, static_cast<size_t>(length));
        if (++blocks == 3)
            node.Stop();
    };
    ASSERT_TRUE(node.Encode()) << node.ErrorText();
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(DataBytes(Path("stopped.wav")), 3 * 352800);
    const BassHandle first = node.ReadChannel;
    EXPECT_NE(first, 0u);
    blocks = 0;
    ASSERT_TRUE(node.Encode()) << "the next run frees the last stream and makes a new one";
    EXPECT_NE(node.ReadChannel, first);
    BassChannelInfo info;
    EXPECT_FALSE(BASS_ChannelGetInfo(first, &info));
}

TEST_F(EncoderNodeTest, Mp3RunWritesADecodableFileOfTheRightLength)
{
    TEncoderNode node;
    node.SetOutputFileName(Path("run.mp3"));
    node.EncodeTimeLimit = 3.0f;
    const std::vector<int16_t> signal = MakeSweepNoise({44100, 2, 3.0, 5});
    size_t at = 0;
    node.OnQueryData = [&](TAudioTransformNode*, void* buffer, int length) {
        const size_t n = std::min(signal.size() - at, static_cast<size_t>(length / 2));
        std::memcpy(buffer, signal.data() + at, n * 2);
        at += n;
    };
    ASSERT_TRUE(node.Encode()) << node.ErrorText();
    const BassHandle decoded = BASS_StreamCreateFile(Path("run.mp3"), BASS_STREAM_DECODE);
    ASSERT_NE(decoded, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(decoded), 3 * 44100 * 4);
    BASS_StreamFree(decoded);
}

TEST_F(EncoderNodeTest, FailuresEndTheRunWithAMessageAndLeaveNoFile)
{
    WriteBytes(Path("old.mp3"), "old");
    struct Case {
        const char* what;
        bool mp3;
        std::string path;
        bool noLame;
        uint64_t sizeLimit;
        std::string headline;
    } cases[] = {
        {"lame missing", true, Path("new.mp3"), true, 0, "Can't start MP3 encoder."},
        {"folder missing, WAV", false, Path("nowhere/new.wav"), false, 0, "Can't create the output file."},
        {"folder missing, MP3", true, Path("nowhere/new.mp3"), false, 0, "Can't start MP3 encoder."},
        {"disk full, WAV", false, Path("old.mp3"), false, 500000, "Can't write the output file."},
        {"disk full, MP3", true, Path("old.mp3"), false, 50000, "MP3 encoding failed."},
    };
    const std::string savedPath = getenv("PATH");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TEncoderNode node;
        if (c.mp3)
            node.SetOutputMP3(true);
        else
            node.SetOutputWAV(true);
        node.SetOutputFileName(c.path);
        node.EncodeTimeLimit = 10.0f;
        node.OnQueryData = [](TAudioTransformNode*, void* buffer, int length) {
            auto* samples = static_cast<int16_t*>(buffer);
            for (int i = 0; i < length / 2; ++i)
                samples[i] = static_cast<int16_t>(i * 7919);
        };
        if (c.noLame)
            setenv("PATH", folder.c_str(), 1);
        bool written;
        if (c.sizeLimit) {
            FileSizeLimit limit(c.sizeLimit);
            written = node.Encode();
        } else {
            written = node.Encode();
        }
        setenv("PATH", savedPath.c_str(), 1);
        EXPECT_FALSE(written);
        EXPECT_EQ(node.ErrorText().rfind(c.headline + "\r\nFile name: " + c.path + "\r\n", 0), 0u) << node.ErrorText();
    }
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"old.mp3"});
    EXPECT_EQ(ReadBytes(Path("old.mp3")), "old");
}

// Asked to, a run the disk cuts short keeps its sound up to the last of the marked ends it holds,
// in either output kind.
TEST_F(EncoderNodeTest, AFailedRunKeepsItsPartUpToTheLastMarkedEnd)
{
    for (const bool mp3 : {true, false}) {
        SCOPED_TRACE(mp3 ? "MP3" : "WAV");
        TEncoderNode node;
        node.SetOutputFileName(Path(mp3 ? "part.mp3" : "part.wav"));
        node.OutputFormatDetect();
        node.KeepPartOnFailure = true;
        node.EncodeTimeLimit = 10.0f;
        node.OnQueryData = [](TAudioTransformNode*, void* buffer, int length) {
            auto* samples = static_cast<int16_t*>(buffer);
            for (int i = 0; i < length / 2; ++i)
                samples[i] = static_cast<int16_t>(i * 7919);
        };
        node.OnEncodeProgress = [&node](TAudioTransformNode*) {
            if (node.ProgressBytes > 0)
                node.KeepPartEnds.push_back(node.ProgressBytes); // the end of every block
        };
        bool written;
        {
            FileSizeLimit limit(mp3 ? 100000 : 600000); // three seconds and more
            written = node.Encode();
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(node.KeptSeconds(), 2.0) << "the blocks are two seconds long";
        const BassHandle decoded = BASS_StreamCreateFile(node.OutputFileName(), BASS_STREAM_DECODE);
        ASSERT_NE(decoded, 0u);
        EXPECT_EQ(BASS_ChannelGetLength(decoded), 2 * 44100 * 4);
        BASS_StreamFree(decoded);
    }
}

TEST_F(EncoderNodeTest, CancelDiscardsTheOutput)
{
    for (bool mp3 : {false, true}) {
        TEncoderNode node;
        if (!mp3)
            node.SetOutputWAV(true);
        node.SetOutputFileName(Path(mp3 ? "c.mp3" : "c.wav"));
        int blocks = 0;
        node.OnQueryData = [&](TAudioTransformNode*, void*, int) {
            if (++blocks == 2)
                node.Cancel();
        };
        EXPECT_FALSE(node.Encode());
        EXPECT_TRUE(node.ErrorText().empty());
        EXPECT_EQ(blocks, 2);
    }
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(EncoderNodeTest, DestroyedInsideItsOwnEventTheRunReturnsSafely)
{
    for (int where : {0, 1}) {
        SCOPED_TRACE(where);
        auto* node = new TEncoderNode;
        node->SetOutputFileName(Path("gone.mp3"));
        int calls = 0;
        auto destroyOnThird = [&] {
            if (++calls == 3)
                delete node;
        };
        if (where == 0)
            node->OnEncodeProgress = [&](TAudioTransformNode*) { destroyOnThird(); };
        else
            node->OnQueryData = [&](TAudioTransformNode*, void*, int) { destroyOnThird(); };
        EXPECT_FALSE(node->Encode());
    }
    EXPECT_TRUE(fs::is_empty(folder)) << "the destroyed node's output is discarded";
}

} // namespace
