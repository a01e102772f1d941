#pragma once

// The whole MPEG audio Layer III frames (what `lame` writes) at the start of a file, for keeping
// what an encoder wrote before it failed: its last frame may be cut short.

#include <cstdint>
#include <limits>
#include <string>

namespace sound {

// Where lame's sound begins when its frames are decoded: its encoder delay (576 samples) and the
// decoder's (529). A gapless decoder drops them when the file's info tag says so.
constexpr int64_t kMp3SoundLead = 576 + 529;

struct Mp3WholeFrames {
    int64_t bytes = 0;        // from the start of the file to the end of its last whole frame
    int64_t soundSamples = 0; // samples per channel in those frames
    int rate = 0;             // Hz, of the first frame
    int64_t soundFrames = 0;  // the frames that hold sound
    int tagFrameBytes = 0;    // lame's empty tag frame at the start; 0 when there is none
};

// Walks the frames from the start of the file until one is cut short, is no Layer III frame or
// changes the format, or until the frames hold `enoughSamples`. A first frame of zeros, lame's tag
// frame that it fills in only when it finishes, holds no sound. Nothing found when the file can't
// be read.
Mp3WholeFrames FindWholeMp3Frames(const std::string& path,
                                  int64_t enoughSamples = std::numeric_limits<int64_t>::max());

// Fills lame's empty tag frame of a file that holds exactly `frames` (found as above) with the
// info tag lame writes when it finishes, so that a gapless decoder drops lame's delay and decodes
// `soundSamples` samples, the first that lame was given. False when the file can't be written.
bool WriteMp3InfoTag(const std::string& path, const Mp3WholeFrames& frames, int64_t soundSamples);

} // namespace sound
