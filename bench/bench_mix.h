#pragma once

// The mixes the export, CD image and live benchmarks render: rows from 4 sources of sweep and noise,
// overlapping by 5 s with fades. The benchmark mix plays every fifth row 2 % faster; the user's mix
// changes tempo and pitch on every row, as a mix is made.

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

struct MixShape {
    int rows = kRows;
    bool tempoAndPitchOnEveryRow = false; // the user's mix
    AudioFileKind sources = AudioFileKind::Wav;
    int sourceRate = 44100;
};

inline constexpr MixShape kUserMix{kRows, true};

// Adds the rows to snl.mixdata; the sources are written into `folder` once.
inline void BuildMix(const std::string& folder, double minutes, const MixShape& shape = {})
{
    static constexpr float kSpeeds[] = {2.0f, -3.0f, 5.0f, 1.5f, -2.0f};
    static constexpr int64_t kPitches[] = {1000, -500, 700, -1200, 300}; // thousandths of a semitone
    const float rowSeconds = static_cast<float>((minutes * 60 + (shape.rows - 1) * kOverlap) / shape.rows);
    std::vector<std::string> sources;
    for (int i = 0; i < kSources; ++i) {
        const std::string path = folder + "/source" + std::to_string(i) + "_" +
                                 std::to_string(static_cast<int>(rowSeconds)) + "s_" + std::to_string(shape.sourceRate) +
                                 ExtensionOf(shape.sources);
        if (!std::filesystem::exists(path))
            WriteAudioFile(path, shape.sources,
                           MakeSweepNoise({shape.sourceRate, 2, rowSeconds * 1.1 + 20, uint32_t(i + 1)}),
                           shape.sourceRate, 2);
        sources.push_back(path);
    }
    for (int i = 0; i < shape.rows; ++i) {
        cMixRow* row = snl.mixdata.Add();
        row->filename = sources[static_cast<size_t>(i % kSources)];
        row->start = static_cast<float>((i * 7) % 15);
        if (shape.tempoAndPitchOnEveryRow) {
            row->MixParams.speed = kSpeeds[i % 5];
            row->MixParams.pitch = kPitches[i % 5];
        } else {
            row->MixParams.speed = i % 5 == 4 ? 2.0f : 0.0f;
        }
        row->length = rowSeconds * (100 + row->MixParams.speed) / 100;
        row->MixParams.volume = 90;
        row->overlap = i < shape.rows - 1;
        row->overlaplen = kOverlap;
        row->MixParams.fadein = i > 0;
        row->MixParams.fadeinlength = kOverlap;
        row->MixParams.fadeout = row->overlap;
        row->MixParams.fadeoutlength = kOverlap;
    }
}

} // namespace sonorel_bench
