#pragma once

#include <cstdint>

// The byte arithmetic of interleaved PCM, one set for every format struct of the program: the
// output's (SoundFormat) and the waveform image's (AudioFormat) convert to this shape.
struct PcmShape {
    int64_t Rate = 0;     // Hz
    int64_t Channels = 0;
    int64_t Bits = 0;     // per sample
};

// Bytes of one frame: (Bits / 8) x Channels; 0 for a format without whole bytes.
int64_t FrameBytes(const PcmShape& format);

// Bytes of one second.
int64_t BytesPerSecond(const PcmShape& format);

// Rounds a byte count down to whole frames (0 for a format without whole bytes).
int64_t FrameAlign(int64_t bytes, const PcmShape& format);

// The bytes `microseconds` fill, down to whole frames, exact and without overflow for any
// realistic length; 0 for no time or a broken format.
int64_t BytesForMicroseconds(const PcmShape& format, int64_t microseconds);

// The same for seconds (truncated, then down to whole frames); non-finite or negative seconds give
// 0, a huge count saturates.
int64_t BytesForSeconds(const PcmShape& format, float seconds);
