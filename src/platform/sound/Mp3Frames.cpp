#include "platform/sound/Mp3Frames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace sound {
namespace {

struct FrameFormat {
    int bytes = 0; // 0: no frame
    int samples = 0;
    int rate = 0;
};

// The frame that a 4-byte header starts; free-format frames (no bit rate) count as none.
FrameFormat ParseHeader(const unsigned char h[4])
{
    static constexpr int kMpeg1Kbps[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int kMpeg2Kbps[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr int kMpeg1Rates[3] = {44100, 48000, 32000};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return {};
    const int version = (h[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (h[1] >> 1) & 3;   // 1 Layer III
    const int bitRateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
    if (version == 1 || layer != 1 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3)
        return {};
    const bool mpeg1 = version == 3;
    const int rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[bitRateIndex];
    const int samples = mpeg1 ? 1152 : 576;
    return {samples / 8 * kbps * 1000 / rate + padding, samples, rate};
}

bool ZerosAfterHeader(int fd, int frameBytes)
{
    std::vector<unsigned char> body(static_cast<size_t>(frameBytes - 4));
    return pread(fd, body.data(), body.size(), 4) == static_cast<ssize_t>(body.size()) &&
           std::all_of(body.begin(), body.end(), [](unsigned char b) { return b == 0; });
}

// The side information between a frame's header and its data, by version and channel mode.
int SideInfoBytes(const unsigned char h[4])
{
    const bool mpeg1 = ((h[1] >> 3) & 3) == 3, mono = (h[3] >> 6) == 3;
    return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

void PutBe(unsigned char* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
}

// The CRC-16 of the info tag (polynomial 0x8005, bits reflected, starting at 0).
uint16_t Crc16(const unsigned char* data, size_t length, uint16_t crc = 0)
{
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// The CRC-16 of the bytes from `from` to `to`; false when they can't be read.
bool Crc16OfFile(int fd, int64_t from, int64_t to, uint16_t& crc)
{
    std::vector<unsigned char> chunk(1 << 16);
    crc = 0;
    for (int64_t at = from; at < to;) {
        const ssize_t got = pread(fd, chunk.data(), static_cast<size_t>(std::min<int64_t>(to - at, chunk.size())), at);
        if (got <= 0)
            return false;
        crc = Crc16(chunk.data(), static_cast<size_t>(got), crc);
        at += got;
    }
    return true;
}

} // namespace

Mp3WholeFrames FindWholeMp3Frames(const std::string& path, int64_t enoughSamples)
{
    Mp3WholeFrames found;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0)
            close(fd);
        return found;
    }
    FrameFormat first;
    unsigned char header[4];
    for (int64_t at = 0; at + 4 <= info.st_size && found.soundSamples < enoughSamples && pread(fd, header, 4, at) == 4;) {
        const FrameFormat frame = ParseHeader(header);
        if (frame.bytes == 0 || at + frame.bytes > info.st_size)
            break;
        if (at == 0)
            first = frame;
        else if (frame.rate != first.rate || frame.samples != first.samples)
            break;
        if (at == 0 && ZerosAfterHeader(fd, frame.bytes)) {
            found.tagFrameBytes = frame.bytes;
        } else {
            found.soundSamples += frame.samples;
            ++found.soundFrames;
        }
        at += frame.bytes;
        found.bytes = at;
    }
    found.rate = first.rate;
    close(fd);
    return found;
}

bool WriteMp3InfoTag(const std::string& path, const Mp3WholeFrames& frames, int64_t soundSamples)
{
    constexpr int64_t kEncoderDelay = 576, kDecoderDelay = kMp3SoundLead - kEncoderDelay;
    const int64_t padding = frames.soundSamples - kEncoderDelay - soundSamples;
    if (padding < kDecoderDelay || padding > 0xFFF || frames.bytes > 0xFFFFFFFF)
        return false;
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<unsigned char> tag(static_cast<size_t>(frames.tagFrameBytes), 0);
    bool written = false;
    uint16_t musicCrc = 0;
    if (tag.size() >= 4 && pread(fd, tag.data(), 4, 0) == 4 &&
        Crc16OfFile(fd, frames.tagFrameBytes, frames.bytes, musicCrc)) {
        const size_t at = 4 + static_cast<size_t>(SideInfoBytes(tag.data()));
        if (at + 156 <= tag.size()) {
            unsigned char* xing = tag.data() + at;
            std::memcpy(xing, "Xing", 4);
            PutBe(xing + 4, 0x0F, 4); // frames, bytes, table of contents and quality follow
            PutBe(xing + 8, static_cast<uint32_t>(frames.soundFrames), 4);
            PutBe(xing + 12, static_cast<uint32_t>(frames.bytes), 4);
            for (int i = 0; i < 100; ++i) // where each hundredth of the sound starts, of 256
                xing[16 + i] = static_cast<unsigned char>((i * 256 + 50) / 100);
            unsigned char* lame = xing + 120;
            std::memcpy(lame, "LAME3.100", 9); // decoders trust the delays below only after lame's name
            PutBe(lame + 21, static_cast<uint32_t>(kEncoderDelay << 12 | padding), 3);
            PutBe(lame + 28, static_cast<uint32_t>(frames.bytes), 4);
            PutBe(lame + 32, musicCrc, 2);
            PutBe(lame + 34, Crc16(tag.data(), at + 154), 2);
            written = pwrite(fd, tag.data(), tag.size(), 0) == static_cast<ssize_t>(tag.size());
        }
    }
    return close(fd) == 0 && written;
}

} // namespace sound
