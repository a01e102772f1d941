#pragma once

#include <cstdint>

// The per-row playback parameters, copied whole into every sound source that plays the row.
struct MixParams {
    int32_t volume = 100;      // percent; gain = volume x 0.01
    int64_t pitch = 0;         // thousandths of a semitone
    float speed = 0;           // tempo change in percent
    bool fadein = false;
    float fadeinlength = 0;    // seconds of mix time
    bool fadeout = false;
    float fadeoutlength = 0;   // seconds of mix time
};
