// File streams: every decoder positions exactly (compared with a sequential decode of the same
// file), reports its format and length, and fails softly on bad files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "platform/sound/SoundLibrary.h"
#include "sound_test_util.h"
#include "support/audio_fixtures.h"

using namespace sonorel_test;
using sound_test::DecodeAll;

namespace {

struct FormatCase {
    AudioFileKind kind;
    int rate;
    uint32_t expectedType;
    bool lossless;
};

std::string Name(const FormatCase& c)
{
    const std::string kind = c.kind == AudioFileKind::Mp3Untagged ? "mp3untagged" : ExtensionOf(c.kind).substr(1);
    return kind + "_" + std::to_string(c.rate);
}

constexpr double fixtureSeconds = 3.0;

// One file per case, written once for the whole program.
const std::string& FixtureFile(const FormatCase& c)
{
    static std::map<std::string, std::string> files;
    static const std::string folder = FixtureFolder();
    auto& path = files[Name(c)];
    if (path.empty()) {
        path = folder + "/" + Name(c) + ExtensionOf(c.kind);
        const auto samples = MakeSweepNoise({c.rate, 2, fixtureSeconds, 7});
        if (!WriteAudioFile(path, c.kind, samples, c.rate, 2))
            path = "unwritable";
    }
    return path;
}

BassHandle OpenAny(const std::string& path, uint32_t flags = BASS_STREAM_DECODE)
{
    BassHandle h = BASS_StreamCreateFile(path, flags);
    if (!h)
        h = BASS_WMA_StreamCreateFile(path, flags);
    return h;
}

class DecoderTest : public testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override
    {
        if (!CanWrite(GetParam().kind))
            GTEST_SKIP() << "no writer for " << Name(GetParam());
        path = FixtureFile(GetParam());
        ASSERT_NE(path, "unwritable");
    }
    void TearDown() override { BASS_Free(); }
    std::string path;
};

TEST_P(DecoderTest, ReportsFormatAndLength)
{
    const FormatCase& c = GetParam();
    const BassHandle h = OpenAny(path);
    ASSERT_NE(h, 0u);
    BassChannelInfo info;
    ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
    EXPECT_EQ(info.frequency, uint32_t(c.rate));
    EXPECT_EQ(info.channels, 2u);
    EXPECT_EQ(info.type, c.expectedType);
    EXPECT_EQ(info.flags & BASS_STREAM_DECODE, BASS_STREAM_DECODE);

    const int64_t length = BASS_ChannelGetLength(h);
    const auto all = DecodeAll(h);
    const int64_t decoded = int64_t(all.size()) * 2;
    EXPECT_EQ(length, decoded);
    // MP3 is gapless: exactly the samples that were encoded; Vorbis, FLAC and WAV keep them too.
    // Without the info tag the encoder's delay and padding are unknown, so only the length holds.
    if (c.kind != AudioFileKind::Wma && c.kind != AudioFileKind::Mp3Untagged) {
        EXPECT_EQ(decoded, int64_t(fixtureSeconds * c.rate) * 4);
    }
    if (c.lossless) {
        EXPECT_EQ(all, MakeSweepNoise({c.rate, 2, fixtureSeconds, 7}));
    }
    EXPECT_EQ(BASS_ChannelGetData(h, std::vector<char>(64).data(), 64), -1) << "stays at its end";
}

