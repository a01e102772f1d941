#pragma once

// Sonorel's sound library: output devices, streams, decoders and effects behind one small C-style
// API. Every caller above the platform layer uses only this header; the libraries underneath
// (PortAudio, libsndfile, libmpg123, libvorbisfile, FFmpeg, SoundTouch) never show through.
//
// Conventions shared by every function:
// - All sample data is 16-bit signed, interleaved, native byte order.
// - Handles are 32-bit values with a generation count. A call on 0, on a freed handle or on a
//   handle from before the last BASS_Free fails softly: it returns 0, -1 or false (as the function
//   says) and sets the error code (BASS_ErrorGetCode). No call ever crashes on a bad handle.
// - Every function may be called from any thread. Stream procedures run on the thread that reads
//   the stream: the output thread for playing channels, the caller's thread for decode-only ones.
//   They may call back into the library, except BASS_Free, BASS_Stop and BASS_Init.
// - Byte counts and positions are 64-bit; a negative position counts as 0; float-to-integer
//   conversions saturate instead of wrapping.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using BassHandle = uint32_t; // 0 is never a valid handle

// ---- Flags and constants -------------------------------------------------------------------

constexpr uint32_t BASS_STREAM_DECODE = 0x200000;  // the stream is read with BASS_ChannelGetData, never played
constexpr uint32_t BASS_STREAM_END = 0x80000000;   // top bit of a stream procedure's result: the stream ends
constexpr uint32_t BASS_FX_FREESOURCE = 0x10000;   // BASS_FX_TempoCreate: freeing the tempo stream frees its source

constexpr int BASS_DEVICE_DEFAULT = -1; // BASS_Init: the system's default output (the null output when there is none)
constexpr int BASS_DEVICE_NOSOUND = 0;  // BASS_Init: the silent null output, always available

// Options of BASS_SetOption / BASS_GetOption, in milliseconds.
constexpr int BASS_OPTION_BUFFER = 0;       // output latency asked of the device (default 80)
constexpr int BASS_OPTION_UPDATEPERIOD = 1; // length of one output block the output thread renders (default 6)

constexpr int BASS_FX_VOLUME = 4; // the volume effect: a clamped gain stage on a stream's decoded samples

constexpr int BASS_ATTRIB_KEEP = -1;     // BASS_ChannelSetAttributes: keep this value (frequency 0 keeps too)
constexpr int BASS_ATTRIB_KEEP_PAN = -101;

// Channel states of BASS_ChannelIsActive.
constexpr int BASS_ACTIVE_STOPPED = 0;
constexpr int BASS_ACTIVE_PLAYING = 1;

// Stream types of BassChannelInfo::type.
enum BassStreamType : uint32_t {
    BASS_CTYPE_USER = 1,
    BASS_CTYPE_WAVE = 2,   // WAV, AIFF and other PCM containers (libsndfile)
    BASS_CTYPE_FLAC = 3,
    BASS_CTYPE_MP3 = 4,
    BASS_CTYPE_OGG = 5,
    BASS_CTYPE_WMA = 6,
    BASS_CTYPE_TEMPO = 7,
};

// Error codes (BASS_ErrorGetCode), the cause of the last failed call on this thread.
enum BassError : int {
    BASS_OK = 0,
    BASS_ERROR_MEMORY = 1,   // out of memory
    BASS_ERROR_FILEOPEN = 2, // the file could not be opened or read
    BASS_ERROR_FORMAT = 3,   // the data is in no format the library decodes, or is broken
    BASS_ERROR_HANDLE = 4,   // 0, freed or stale handle
    BASS_ERROR_INIT = 5,     // BASS_Init has not succeeded
    BASS_ERROR_DEVICE = 6,   // no such output device
    BASS_ERROR_BUSY = 7,     // the device exists but could not be opened (in use, refused the format)
    BASS_ERROR_ILLPARAM = 8, // an argument is out of range
    BASS_ERROR_POSITION = 9, // the position is past the end
    BASS_ERROR_NOTAVAIL = 10, // the operation does not apply to this stream (length of a user stream, ...)
    BASS_ERROR_DECODE = 11,  // the channel is decode-only and cannot be played
    BASS_ERROR_ENDED = 12,   // the stream has ended
    BASS_ERROR_THREAD = 13,  // called from the output thread where that is not allowed
    BASS_ERROR_UNKNOWN = 99,
};

