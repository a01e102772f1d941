#include "platform/sound/SoundChannel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

#include "platform/sound/SoundOutputFeed.h"
#include "platform/sound/SoundSyncs.h"

namespace sound {

// ---- Errors and numbers -------------------------------------------------------------------

namespace {
thread_local int lastError = BASS_OK;
}

void SetError(int code) { lastError = code; }

// ---- Channel ------------------------------------------------------------------------------

Channel::Channel(uint32_t frequency, uint32_t channels, uint32_t flags, uint32_t type)
{
    info.frequency = frequency;
    info.channels = channels;
    info.flags = flags;
    info.type = type;
}

Channel::~Channel() = default;

uint32_t Channel::Read(void* buffer, uint32_t bytes)
{
    if (!DecodeOnly() && !playing)
        return 0;
    if (syncs && !syncs->Empty())
        return syncs->Read(*this, buffer, bytes);
    return ReadSegment(buffer, bytes);
}

uint32_t Channel::ReadSegment(void* buffer, uint32_t bytes)
{
    const uint32_t frameBytes = FrameBytes();
    bytes -= bytes % frameBytes;
    if (ended_ || bytes == 0)
        return 0;
    bool ended = false;
    uint32_t got = ReadRaw(buffer, bytes, ended);
    got = std::min(got - got % frameBytes, bytes);
    if (ended)
        ended_ = true;
    delivered_ += got;
    if (hasVolumeEffect)
        ApplyVolume(static_cast<int16_t*>(buffer), got / 2);
    return got;
}

void Channel::ApplyVolume(int16_t* samples, uint32_t count) const
{
    const float gain = std::isfinite(volumeEffect.volume) ? volumeEffect.volume : 0.0f;
    if (gain == 1.0f)
        return;
    const uint32_t channels = info.channels;
    const int32_t only = volumeEffect.channel; // 0: every channel, k: channel k (1-based)
    if (only < 0 || only > static_cast<int32_t>(channels))
        return;
    const uint32_t first = only == 0 ? 0 : static_cast<uint32_t>(only - 1);
    const uint32_t step = only == 0 ? 1 : channels;
    for (uint32_t i = first; i < count; i += step) {
        const float v = samples[i] * gain;
        samples[i] = static_cast<int16_t>(std::clamp(v, -32768.0f, 32767.0f));
    }
}

// ---- Handle table -------------------------------------------------------------------------

namespace {

// A handle is (generation << 16) | (slot index + 1). A slot's generation moves on at each free,
// and freed slots are reused oldest first, so a stale handle stays invalid for a long time.
struct Slot {
    uint16_t generation = 0;
    std::shared_ptr<Channel> channel;
};

constexpr size_t maxSlots = 0xFFFF;

struct Table {
    CountedMutex<SoundLock::HandleTable> lock;
    std::vector<Slot> slots;
    std::deque<uint16_t> freeSlots;
};

// Never destroyed: streams may still be freed during static destruction. Its slots are reserved
// at once, so that adding a handle never moves the table while the sound thread waits to look one up.
Table& TheTable()
{
    static Table& table = []() -> Table& {
        Table* made = new Table;
        made->slots.reserve(maxSlots);
        return *made;
    }();
    return table;
}

Slot* SlotOf(BassHandle handle)
{
    auto& slots = TheTable().slots;
    const uint32_t index = handle & 0xFFFF;
    if (index == 0 || index > slots.size())
        return nullptr;
    Slot& slot = slots[index - 1];
    if (!slot.channel || slot.generation != handle >> 16)
        return nullptr;
    return &slot;
}

std::shared_ptr<Channel> Vacate(Slot& slot)
{
    std::shared_ptr<Channel> channel = std::move(slot.channel);
    slot.channel.reset();
    if (++slot.generation == 0)
        slot.generation = 1;
    TheTable().freeSlots.push_back(static_cast<uint16_t>(&slot - TheTable().slots.data()));
    return channel;
}

} // namespace

BassHandle AddHandle(std::shared_ptr<Channel> channel)
{
    auto& [tableLock, slots, freeSlots] = TheTable();
    std::lock_guard lock(tableLock);
    uint16_t index;
    if (!freeSlots.empty()) {
        index = freeSlots.front();
        freeSlots.pop_front();
    } else if (slots.size() < maxSlots) {
        index = static_cast<uint16_t>(slots.size());
        slots.push_back(Slot{1, nullptr});
    } else {
        return Fail(BASS_ERROR_MEMORY, BassHandle(0));
    }
    Slot& slot = slots[index];
    slot.channel = std::move(channel);
    SetError(BASS_OK);
    return (static_cast<uint32_t>(slot.generation) << 16) | (index + 1u);
}

std::shared_ptr<Channel> FindChannel(BassHandle handle)
{
    std::lock_guard lock(TheTable().lock);
    Slot* slot = SlotOf(handle);
    if (!slot)
        return Fail(BASS_ERROR_HANDLE, std::shared_ptr<Channel>());
    SetError(BASS_OK);
    return slot->channel;
}

std::shared_ptr<Channel> TakeHandle(BassHandle handle)
{
    std::lock_guard lock(TheTable().lock);
    Slot* slot = SlotOf(handle);
    if (!slot)
        return Fail(BASS_ERROR_HANDLE, std::shared_ptr<Channel>());
    SetError(BASS_OK);
    return Vacate(*slot);
}

void FreeAllHandles()
{
    std::vector<std::shared_ptr<Channel>> taken;
    {
        std::lock_guard lock(TheTable().lock);
        for (Slot& slot : TheTable().slots)
            if (slot.channel)
                taken.push_back(Vacate(slot));
    }
    for (auto& channel : taken)
        ReleaseChannel(channel);
}

void ReleaseChannel(const std::shared_ptr<Channel>& channel)
{
    std::lock_guard lock(channel->mutex);
    if (channel->released.exchange(true))
        return;
    StopPlaying(*channel);
    if (channel->syncs)
        channel->syncs->Clear(); // kept: a sync procedure may be the one freeing the channel
    channel->Released();
}

} // namespace sound

