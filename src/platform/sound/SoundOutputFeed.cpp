#include "platform/sound/SoundOutputFeed.h"

#include <algorithm>
#include <cstring>

namespace sound {

namespace {
constexpr uint32_t resamplerSlack = 64; // input frames read beyond the exact ratio per block
}

PlaybackFeed::PlaybackFeed(const Channel& channel, uint32_t outputRate, uint32_t maxBlockFrames)
    : inputRate_(channel.attribFrequency > 0 ? static_cast<uint32_t>(channel.attribFrequency)
                                              : channel.info.frequency),
      outputRate_(outputRate), maxBlockFrames_(maxBlockFrames)
{
    stereo_.resize(size_t(maxBlockFrames) * 2);
    size_t inputChunk = maxBlockFrames;
    if (inputRate_ != outputRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
        soxr_error_t error = nullptr;
        resampler_ = soxr_create(inputRate_, outputRate, 2, &error, &io, &quality, nullptr);
        if (error)
            resampler_ = nullptr;
        inputChunk = size_t(double(maxBlockFrames) * inputRate_ / outputRate) + resamplerSlack;
        input_.resize(inputChunk * 2);
    }
    raw_.resize(inputChunk * channel.info.channels);
}

PlaybackFeed::~PlaybackFeed()
{
    if (resampler_)
        soxr_delete(resampler_);
}

uint32_t PlaybackFeed::ReadStereo(Channel& channel, int16_t* out, uint32_t frames)
{
    const uint32_t channels = channel.info.channels;
    frames = std::min<uint32_t>(frames, raw_.size() / channels);
    const uint32_t got = channel.Read(raw_.data(), frames * channels * 2) / (channels * 2);
    const int16_t* in = raw_.data();
    for (uint32_t i = 0; i < got; ++i, in += channels) {
        out[2 * i] = in[0];
        out[2 * i + 1] = channels == 1 ? in[0] : in[1];
    }
    return got;
}

uint32_t PlaybackFeed::Resample(Channel& channel, int16_t* out, uint32_t frames)
{
    uint32_t produced = 0;
    while (produced < frames && !flushed_) {
        if (inputOffset_ == inputFrames_ && !channel.Ended()) {
            inputOffset_ = 0;
            inputFrames_ = ReadStereo(channel, input_.data(), input_.size() / 2);
        }
        const bool draining = inputOffset_ == inputFrames_ && channel.Ended();
        size_t used = 0, made = 0;
        soxr_process(resampler_, draining ? nullptr : input_.data() + inputOffset_ * 2,
                     inputFrames_ - inputOffset_, &used, out + produced * 2, frames - produced, &made);
        inputOffset_ += used;
        produced += made;
        if (draining && made == 0)
            flushed_ = true;
        if (!draining && used == 0 && made == 0 && inputFrames_ == 0)
            break; // the channel delivered nothing this time (a stalled user stream)
    }
    return produced;
}

bool PlaybackFeed::MixInto(Channel& channel, int32_t* mix, uint32_t frames)
{
    CheckSoundThread();
    frames = std::min(frames, maxBlockFrames_);
    int16_t* stereo = stereo_.data();
    const uint32_t got = resampler_ ? Resample(channel, stereo, frames) : ReadStereo(channel, stereo, frames);
    const int volume = std::clamp(channel.attribVolume, 0, 100);
    const int pan = std::clamp(channel.attribPan, -100, 100);
    const int32_t left = volume * (pan > 0 ? 100 - pan : 100);  // gain x 10000
    const int32_t right = volume * (pan < 0 ? 100 + pan : 100);
    for (uint32_t i = 0; i < got; ++i) {
        mix[2 * i] += stereo[2 * i] * left / 10000;
        mix[2 * i + 1] += stereo[2 * i + 1] * right / 10000;
    }
    const bool finished = channel.Ended() && (!resampler_ || flushed_);
    return !(finished && got < frames);
}

} // namespace sound
