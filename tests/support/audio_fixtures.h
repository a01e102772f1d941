#pragma once

// Test signals and sound files made on the spot: a sweep with noise (every position looks
// different, so misplaced samples show), pure tones, and files of every format the sound library
// reads, written with libsndfile, the `lame` program and ffmpeg.

#include <cstdint>
#include <string>
#include <vector>

namespace sonorel_test {

struct SignalSpec {
    int rate = 44100;
    int channels = 2;
    double seconds = 2.0;
    uint32_t seed = 1; // of the noise
};

// Interleaved 16-bit samples: a logarithmic sweep from 100 Hz to 8 kHz at half scale plus white
// noise at a tenth of full scale, a different phase and noise on each channel.
std::vector<int16_t> MakeSweepNoise(const SignalSpec& spec);

// Interleaved 16-bit samples of a sine of `hz` on every channel.
std::vector<int16_t> MakeTone(double hz, const SignalSpec& spec, double amplitude = 0.5);

// Mp3Untagged is an MP3 without the encoder's info tag (no frame count, no gapless delay and padding).
enum class AudioFileKind { Wav, Aiff, Flac, Ogg, Mp3, Mp3Untagged, Wma };

// The usual file extension of a kind, with the dot (".mp3").
std::string ExtensionOf(AudioFileKind kind);

// Whether the external program that writes a kind is installed (always true for the libsndfile kinds).
bool CanWrite(AudioFileKind kind);

// Writes the samples as a file of the given kind; false when the writer is missing or fails.
// MP3: `lame` at 192 kbit/s (with its gapless tag); WMA: ffmpeg's wmav2 at 128 kbit/s.
bool WriteAudioFile(const std::string& path, AudioFileKind kind, const std::vector<int16_t>& samples, int rate,
                    int channels);

// What ffmpeg, a decoder apart from ours, says while it decodes the whole file: empty when the file
// decodes cleanly (a cut last frame shows as "Invalid data found when processing input").
std::string DecoderComplaints(const std::string& path);

// A fresh, empty folder for this test program's files (under the test home when set, else /tmp).
std::string FixtureFolder();

// Writes raw bytes to a file (for broken and truncated files).
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// Length fields rewritten as broken or streaming encoders leave them, in a file's bytes:
// the total sample count of a FLAC file's stream header (36 bits; 0 means unknown), and the frame
// count of an MP3's info tag (the file must have one). False when the field is not found.
bool SetFlacTotalSamples(std::string& bytes, uint64_t total);
bool SetMp3InfoFrames(std::string& bytes, uint32_t frames);

// Moves the audio pages' granule positions of an Ogg file by the same amount, so that the first
// becomes `firstGranule` (negative: an encoder's pre-skip), and recomputes the page checksums.
// Only pages whose position lies below `movedBelow` move: later ones keep theirs, as in files whose
// positions jump back to the true count on the way. False when the bytes hold no audio page.
bool SetOggFirstGranule(std::string& bytes, int64_t firstGranule, int64_t movedBelow = INT64_MAX);

// Splits every page of an Ogg file that begins inside a packet's run of 255-byte segments after
// its first segment, so that packets span pages as other muxers write them. False when none could.
bool SplitOggPages(std::string& bytes);

// The names of the entries of a folder, sorted (to check that nothing else was left there).
std::vector<std::string> FileNames(const std::string& folder);

} // namespace sonorel_test