// ---- Records and procedures ----------------------------------------------------------------

// What a stream delivers: its sample rate and channel count (the two fields callers use), its
// flags, its type, the resolution of the source data in bits (0 when not applicable) and the
// decoder that opened it (0: none).
struct BassChannelInfo {
    uint32_t frequency = 0;
    uint32_t channels = 0;
    uint32_t flags = 0;
    uint32_t type = 0;
    uint32_t resolution = 0;
    uint32_t plugin = 0;
};

// Parameters of the volume effect: channel 0 scales every channel, channel k (1-based) only that
// one; volume is a linear gain (1 = unchanged); results are clamped to the 16-bit range.
struct BassVolumeParams {
    int32_t channel = 0;
    float volume = 1.0f;
};

// Fills a user stream: writes up to `length` bytes into `buffer` and returns the count written.
// Setting BASS_STREAM_END in the result ends the stream after those bytes.
using BassStreamProc = uint32_t (*)(BassHandle stream, void* buffer, uint32_t length, void* user);

// The worst block of a paced null device (its latest after a deadline) taken apart, microseconds.
// The thread went on `lateUs` after the block's deadline: `wakeDelayUs` of it passed between the end
// of its sleep and getting a CPU back (scheduling), the rest is its work running past the deadline.
// `workUs` is that work, from the thread's previous wake-up to its wait (rendering, the record
// procedure), and `workCpuUs` its time on a CPU: the difference the thread was preempted or waited
// on a lock.
struct BassBlockTiming {
    int64_t lateUs = 0;
    int64_t wakeDelayUs = 0;
    int64_t workUs = 0;
    int64_t workCpuUs = 0;
};

// How the output is doing: which device, its format, and the output thread's pacing.
struct BassOutputInfo {
    bool initialised = false;
    bool running = false;        // the output thread (or the manual pump) is delivering blocks
    bool nullOutput = false;     // the silent null output: the clock runs, nothing is heard
    bool manualOutput = false;   // the test device: blocks are pumped by BASS_ManualOutputPump
    int device = 0;              // the device number BASS_Init resolved to
    std::string deviceText;      // its text (as BASS_GetDeviceText)
    int frequency = 0;           // output rate, Hz; output is always 16-bit stereo
    int blockFrames = 0;         // frames per output block (the update period at that rate)
    int latencyMs = 0;           // the latency asked of the device
    int64_t blocksWritten = 0;   // since the output last started
    int64_t framesWritten = 0;
    BassBlockTiming worstBlock;  // null output: its worst block since the output last started
    std::string realTimePriority;  // the output thread's scheduling: "granted", "refused: <reason>"
};

// ---- Library and output --------------------------------------------------------------------

// Opens the output device at the given rate (16-bit stereo). device: BASS_DEVICE_DEFAULT (-1) the
// system's default (the null output when no device exists, said once in the trace),
// BASS_DEVICE_NOSOUND (0) the null output, n >= 1 the n-th device of BASS_GetDeviceText.
// The remaining arguments are unused and must be 0. Blocks start flowing at the first
// BASS_ChannelPlay or BASS_Start. Non-zero on success; fails when already initialised (free first),
// for an unknown device or one that refuses to open.
bool BASS_Init(int device, uint32_t frequency, uint32_t flags, void* window, void* classId);

// Stops the output thread, closes the device and frees every stream made since the library was
// last freed. Safe to call when not initialised. Not from a stream procedure.
bool BASS_Free();

// Stops the output: the output thread ends, channels keep their playing state (paused).
bool BASS_Stop();

// Starts (or resumes) the output after BASS_Init or BASS_Stop.
bool BASS_Start();

