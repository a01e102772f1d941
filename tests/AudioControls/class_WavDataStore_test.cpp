// The waveform image store: sizes and conversions, the image of each file kind, the cache file
// (name, reuse only at the right size, staleness, written complete or not at all), the loader's
// stop, and bad input.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <fstream>
#include <limits>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AudioControls/class_WavDataStore.h"
#include "support/audio_fixtures.h"
#include "support/sparse_wav.h"
#include "support/waits.h"

namespace fs = std::filesystem;
using namespace sonorel_test;

namespace {

std::string WriteSweep(const std::string& folder, const std::string& name, double seconds,
                       AudioFileKind kind = AudioFileKind::Wav, int rate = 44100, int channels = 2)
{
    const std::string path = folder + "/" + name;
    EXPECT_TRUE(WriteAudioFile(path, kind, MakeSweepNoise(SignalSpec{rate, channels, seconds}), rate, channels));
    return path;
}

std::vector<int16_t> ImageOf(const TWavDataStore& store)
{
    const auto* start = static_cast<const int16_t*>(store.GetMemStart());
    return start ? std::vector<int16_t>(start, start + store.GetMemLen() / 2) : std::vector<int16_t>();
}

std::string Message(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

class StoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = FixtureFolder();
        store.CacheFolder = folder + "/cache";
    }
    std::string folder;
    TWavDataStore store;
};

TEST(WavDataStoreSizes, BytesForSecondsAndMicroseconds)
{
    const AudioFormat image{1, 441, 16}, cd{2, 44100, 16};
    EXPECT_EQ(BytesForSeconds(image, 1.0f), 882);
    EXPECT_EQ(BytesForSeconds(cd, 1.0f), 176400);
    EXPECT_EQ(BytesForSeconds(image, 0.5f), 440) << "220.5 samples: down to whole frames";
    EXPECT_EQ(BytesForSeconds(cd, 0.00001f), 0);
    for (float bad : {-1.0f, std::nanf(""), -std::numeric_limits<float>::infinity()})
        EXPECT_EQ(BytesForSeconds(image, bad), 0);
    EXPECT_GT(BytesForSeconds(image, std::numeric_limits<float>::infinity()), 0) << "saturates, no wrap";

    EXPECT_EQ(BytesForMicroseconds(image, 10000000), 8820) << "10 s at 441 Hz";
    EXPECT_EQ(BytesForMicroseconds(image, 3 * 3600 * int64_t(1000000)), 3 * 3600 * 882);
    EXPECT_EQ(BytesForMicroseconds(cd, 1), 0);
    EXPECT_EQ(BytesForMicroseconds(cd, 1000000000000000), int64_t(1000000000) * 176400) << "no 64-bit overflow";
    EXPECT_EQ(BytesForMicroseconds(image, -5), 0);
}

TEST_F(StoreTest, CacheNameFromRateNameAndSize)
{
    fs::create_directories(folder + "/a");
    fs::create_directories(folder + "/b");
    for (const char* sub : {"/a/Song.mp3", "/b/Song.mp3"}) {
        std::ofstream(folder + sub).put('x');
        fs::resize_file(folder + sub, 4000000);
    }
    EXPECT_EQ(CacheFileName("/data", 441, folder + "/a/Song.mp3"), "/data/441-song-dot-mp34000000.cache");
    EXPECT_EQ(CacheFileName("/data", 441, folder + "/a/Song.mp3"), CacheFileName("/data", 441, folder + "/b/Song.mp3"))
        << "same name and size in another folder: one cache";
    const std::string odd = folder + "/a/Mix:One\\Two.Final.WAV";
    WriteBytes(odd, "12345");
    EXPECT_EQ(CacheFileName("/data", 882, odd), "/data/882-mix-cl-one-sl-two-dot-final-dot-wav5.cache");
    if (const char* dataHome = std::getenv("XDG_DATA_HOME")) {
        EXPECT_EQ(DefaultWaveCacheFolder(), std::string(dataHome) + "/Sonorel");
    }
}

