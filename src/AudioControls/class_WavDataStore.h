#pragma once

// The waveform image of a sound file: a mono 16-bit image at a low rate (441 samples a second by
// default) built in the background and kept in a cache file, so that a view can draw the whole
// file at once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "platform/sound/SampleFormat.h"
#include "platform/sound/SoundLibrary.h"

// The message of a source file that does not exist: kFileNotFound + path + ".".
inline constexpr const char* kFileNotFound = "File not found ";
// The message when no opener of the sound library takes the file.
inline constexpr const char* kCantCreateReadChannel = "TransformChannel::Can't create read channel. Is BASS Initialized?";

// The format of a waveform image. Its byte arithmetic is the sound layer's (BytesForSeconds gives
// 882 for one second of the default image).
struct AudioFormat {
    int channels = 2;
    int rate = 44100; // Hz
    int bits = 16;

    operator PcmShape() const { return {rate, channels, bits}; }
};

// Where images are cached: the application's data folder ($XDG_DATA_HOME/Sonorel).
std::string DefaultWaveCacheFolder();
// The cache file of the image of `path` at `rate`: the rate, "-", the file's name with "\" as
// "-sl-", ":" as "-cl-" and "." as "-dot-", its size in bytes, all in lower case, ".cache".
std::string CacheFileName(const std::string& folder, int rate, const std::string& path);

// Reads a sound file converted to the image format through a decoding mixer stream.
class cFormatTransformChannel {
public:
    cFormatTransformChannel() = default;
    virtual ~cFormatTransformChannel();
    cFormatTransformChannel(const cFormatTransformChannel&) = delete;
    cFormatTransformChannel& operator=(const cFormatTransformChannel&) = delete;

    // Opens the file and its converter; throws std::runtime_error with the messages above.
    virtual void OpenFile(const std::string& path);
    // Up to `length` bytes of the image format; 0 (buffer zero-filled) once ended or closed.
    virtual int ReadData(void* buffer, int length);
    double LengthSeconds() const;
    void Close();

    AudioFormat targetFormat{2, 44100, 16};
    AudioFormat sourceFormat;
    bool endFlag = true;
    bool closedFlag = true;
    bool openFlag = false;

private:
    void CreateResampler();
    void FreeStreams();

    BassHandle sourceStream = 0;
    BassHandle mixerStream = 0;
    std::string fileName;
};

// The loader thread: fills the image from the cache file when the record beside it vouches for it
// (the same source, unchanged, and the image's checksum), else by decoding in one-second chunks,
// then writes the cache file and its record (each under a temporary name, renamed when complete).
class TReadMP3 {
public:
    TReadMP3(cFormatTransformChannel& reader, std::int16_t* image, std::int64_t imageLength, std::string cachePath,
             std::string sourcePath);
    ~TReadMP3(); // stops and waits for the thread
    TReadMP3(const TReadMP3&) = delete;
    TReadMP3& operator=(const TReadMP3&) = delete;

    void Start();
    // Asks the thread to stop after its current chunk; the thread never clears the request.
    void Stop() { stopRequested = true; }
    void Wait();
    bool Running() const { return running; }
    bool FromCache() const { return fromCache; }
    std::int64_t Filled() const { return filled; }

private:
    void Execute();
    bool ReadCache();
    void Decode();
    void WriteCache() const;

    cFormatTransformChannel& reader;
    char* image;
    std::int64_t imageLength;
    std::string cachePath;
    std::string sourcePath;
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> fromCache{false};
    std::atomic<std::int64_t> filled{0};
    bool complete = false;
    std::thread thread;
};

// The image buffer of one file and its loader.
class cMemStreamReadAudio {
public:
    cMemStreamReadAudio() = default;
    ~cMemStreamReadAudio();
    cMemStreamReadAudio(const cMemStreamReadAudio&) = delete;
    cMemStreamReadAudio& operator=(const cMemStreamReadAudio&) = delete;

    // Stops the previous loader, frees the previous image, opens the file and starts the loader
    // on a zeroed image of the final length. An empty path leaves no image. Throws as OpenFile.
    void LoadFile(const std::string& path);
    void StopLoader();
    void WaitLoader();

    const std::int16_t* Image() const { return image.empty() ? nullptr : image.data(); }
    std::int64_t ImageLength() const { return static_cast<std::int64_t>(image.size()) * 2; }
    const TReadMP3* Loader() const { return loader.get(); }

    int rate = 441;
    bool cacheImage = true;
    std::string cacheFolder;
    bool loaded = false;

private:
    std::string PrepareCachePath(const std::string& path) const;

    std::vector<std::int16_t> image;
    std::unique_ptr<TReadMP3> loader;
    std::string fileName;
    cFormatTransformChannel transform;
};

class TWavDataStore : public QObject {
    Q_OBJECT
public:
    explicit TWavDataStore(QObject* owner = nullptr);
    ~TWavDataStore() override;

    bool OptCacheImage = true;
    int ResultFrequency = 441;                  // image rate, Hz
    std::string CacheFolder = DefaultWaveCacheFolder();

    const std::string& FileName() const { return fileName; }
    // Starts building the image of `path` and returns at once (throws as cFormatTransformChannel).
    void SetFileName(const std::string& path);

    // The image: null and 0 without one. The buffer keeps its place and length until the next
    // SetFileName; the loader fills it from the front.
    const void* GetMemStart() const { return reader.Image(); }
    std::int64_t GetMemLen() const { return reader.ImageLength(); }

    bool Loading() const { return reader.Loader() && reader.Loader()->Running(); }
    bool LoadedFromCache() const { return reader.Loader() && reader.Loader()->FromCache(); }
    // Blocks until the loader has finished (tools and tests).
    void WaitLoaded();

private:
    std::string fileName;
    cMemStreamReadAudio reader;
};
