#pragma once

#include "engine/class_WavMixer.h"
#include "model/class_MixData.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a row's source is opened and positioned with. A source opened ahead of the row's start
// serves that start only when the row would open it with the same now.
struct cSourceKey {
    int32_t Row = -1;
    std::string FileName;
    SoundFormat Format;
    float Speed = 0;    // the tempo and pitch set at opening
    int64_t Pitch = 0;
    int64_t PositionMcs = 0; // source time the reader is positioned at, microseconds
    int64_t LaterFrames = 0; // a late row's join: output frames past PositionMcs (at the row's tempo)

    bool operator==(const cSourceKey& other) const;
};

cSourceKey SourceKeyOf(int32_t row, const cMixRow& mixRow, const SoundFormat& format, int64_t positionMcs,
                       int64_t laterFrames = 0);

// True when `key` is what the row would open now; never allocates (it runs on the sound thread).
SOUND_THREAD bool KeyFits(const cSourceKey& key, int32_t row, const cMixRow& mixRow, const SoundFormat& format,
                          int64_t positionMcs, int64_t laterFrames);

// Opens and positions a source as a row's start does and reads its first samples ahead, but keeps
// its trace line and message for the start (cAudioFileReader::ReportOpen). Slow (the file is
// opened and scanned): never on the sound thread.
std::unique_ptr<cFileSoundSource> OpenSourceAhead(const cSourceKey& key);

// Sources opened ahead of their rows' starts. A fixed number of slots, so that taking or dropping
// one on the sound thread never allocates or frees. Guarded by the mixer's lock.
class cPreparedSources {
public:
    static constexpr size_t kSlots = 8;

    // The row's source when one was prepared as the row would open it now. A prepared source of
    // the row that no longer fits (its row was edited, the output changed, its streams were lost)
    // goes to `bin`.
    SOUND_THREAD std::unique_ptr<cFileSoundSource> Take(int32_t row, const cMixRow& mixRow,
                                                        const SoundFormat& format, int64_t positionMcs,
                                                        int64_t laterFrames, cSourceBin& bin);

    bool Has(const cSourceKey& key) const;
    size_t Count() const;

    // Keeps the source under `key` in a free slot (replacing a source of the same row); when every
    // slot is taken the source stays with the caller.
    void Put(cSourceKey key, std::unique_ptr<cFileSoundSource>& source);

    // Moves every source whose key is not in `wanted` to `out` (to be destroyed once the lock is
    // let go). An empty `wanted` drops them all.
    void DropAllBut(const std::vector<cSourceKey>& wanted, std::vector<std::unique_ptr<cFileSoundSource>>& out);

private:
    struct Slot {
        cSourceKey Key; // stays after a take: freeing its name is left to the next Put
        std::unique_ptr<cFileSoundSource> Source;
    };
    std::array<Slot, kSlots> Slots;
};
