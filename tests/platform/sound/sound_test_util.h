#pragma once

// Small helpers shared by the sound library's tests.

#include <cstdint>
#include <vector>

#include "platform/sound/SoundLibrary.h"

namespace sound_test {

// Reads a decode-only stream to its end in blocks of `block` bytes.
inline std::vector<int16_t> DecodeAll(BassHandle stream, uint32_t block = 16384)
{
    std::vector<int16_t> all;
    std::vector<int16_t> buffer(block / 2);
    for (int guard = 0; guard < 1000000; ++guard) {
        const int32_t got = BASS_ChannelGetData(stream, buffer.data(), block);
        if (got < 0)
            break;
        all.insert(all.end(), buffer.begin(), buffer.begin() + got / 2);
    }
    return all;
}

// Frequency of the first channel of an interleaved signal, from its rising zero crossings, leaving
// out `skipFrames` at both ends (where a stream settles in and where it is flushed).
inline double MeasureFrequency(const std::vector<int16_t>& samples, int channels, int rate, size_t skipFrames = 0)
{
    double first = -1, last = -1;
    int crossings = 0;
    const size_t frames = samples.size() / channels > skipFrames ? samples.size() / channels - skipFrames : 0;
    for (size_t i = skipFrames + 1; i < frames; ++i) {
        const double a = samples[(i - 1) * channels], b = samples[i * channels];
        if (a < 0 && b >= 0) {
            const double at = double(i - 1) + a / (a - b);
            if (first < 0)
                first = at;
            else
                ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0;
}

} // namespace sound_test