TEST_P(DecoderTest, PositionsExactly)
{
    const BassHandle h = OpenAny(path);
    ASSERT_NE(h, 0u);
    const auto all = DecodeAll(h);
    const int64_t frames = int64_t(all.size()) / 2;
    const int rate = GetParam().rate;
    // Forward and backward, inside the first second (the WMA seek falls back to the start), and
    // on odd frames deep inside the file.
    const int64_t targets[] = {rate + 12345, 1, 0, 12345, rate * 2 + 7, rate / 3, frames - 1000, rate + 4096};
    std::vector<int16_t> block(2000);
    for (int64_t frame : targets) {
        ASSERT_TRUE(BASS_ChannelSetPosition(h, frame * 4)) << "frame " << frame;
        EXPECT_EQ(BASS_ChannelGetPosition(h), frame * 4);
        const int32_t got = BASS_ChannelGetData(h, block.data(), uint32_t(block.size() * 2));
        const int64_t expected = std::min<int64_t>(int64_t(block.size()), (frames - frame) * 2);
        ASSERT_EQ(got, expected * 2) << "frame " << frame;
        EXPECT_TRUE(std::equal(block.begin(), block.begin() + expected, all.begin() + frame * 2))
            << Name(GetParam()) << ": wrong samples after a seek to frame " << frame;
    }
}

TEST_P(DecoderTest, SecondsAndBytesConvertAtTheStreamsFormat)
{
    const BassHandle h = OpenAny(path);
    ASSERT_NE(h, 0u);
    const int rate = GetParam().rate;
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), int64_t(rate) * 4);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.5 / rate), 0) << "rounded down to a whole frame";
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, -3.0), 0);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, std::nan("")), 0);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1e300), INT64_MAX - INT64_MAX % 4) << "saturates";
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, int64_t(rate) * 4 * 2), 2.0);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, -8), 0.0);
}

TEST_P(DecoderTest, NegativeAndPastTheEndPositions)
{
    const BassHandle h = OpenAny(path);
    ASSERT_NE(h, 0u);
    std::vector<int16_t> first(64), block(64);
    BASS_ChannelGetData(h, first.data(), 128);
    ASSERT_TRUE(BASS_ChannelSetPosition(h, -5000));
    EXPECT_EQ(BASS_ChannelGetPosition(h), 0);
    BASS_ChannelGetData(h, block.data(), 128);
    EXPECT_EQ(block, first);

    EXPECT_FALSE(BASS_ChannelSetPosition(h, BASS_ChannelGetLength(h) + 400));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    std::fill(block.begin(), block.end(), int16_t(1234));
    EXPECT_EQ(BASS_ChannelGetData(h, block.data(), 128), -1);
    EXPECT_EQ(block, std::vector<int16_t>(64, 0)) << "what cannot be delivered is zero-filled";
}

const FormatCase formatCases[] = {
    {AudioFileKind::Wav, 44100, BASS_CTYPE_WAVE, true},  {AudioFileKind::Wav, 48000, BASS_CTYPE_WAVE, true},
    {AudioFileKind::Aiff, 44100, BASS_CTYPE_WAVE, true}, {AudioFileKind::Flac, 44100, BASS_CTYPE_FLAC, true},
    {AudioFileKind::Flac, 48000, BASS_CTYPE_FLAC, true}, {AudioFileKind::Ogg, 44100, BASS_CTYPE_OGG, false},
    {AudioFileKind::Ogg, 48000, BASS_CTYPE_OGG, false},  {AudioFileKind::Mp3, 44100, BASS_CTYPE_MP3, false},
    {AudioFileKind::Mp3, 48000, BASS_CTYPE_MP3, false},  {AudioFileKind::Mp3Untagged, 44100, BASS_CTYPE_MP3, false},
    {AudioFileKind::Wma, 44100, BASS_CTYPE_WMA, false},
    {AudioFileKind::Wma, 48000, BASS_CTYPE_WMA, false},
};

INSTANTIATE_TEST_SUITE_P(Formats, DecoderTest, testing::ValuesIn(formatCases),
                         [](const testing::TestParamInfo<FormatCase>& info) { return Name(info.param); });

// ---- Openers and bad input -----------------------------------------------------------------

class BadInputTest : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }
    std::string folder = FixtureFolder();
    std::string File(const std::string& name) const { return folder + "/" + name; }
};

