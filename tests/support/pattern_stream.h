#pragma once

#include "platform/sound/SoundLibrary.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sonorel_test {

// A decode-only user stream of the sound library that plays the given interleaved samples once and
// then ends. The returned object must outlive the stream.
struct PatternStream {
    std::vector<int16_t> samples;
    size_t next = 0; // next sample to deliver
    BassHandle handle = 0;
};

std::unique_ptr<PatternStream> MakePatternStream(std::vector<int16_t> samples, int channels, int rate);

// `frames` frames of one constant value per channel.
std::vector<int16_t> ConstantSamples(int64_t frames, std::vector<int16_t> perChannel);

} // namespace sonorel_test
