// The pull-model base node and the file read node: pass-through with a tap, end of data, loop
// and read limit, and the decoded seek of MP3 files.

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "engine/class_AudioTransformNode.h"
#include "support/audio_fixtures.h"
#include "support/cd_images.h"

using namespace sonorel_test;

namespace {

// An upstream node that writes a fixed byte into the first `writes` bytes.
class ByteSource : public TAudioTransformNode {
public:
    explicit ByteSource(int writes) : writes_(writes) {}
    int GetData(void* Buffer, int Length) override
    {
        const int n = std::min(writes_, Length);
        std::memset(Buffer, 0x11, static_cast<size_t>(n));
        ++calls;
        return n;
    }
    int calls = 0;

private:
    int writes_;
};

TEST(AudioTransformNode, PassesThroughWithATap)
{
    std::vector<unsigned char> block(8, 0xEE);
    TAudioTransformNode bare;
    EXPECT_EQ(bare.GetData(block.data(), 8), 8);
    EXPECT_EQ(block, std::vector<unsigned char>(8, 0xEE)) << "a node with no hooks leaves the buffer alone";

    ByteSource upstream(3);
    TAudioTransformNode tap;
    tap.SourceNode = &upstream;
    std::vector<unsigned char> seen;
    tap.OnQueryData = [&](TAudioTransformNode* sender, void* buffer, int length) {
        EXPECT_EQ(sender, &tap);
        auto* bytes = static_cast<unsigned char*>(buffer);
        seen.assign(bytes, bytes + length);
        bytes[7] = 0x22;
    };
    EXPECT_EQ(tap.GetData(block.data(), 8), 8) << "the length, even though the source wrote less";
    EXPECT_EQ(seen, (std::vector<unsigned char>{0x11, 0x11, 0x11, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(block[7], 0x22);
}

TEST(AudioTransformNode, DeletesItsSourceOnlyWhenItOwnsIt)
{
    struct Counted : TAudioTransformNode {
        explicit Counted(int& deaths) : deaths_(deaths) {}
        ~Counted() override { ++deaths_; }
        int& deaths_;
    };
    int deaths = 0;
    Counted kept(deaths);
    {
        TAudioTransformNode borrower;
        borrower.SourceNode = &kept;
    }
    EXPECT_EQ(deaths, 0);
    {
        TAudioTransformNode owner;
        owner.SourceNode = new Counted(deaths);
        owner.OwnsSource = true;
    }
    EXPECT_EQ(deaths, 1);
}

class FileReadNodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new std::string(FixtureFolder());
        samples = new std::vector<int16_t>(MakeSweepNoise({44100, 2, 1.0, 3}));
        wavPath = new std::string(*folder + "/one second.wav");
        ASSERT_TRUE(WriteAudioFile(*wavPath, AudioFileKind::Wav, *samples, 44100, 2));
    }
    static void TearDownTestSuite()
    {
        delete folder;
        delete samples;
        delete wavPath;
    }

    static std::string* folder;
    static std::vector<int16_t>* samples;
    static std::string* wavPath;
    static constexpr int kFileBytes = 44100 * 4;
};
std::string* FileReadNodeTest::folder = nullptr;
std::vector<int16_t>* FileReadNodeTest::samples = nullptr;
std::string* FileReadNodeTest::wavPath = nullptr;

TEST_F(FileReadNodeTest, OpensFilesAndRefusesWhatItCantOpen)
{
    TFileReadNode node;
    EXPECT_EQ(node.GetPos(), 0);
    EXPECT_EQ(node.SampleRate(), 0);
    node.SetFileName(*wavPath);
    EXPECT_EQ(node.FileName(), *wavPath);
    EXPECT_EQ(node.SampleRate(), 44100);
    EXPECT_EQ(node.Channels(), 2);
    EXPECT_FLOAT_EQ(node.GetTotalTime(), 1.0f);

    WriteBytes(*folder + "/broken.wav", "RIFF....WAVEjunk");
    for (const std::string& bad : {*folder + "/missing.wav", *folder + "/broken.wav"}) {
        try {
            node.SetFileName(bad);
            ADD_FAILURE() << "opened " << bad;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()),
                      "FileReadNode - can't open file. Add AudioApplication component to form.\r\n" + bad);
        }
        EXPECT_EQ(node.read_channel, 0u);
    }
    node.SetFileName("");
    EXPECT_EQ(node.read_channel, 0u);
    char block[16];
    node.EndSilence = false;
    EXPECT_EQ(node.GetData(block, 16), 0) << "no stream: nothing to deliver";
}