// Sets an option (BASS_OPTION_*), in milliseconds. The update period applies from the next block
// (clamped to 1..100 ms); the buffer applies when the device next starts (clamped to 1..5000 ms).
bool BASS_SetOption(int option, int value);
int BASS_GetOption(int option); // -1 for an unknown option

// The text of output device `index` (from 1: 1..n the system's devices, then the null output);
// an empty text past the last.
std::string BASS_GetDeviceText(int index);

// The state of the output (see BassOutputInfo).
BassOutputInfo BASS_GetOutputInfo();

// The error code of the last failing call on this thread (BASS_OK after a success).
int BASS_ErrorGetCode();

// ---- The manual output (tests) -------------------------------------------------------------

// While enabled, BASS_Init opens the manual output for any device number: no thread and no timing;
// the caller renders each output block with BASS_ManualOutputPump. Enable before BASS_Init.
void BASS_ManualOutputEnable(bool enabled);

// Renders the next output block of `frames` stereo frames (every playing channel mixed, exactly as
// the output thread would) into `buffer` (frames x 4 bytes). Returns the bytes written, 0 when the
// manual output is not initialised and started.
uint32_t BASS_ManualOutputPump(void* buffer, uint32_t frames);

// ---- Streams -------------------------------------------------------------------------------

// Creates a user stream at `frequency` Hz with `channels` channels (1..32) whose data comes from
// `proc`. flags: 0 (playable; needs BASS_Init) or BASS_STREAM_DECODE. 0 on failure.
BassHandle BASS_StreamCreate(uint32_t frequency, uint32_t channels, uint32_t flags, BassStreamProc proc,
                             void* user);

// Opens a sound file as a stream: WAV, AIFF and FLAC (libsndfile), Ogg Vorbis, MP3 (exact length
// from a scan at open, gapless). Recognised by content, not by extension. flags: 0 (playable;
// needs BASS_Init) or BASS_STREAM_DECODE. 0 when the file is missing, unreadable, in no known
// format or broken.
BassHandle BASS_StreamCreateFile(const std::string& path, uint32_t flags);

// Opens a Windows Media Audio file (FFmpeg) as a stream; same flags and failures as above.
BassHandle BASS_WMA_StreamCreateFile(const std::string& path, uint32_t flags);

// Opens a FLAC file (only FLAC) as a stream; same flags and failures as above.
BassHandle BASS_FLAC_StreamCreateFile(const std::string& path, uint32_t flags);

// The extensions (lower case, no dot) of the sound files that BASS_StreamCreateFile and
// BASS_WMA_StreamCreateFile open, for file dialogs: "wav", "aiff", "flac", "ogg", "mp3", "wma", ...
std::vector<std::string> BASS_GetFileExtensions();

// Frees a stream (stopping it when playing) and its effects. False for a bad handle.
bool BASS_StreamFree(BassHandle stream);

// ---- Channels ------------------------------------------------------------------------------

// Starts playing a playable stream; restart true plays it from the start. False for decode-only
// streams, when the library is not initialised, or for a bad handle.
bool BASS_ChannelPlay(BassHandle channel, bool restart);

// Stops a playing channel (its position stays).
bool BASS_ChannelStop(BassHandle channel);

// BASS_ACTIVE_PLAYING or BASS_ACTIVE_STOPPED (also for a bad handle).
int BASS_ChannelIsActive(BassHandle channel);

// Fills `info`; false for a bad handle (info is then left as it was).
bool BASS_ChannelGetInfo(BassHandle channel, BassChannelInfo* info);

// Length in bytes of the stream's decoded data; -1 for a bad handle or a stream of unknown length
// (a user stream). A tempo stream reports its source's length.
int64_t BASS_ChannelGetLength(BassHandle channel);

// Position in bytes of the next data the stream delivers (for a tempo stream: of its source);
// -1 for a bad handle.
int64_t BASS_ChannelGetPosition(BassHandle channel);

