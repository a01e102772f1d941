#include "model/class_PreparedSources.h"

#include <algorithm>

namespace {

// What a prepared source reads ahead: the stretcher's first fill and a few blocks more.
constexpr int64_t kReadAheadFrames = 4096;

bool SameFormat(const SoundFormat& a, const SoundFormat& b)
{
    return a.Channels == b.Channels && a.Frequency == b.Frequency && a.Bits == b.Bits && a.Device == b.Device;
}

} // namespace

bool cSourceKey::operator==(const cSourceKey& other) const
{
    return Row == other.Row && FileName == other.FileName && SameFormat(Format, other.Format) &&
           Speed == other.Speed && Pitch == other.Pitch && PositionMcs == other.PositionMcs &&
           LaterFrames == other.LaterFrames;
}

cSourceKey SourceKeyOf(int32_t row, const cMixRow& mixRow, const SoundFormat& format, int64_t positionMcs,
                       int64_t laterFrames)
{
    return cSourceKey{row, mixRow.filename, format, mixRow.MixParams.speed, mixRow.MixParams.pitch, positionMcs,
                      laterFrames};
}

bool KeyFits(const cSourceKey& key, int32_t row, const cMixRow& mixRow, const SoundFormat& format,
             int64_t positionMcs, int64_t laterFrames)
{
    CheckSoundThread();
    return key.Row == row && key.PositionMcs == positionMcs && key.LaterFrames == laterFrames &&
           key.Speed == mixRow.MixParams.speed && key.Pitch == mixRow.MixParams.pitch &&
           SameFormat(key.Format, format) && key.FileName == mixRow.filename;
}

std::unique_ptr<cFileSoundSource> OpenSourceAhead(const cSourceKey& key)
{
    auto source = std::make_unique<cFileSoundSource>();
    // Only tempo and pitch matter at opening; the row's whole parameters are copied at its start.
    source->MixParams.speed = key.Speed;
    source->MixParams.pitch = key.Pitch;
    source->Open(key.FileName, key.Format);
    source->SetPosition(key.PositionMcs * 0.000001, key.LaterFrames);
    source->ReadAhead(kReadAheadFrames);
    return source;
}

std::unique_ptr<cFileSoundSource> cPreparedSources::Take(int32_t row, const cMixRow& mixRow,
                                                         const SoundFormat& format, int64_t positionMcs,
                                                         int64_t laterFrames, cSourceBin& bin)
{
    CheckSoundThread();
    for (Slot& slot : Slots) {
        if (!slot.Source || slot.Key.Row != row)
            continue;
        std::unique_ptr<cFileSoundSource> source = std::move(slot.Source);
        if (KeyFits(slot.Key, row, mixRow, format, positionMcs, laterFrames) && source->StreamsIntact())
            return source;
        bin.Put(std::move(source));
    }
    return nullptr;
}

bool cPreparedSources::Has(const cSourceKey& key) const
{
    return std::any_of(Slots.begin(), Slots.end(),
                       [&](const Slot& slot) { return slot.Source && slot.Key == key; });
}

size_t cPreparedSources::Count() const
{
    return static_cast<size_t>(
        std::count_if(Slots.begin(), Slots.end(), [](const Slot& slot) { return slot.Source != nullptr; }));
}

void cPreparedSources::Put(cSourceKey key, std::unique_ptr<cFileSoundSource>& source)
{
    Slot* target = nullptr;
    for (Slot& slot : Slots) {
        if (slot.Source && slot.Key.Row == key.Row) {
            target = &slot;
            break;
        }
        if (!slot.Source && !target)
            target = &slot;
    }
    if (!target)
        return;
    std::swap(target->Source, source); // the replaced source, if any, goes back to the caller
    target->Key = std::move(key);
}

void cPreparedSources::DropAllBut(const std::vector<cSourceKey>& wanted,
                                  std::vector<std::unique_ptr<cFileSoundSource>>& out)
{
    for (Slot& slot : Slots) {
        if (slot.Source && std::find(wanted.begin(), wanted.end(), slot.Key) == wanted.end())
            out.push_back(std::move(slot.Source));
    }
}