TEST_F(BadInputTest, OpenersTakeOnlyTheirOwnFormats)
{
    const auto samples = MakeSweepNoise({44100, 2, 1.0, 3});
    ASSERT_TRUE(WriteAudioFile(File("a.flac"), AudioFileKind::Flac, samples, 44100, 2));
    ASSERT_TRUE(WriteAudioFile(File("a.wav"), AudioFileKind::Wav, samples, 44100, 2));
    EXPECT_NE(BASS_FLAC_StreamCreateFile(File("a.flac"), BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_FLAC_StreamCreateFile(File("a.wav"), BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_WMA_StreamCreateFile(File("a.wav"), BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    if (CanWrite(AudioFileKind::Wma)) {
        ASSERT_TRUE(WriteAudioFile(File("a.wma"), AudioFileKind::Wma, samples, 44100, 2));
        EXPECT_EQ(BASS_StreamCreateFile(File("a.wma"), BASS_STREAM_DECODE), 0u)
            << "the main opener leaves WMA to its own opener, as the callers' chains expect";
        EXPECT_NE(BASS_WMA_StreamCreateFile(File("a.wma"), BASS_STREAM_DECODE), 0u);
    }
}

TEST_F(BadInputTest, ContentDecidesNotTheExtension)
{
    const auto samples = MakeSweepNoise({44100, 2, 1.0, 3});
    ASSERT_TRUE(WriteAudioFile(File("wav-named.mp3"), AudioFileKind::Wav, samples, 44100, 2));
    const BassHandle h = BASS_StreamCreateFile(File("wav-named.mp3"), BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(DecodeAll(h), samples);
    if (CanWrite(AudioFileKind::Mp3)) {
        ASSERT_TRUE(WriteAudioFile(File("mp3-named.wav"), AudioFileKind::Mp3, samples, 44100, 2));
        BassChannelInfo info;
        ASSERT_TRUE(BASS_ChannelGetInfo(BASS_StreamCreateFile(File("mp3-named.wav"), BASS_STREAM_DECODE), &info));
        EXPECT_EQ(info.type, uint32_t(BASS_CTYPE_MP3));
    }
}

// File dialogs offer the extensions the layer lists: each must name files the openers really take.
// The files are written by ffmpeg, not by the libraries that read them.
TEST_F(BadInputTest, EveryListedExtensionNamesFilesTheOpenersTake)
{
    if (!CanWrite(AudioFileKind::Wma))
        GTEST_SKIP() << "ffmpeg writes the files";
    const std::map<std::string, std::string> ffmpegOptions = {
        {"wav", ""}, {"aif", ""}, {"aiff", ""}, {"aifc", ""}, {"flac", ""}, {"au", ""},
        {"snd", "-f au"}, {"caf", ""}, {"w64", ""}, {"rf64", "-f wav -rf64 always"},
        {"ogg", "-c:a libvorbis"}, {"mp3", ""}, {"mp2", ""}, {"wma", ""},
    };
    const std::vector<std::string> listed = BASS_GetFileExtensions();
    for (const char* needed : {"wav", "aiff", "flac", "ogg", "mp3", "wma"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), needed), listed.end()) << needed;
    const std::string source = File("listed-source.wav");
    ASSERT_TRUE(WriteAudioFile(source, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0, 3}), 44100, 2));
    for (const std::string& extension : listed) {
        const auto options = ffmpegOptions.find(extension);
        ASSERT_NE(options, ffmpegOptions.end()) << "no fixture writer for the listed ." << extension;
        const std::string file = File("listed." + extension);
        ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -i '" + source + "' " + options->second + " '" +
                               file + "'").c_str()),
                  0)
            << extension;
        const BassHandle stream = OpenAny(file);
        ASSERT_NE(stream, 0u) << "." << extension << " is listed but does not open";
        EXPECT_NEAR(BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetLength(stream)), 1.0, 0.05) << extension;
        BASS_StreamFree(stream);
    }
}