TEST_F(StoreTest, ImageOfEachFileKindHasTheFinalLengthAndTheSound)
{
    for (AudioFileKind kind : {AudioFileKind::Wav, AudioFileKind::Flac, AudioFileKind::Ogg, AudioFileKind::Mp3,
                               AudioFileKind::Wma}) {
        if (!CanWrite(kind))
            continue;
        SCOPED_TRACE(ExtensionOf(kind));
        const std::string path = WriteSweep(folder, "ten" + ExtensionOf(kind), 10.0, kind);
        store.OptCacheImage = false;
        store.SetFileName(path);
        // 10.0 s at 441 Hz, allocated at once (a WMA file's length is its container's, a little off).
        const int64_t slack = kind == AudioFileKind::Wma ? 88 : 0;
        EXPECT_NEAR(store.GetMemLen(), 8820, slack);
        store.WaitLoaded();
        const std::vector<int16_t> image = ImageOf(store);
        ASSERT_EQ(int64_t(image.size()) * 2, store.GetMemLen());
        // The sweep and noise fill the whole file: every tenth of a second of the image moves.
        for (size_t at = 0; at + 44 <= image.size(); at += 44) {
            int peak = 0;
            for (size_t i = at; i < at + 44; ++i)
                peak = std::max(peak, std::abs(int(image[i])));
            EXPECT_GT(peak, 3000) << "sample " << at;
        }
        EXPECT_FALSE(fs::exists(CacheFileName(store.CacheFolder, 441, path))) << "no cache when switched off";
    }
}