// Moves a file stream (or a tempo stream's source) exactly to `position` bytes, rounded down to a
// whole frame; negative counts as 0. Past the end: the stream is put at its end and the call
// returns false (BASS_ERROR_POSITION). False for user streams.
bool BASS_ChannelSetPosition(BassHandle channel, int64_t position);

// Conversions at the stream's format (rate x channels x 2 bytes). Bytes are rounded down to a
// whole frame; negative or NaN seconds give 0, huge ones saturate. -1 / -1.0 for a bad handle.
int64_t BASS_ChannelSeconds2Bytes(BassHandle channel, double seconds);
double BASS_ChannelBytes2Seconds(BassHandle channel, int64_t bytes);

// Reads up to `length` bytes (rounded down to whole frames) of a decode-only stream into `buffer`.
// Returns the bytes delivered, -1 once the stream has ended (or for a bad handle). Whatever the
// read cannot deliver is zero-filled up to `length`, so the buffer never holds stale data.
int32_t BASS_ChannelGetData(BassHandle channel, void* buffer, uint32_t length);

// Sets the playback attributes: frequency in Hz (0 keeps it), volume 0..100 (-1 keeps it), pan
// -100..100 (BASS_ATTRIB_KEEP_PAN keeps it). Volume and pan apply when the channel is played.
bool BASS_ChannelSetAttributes(BassHandle channel, int frequency, int volume, int pan);
bool BASS_ChannelGetAttributes(BassHandle channel, int* frequency, int* volume, int* pan);

// ---- Streams held by their readers ---------------------------------------------------------

namespace sound {
class Channel;
}

// A stream resolved once from its handle, for a reader that reads it block after block: a read
// through it looks nothing up in the handle table, whose lock every thread's stream calls share.
// It keeps the stream's object alive, not its handle: once the handle is freed (BASS_StreamFree,
// BASS_Free) reads through it fail as reads of a freed handle do. Letting go of the last one
// destroys the object: do that where a stream may be freed, not on the sound thread.
using BassStreamRef = std::shared_ptr<sound::Channel>;

// The stream behind a handle; empty for a bad handle.
BassStreamRef BASS_StreamRef(BassHandle handle);

// Whether the stream's handle is still valid (neither freed nor from before the last BASS_Free).
// Takes no lock.
bool BASS_StreamRefValid(const BassStreamRef& stream);

// BASS_ChannelGetData through a resolved stream: the same result; an empty or freed stream fails as
// a bad handle does.
int32_t BASS_ChannelGetData(const BassStreamRef& stream, void* buffer, uint32_t length);

// ---- Effects -------------------------------------------------------------------------------

// The volume effect (BASS_FX_VOLUME) on a stream: add it (gain 1), set its parameters, reset it
// (back to gain 1), remove it. At most one per stream; the gain acts on the stream's decoded
// samples wherever they go (a tempo stream reading it, the output, BASS_ChannelGetData).
bool BASS_ChannelAddEffect(BassHandle channel, int effect, int priority);
bool BASS_ChannelSetEffect(BassHandle channel, int effect, const BassVolumeParams& params);
bool BASS_ChannelResetEffect(BassHandle channel, int effect);
bool BASS_ChannelRemoveEffect(BassHandle channel, int effect);

// ---- Tempo streams -------------------------------------------------------------------------

// Creates a tempo stream reading the decode-only stream `source`: it changes the playback rate
// (libsoxr, high quality), tempo and pitch (SoundTouch) and delivers 16-bit samples at the source's
// channel count, or the source's front pair (its first two channels) when it has more. The tempo
// stream's info reports the source's frequency. flags: BASS_STREAM_DECODE (required),
// BASS_FX_FREESOURCE. 0 on failure (bad source, source not decode-only).
BassHandle BASS_FX_TempoCreate(BassHandle source, uint32_t flags);

