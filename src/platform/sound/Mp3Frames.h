#pragma once

// The whole MPEG audio Layer III frames (what `lame` writes) at the start of a file, for keeping
// what an encoder wrote before it failed: its last frame may be cut short.

#include <cstdint>
#include <string>

namespace sound {

struct Mp3WholeFrames {
    int64_t bytes = 0;        // from the start of the file to the end of its last whole frame
    int64_t soundSamples = 0; // samples per channel in those frames
    int rate = 0;             // Hz, of the first frame
};

// Walks the frames from the start of the file until one is cut short, is no Layer III frame or
// changes the format. A first frame of zeros, lame's tag frame that it fills in only when it
// finishes, holds no sound. Nothing found when the file can't be read.
Mp3WholeFrames FindWholeMp3Frames(const std::string& path);

} // namespace sound