TEST_F(StoreTest, CacheIsWrittenCompleteAndReusedOnlyWhenItsRecordVouchesForIt)
{
    const std::string path = WriteSweep(folder, "song.wav", 10.0);
    const std::string cache = CacheFileName(store.CacheFolder, 441, path);
    const std::string record = cache + ".source";
    store.SetFileName(path);
    store.WaitLoaded();
    EXPECT_FALSE(store.LoadedFromCache());
    const std::vector<int16_t> decoded = ImageOf(store);
    const std::string decodedBytes(reinterpret_cast<const char*>(decoded.data()), 8820);
    ASSERT_EQ(ReadBytes(cache), decodedBytes) << "the cache file is the image, nothing else";
    EXPECT_EQ(FileNames(store.CacheFolder), (std::vector<std::string>{fs::path(cache).filename().string(),
                                                                      fs::path(record).filename().string()}))
        << "no temporary file is left";

    // Untouched, the cache is read instead of decoding.
    store.SetFileName("");
    EXPECT_EQ(store.GetMemStart(), nullptr);
    store.SetFileName(path);
    store.WaitLoaded();
    EXPECT_TRUE(store.LoadedFromCache());
    EXPECT_EQ(ImageOf(store), decoded);

    // The same name and size in another folder: its image lands in the same cache file.
    fs::create_directories(folder + "/other");
    const std::string other = folder + "/other/song.wav";
    ASSERT_TRUE(WriteAudioFile(other, AudioFileKind::Wav, MakeSweepNoise(SignalSpec{44100, 2, 10.0, 99}), 44100, 2));
    ASSERT_EQ(fs::file_size(other), fs::file_size(path));
    ASSERT_EQ(CacheFileName(store.CacheFolder, 441, other), cache);
    const std::string savedRecord = ReadBytes(record);

    struct Case {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"empty", [&] { WriteBytes(cache, ""); }},
        {"short", [&] { WriteBytes(cache, std::string(4000, '\x22')); }},
        {"long", [&] { WriteBytes(cache, std::string(9000, '\x22')); }},
        {"zeros", [&] { WriteBytes(cache, std::string(8820, '\0')); }},
        {"random bytes", [&] {
             std::string noise(8820, '\0');
             for (size_t i = 0; i < noise.size(); ++i)
                 noise[i] = static_cast<char>((i * 2654435761u) >> 13);
             WriteBytes(cache, noise);
         }},
        {"one byte changed", [&] { WriteBytes(cache, std::string(decodedBytes).replace(100, 1, "\x7f")); }},
        {"no record", [&] { fs::remove(record); }},
        {"damaged record", [&] { WriteBytes(record, savedRecord.substr(0, savedRecord.size() / 2)); }},
        {"source touched since", [&] { fs::last_write_time(path, fs::last_write_time(path) - std::chrono::seconds(5)); }},
        {"image of the other file", [&] {
             TWavDataStore another;
             another.CacheFolder = store.CacheFolder;
             another.SetFileName(other);
             another.WaitLoaded();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.damage();
        store.SetFileName("");
        store.SetFileName(path);
        store.WaitLoaded();
        EXPECT_FALSE(store.LoadedFromCache());
        EXPECT_EQ(ImageOf(store), decoded);
        EXPECT_EQ(ReadBytes(cache), decodedBytes) << "and rewritten whole";
        store.SetFileName("");
        store.SetFileName(path);
        store.WaitLoaded();
        EXPECT_TRUE(store.LoadedFromCache()) << "the rebuilt cache is used";
    }
}

// Waits for the loader with a generous deadline. A loader stuck opening a FIFO is released (a
// writer comes and goes) so that the failure is reported instead of hanging the test.
bool FinishesLoading(const TWavDataStore& store, const std::string& fifo)
{
    if (PollUntil([&] { return !store.Loading(); }))
        return true;
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        close(writer);
    return false;
}

// Whatever stands in the place of the record beside a cache file or of the cache file itself (a
// folder, a FIFO, a link to an endless device or to a file elsewhere, a huge file, nothing,
// garbage) is refused without waiting on it or reading it whole: every load finishes with the
// decoded image, the cache is rebuilt as plain files (links are replaced, never written through)
// and trusted again; only a folder, which is never removed, keeps it from being trusted.
TEST_F(StoreTest, AnythingButPlainCacheFilesIsRefusedAndRebuilt)
{
    const std::string path = WriteSweep(folder, "song.wav", 10.0);
    const std::string cache = CacheFileName(store.CacheFolder, 441, path);
    const std::string record = cache + ".source";
    const std::string elsewhere = folder + "/elsewhere.txt";
    WriteBytes(elsewhere, "someone else's file");
    store.SetFileName(path);
    store.WaitLoaded();
    const std::vector<int16_t> decoded = ImageOf(store);
    const auto link = [](const std::string& target) {
        return [target](const std::string& at) { fs::create_symlink(target, at); };
    };
    struct Case {
        const char* name;
        const std::string& where;
        std::function<void(const std::string&)> put;
        bool trustedAfterRebuild;
    } cases[] = {
        {"record: folder", record, [](const std::string& at) { fs::create_directory(at); }, false},
        {"record: FIFO", record, [](const std::string& at) { mkfifo(at.c_str(), 0600); }, true},
        {"record: link to /dev/zero", record, link("/dev/zero"), true},
        {"record: huge sparse file", record, [](const std::string& at) {
             WriteBytes(at, "path=");
             fs::resize_file(at, 256 << 20);
         }, true},
        {"record: empty file", record, [](const std::string& at) { WriteBytes(at, ""); }, true},
        {"record: garbage", record, [](const std::string& at) { WriteBytes(at, std::string(3000, '\xff')); }, true},
        {"cache: FIFO", cache, [](const std::string& at) { mkfifo(at.c_str(), 0600); }, true},
        {"cache: link to a file elsewhere", cache, link(elsewhere), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(c.where);
        c.put(c.where);
        for (const bool rebuilt : {true, !c.trustedAfterRebuild}) {
            store.SetFileName("");
            store.SetFileName(path);
            ASSERT_TRUE(FinishesLoading(store, c.where));
            EXPECT_EQ(store.LoadedFromCache(), !rebuilt);
            EXPECT_EQ(ImageOf(store), decoded);
        }
        EXPECT_EQ(fs::is_regular_file(fs::symlink_status(c.where)), c.trustedAfterRebuild);
    }
    EXPECT_TRUE(ReadBytes(elsewhere) == "someone else's file") << "the file a link pointed to is untouched";
    EXPECT_TRUE(fs::is_character_file("/dev/zero"));
}

TEST_F(StoreTest, CacheOlderThanItsSourceIsRebuilt)
{
    const std::string path = WriteSweep(folder, "song.wav", 10.0);
    const std::string cache = CacheFileName(store.CacheFolder, 441, path);
    store.SetFileName(path);
    store.WaitLoaded();
    WriteBytes(cache, std::string(8820, '\x11'));
    fs::last_write_time(path, fs::last_write_time(cache) + std::chrono::seconds(10)); // the source changed
    store.SetFileName("");
    store.SetFileName(path);
    store.WaitLoaded();
    EXPECT_FALSE(store.LoadedFromCache());
    EXPECT_NE(ImageOf(store), std::vector<int16_t>(4410, 0x1111));
    EXPECT_NE(ReadBytes(cache), std::string(8820, '\x11'));
}

TEST_F(StoreTest, NewLoadStopsTheRunningLoaderWhichWritesNoCache)
{
    // Three hours take seconds to load, far longer than any pause a loaded machine makes between
    // two calls here: the loader is still at work when it is stopped.
    const std::string longFile = folder + "/long.wav";
    ASSERT_TRUE(WriteSparseSilentWav(longFile, 48000, 2, 3 * 3600));
    const std::string shortFile = WriteSweep(folder, "short.wav", 2.0);
    for (const std::string& next : {std::string(), shortFile}) {
        SCOPED_TRACE(next.empty() ? "empty name" : "another file");
        store.SetFileName(longFile);
        EXPECT_TRUE(store.Loading());
        store.SetFileName(next); // at once: the loader may not even have started
        EXPECT_FALSE(fs::exists(CacheFileName(store.CacheFolder, 441, longFile)))
            << "the stopped loader was joined before the image went, and wrote nothing";
        store.WaitLoaded();
        EXPECT_EQ(store.GetMemLen(), next.empty() ? 0 : 1764);
    }
    EXPECT_TRUE(fs::exists(CacheFileName(store.CacheFolder, 441, shortFile)));
    {
        TWavDataStore dying;
        dying.CacheFolder = store.CacheFolder;
        dying.SetFileName(longFile);
    } // destroyed while loading: stops and joins first
    EXPECT_FALSE(fs::exists(CacheFileName(store.CacheFolder, 441, longFile)));
}

TEST_F(StoreTest, ThreeHourFileReturnsAtOnceWithItsWholeImage)
{
    const std::string path = folder + "/three-hours.wav";
    ASSERT_TRUE(WriteSparseSilentWav(path, 44100, 2, 3 * 3600 + 1.5));
    store.SetFileName(path);
    EXPECT_EQ(store.GetMemLen(), (3 * 3600 + 1) * 882 + 440);
    EXPECT_TRUE(store.Loading()) << "the image fills in the background";
    store.SetFileName("");
    EXPECT_FALSE(fs::exists(CacheFileName(store.CacheFolder, 441, path)))
        << "the stop is prompt: the load was cut short, not waited for";
}

// Length fields that lie never make the store reserve more than the file decodes to.
TEST_F(StoreTest, LengthFieldsThatLieReserveOnlyTheDecodedLength)
{
    struct Case {
        AudioFileKind kind;
        std::function<bool(std::string&)> corrupt;
    } cases[] = {
        {AudioFileKind::Flac, [](std::string& b) { return SetFlacTotalSamples(b, 0); }},
        {AudioFileKind::Flac, [](std::string& b) { return SetFlacTotalSamples(b, 0xFFFFFFFFFull); }},
        {AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 0x00FFFFFF); }},
        {AudioFileKind::Mp3, [](std::string& b) { return SetMp3InfoFrames(b, 0xFFFFFFFF); }},
    };
    for (const Case& c : cases) {
        if (!CanWrite(c.kind))
            continue;
        const std::string good = WriteSweep(folder, "good" + ExtensionOf(c.kind), 2.0, c.kind);
        std::string bytes = ReadBytes(good);
        ASSERT_TRUE(c.corrupt(bytes));
        const std::string bad = folder + "/bad" + ExtensionOf(c.kind);
        WriteBytes(bad, bytes);
        SCOPED_TRACE(bad);
        store.SetFileName(bad);
        store.WaitLoaded();
        EXPECT_GE(store.GetMemLen(), 2 * 882);
        EXPECT_LE(store.GetMemLen(), 2 * 882 + 200); // an MP3 read without its gapless trim: two frames more
    }
}

