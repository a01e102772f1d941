#include "AudioControls/class_WavDataStore.h"

#include "platform/files/ReadRegularFile.h"
#include "platform/files/ReplaceFile.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QString>

#include "platform/sound/SoundCD.h"

namespace fs = std::filesystem;

namespace {

constexpr double kCacheFillRatio = 0.99; // a decode that filled less writes no cache

void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

std::int64_t FileSize(const std::string& path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

bool OlderThan(const std::string& file, const std::string& reference)
{
    std::error_code a, b;
    const auto fileTime = fs::last_write_time(file, a);
    const auto referenceTime = fs::last_write_time(reference, b);
    return !a && !b && fileTime < referenceTime;
}

// The record beside a cache file: which source the image is of and what the image's bytes were, so
// that an image of another file, or one damaged after it was written, is never drawn as this one.
// A real one is four lines, the longest a path.
std::string CacheRecordName(const std::string& cachePath) { return cachePath + ".source"; }
constexpr size_t kCacheRecordMaxBytes = 8192;

std::string ImageChecksum(const char* image, std::int64_t length)
{
    return QCryptographicHash::hash(QByteArrayView(image, static_cast<qsizetype>(length)), QCryptographicHash::Sha1)
        .toHex()
        .toStdString();
}

// The record's text for the source `path` and the image bytes; empty when the source cannot be
// looked at (no record is then trusted or written).
std::string CacheRecord(const std::string& path, const char* image, std::int64_t length)
{
    std::error_code sizeError, timeError;
    const auto size = fs::file_size(path, sizeError);
    const auto time = fs::last_write_time(path, timeError);
    if (sizeError || timeError)
        return {};
    return "path=" + fs::absolute(path).lexically_normal().string() + "\nsize=" + std::to_string(size) +
           "\nmtime=" + std::to_string(time.time_since_epoch().count()) + "\nsha1=" + ImageChecksum(image, length) +
           "\n";
}

// Writes beside the file and renames over it, so a reader never sees half a file. A link, FIFO or
// device in the file's place is removed first, never written through.
bool WriteWhole(const std::string& path, const void* bytes, size_t length)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!error && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status))
        fs::remove(path, error);
    ReplaceFile file;
    return file.Create(path) && file.Write(bytes, length) && file.Commit();
}

void LowerLoaderPriority()
{
    const pid_t self = gettid();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(self));
    if (errno == 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(self), nice + 1);
}

} // namespace

std::string DefaultWaveCacheFolder()
{
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Sonorel")
        .toStdString();
}

std::string CacheFileName(const std::string& folder, int rate, const std::string& path)
{
    std::string name = fs::path(path).filename().string();
    ReplaceAll(name, "\\", "-sl-");
    ReplaceAll(name, ":", "-cl-");
    ReplaceAll(name, ".", "-dot-");
    name = std::to_string(rate) + "-" + name + std::to_string(FileSize(path));
    return folder + "/" + QString::fromStdString(name).toLower().toStdString() + ".cache";
}

// ---- cFormatTransformChannel --------------------------------------------------------------

cFormatTransformChannel::~cFormatTransformChannel() { FreeStreams(); }

void cFormatTransformChannel::FreeStreams()
{
    if (mixerStream)
        BASS_StreamFree(mixerStream);
    if (sourceStream)
        BASS_StreamFree(sourceStream);
    mixerStream = 0;
    sourceStream = 0;
}

void cFormatTransformChannel::Close()
{
    FreeStreams();
    openFlag = false;
    closedFlag = true;
    fileName.clear();
}

void cFormatTransformChannel::OpenFile(const std::string& path)
{
    endFlag = false;
    Close();
    std::error_code error;
    if (!fs::exists(path, error) && !BASS_CD_IsTrackAddress(path))
        throw std::runtime_error(kFileNotFound + path + ".");
    sourceStream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!sourceStream)
        sourceStream = BASS_WMA_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!sourceStream)
        sourceStream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!sourceStream)
        throw std::runtime_error(kCantCreateReadChannel);
    BassChannelInfo info;
    BASS_ChannelGetInfo(sourceStream, &info);
    sourceFormat.channels = static_cast<int>(info.channels);
    sourceFormat.rate = static_cast<int>(info.frequency);
    CreateResampler();
    openFlag = true;
    fileName = path;
}

void cFormatTransformChannel::CreateResampler()
{
    if (mixerStream)
        BASS_StreamFree(mixerStream);
    mixerStream = BASS_Mixer_StreamCreate(static_cast<uint32_t>(std::max(targetFormat.rate, 0)),
                                          static_cast<uint32_t>(std::max(targetFormat.channels, 0)), BASS_STREAM_DECODE);
    if (!mixerStream || !BASS_Mixer_StreamAddChannel(mixerStream, sourceStream, 0)) {
        FreeStreams();
        throw std::runtime_error(kCantCreateReadChannel);
    }
}

int cFormatTransformChannel::ReadData(void* buffer, int length)
{
    length = std::max(length, 0);
    if (endFlag || closedFlag) {
        std::memset(buffer, 0, static_cast<size_t>(length));
        return 0;
    }
    int count = BASS_ChannelGetData(mixerStream, buffer, static_cast<uint32_t>(length));
    if (count < length)
        endFlag = true;
    return std::max(count, 0);
}

double cFormatTransformChannel::LengthSeconds() const
{
    return BASS_ChannelBytes2Seconds(sourceStream, BASS_ChannelGetLength(sourceStream));
}

// ---- TReadMP3 -----------------------------------------------------------------------------