TEST_F(BadInputTest, BrokenFilesFailSoftly)
{
    const auto samples = MakeSweepNoise({44100, 2, 1.0, 3});
    std::string noise(200000, '\0');
    uint32_t x = 99;
    for (char& ch : noise)
        ch = char((x = x * 1664525u + 1013904223u) >> 24);
    struct Case {
        const char* name;
        std::string bytes;
        int error;
    };
    std::vector<Case> cases = {
        {"empty.wav", "", BASS_ERROR_FORMAT},
        {"text.mp3", "This is not a sound file at all.\n", BASS_ERROR_FORMAT},
        {"noise.mp3", noise, BASS_ERROR_FORMAT},
        {"noise.ogg", "OggS" + noise, BASS_ERROR_FORMAT},
        {"noise.wav", "RIFF" + noise, BASS_ERROR_FORMAT},
    };
    for (AudioFileKind kind : {AudioFileKind::Wav, AudioFileKind::Flac, AudioFileKind::Ogg, AudioFileKind::Mp3}) {
        if (!CanWrite(kind))
            continue;
        const std::string whole = File("whole" + ExtensionOf(kind));
        ASSERT_TRUE(WriteAudioFile(whole, kind, samples, 44100, 2));
        cases.push_back({"header-only", ReadBytes(whole).substr(0, 30), BASS_ERROR_FORMAT});
        if (kind == AudioFileKind::Ogg)
            cases.push_back({"headers-cut.ogg", ReadBytes(whole).substr(0, 1000), BASS_ERROR_FORMAT});
    }
    for (const Case& c : cases) {
        WriteBytes(File(c.name), c.bytes);
        EXPECT_EQ(BASS_StreamCreateFile(File(c.name), BASS_STREAM_DECODE), 0u) << c.name;
        EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.name;
        EXPECT_EQ(BASS_WMA_StreamCreateFile(File(c.name), BASS_STREAM_DECODE), 0u) << c.name;
    }
    EXPECT_EQ(BASS_StreamCreateFile(File("missing.wav"), BASS_STREAM_DECODE), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_StreamCreateFile(folder, BASS_STREAM_DECODE), 0u) << "a folder";
}

TEST_F(BadInputTest, TruncatedAndCorruptedFilesDecodeWhatIsThereAndEnd)
{
    const auto samples = MakeSweepNoise({44100, 2, 2.0, 5});
    for (AudioFileKind kind : {AudioFileKind::Wav, AudioFileKind::Flac, AudioFileKind::Ogg, AudioFileKind::Mp3,
                               AudioFileKind::Wma}) {
        if (!CanWrite(kind))
            continue;
        const std::string whole = File("whole" + ExtensionOf(kind));
        ASSERT_TRUE(WriteAudioFile(whole, kind, samples, 44100, 2));
        const std::string bytes = ReadBytes(whole);
        std::string corrupt = bytes;
        for (size_t i = corrupt.size() / 3; i < corrupt.size() / 3 + 3000 && i < corrupt.size(); ++i)
            corrupt[i] = char(i * 7);
        for (const auto& [name, content] : {std::pair{"half", bytes.substr(0, bytes.size() / 2)},
                                            std::pair{"corrupt", corrupt}}) {
            const std::string path = File(std::string(name) + ExtensionOf(kind));
            WriteBytes(path, content);
            const BassHandle h = OpenAny(path);
            if (!h)
                continue; // refusing the file is a soft failure too
            const auto decoded = DecodeAll(h);
            EXPECT_LE(decoded.size(), samples.size() + 44100) << path;
            EXPECT_TRUE(BASS_ChannelSetPosition(h, 0)) << path;
            EXPECT_EQ(DecodeAll(h), decoded) << path << ": a second pass reads the same";
        }
    }
}

