#pragma once

#include <cstdint>
#include <vector>

namespace sonorel_test {

// Interleaved 16-bit samples of a logarithmic sine sweep from f0 to f1 Hz with a little white
// noise and a slow amplitude envelope, so that every part of the block looks different.
// Deterministic for a given seed.
std::vector<std::int16_t> SweepNoiseBlock(int frames, int channels, int rate, double f0, double f1,
                                          unsigned seed = 1);

} // namespace sonorel_test
