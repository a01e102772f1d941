#pragma once

// The mix the export and CD image benchmarks render: 20 rows from 4 sources of sweep and noise,
// overlapping by 5 s with fades; every fifth row plays 2 % faster.

#include <filesystem>
#include <string>
#include <vector>

#include "model/class_Application.h"
#include "support/audio_fixtures.h"

namespace sonorel_bench {

using namespace sonorel_test;

inline constexpr int kRows = 20;
inline constexpr int kSources = 4;
inline constexpr float kOverlap = 5.0f;

// Adds the rows to snl.mixdata; the sources are written into `folder` once.
inline void BuildMix(const std::string& folder, double minutes)
{
    const float rowSeconds = static_cast<float>((minutes * 60 + (kRows - 1) * kOverlap) / kRows);
    std::vector<std::string> sources;
    for (int i = 0; i < kSources; ++i) {
        const std::string path = folder + "/source" + std::to_string(i) + ".wav";
        if (!std::filesystem::exists(path))
            WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({44100, 2, rowSeconds * 1.1 + 20, uint32_t(i + 1)}),
                           44100, 2);
        sources.push_back(path);
    }
    for (int i = 0; i < kRows; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->filename = sources[i % kSources];
        row->start = static_cast<float>((i * 7) % 15);
        row->MixParams.speed = i % 5 == 4 ? 2.0f : 0.0f;
        row->length = rowSeconds * (100 + row->MixParams.speed) / 100;
        row->MixParams.volume = 90;
        row->overlap = i < kRows - 1;
        row->overlaplen = kOverlap;
        row->MixParams.fadein = i > 0;
        row->MixParams.fadeinlength = kOverlap;
        row->MixParams.fadeout = row->overlap;
        row->MixParams.fadeoutlength = kOverlap;
    }
}

} // namespace sonorel_bench
