#pragma once

#include "engine/class_AnyList.h"
#include "engine/class_AudioFileReader.h"
#include "engine/class_MixParams.h"
#include "engine/class_SoundDevice.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The mixer's lock. Recursive, so that the producer can hold it over a whole render step (or a
// needle move) while the mixer's own operations take it again.
class cMutex {
public:
    void lock() { Mutex.lock(); }
    void unlock() { Mutex.unlock(); }
    bool try_lock() { return Mutex.try_lock(); }

private:
    std::recursive_mutex Mutex;
};

// One sounding row: its reader and the delay before it sounds inside the coming blocks.
struct cSoundEvent {
    int64_t RowId = -1;                       // playlist row that started the event
    std::unique_ptr<cFileSoundSource> Source; // owned by the mixer from AddWave on
    float StartDelay = 0;                     // seconds still to wait; 0 means sounding
};

// Sources whose end came on the sound thread, waiting to be destroyed on another (destroying one
// frees its streams and closes its file). Its room is fixed, so keeping a source never allocates;
// a source that finds no room, or any source while the bin is off, is destroyed at once. Guarded by
// the mixer's lock.
class cSourceBin {
public:
    static constexpr size_t kRoom = 16;
    bool Enabled = false; // set by whoever empties the bin

    void Put(std::unique_ptr<cFileSoundSource> source);
    // Moves every kept source to `out`, to be destroyed once the lock is let go.
    void MoveTo(std::vector<std::unique_ptr<cFileSoundSource>>& out);

private:
    std::array<std::unique_ptr<cFileSoundSource>, kRoom> Sources;
    size_t Count = 0;
};

// Bytes per second of a format (32-bit arithmetic, truncating).
int32_t BytesPerSecond(const SoundFormat& format);

// Bytes of one frame: (Bits / 8) x Channels.
int64_t FrameBytes(const SoundFormat& format);

// Rounds a byte count down to whole frames of the format.
int64_t FrameAlign(int64_t bytes, const SoundFormat& format);

// The bytes of `format` that `mcs` microseconds fill, frame-aligned (64-bit, left to right).
int64_t McsToAlignedBytes(int64_t mcs, const SoundFormat& format);

// Reads k bytes of the source's sound into destination at the output's channel count: stereo to
// mono averages the halves, mono to stereo doubles each sample, any other differing pair is silent.
void ReadConverted(cFileSoundSource& source, void* destination, int64_t k, const SoundFormat& output);

// out[i] += in[i] for the k / 2 samples, clamped to -32767..+32767.
void MixAdd16(void* out, const void* in, int64_t k);

// Sums the sounding rows into 16-bit output, one block at a time.
class cWavMixer {
public:
    std::unique_ptr<int16_t[]> Buffer; // scratch block, the size of the last block mixed
    int64_t BufferSize = 0;            // bytes
    cMutex Mutex;                      // guards Events
    cAnyList<cSoundEvent> Events;      // active events, in the order added
    SoundFormat Format;                // the output format
    cSourceBin Retired;                // finished and dropped sources, when someone empties it

    // Takes the source; a second event for a row that is already sounding is dropped (id -1 never is).
    void AddWave(std::unique_ptr<cFileSoundSource> source, float delay, int32_t id);
    void Clear();
    // Adds the block's sound into out (the caller zeroes it first), counts down each source's
    // remaining time and removes the sources whose fragment is over.
    void MixBlock(void* out, int64_t n);
    // Gives the row's sounding events new parameters; the tempo changes at once, volume and fades
    // from the next block.
    void UpdateRowParams(int32_t row, const MixParams* params);

private:
    void EnsureBuffer(int64_t n);
    void Fill(cFileSoundSource& source, uint8_t* out, int64_t m);
};
