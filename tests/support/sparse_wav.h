#pragma once

#include <cstdint>
#include <string>

namespace sonorel_test {

// A 16-bit PCM WAV file of `seconds` of silence that takes almost no disk: a header, then a hole
// the file system fills with zeros. Files of several hours (over 2^31 bytes of samples) for tests
// of 64-bit positions. False when it cannot be written.
bool WriteSparseSilentWav(const std::string& path, int rate, int channels, double seconds);

} // namespace sonorel_test
