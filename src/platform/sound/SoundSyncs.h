#pragma once

// Position syncs of a channel (internal to the sound library). A read of a channel that has syncs
// is cut at each sync position, so a sync procedure runs exactly between the last byte before its
// position and the first byte after it, on the thread that reads the channel.

#include <cstdint>
#include <vector>

#include "platform/sound/SoundLibrary.h"

namespace sound {

class Channel;

class SyncList {
public:
    explicit SyncList(BassHandle channel);

    BassSync Add(uint32_t type, int64_t position, BassSyncProc proc, void* user);
    bool Remove(BassSync sync);
    bool Empty() const { return syncs_.empty(); }
    void Clear() { syncs_.clear(); }

    // Reads up to `bytes` of the channel, running the syncs the read reaches. The caller holds
    // the channel's mutex.
    uint32_t Read(Channel& channel, void* buffer, uint32_t bytes);

private:
    struct Sync {
        BassSync handle;
        int64_t position;
        bool oneTime;
        BassSyncProc proc;
        void* user;
    };

    // The nearest sync position after `from`, or -1 when there is none.
    int64_t NextPosition(int64_t from) const;
    // Runs, in position order, the syncs made before this round whose positions lie in
    // (from, to], or past `from` at all when the channel ended there. True when any ran.
    bool FireReached(int64_t from, int64_t to, bool ended);

    BassHandle channel_;
    std::vector<Sync> syncs_;
};

} // namespace sound