TReadMP3::TReadMP3(cFormatTransformChannel& reader, std::int16_t* image, std::int64_t imageLength, std::string cachePath,
                   std::string sourcePath)
    : reader(reader), image(reinterpret_cast<char*>(image)), imageLength(imageLength), cachePath(std::move(cachePath)),
      sourcePath(std::move(sourcePath))
{
}

TReadMP3::~TReadMP3()
{
    Stop();
    Wait();
}

void TReadMP3::Start()
{
    running = true;
    thread = std::thread([this] {
        LowerLoaderPriority();
        try {
            Execute();
        } catch (...) {
            // Nothing may end the program from here: the image stays as far as it got, with no cache.
        }
        running = false;
    });
}

void TReadMP3::Wait()
{
    if (thread.joinable())
        thread.join();
}

void TReadMP3::Execute()
{
    bool cached = false;
    try {
        cached = !cachePath.empty() && ReadCache();
    } catch (...) {
        // Whatever stands in the cache's place only costs a rebuild.
    }
    if (cached) {
        fromCache = true;
        return;
    }
    Decode();
    if (complete && !cachePath.empty() && imageLength > 0 && double(filled) / double(imageLength) >= kCacheFillRatio)
        WriteCache();
}

// A cache file is trusted only when it is a plain file of exactly the image's length and the record
// beside it, a plain file of a few kB, names this source as it is now and the checksum of these
// very bytes: anything else was cut short, damaged, belongs to another file, or is no file to read
// (a folder, a FIFO, a device), and is refused without waiting on it.
bool TReadMP3::ReadCache()
{
    // Read aside first, so that a view never draws an image that is then refused.
    const std::optional<std::string> cached = ReadRegularFile(cachePath, static_cast<size_t>(imageLength));
    if (!cached || static_cast<std::int64_t>(cached->size()) != imageLength)
        return false;
    const std::string record = CacheRecord(sourcePath, cached->data(), imageLength);
    if (record.empty() || ReadRegularFile(CacheRecordName(cachePath), kCacheRecordMaxBytes) != record)
        return false;
    std::memcpy(image, cached->data(), cached->size());
    filled = imageLength;
    return true;
}

void TReadMP3::Decode()
{
    const std::int64_t chunk = std::max<std::int64_t>(BytesForSeconds(reader.targetFormat, 1.0f), 2);
    char* position = image;
    std::int64_t done = 0;
    complete = false;
    for (;;) {
        const int length = static_cast<int>(std::min(chunk, imageLength - done));
        const int count = reader.ReadData(position, length);
        if (stopRequested)
            return;
        if (count == 0) {
            complete = true;
            return;
        }
        done += count;
        filled = done;
        if (done >= imageLength) {
            complete = true;
            return;
        }
        position += count;
    }
}

void TReadMP3::WriteCache() const
{
    QDir().mkpath(QString::fromStdString(fs::path(cachePath).parent_path().string()));
    // The record goes last: a cache whose record is missing or from before is not trusted.
    // An unwritable cache folder only costs the next load a decode.
    const std::string record = CacheRecord(sourcePath, image, imageLength);
    if (!record.empty() && WriteWhole(cachePath, image, static_cast<size_t>(imageLength)))
        WriteWhole(CacheRecordName(cachePath), record.data(), record.size());
}

// ---- cMemStreamReadAudio ------------------------------------------------------------------

cMemStreamReadAudio::~cMemStreamReadAudio()
{
    StopLoader(); // the thread writes the image: it must be gone before the image is freed
}

void cMemStreamReadAudio::StopLoader()
{
    loader.reset(); // asks it to stop and waits for it
}

void cMemStreamReadAudio::WaitLoader()
{
    if (loader)
        loader->Wait();
}

std::string cMemStreamReadAudio::PrepareCachePath(const std::string& path) const
{
    if (!cacheImage)
        return {};
    QDir().mkpath(QString::fromStdString(cacheFolder));
    const std::string cachePath = CacheFileName(cacheFolder, rate, path);
    if (OlderThan(cachePath, path)) {
        std::error_code error;
        fs::remove(cachePath, error);
    }
    return cachePath;
}

void cMemStreamReadAudio::LoadFile(const std::string& path)
{
    StopLoader();
    std::vector<std::int16_t>().swap(image);
    transform.Close();
    loaded = false;
    fileName.clear();
    if (path.empty())
        return;

    transform.targetFormat = AudioFormat{1, rate, 16};
    transform.OpenFile(path);
    transform.closedFlag = false;
    const double seconds = transform.LengthSeconds();
    const std::int64_t length = BytesForMicroseconds(
        transform.targetFormat, static_cast<std::int64_t>(std::clamp(seconds, 0.0, 1.0e12) * 1000000.0));
    image.assign(static_cast<size_t>(length / 2), 0);
    if (!image.empty()) {
        loader = std::make_unique<TReadMP3>(transform, image.data(), ImageLength(), PrepareCachePath(path), path);
        loader->Start();
    }
    loaded = true;
    fileName = path;
}

// ---- TWavDataStore ------------------------------------------------------------------------

TWavDataStore::TWavDataStore(QObject* owner) : QObject(owner) {}

TWavDataStore::~TWavDataStore() = default;

void TWavDataStore::SetFileName(const std::string& path)
{
    fileName = path;
    reader.rate = ResultFrequency;
    reader.cacheImage = OptCacheImage;
    reader.cacheFolder = CacheFolder;
    reader.LoadFile(path);
}

void TWavDataStore::WaitLoaded() { reader.WaitLoader(); }
