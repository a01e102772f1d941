#pragma once

// The file decoders behind the file streams. Each delivers 16-bit interleaved frames at the file's
// own rate and channel count and moves exactly to any frame.

#include <cstdint>
#include <memory>
#include <string>

namespace sound {

class Decoder {
public:
    virtual ~Decoder() = default;
    // Reads up to `frames` frames; returns the frames read, 0 at the end or on an unrecoverable error.
    virtual int64_t Read(int16_t* out, int64_t frames) = 0;
    // Moves so that the next Read starts at `frame` (0 <= frame <= lengthFrames).
    virtual bool Seek(int64_t frame) = 0;

    uint32_t rate = 0;
    uint32_t channels = 0;
    int64_t lengthFrames = 0;
    uint32_t type = 0;       // BassStreamType
    uint32_t resolution = 0; // bits of the source data, 0 for compressed formats
};

// Each opener returns null when the file is not of its kind (or is broken).
std::unique_ptr<Decoder> OpenSndfileDecoder(const std::string& path, bool flacOnly); // WAV, AIFF, FLAC, ...
std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path);                 // MP3
std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path);                 // Ogg Vorbis
std::unique_ptr<Decoder> OpenFfmpegWmaDecoder(const std::string& path);              // WMA

// The channel counts and rates every stream accepts.
constexpr uint32_t maxChannels = 32;
constexpr uint32_t minRate = 1000;
constexpr uint32_t maxRate = 384000;
inline bool AcceptableFormat(uint32_t rate, uint32_t channels)
{
    return rate >= minRate && rate <= maxRate && channels >= 1 && channels <= maxChannels;
}

} // namespace sound
