#pragma once

#include <cstdint>
#include <vector>

#include <soxr.h>

#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundThread.h"

namespace sound {

// Turns one playing channel into stereo frames at the output rate and adds them into the output
// block: channel count conversion (mono doubled, multichannel plays its front pair), resampling
// when the channel's rate differs from the output's, then volume and pan. Made on the thread that
// starts playback, so the output thread never allocates.
class PlaybackFeed {
public:
    PlaybackFeed(const Channel& channel, uint32_t outputRate, uint32_t maxBlockFrames);
    ~PlaybackFeed();
    PlaybackFeed(const PlaybackFeed&) = delete;
    PlaybackFeed& operator=(const PlaybackFeed&) = delete;

    // Adds `frames` stereo frames of the channel into `mix`. Returns false once the channel has
    // ended and delivered everything. The caller holds the channel's mutex.
    SOUND_THREAD bool MixInto(Channel& channel, int32_t* mix, uint32_t frames);

    uint32_t InputRate() const { return inputRate_; }
    uint32_t OutputRate() const { return outputRate_; }

private:
    uint32_t ReadStereo(Channel& channel, int16_t* out, uint32_t frames);
    uint32_t Resample(Channel& channel, int16_t* out, uint32_t frames);

    uint32_t inputRate_;
    uint32_t outputRate_;
    uint32_t maxBlockFrames_;
    std::vector<int16_t> raw_;    // the channel's own frames
    std::vector<int16_t> stereo_; // stereo output frames of one block
    std::vector<int16_t> input_;  // stereo frames at the channel's rate waiting for the resampler
    size_t inputOffset_ = 0;      // frames of input_ already consumed
    size_t inputFrames_ = 0;      // frames of input_ filled
    soxr_t resampler_ = nullptr;
    bool flushed_ = false;
};

} // namespace sound