TEST_F(StoreTest, BadFilesRaiseTheMessagesAndLeaveNoImage)
{
    const std::string good = WriteSweep(folder, "good.wav", 1.0);
    const std::string empty = folder + "/empty.mp3";
    const std::string junk = folder + "/junk.wav";
    WriteBytes(empty, "");
    WriteBytes(junk, std::string(5000, '\x7f'));
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {{folder + "/missing.wav", kFileNotFound + folder + "/missing.wav."},
                          {empty, kCantCreateReadChannel},
                          {junk, kCantCreateReadChannel},
                          {folder, kCantCreateReadChannel}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        store.SetFileName(good);
        EXPECT_EQ(Message([&] { store.SetFileName(c.path); }), c.message);
        EXPECT_EQ(store.GetMemStart(), nullptr);
        EXPECT_EQ(store.GetMemLen(), 0);
        EXPECT_FALSE(store.Loading());
    }
}

TEST_F(StoreTest, UnwritableCacheFolderOnlyCostsTheCache)
{
    const std::string path = WriteSweep(folder, "song.wav", 2.0);
    WriteBytes(folder + "/plain-file", "x");
    store.CacheFolder = folder + "/plain-file/cache"; // cannot be created
    store.SetFileName(path);
    store.WaitLoaded();
    EXPECT_EQ(store.GetMemLen(), 1764);
    EXPECT_NE(ImageOf(store), std::vector<int16_t>(882, 0));
}

} // namespace
