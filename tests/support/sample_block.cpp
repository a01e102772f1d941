#include "support/sample_block.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace sonorel_test {

std::vector<std::int16_t> SweepNoiseBlock(int frames, int channels, int rate, double f0, double f1, unsigned seed)
{
    std::vector<std::int16_t> block(static_cast<size_t>(frames) * channels);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    const double duration = static_cast<double>(frames) / rate;
    const double growth = std::log(f1 / f0) / duration;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = 2.0 * M_PI * f0 * (std::exp(growth * t) - 1.0) / growth;
        const double envelope = 0.25 + 0.6 * std::fabs(std::sin(M_PI * 3.0 * t / duration));
        for (int c = 0; c < channels; ++c) {
            const double v = envelope * std::sin(phase + c * 0.3) + noise(random);
            block[static_cast<size_t>(i) * channels + c] = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32000.0));
        }
    }
    return block;
}

} // namespace sonorel_test