// ---- Public operations on any channel -----------------------------------------------------

using namespace sound;

int64_t SaturateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double limit = 9.2233720368547748e18; // 2^63, the first double past INT64_MAX
    if (value >= limit)
        return std::numeric_limits<int64_t>::max();
    if (value <= -limit)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

namespace {

// Runs `op` on the channel under its lock; `failed` when there is none or its handle was freed.
template <typename Result, typename Op> Result WithStream(const BassStreamRef& channel, Result failed, Op op)
{
    if (!channel)
        return Fail(BASS_ERROR_HANDLE, failed);
    std::lock_guard lock(channel->mutex);
    if (channel->released)
        return Fail(BASS_ERROR_HANDLE, failed);
    SetError(BASS_OK);
    return op(*channel);
}

// Runs `op` on the channel behind `handle` under its lock; `failed` for a bad handle.
template <typename Result, typename Op> Result WithChannel(BassHandle handle, Result failed, Op op)
{
    return WithStream(FindChannel(handle), failed, op);
}

int32_t ReadData(const BassStreamRef& stream, void* buffer, uint32_t length)
{
    CountStreamRead();
    if (!buffer)
        return Fail(BASS_ERROR_ILLPARAM, -1);
    // A read never hands over more than fits the result, and never leaves stale bytes behind.
    length = std::min<uint32_t>(length, std::numeric_limits<int32_t>::max());
    int32_t result = WithStream(stream, int32_t(-1), [&](Channel& channel) {
        if (!channel.DecodeOnly())
            return Fail(BASS_ERROR_NOTAVAIL, int32_t(-1));
        if (channel.Ended())
            return Fail(BASS_ERROR_ENDED, int32_t(-1));
        const uint32_t got = channel.Read(buffer, length);
        if (got == 0 && channel.Ended())
            return Fail(BASS_ERROR_ENDED, int32_t(-1));
        return static_cast<int32_t>(got);
    });
    const uint32_t filled = result > 0 ? static_cast<uint32_t>(result) : 0;
    std::memset(static_cast<char*>(buffer) + filled, 0, length - filled);
    return result;
}

int64_t FrameFloor(const Channel& channel, int64_t bytes)
{
    return bytes - bytes % channel.FrameBytes();
}

} // namespace

int BASS_ErrorGetCode() { return lastError; }

bool BASS_StreamFree(BassHandle stream)
{
    std::shared_ptr<Channel> channel = TakeHandle(stream);
    if (!channel)
        return false;
    ReleaseChannel(channel);
    return true;
}

