// WAV, AIFF, FLAC and the other PCM containers through libsndfile. Its Ogg and MP3 readers are
// refused here: those files go to libvorbisfile (exact seeks) and libmpg123 (exact length).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sndfile.h>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

uint32_t ResolutionOf(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 32;
    case SF_FORMAT_DOUBLE: return 64;
    default: return 0;
    }
}

// Float data is scaled to the full 16-bit range (and clipped) instead of being truncated to +-1.
// Only for float data: the command makes libsndfile read the whole file for its peak.
void ScaleFloatData(SNDFILE* file, int format)
{
    const int sub = format & SF_FORMAT_SUBMASK;
    if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE)
        sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
}

class SndfileDecoder : public Decoder {
public:
    SndfileDecoder(SNDFILE* file, std::string path) : file_(file), path_(std::move(path)) {}
    ~SndfileDecoder() override { sf_close(file_); }
    int64_t Read(int16_t* out, int64_t frames) override
    {
        const sf_count_t got = std::max<sf_count_t>(0, sf_readf_short(file_, out, frames));
        position_ += got;
        if (got < frames && position_ < lengthFrames)
            damaged_ = true; // ended early: the decoder may now be stuck in its error state
        return got;
    }
    bool Seek(int64_t frame) override
    {
        if (!damaged_ && sf_seek(file_, frame, SEEK_SET) == frame) {
            position_ = frame;
            return true;
        }
        // A decoder that met damaged data may refuse to move: start it afresh.
        SF_INFO info{};
        SNDFILE* again = sf_open(path_.c_str(), SFM_READ, &info);
        if (!again)
            return false;
        sf_close(file_);
        file_ = again;
        ScaleFloatData(file_, info.format);
        damaged_ = false;
        position_ = frame;
        return frame == 0 || sf_seek(file_, frame, SEEK_SET) == frame;
    }

private:
    SNDFILE* file_;
    std::string path_;
    int64_t position_ = 0;
    bool damaged_ = false;
};

// MPEG audio (a frame sync, or an ID3 tag not followed by FLAC) is left to libmpg123 without
// letting libsndfile parse it first: its own MP3 reader would print its complaints to stderr.
bool LooksLikeMpeg(const std::string& path)
{
    unsigned char head[10] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const size_t got = std::fread(head, 1, sizeof head, file);
    bool mpeg = got >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0;
    if (got == sizeof head && std::memcmp(head, "ID3", 3) == 0) {
        const long tagSize = (head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F);
        char after[4] = {};
        mpeg = std::fseek(file, 10 + tagSize, SEEK_SET) != 0 || std::fread(after, 1, 4, file) != 4 ||
               std::memcmp(after, "fLaC", 4) != 0;
    }
    std::fclose(file);
    return mpeg;
}

// A FLAC file written by a streaming encoder leaves its total length unknown (libsndfile then
// reports the largest count), and a corrupted header may claim any length: a count is believed
// only when its last frame can be reached, else the file is decoded once to count its frames.
// The file is left at its start, opened afresh after a failed check; -1 when it cannot be.
sf_count_t CheckedFlacFrames(SNDFILE*& file, const std::string& path, sf_count_t claimed)
{
    short frame[maxChannels];
    if (claimed > 0 && sf_seek(file, claimed - 1, SEEK_SET) == claimed - 1 && sf_readf_short(file, frame, 1) == 1 &&
        sf_seek(file, 0, SEEK_SET) == 0)
        return claimed;
    // A failed seek may leave the decoder stuck: count on a fresh handle, then start afresh.
    SF_INFO info{};
    sf_close(file);
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return -1;
    std::vector<short> chunk(size_t(4096) * maxChannels);
    sf_count_t frames = 0;
    for (sf_count_t got; (got = sf_readf_short(file, chunk.data(), 4096)) > 0;)
        frames += got;
    sf_close(file);
    file = sf_open(path.c_str(), SFM_READ, &info);
    return file ? frames : -1;
}

} // namespace

std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path, bool flacOnly)
{
    if (LooksLikeMpeg(path))
        return nullptr;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return nullptr;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const bool refused = major == SF_FORMAT_OGG || major == SF_FORMAT_MPEG || major == SF_FORMAT_RAW ||
                         (flacOnly && major != SF_FORMAT_FLAC);
    if (refused || !info.seekable || info.frames < 0 ||
        !AcceptableFormat(static_cast<uint32_t>(info.samplerate), static_cast<uint32_t>(info.channels))) {
        sf_close(file);
        return nullptr;
    }
    if (major == SF_FORMAT_FLAC)
        info.frames = CheckedFlacFrames(file, path, info.frames);
    if (info.frames < 0) {
        if (file)
            sf_close(file);
        return nullptr;
    }
    ScaleFloatData(file, info.format);
    auto decoder = std::make_unique<SndfileDecoder>(file, path);
    decoder->rate = static_cast<uint32_t>(info.samplerate);
    decoder->channels = static_cast<uint32_t>(info.channels);
    decoder->lengthFrames = info.frames;
    decoder->type = major == SF_FORMAT_FLAC ? BASS_CTYPE_FLAC : BASS_CTYPE_WAVE;
    decoder->resolution = ResolutionOf(info.format);
    return decoder;
}

} // namespace sound
