#include "support/pattern_stream.h"

#include <algorithm>
#include <cstring>

namespace sonorel_test {

namespace {

uint32_t PatternProc(BassHandle, void* buffer, uint32_t length, void* user)
{
    auto* pattern = static_cast<PatternStream*>(user);
    const size_t left = pattern->samples.size() - pattern->next;
    const size_t count = std::min<size_t>(length / 2, left);
    std::memcpy(buffer, pattern->samples.data() + pattern->next, count * 2);
    pattern->next += count;
    const uint32_t bytes = static_cast<uint32_t>(count * 2);
    return pattern->next == pattern->samples.size() ? bytes | BASS_STREAM_END : bytes;
}

} // namespace

std::unique_ptr<PatternStream> MakePatternStream(std::vector<int16_t> samples, int channels, int rate)
{
    auto pattern = std::make_unique<PatternStream>();
    pattern->samples = std::move(samples);
    pattern->handle = BASS_StreamCreate(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels),
                                        BASS_STREAM_DECODE, PatternProc, pattern.get());
    return pattern;
}

std::vector<int16_t> ConstantSamples(int64_t frames, std::vector<int16_t> perChannel)
{
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(frames) * perChannel.size());
    for (int64_t f = 0; f < frames; ++f)
        samples.insert(samples.end(), perChannel.begin(), perChannel.end());
    return samples;
}

} // namespace sonorel_test