bool BASS_ChannelGetInfo(BassHandle handle, BassChannelInfo* info)
{
    return WithChannel(handle, false, [&](Channel& channel) {
        if (!info)
            return Fail(BASS_ERROR_ILLPARAM);
        *info = channel.info;
        return true;
    });
}

int64_t BASS_ChannelGetLength(BassHandle handle)
{
    return WithChannel(handle, int64_t(-1), [](Channel& channel) {
        const int64_t length = channel.Length();
        return length < 0 ? Fail(BASS_ERROR_NOTAVAIL, int64_t(-1)) : length;
    });
}

int64_t BASS_ChannelGetPosition(BassHandle handle)
{
    return WithChannel(handle, int64_t(-1), [](Channel& channel) { return channel.Position(); });
}

bool BASS_ChannelSetPosition(BassHandle handle, int64_t position)
{
    return WithChannel(handle, false, [&](Channel& channel) {
        const int64_t length = channel.Length();
        if (length < 0)
            return Fail(BASS_ERROR_NOTAVAIL);
        const int64_t target = FrameFloor(channel, std::clamp<int64_t>(position, 0, length));
        if (!channel.SeekFrame(target / channel.FrameBytes()))
            return Fail(BASS_ERROR_NOTAVAIL);
        return position > length ? Fail(BASS_ERROR_POSITION) : true;
    });
}

int64_t BASS_ChannelSeconds2Bytes(BassHandle handle, double seconds)
{
    return WithChannel(handle, int64_t(-1), [&](Channel& channel) {
        if (!(seconds > 0))
            return int64_t(0);
        const int64_t frames = SaturateToInt64(seconds * channel.info.frequency);
        const int64_t frameBytes = channel.FrameBytes();
        if (frames > std::numeric_limits<int64_t>::max() / frameBytes)
            return FrameFloor(channel, std::numeric_limits<int64_t>::max());
        return frames * frameBytes;
    });
}

double BASS_ChannelBytes2Seconds(BassHandle handle, int64_t bytes)
{
    return WithChannel(handle, -1.0, [&](Channel& channel) {
        if (bytes <= 0)
            return 0.0;
        return static_cast<double>(bytes / channel.FrameBytes()) / channel.info.frequency;
    });
}

int32_t BASS_ChannelGetData(BassHandle handle, void* buffer, uint32_t length)
{
    return ReadData(FindChannel(handle), buffer, length);
}

int32_t BASS_ChannelGetData(const BassStreamRef& stream, void* buffer, uint32_t length)
{
    return ReadData(stream, buffer, length);
}

BassStreamRef BASS_StreamRef(BassHandle handle)
{
    return FindChannel(handle);
}

bool BASS_StreamRefValid(const BassStreamRef& stream)
{
    return stream && !stream->released;
}

bool BASS_ChannelAddEffect(BassHandle handle, int effect, int priority)
{
    return WithChannel(handle, false, [&](Channel& channel) {
        if (effect != BASS_FX_VOLUME)
            return Fail(BASS_ERROR_ILLPARAM);
        if (channel.hasVolumeEffect)
            return Fail(BASS_ERROR_NOTAVAIL);
        channel.hasVolumeEffect = true;
        channel.volumeEffect = BassVolumeParams{};
        return true;
    });
}

namespace {
template <typename Op> bool WithVolumeEffect(BassHandle handle, int effect, Op op)
{
    return WithChannel(handle, false, [&](Channel& channel) {
        if (effect != BASS_FX_VOLUME || !channel.hasVolumeEffect)
            return Fail(BASS_ERROR_ILLPARAM);
        op(channel);
        return true;
    });
}
} // namespace

bool BASS_ChannelSetEffect(BassHandle handle, int effect, const BassVolumeParams& params)
{
    return WithVolumeEffect(handle, effect, [&](Channel& channel) { channel.volumeEffect = params; });
}

bool BASS_ChannelResetEffect(BassHandle handle, int effect)
{
    return WithVolumeEffect(handle, effect, [](Channel& channel) { channel.volumeEffect = BassVolumeParams{}; });
}

bool BASS_ChannelRemoveEffect(BassHandle handle, int effect)
{
    return WithVolumeEffect(handle, effect, [](Channel& channel) { channel.hasVolumeEffect = false; });
}
