// Position syncs, and the channel lock that makes a caller's sequence of calls atomic with them.

#include "platform/sound/SoundSyncs.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>

#include "platform/sound/SoundChannel.h"

namespace sound {

namespace {
std::atomic<BassSync> nextSyncHandle{1}; // unique across channels, so a stale handle never matches

constexpr int64_t kNoPosition = -1;
// Rounds in a row that deliver nothing before a read gives up (a procedure that keeps moving the
// channel to its end would otherwise spin for ever).
constexpr int kMaxIdleRounds = 2;
} // namespace

SyncList::SyncList(BassHandle channel) : channel_(channel)
{
    syncs_.reserve(8); // a procedure that replaces its own sync never allocates on the output thread
}

BassSync SyncList::Add(uint32_t type, int64_t position, BassSyncProc proc, void* user)
{
    BassSync handle = nextSyncHandle.fetch_add(1);
    if (handle == 0)
        handle = nextSyncHandle.fetch_add(1);
    syncs_.push_back(Sync{handle, std::max<int64_t>(position, 0), (type & BASS_SYNC_ONETIME) != 0, proc, user});
    return handle;
}

bool SyncList::Remove(BassSync sync)
{
    return std::erase_if(syncs_, [&](const Sync& s) { return s.handle == sync; }) > 0;
}

int64_t SyncList::NextPosition(int64_t from) const
{
    int64_t next = kNoPosition;
    for (const Sync& s : syncs_)
        if (s.position > from && (next == kNoPosition || s.position < next))
            next = s.position;
    return next;
}

bool SyncList::FireReached(int64_t from, int64_t to, bool ended)
{
    // Only syncs that existed before this round run in it: a procedure that sets a new sync at the
    // same position (a loop restarting itself) does not trigger that one at once.
    const BassSync madeBefore = nextSyncHandle.load();
    int64_t lastPosition = std::numeric_limits<int64_t>::min();
    BassSync lastHandle = 0;
    bool fired = false;
    for (;;) {
        const Sync* next = nullptr;
        for (const Sync& s : syncs_) {
            const bool reached = s.position > from && (ended || s.position <= to);
            const bool pending = s.position > lastPosition || (s.position == lastPosition && s.handle > lastHandle);
            if (reached && pending && s.handle < madeBefore &&
                (!next || s.position < next->position || (s.position == next->position && s.handle < next->handle)))
                next = &s;
        }
        if (!next)
            return fired;
        const Sync sync = *next; // the procedure may change the list
        lastPosition = sync.position;
        lastHandle = sync.handle;
        if (sync.oneTime)
            Remove(sync.handle);
        sync.proc(sync.handle, channel_, 0, sync.user);
        fired = true;
    }
}

uint32_t SyncList::Read(Channel& channel, void* buffer, uint32_t bytes)
{
    const uint32_t frameBytes = channel.FrameBytes();
    bytes -= bytes % frameBytes;
    auto* out = static_cast<char*>(buffer);
    uint32_t done = 0;
    int idleRounds = 0;
    while (done < bytes && idleRounds < kMaxIdleRounds) {
        const int64_t from = channel.Position();
        uint32_t want = bytes - done;
        const int64_t next = NextPosition(from);
        if (next != kNoPosition) {
            const int64_t toSync = (next - from + frameBytes - 1) / frameBytes * frameBytes; // whole frames
            want = static_cast<uint32_t>(std::min<int64_t>(want, toSync));
        }
        const uint32_t got = channel.ReadSegment(out + done, want);
        done += got;
        idleRounds = got == 0 ? idleRounds + 1 : 0;
        const bool fired = FireReached(from, channel.Position(), channel.Ended());
        if (!fired && got < want)
            break; // the channel had no more for now
        if (fired && (channel.Ended() || (!channel.DecodeOnly() && !channel.playing)))
            break; // stopped by a procedure, or ended and not moved
    }
    return done;
}

} // namespace sound

using namespace sound;

BassSync BASS_ChannelSetSync(BassHandle handle, uint32_t type, int64_t position, BassSyncProc proc, void* user)
{
    if (!proc || (type & ~BASS_SYNC_ONETIME) != BASS_SYNC_POS)
        return Fail(BASS_ERROR_ILLPARAM, BassSync(0));
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return 0;
    std::lock_guard lock(channel->mutex);
    if (!channel->syncs)
        channel->syncs = std::make_unique<SyncList>(handle);
    SetError(BASS_OK);
    return channel->syncs->Add(type, position, proc, user);
}

bool BASS_ChannelRemoveSync(BassHandle handle, BassSync sync)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    std::lock_guard lock(channel->mutex);
    if (!channel->syncs || !channel->syncs->Remove(sync))
        return Fail(BASS_ERROR_HANDLE);
    SetError(BASS_OK);
    return true;
}

bool BASS_ChannelLock(BassHandle handle, bool lock)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    if (!channel)
        return false;
    const std::thread::id self = std::this_thread::get_id();
    if (lock) {
        channel->mutex.lock();
        if (channel->lockDepth++ == 0)
            channel->lockOwner = self;
    } else {
        if (channel->lockOwner.load() != self)
            return Fail(BASS_ERROR_NOTAVAIL); // only the holder unlocks
        if (--channel->lockDepth == 0)
            channel->lockOwner = std::thread::id();
        channel->mutex.unlock();
    }
    SetError(BASS_OK);
    return true;
}