TEST_F(BadInputTest, HeaderClaimingMoreDataThanTheFileHolds)
{
    const auto samples = MakeSweepNoise({44100, 2, 0.5, 3});
    ASSERT_TRUE(WriteAudioFile(File("big.wav"), AudioFileKind::Wav, samples, 44100, 2));
    std::string bytes = ReadBytes(File("big.wav"));
    const uint32_t huge = 0xFFFFFFF0u; // RIFF and data sizes of a 4 GB file
    bytes.replace(4, 4, reinterpret_cast<const char*>(&huge), 4);
    bytes.replace(bytes.find("data") + 4, 4, reinterpret_cast<const char*>(&huge), 4);
    WriteBytes(File("big.wav"), bytes);
    const BassHandle h = BASS_StreamCreateFile(File("big.wav"), BASS_STREAM_DECODE);
    if (h) { // refusing it is as good as reading what is there
        EXPECT_EQ(DecodeAll(h), samples);
    }
}

// Length fields that are unknown or lie (streaming encoders, corrupt or truncated headers and tags)
// give way to the length the file decodes to: the stream is as long as its samples, seeks reach
// the exact frame of a sequential decode, and no length is read as "unknown". An MP3 whose tag is
// not believed loses the tag's gapless trim too: up to two frames more.
TEST_F(BadInputTest, LengthFieldsThatLieGiveWayToTheDecodedLength)
{
    const auto samples = MakeSweepNoise({44100, 2, 1.5, 4});
    struct Case {
        const char* name;
        AudioFileKind kind;
        std::function<bool(std::string&)> corrupt;
        size_t slackFrames; // how much longer than the intact file it may decode
    } cases[] = {
        {"FLAC length unknown", AudioFileKind::Flac, [](std::string& b) { return SetFlacTotalSamples(b, 0); }, 0},
        {"FLAC length huge", AudioFileKind::Flac, [](std::string& b) { return SetFlacTotalSamples(b, 0xFFFFFFFFFull); }, 0},
        {"FLAC length too long", AudioFileKind::Flac, [](std::string& b) { return SetFlacTotalSamples(b, 100000); }, 0},
        {"MP3 tag 0x00FFFFFF frames", AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 0x00FFFFFF); }, 2304},
        {"MP3 tag 0xFFFFFFFF frames", AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 0xFFFFFFFF); }, 2304},
        {"MP3 tag 0 frames", AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 0); }, 2304},
        {"MP3 tag 2000 frames", AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 2000); }, 2304},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!CanWrite(c.kind))
            continue;
        const std::string good = File("good" + ExtensionOf(c.kind));
        ASSERT_TRUE(WriteAudioFile(good, c.kind, samples, 44100, 2));
        const auto intact = DecodeAll(BASS_StreamCreateFile(good, BASS_STREAM_DECODE));
        std::string bytes = ReadBytes(good);
        ASSERT_TRUE(c.corrupt(bytes));
        const std::string bad = File("bad" + ExtensionOf(c.kind));
        WriteBytes(bad, bytes);
        const BassHandle h = BASS_StreamCreateFile(bad, BASS_STREAM_DECODE);
        ASSERT_NE(h, 0u);
        const auto decoded = DecodeAll(h);
        EXPECT_EQ(BASS_ChannelGetLength(h), int64_t(decoded.size()) * 2);
        EXPECT_GE(decoded.size(), intact.size());
        EXPECT_LE(decoded.size(), intact.size() + 2 * c.slackFrames);
        if (c.slackFrames == 0) {
            EXPECT_EQ(decoded, intact);
        }
        const int64_t middle = int64_t(decoded.size()) / 4 * 4; // half way, in bytes of whole frames
        ASSERT_TRUE(BASS_ChannelSetPosition(h, middle));
        EXPECT_EQ(DecodeAll(h), std::vector<int16_t>(decoded.begin() + middle / 2, decoded.end()));
    }
}

