// User streams and file streams.

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundDecoders.h"

namespace sound {
namespace {

class UserStream : public Channel {
public:
    UserStream(uint32_t frequency, uint32_t channels, uint32_t flags, BassStreamProc proc, void* user)
        : Channel(frequency, channels, flags, BASS_CTYPE_USER), proc_(proc), user_(user)
    {
    }
    BassHandle handle = 0;

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        const uint32_t result = proc_(handle, buffer, bytes, user_);
        ended = (result & BASS_STREAM_END) != 0;
        return std::min(result & ~BASS_STREAM_END, bytes);
    }

private:
    BassStreamProc proc_;
    void* user_;
};

class FileStream : public Channel {
public:
    FileStream(std::unique_ptr<Decoder> decoder, uint32_t flags)
        : Channel(decoder->rate, decoder->channels, flags, decoder->type), decoder_(std::move(decoder))
    {
        info.resolution = decoder_->resolution;
        info.plugin = decoder_->type;
        length_ = decoder_->lengthFrames;
    }
    int64_t Length() override
    {
        const int64_t frameBytes = FrameBytes();
        const int64_t most = std::numeric_limits<int64_t>::max() / frameBytes;
        return std::min(length_, most) * frameBytes; // saturates: a length is never read as "unknown"
    }
    int64_t Position() override { return frame_ * FrameBytes(); }
    bool SeekFrame(int64_t frame) override
    {
        if (!decoder_ || !decoder_->Seek(frame))
            return false;
        frame_ = frame;
        delivered_ = 0;
        MarkRepositioned();
        return true;
    }
    void Released() override { decoder_.reset(); } // closes the file at once

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        if (!decoder_) {
            ended = true;
            return 0;
        }
        const int64_t frames = bytes / FrameBytes();
        const int64_t got = decoder_->Read(static_cast<int16_t*>(buffer), frames);
        ended = got < frames;
        frame_ += got;
        return static_cast<uint32_t>(got * FrameBytes());
    }

private:
    std::unique_ptr<Decoder> decoder_;
    int64_t length_ = 0;
    int64_t frame_ = 0;
};

bool PlayableNeedsOutput(uint32_t flags)
{
    return (flags & BASS_STREAM_DECODE) != 0 || OutputInitialised() || Fail(BASS_ERROR_INIT);
}

using Opener = std::unique_ptr<Decoder> (*)(const std::string&);

std::unique_ptr<Decoder> OpenPcm(const std::string& path) { return OpenSndfileDecoder(path, false); }
std::unique_ptr<Decoder> OpenFlac(const std::string& path) { return OpenSndfileDecoder(path, true); }

// The decoders of each file stream opener, in the order it tries them, with the extensions of the
// files each really opens (for file dialogs: files are recognised by content). The main opener
// leaves WMA to its own, as callers that chain the two expect.
enum class Opening { Main, Wma, FlacOnly };
struct FileDecoder {
    Opening opening;
    Opener open;
    std::vector<const char*> extensions;
};
const std::vector<FileDecoder>& FileDecoders()
{
    static const std::vector<FileDecoder> decoders = {
        {Opening::Main, OpenPcm, {"wav", "aif", "aiff", "aifc", "flac", "au", "snd", "caf", "w64", "rf64"}},
        {Opening::Main, OpenVorbisDecoder, {"ogg"}},
        {Opening::Main, OpenMpg123Decoder, {"mp3", "mp2"}},
        {Opening::Wma, OpenFfmpegWmaDecoder, {"wma"}},
        {Opening::FlacOnly, OpenFlac, {}}, // its files are listed with the main opener's
    };
    return decoders;
}

BassHandle CreateFileStream(const std::string& path, uint32_t flags, Opening opening)
{
    if (!PlayableNeedsOutput(flags))
        return 0;
    if (FILE* file = std::fopen(path.c_str(), "rb"))
        std::fclose(file);
    else
        return Fail(BASS_ERROR_FILEOPEN, BassHandle(0));
    for (const FileDecoder& decoder : FileDecoders()) {
        if (decoder.opening != opening)
            continue;
        if (std::unique_ptr<Decoder> opened = decoder.open(path))
            return AddHandle(std::make_shared<FileStream>(std::move(opened), flags & BASS_STREAM_DECODE));
    }
    return Fail(BASS_ERROR_FORMAT, BassHandle(0));
}

} // namespace
} // namespace sound

using namespace sound;

BassHandle BASS_StreamCreate(uint32_t frequency, uint32_t channels, uint32_t flags, BassStreamProc proc, void* user)
{
    if (!proc || !AcceptableFormat(frequency, channels))
        return Fail(BASS_ERROR_ILLPARAM, BassHandle(0));
    if (!PlayableNeedsOutput(flags))
        return 0;
    auto stream = std::make_shared<UserStream>(frequency, channels, flags & BASS_STREAM_DECODE, proc, user);
    std::lock_guard lock(stream->mutex); // nobody reads it before it knows its handle
    const BassHandle handle = AddHandle(stream);
    stream->handle = handle;
    return handle;
}

BassHandle BASS_StreamCreateFile(const std::string& path, uint32_t flags)
{
    return CreateFileStream(path, flags, Opening::Main);
}

BassHandle BASS_WMA_StreamCreateFile(const std::string& path, uint32_t flags)
{
    return CreateFileStream(path, flags, Opening::Wma);
}

BassHandle BASS_FLAC_StreamCreateFile(const std::string& path, uint32_t flags)
{
    return CreateFileStream(path, flags, Opening::FlacOnly);
}

std::vector<std::string> BASS_GetFileExtensions()
{
    std::vector<std::string> extensions;
    for (const FileDecoder& decoder : FileDecoders())
        extensions.insert(extensions.end(), decoder.extensions.begin(), decoder.extensions.end());
    return extensions;
}
