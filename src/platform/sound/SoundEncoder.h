#pragma once

// Encoders of the sound library: what a decode-only channel delivers is written to a file, either
// by our own WAV writer or by an external encoder program (such as `lame`) fed through a pipe.
//
// An encoder belongs to one channel (at most one each). The caller reads the channel with
// BASS_ChannelGetData and hands every block it got to BASS_Encode_Write. The output is written
// under a temporary name beside the target; BASS_Encode_Stop gives it the target's name only when
// everything went well, so a failed or cancelled run leaves no half-written file and an existing
// file of that name stays as it was. A replaced file's permissions are kept.
//
// Failures set the library's error code and a readable reason (BASS_Encode_ErrorText). The
// encoder functions are meant for one thread at a time per channel (the thread that reads it).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound/SoundLibrary.h"

constexpr uint32_t BASS_ENCODE_NOHEAD = 0x1;       // BASS_Encode_StartFile: raw PCM, no WAV header
constexpr uint32_t BASS_ENCODE_PCM = 0x40;         // BASS_Encode_StartFile: PCM with a WAV header
constexpr uint32_t BASS_ENCODE_AUTOFREE = 0x40000; // accepted: every encoder ends at BASS_Encode_Stop or _Cancel
constexpr uint32_t BASS_ENCODE_KEEPPART = 0x80000; // a failed encoder keeps the sound it wrote whole (see _Stop)

constexpr int BASS_ERROR_CREATE = 20;  // the output file could not be created
constexpr int BASS_ERROR_WRITE = 21;   // writing the output failed (disk full, size limit, ...)
constexpr int BASS_ERROR_START = 22;   // the encoder program could not be started
constexpr int BASS_ERROR_PROGRAM = 23; // the encoder program stopped reading or ended with an error
constexpr int BASS_ERROR_ALREADY = 24; // the channel already has an encoder

// Starts writing the channel's data (its rate and channel count, 16-bit) into the file `path`:
// with BASS_ENCODE_PCM as a WAV file whose header sizes are filled in at BASS_Encode_Stop, with
// BASS_ENCODE_NOHEAD as raw PCM. False when the channel is bad, already has an encoder, or the file
// can't be created.
bool BASS_Encode_StartFile(BassHandle channel, const std::string& path, uint32_t flags);

// Starts an encoder program: arguments[0] is the program (looked for in PATH), then its arguments;
// the name of the file the program is to write is appended as the last argument (no shell is
// involved, so any file name is passed as it is). The program reads a WAV stream of unknown length
// from its standard input; its standard output is discarded and the last line of its error output
// is kept for the error text. False when the program can't be started or the target can't be
// created.
bool BASS_Encode_StartProgram(BassHandle channel, const std::vector<std::string>& arguments,
                              const std::string& path, uint32_t flags);

// Raises the priority of the channel's encoder program as far as the system allows. Best effort:
// false when there is no program or the system refuses; nothing else changes.
bool BASS_Encode_RaisePriority(BassHandle channel);

// Hands `length` bytes of the channel's data to its encoder. False once writing fails (the file
// system refused, the program ended): the encoder then keeps the reason and takes no more data.
bool BASS_Encode_Write(BassHandle channel, const void* buffer, uint32_t length);

// Ends the channel's encoder and completes the output: the WAV header gets its sizes, the program's
// input is closed and its exit awaited. True when the file was written completely and now has its
// name; false otherwise (the temporary output is removed). False also when there is no encoder.
// An encoder started with BASS_ENCODE_KEEPPART that fails keeps the sound it wrote whole under the
// target's name all the same: the WAV writer its whole sample frames, with the header's sizes
// made right; a program (which writes MP3) the frames that hold that sound, with a cut last frame
// dropped and lame's info tag filled in, so the file decodes cleanly to exactly the sound kept.
// With `keepEnds` (counts of bytes handed to BASS_Encode_Write, ascending, such as the ends of
// tracks), the kept sound ends at the last of them that the output holds whole, and nothing is
// kept when it holds none. *keptSeconds gets the length kept; 0 when nothing was kept.
bool BASS_Encode_Stop(BassHandle channel, double* keptSeconds = nullptr, const std::vector<uint64_t>& keepEnds = {});

// Ends the channel's encoder without keeping anything: the program is ended, the output removed.
void BASS_Encode_Cancel(BassHandle channel);

// Whether the channel has an encoder.
bool BASS_Encode_IsActive(BassHandle channel);

// The reason of the last failed encoder call on this thread, in words (empty after a success).
std::string BASS_Encode_ErrorText();
