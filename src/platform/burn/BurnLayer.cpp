#include "platform/burn/BurnLayer.h"

#include <cstdio>
#include <cstring>

namespace burner {

std::unique_ptr<Backend> MakeLibburnBackend(); // Libburn.cpp

uint8_t MediaCodeOfProfile(int profile)
{
    switch (profile) {
    case 0x08: return MediaCdRom;
    case 0x09: return MediaCdR;
    case 0x0a: return MediaCdRw;
    case 0x10: return MediaDvdRom;
    case 0x11: return MediaDvdR;
    case 0x12: return MediaDvdRam;
    case 0x13:
    case 0x14: return MediaDvdRw;
    case 0x15:
    case 0x16: return MediaDvdRDl;
    case 0x1a: return MediaDvdPlusRw;
    case 0x1b: return MediaDvdPlusR;
    case 0x2b: return MediaDvdPlusRDl;
    case 0x40: return MediaBdRom;
    case 0x41:
    case 0x42: return MediaBdR;
    case 0x43: return MediaBdRe;
    case 0x50: return MediaHdDvdRom;
    case 0x51: return MediaHdDvdR;
    case 0x52: return MediaHdDvdRw;
    default: return MediaUnknown;
    }
}

namespace {

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

bool ReadWavAudio(const std::string& path, WavAudio& audio, std::string& error)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "Can't open the image " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fseek(file.get(), 0, SEEK_END);
    const int64_t fileSize = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);
    unsigned char riff[12];
    if (std::fread(riff, 1, 12, file.get()) != 12 || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = "The image " + path + " is not a WAV file.";
        return false;
    }
    bool haveFormat = false;
    int64_t at = 12;
    unsigned char chunk[8];
    while (std::fread(chunk, 1, 8, file.get()) == 8) {
        const int64_t size = Le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char format[16];
            if (size < 16 || std::fread(format, 1, 16, file.get()) != 16)
                break;
            if (Le16(format) != 1 || Le16(format + 2) != 2 || Le32(format + 4) != 44100 || Le16(format + 14) != 16) {
                error = "The image " + path + " is not 44100 Hz stereo 16-bit PCM.";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // A streaming header leaves the size unknown (0 or all ones): the data runs to the end.
            const int64_t rest = fileSize - at;
            const bool unknown = size == 0 || size == 0xFFFFFFFF;
            if (!haveFormat || (!unknown && size > rest) || rest <= 0) {
                error = "The image " + path + (haveFormat ? " is cut short." : " has no format chunk.");
                return false;
            }
            audio.dataOffset = at;
            audio.dataBytes = unknown ? rest - rest % 4 : size;
            return true;
        }
        at += size + (size & 1);
        if (std::fseek(file.get(), at, SEEK_SET) != 0)
            break;
    }
    error = "The image " + path + " has no audio data.";
    return false;
}

int BestSpeedNotAbove(const std::vector<int>& offered, int goal)
{
    if (goal <= 0)
        return 0;
    int best = 0;
    for (int speed : offered)
        if (speed * 100 <= goal * 101 && speed > best)
            best = speed;
    return best;
}

namespace {
Backend* installed = nullptr;
}

Backend& CurrentBackend()
{
    if (installed)
        return *installed;
    static std::unique_ptr<Backend> libburn = MakeLibburnBackend();
    return *libburn;
}

void SetBackend(Backend* backend) { installed = backend; }

} // namespace burner