// Ogg files whose granule positions disagree with their packets (an encoder's pre-skip gives a
// negative first one; some files jump back to the true count on the way) or whose packets span
// pages position like any other: every seek reaches the frame of the sequential decode, at the
// start, inside the first pages and all the way to the end (where the library's own seeks start
// from pages in the middle), and the length is the decoded one.
TEST_F(BadInputTest, OggWithOddGranulesPositionsExactly)
{
    constexpr int rate = 44100;
    const std::string natural = File("natural.ogg");
    ASSERT_TRUE(WriteAudioFile(natural, AudioFileKind::Ogg, MakeSweepNoise({rate, 2, 64.0, 6}), rate, 2));
    struct Case {
        const char* name;
        std::function<bool(std::string&)> change;
    } cases[] = {
        {"pre-skip -104 up to 15 s, the true count after",
         [](std::string& b) { return SetOggFirstGranule(b, -104, 15 * rate); }},
        {"pre-skip -104", [](std::string& b) { return SetOggFirstGranule(b, -104); }},
        {"pre-skip -2000", [](std::string& b) { return SetOggFirstGranule(b, -2000); }},
        {"all too low, first still positive", [](std::string& b) { return SetOggFirstGranule(b, 100); }},
        {"packets spanning pages",
         [](std::string& b) { return SplitOggPages(b) && SetOggFirstGranule(b, -104, 15 * rate); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = ReadBytes(natural);
        ASSERT_TRUE(c.change(bytes));
        const std::string path = File("odd.ogg");
        WriteBytes(path, bytes);
        const BassHandle h = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(h, 0u);
        const auto sequential = DecodeAll(h);
        const int64_t frames = int64_t(sequential.size()) / 2;
        EXPECT_EQ(BASS_ChannelGetLength(h), frames * 4);
        std::vector<int64_t> targets = {0, 1, 103, 1000, 5000, 13000, 14100, 20000, 44100, frames - 1};
        for (int i = 0; i < 24; ++i)
            targets.push_back(rate / 2 + (frames - rate / 2) * i / 23 - i % 3);
        std::vector<int16_t> got(2048);
        for (const int64_t frame : targets) {
            ASSERT_TRUE(BASS_ChannelSetPosition(h, frame * 4)) << frame;
            const int64_t expected = std::min<int64_t>(1024, frames - frame) * 2;
            ASSERT_EQ(BASS_ChannelGetData(h, got.data(), 4096), expected * 2) << frame;
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + expected, sequential.begin() + frame * 2))
                << "seek to frame " << frame << " (" << double(frame) / rate << " s)";
        }
    }
}

TEST_F(BadInputTest, FileDeletedWhileOpenStillDecodes)
{
    const auto samples = MakeSweepNoise({44100, 2, 1.0, 3});
    for (AudioFileKind kind : {AudioFileKind::Wav, AudioFileKind::Mp3, AudioFileKind::Ogg}) {
        if (!CanWrite(kind))
            continue;
        const std::string path = File("gone" + ExtensionOf(kind));
        ASSERT_TRUE(WriteAudioFile(path, kind, samples, 44100, 2));
        const BassHandle h = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(h, 0u);
        std::filesystem::remove(path);
        EXPECT_EQ(DecodeAll(h).size(), samples.size()) << ExtensionOf(kind);
    }
}

TEST_F(BadInputTest, RatesAndChannelCounts)
{
    struct Case {
        int rate, channels;
    };
    for (const Case c : {Case{8000, 1}, Case{22050, 2}, Case{96000, 2}, Case{192000, 2}, Case{48000, 6}}) {
        const auto samples = MakeSweepNoise({c.rate, c.channels, 0.5, 3});
        const std::string path = File("r" + std::to_string(c.rate) + "c" + std::to_string(c.channels) + ".wav");
        ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, samples, c.rate, c.channels));
        const BassHandle h = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        ASSERT_NE(h, 0u) << path;
        BassChannelInfo info;
        BASS_ChannelGetInfo(h, &info);
        EXPECT_EQ(info.frequency, uint32_t(c.rate));
        EXPECT_EQ(info.channels, uint32_t(c.channels));
        EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.25), int64_t(c.rate / 4) * c.channels * 2);
        // A frame is never split: an odd request is cut to whole frames.
        std::vector<int16_t> block(64);
        EXPECT_EQ(BASS_ChannelGetData(h, block.data(), uint32_t(c.channels * 2 * 3 + 1)), c.channels * 2 * 3);
        ASSERT_TRUE(BASS_ChannelSetPosition(h, 0));
        EXPECT_EQ(DecodeAll(h), samples);
    }
    if (CanWrite(AudioFileKind::Mp3)) {
        const auto mono = MakeSweepNoise({22050, 1, 1.0, 3});
        ASSERT_TRUE(WriteAudioFile(File("mono.mp3"), AudioFileKind::Mp3, mono, 22050, 1));
        const BassHandle h = BASS_StreamCreateFile(File("mono.mp3"), BASS_STREAM_DECODE);
        BassChannelInfo info;
        ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
        EXPECT_EQ(info.channels, 1u);
        EXPECT_EQ(DecodeAll(h).size(), mono.size());
    }
}