// Sets a tempo stream: tempo change in percent (-95..5000; 0 = unchanged), the playback rate in Hz
// (the source is read as if it were at this rate: sampleRate / source rate is a change of speed and
// pitch together; 0 keeps it), pitch change in semitones (-60..60). With tempo 0, pitch 0 and the
// rate equal to the source's rate the stream passes the source (or its front pair) through bit for
// bit. False for a bad handle or an out-of-range value (the setting is then unchanged).
bool BASS_FX_TempoSet(BassHandle tempo, float tempoPercent, float sampleRate, float pitchSemitones);
bool BASS_FX_TempoGet(BassHandle tempo, float* tempoPercent, float* sampleRate, float* pitchSemitones);

// The source stream of a tempo stream; 0 for a bad handle.
BassHandle BASS_FX_TempoGetSource(BassHandle tempo);

// ---- Position syncs and the channel lock ---------------------------------------------------

using BassSync = uint32_t; // 0 is never a valid sync

constexpr uint32_t BASS_SYNC_POS = 0;              // at a byte position
constexpr uint32_t BASS_SYNC_ONETIME = 0x80000000; // removed when it has run once

// Runs on the thread that reads the channel (the output thread for a playing channel, the caller
// of BASS_ChannelGetData for a decode-only one) at the exact sample of its position: every byte
// before the position has been delivered, none after it. The procedure may call back into the
// library for this channel (stop, move, play, set and remove syncs); what a move or a stop does
// applies from the sample after the position, in the same read. `data` is 0 for position syncs.
using BassSyncProc = void (*)(BassSync sync, BassHandle channel, uint32_t data, void* user);

// Sets a sync at the 64-bit byte `position` (BASS_SYNC_POS, optionally | BASS_SYNC_ONETIME). It
// runs each time a read moves the position from before it to it or past it; a position at or past
// the end runs when the stream ends short of it. Nothing runs for a position the stream has
// already passed, until it is moved back before it. 0 for a bad handle or type.
BassSync BASS_ChannelSetSync(BassHandle channel, uint32_t type, int64_t position, BassSyncProc proc, void* user);

// Removes a sync; false when the channel does not have it (a one-time sync that has run).
bool BASS_ChannelRemoveSync(BassHandle channel, BassSync sync);

// Locks a channel (true) so that a sequence of calls on it runs as one step: neither the output
// thread nor a sync runs for that channel until the same thread unlocks it (false). Calls nest and
// must be paired on one thread; unlock before freeing the channel. Keep the locked time short: the
// whole output waits for a locked playing channel.
bool BASS_ChannelLock(BassHandle channel, bool lock);

// ---- Mixer streams -------------------------------------------------------------------------

// Creates a decode-only mixer stream delivering `frequency` Hz (1..384000) with `channels`
// channels (1..32). Each source added is converted to that format: its channels are mixed down
// (averaged into mono, a multichannel source gives its first channels) or spread (mono copied to
// every channel), then resampled with libsoxr's quick cubic interpolation, which keeps the
// loudness of the whole band even at very low rates (a waveform image keeps the look of the
// sound). Sources are summed, clipped to 16 bits. The mixer's position is the bytes it delivered;
// it has no length and cannot be moved; it ends when every source has ended (one without sources
// ends at once). flags: BASS_STREAM_DECODE (required). 0 on failure.
constexpr uint32_t BASS_CTYPE_MIXER = 8; // BassChannelInfo::type of a mixer stream
BassHandle BASS_Mixer_StreamCreate(uint32_t frequency, uint32_t channels, uint32_t flags);

// Adds a decode-only stream to a mixer (flags 0). The mixer reads it from where it stands; freeing
// the source later ends it in the mixer. False for bad handles, a playable source, a mixer as the
// source, or a source already in this mixer.
bool BASS_Mixer_StreamAddChannel(BassHandle mixer, BassHandle channel, uint32_t flags);

// ---- Numbers -------------------------------------------------------------------------------

// Truncates toward zero and saturates at the 64-bit range (NaN gives 0): files and rows may hold
// absurd rates, speeds or lengths, and a wrapped count would play for ages or not at all.
int64_t SaturateToInt64(double value);