TEST_F(FileReadNodeTest, OpensCdTracksByTheirAddress)
{
    ScopedImageDrives drives;
    const CdImage image = MakeCdImage(*folder, "disc", {{0.5, false, 1}, {1.0, false, 2}});
    drives.Add(image);
    TFileReadNode node;
    node.SetFileName("a:\\track02.cda");
    EXPECT_FLOAT_EQ(node.GetTotalTime(), 1.0f);
    std::vector<int16_t> block(image.trackBytes[1] / 2);
    ASSERT_EQ(node.GetData(block.data(), static_cast<int>(image.trackBytes[1])), image.trackBytes[1]);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), image.samples.begin() + image.trackStartBytes[1] / 2));
    EXPECT_THROW(node.SetFileName("a:\\track03.cda"), std::runtime_error);
}

TEST_F(FileReadNodeTest, EndOfDataGivesSilenceOrNothing)
{
    for (bool endSilence : {true, false}) {
        SCOPED_TRACE(endSilence);
        TFileReadNode node;
        node.EndSilence = endSilence;
        node.SetFileName(*wavPath);
        std::vector<int16_t> block(kFileBytes / 2);
        ASSERT_EQ(node.GetData(block.data(), kFileBytes), kFileBytes);
        EXPECT_EQ(block, *samples);
        EXPECT_FALSE(node.Over());
        for (int call = 0; call < 2; ++call) {
            std::fill(block.begin(), block.end(), int16_t{5});
            EXPECT_EQ(node.GetData(block.data(), 4000), endSilence ? 4000 : 0);
            EXPECT_TRUE(node.Over());
            if (endSilence) {
                EXPECT_EQ(block[0], 0);
            }
        }
    }
}

TEST_F(FileReadNodeTest, LoopBlocksEndExactlyAtTheLoopEndAndWrapOnce)
{
    TFileReadNode node;
    node.SetFileName(*wavPath);
    node.SetPos(0.25f);
    node.SetLoopLen(0.1f); // 4410 frames = 17640 bytes
    int loops = 0;
    node.OnLoop = [&](TAudioTransformNode*) { ++loops; };
    const int first = static_cast<int>(0.25f * kFileBytes) / 4 * 4 / 2;
    std::vector<int16_t> block(5000);
    std::vector<int16_t> pass;
    std::vector<int> counts;
    for (int call = 0; call < 6; ++call) {
        const int got = node.GetData(block.data(), 10000);
        counts.push_back(got);
        if (loops == 0)
            pass.insert(pass.end(), block.begin(), block.begin() + got / 2);
    }
    EXPECT_EQ(counts, (std::vector<int>{10000, 7640, 10000, 7640, 10000, 7640}));
    EXPECT_EQ(loops, 2);
    EXPECT_EQ(pass, std::vector<int16_t>(samples->begin() + first, samples->begin() + first + 8820));
    EXPECT_EQ(block[0], (*samples)[first + 5000]) << "each pass starts again from the loop start";
}

TEST_F(FileReadNodeTest, ReadLimitCutsTheBlockThenEnds)
{
    TFileReadNode node;
    node.SetFileName(*wavPath);
    node.SetPos(0.5f);
    node.SetReadLen(0.1f);
    std::vector<int16_t> block(6000);
    EXPECT_EQ(node.GetData(block.data(), 12000), 12000);
    EXPECT_EQ(node.GetData(block.data(), 12000), 17640 - 12000);
    EXPECT_FALSE(node.Over());
    block[0] = 9;
    EXPECT_EQ(node.GetData(block.data(), 12000), 12000);
    EXPECT_TRUE(node.Over());
    EXPECT_EQ(block[0], 0);
    EXPECT_NEAR(node.RealPlayPosition(), 0.6f, 1e-4);
    node.SetPos(0.0f);
    EXPECT_FALSE(node.Over()) << "a seek clears the end and the limit";
    EXPECT_EQ(node.GetData(block.data(), 12000), 12000);
    EXPECT_EQ(block[0], (*samples)[0]);
}

TEST_F(FileReadNodeTest, Mp3SeeksDecodeToThePointAlsoNearTheStart)
{
    if (!CanWrite(AudioFileKind::Mp3))
        GTEST_SKIP() << "lame is not installed";
    const std::string mp3 = *folder + "/one second.MP3";
    ASSERT_TRUE(WriteAudioFile(mp3, AudioFileKind::Mp3, *samples, 44100, 2));
    TFileReadNode reference;
    reference.SetFileName(mp3);
    std::vector<int16_t> whole(kFileBytes / 2);
    ASSERT_EQ(reference.GetData(whole.data(), kFileBytes), kFileBytes);
    for (float at : {0.1f, 0.5f}) { // before and after the quarter-second lead-in
        SCOPED_TRACE(at);
        TFileReadNode node;
        node.SetFileName(mp3);
        node.SetPos(at);
        EXPECT_NEAR(node.GetPos(), at, 1e-4);
        std::vector<int16_t> block(2000);
        ASSERT_EQ(node.GetData(block.data(), 4000), 4000);
        const size_t from = static_cast<size_t>(static_cast<int64_t>(at * kFileBytes) / 4 * 2);
        EXPECT_EQ(block, std::vector<int16_t>(whole.begin() + from, whole.begin() + from + 2000));
    }
}

} // namespace
