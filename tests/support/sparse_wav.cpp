#include "support/sparse_wav.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace sonorel_test {

namespace {
void Put32(unsigned char* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}
void Put16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}
} // namespace

bool WriteSparseSilentWav(const std::string& path, int rate, int channels, double seconds)
{
    const uint32_t frameBytes = static_cast<uint32_t>(channels) * 2;
    const uint64_t dataBytes = static_cast<uint64_t>(seconds * rate) * frameBytes;
    if (dataBytes + 36 > 0xFFFFFFFFull)
        return false;
    unsigned char header[44];
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, static_cast<uint32_t>(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);
    Put16(header + 20, 1);
    Put16(header + 22, static_cast<uint16_t>(channels));
    Put32(header + 24, static_cast<uint32_t>(rate));
    Put32(header + 28, static_cast<uint32_t>(rate) * frameBytes);
    Put16(header + 32, static_cast<uint16_t>(frameBytes));
    Put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, static_cast<uint32_t>(dataBytes));
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::fclose(file);
    std::error_code error;
    std::filesystem::resize_file(path, sizeof header + dataBytes, error);
    return written && !error;
}

} // namespace sonorel_test
