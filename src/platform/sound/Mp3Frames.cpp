#include "platform/sound/Mp3Frames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

} // namespace

Mp3WholeFrames FindWholeMp3Frames(const std::string& path)
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
    for (int64_t at = 0; at + 4 <= info.st_size && pread(fd, header, 4, at) == 4;) {
        const FrameFormat frame = ParseHeader(header);
        if (frame.bytes == 0 || at + frame.bytes > info.st_size)
            break;
        if (at == 0)
            first = frame;
        else if (frame.rate != first.rate || frame.samples != first.samples)
            break;
        if (at > 0 || !ZerosAfterHeader(fd, frame.bytes))
            found.soundSamples += frame.samples;
        at += frame.bytes;
        found.bytes = at;
    }
    found.rate = first.rate;
    close(fd);
    return found;
}

} // namespace sound
