#pragma once

// Recording from a sound input: the library's own recording thread reads the input in blocks of
// the record period and hands each block to the caller's record procedure.
//
// Device numbers of BASS_RecordInit: -1 the system's default input (the null input when the
// system has none, said once in the trace), 0..n-1 the system's inputs in the order of
// BASS_RecordGetDeviceText, n the null input (listed last). The null input delivers silence, or
// what an installed generator writes, paced to real time. While the manual input is enabled every
// device number opens it: no thread, the caller pushes the blocks (tests).
//
// One recording at a time. Failures return false / 0 and set the library's error code.

#include <cstdint>
#include <string>

#include "platform/sound/SoundLibrary.h"

// BASS_SetOption / BASS_GetOption: length of one recorded block, milliseconds (default 100,
// clamped to 1..1000); applies from the next BASS_RecordStart.
constexpr int BASS_OPTION_REC_PERIOD = 2;

// Receives one recorded block (whole frames, 16-bit interleaved at the started format) on the
// recording thread; returns false to end capture. When capture ends by itself (the device went
// away) it is called once more with a null buffer and length 0. It must not call the BASS_Record
// functions (they wait for the recording thread).
using BassRecordProc = bool (*)(BassHandle handle, const void* buffer, uint32_t length, void* user);

// Fills one block of the null input on the recording thread (benchmarks, tests); unset: silence.
using BassInputGenerator = void (*)(void* buffer, uint32_t length, void* user);

// How the recording is doing.
struct BassRecordInfo {
    bool initialised = false;
    bool running = false;       // the recording thread (or the manual input) delivers blocks
    bool nullInput = false;
    bool manualInput = false;
    int device = 0;             // the device number BASS_RecordInit resolved to
    std::string deviceText;
    int frequency = 0;
    int channels = 0;
    int blockFrames = 0;        // frames per block (the record period at that rate)
    int64_t blocksDelivered = 0; // since the recording last started
    int64_t framesDelivered = 0;
    int64_t overflows = 0;       // blocks the device lost because the thread read too late
    BassBlockTiming worstBlock;  // null input: its worst block since the recording last started
    std::string realTimePriority;  // the recording thread's scheduling: "granted", "refused: <reason>"
};

// Selects the recording device (see above); frees a recording still open. False
// (BASS_ERROR_DEVICE) for an unknown device number.
bool BASS_RecordInit(int device);

// The text of input `index` (from 0; the null input last); empty past the last.
std::string BASS_RecordGetDeviceText(int index);

// Opens the device at `frequency` Hz with `channels` channels (16-bit) and starts capture; a
// capture still running is ended first. flags must be 0. Returns the recording's handle, 0 when
// the library was not initialised (BASS_ERROR_INIT), an argument is bad (BASS_ERROR_ILLPARAM) or
// the device can't be opened at that format (BASS_ERROR_BUSY; the reason is traced).
BassHandle BASS_RecordStart(uint32_t frequency, uint32_t channels, uint32_t flags, BassRecordProc proc, void* user);

// Ends capture (waits for the block in hand) and closes the device. Safe when nothing is open.
// Not from the record procedure (BASS_ERROR_THREAD).
bool BASS_RecordFree();

BassRecordInfo BASS_RecordGetInfo();

// The null input's generator; set it before BASS_RecordStart (nullptr: silence).
void BASS_NullInputSetGenerator(BassInputGenerator generator, void* user);

// ---- The manual input (tests) -------------------------------------------------------------

// While enabled, BASS_RecordInit opens the manual input for any device number. Enable before
// BASS_RecordInit.
void BASS_ManualInputEnable(bool enabled);

// Delivers `length` bytes (rounded down to whole frames) to the record procedure on the caller's
// thread, cut into blocks of the record period (the last may be shorter). Returns the bytes
// delivered; 0 when the manual input is not started or capture has ended.
uint32_t BASS_ManualInputPush(const void* buffer, uint32_t length);

// Ends capture as an unplugged device would: the record procedure gets its end call.
void BASS_ManualInputUnplug();

// Whether the recording device the next BASS_RecordInit would open refuses every format: the
// manual input then fails BASS_RecordStart with BASS_ERROR_BUSY (a busy or unplugged device).
void BASS_ManualInputRefuse(bool refuse);