TEST_F(BadInputTest, PlayableFileStreamsNeedTheOutput)
{
    const auto samples = MakeSweepNoise({44100, 2, 0.2, 3});
    ASSERT_TRUE(WriteAudioFile(File("p.wav"), AudioFileKind::Wav, samples, 44100, 2));
    EXPECT_EQ(BASS_StreamCreateFile(File("p.wav"), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    BASS_ManualOutputEnable(true);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    const BassHandle h = BASS_StreamCreateFile(File("p.wav"), 0);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(BASS_ChannelGetData(h, std::vector<char>(64).data(), 64), -1) << "a playable stream is not read";
    BASS_ManualOutputEnable(false);
}

} // namespace

namespace {

// The length and index of a scanned MP3 (no info tag) are remembered for the unchanged file: a
// second open must length, decode and seek exactly like the first, and a file written anew
// under the same name is scanned again.
TEST(Mp3ScanMemory, ASecondOpenOfAnUntaggedMp3IsTheSameAndARewrittenFileIsScannedAgain)
{
    if (!CanWrite(AudioFileKind::Mp3Untagged))
        GTEST_SKIP() << "no lame";
    const std::string path = FixtureFolder() + "/rescanned.mp3";
    ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Mp3Untagged, MakeSweepNoise({44100, 2, 4.0, 3}), 44100, 2));
    auto firstBlockAfterSeeks = [&path](int64_t& length) {
        const BassHandle h = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
        length = BASS_ChannelGetLength(h);
        std::vector<int16_t> got;
        for (int64_t frame : {int64_t(150000), int64_t(3), int64_t(44100 * 3 + 17)}) {
            std::vector<int16_t> block(1000);
            EXPECT_TRUE(BASS_ChannelSetPosition(h, frame * 4));
            EXPECT_EQ(BASS_ChannelGetData(h, block.data(), 2000), 2000);
            got.insert(got.end(), block.begin(), block.end());
        }
        BASS_StreamFree(h);
        return got;
    };
    int64_t firstLength = 0, secondLength = 0;
    const auto first = firstBlockAfterSeeks(firstLength);
    const auto second = firstBlockAfterSeeks(secondLength);
    EXPECT_EQ(secondLength, firstLength);
    EXPECT_EQ(second, first);
    const BassHandle again = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    EXPECT_EQ(int64_t(DecodeAll(again).size()) * 2, firstLength) << "decoded to the remembered length";
    BASS_StreamFree(again);

    std::filesystem::remove(path);
    ASSERT_TRUE(WriteAudioFile(path, AudioFileKind::Mp3Untagged, MakeSweepNoise({44100, 2, 6.0, 3}), 44100, 2));
    const BassHandle rewritten = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    const int64_t rewrittenLength = BASS_ChannelGetLength(rewritten);
    EXPECT_GT(rewrittenLength, firstLength + 44100 * 4);
    EXPECT_EQ(int64_t(DecodeAll(rewritten).size()) * 2, rewrittenLength);
    BASS_StreamFree(rewritten);
}

} // namespace
