// The mixer stream: decode-only sources converted to one format (channel count, then rate with
// libsoxr) and summed.

#include <algorithm>
#include <memory>
#include <vector>

#include <soxr.h>

#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundDecoders.h"

namespace sound {
namespace {

constexpr uint32_t kMaxChunkFrames = 65536;  // source frames read at a time
constexpr size_t kResamplerSlack = 64;

// Mixes or spreads interleaved frames from `from` channels to `to` channels.
void ConvertChannels(const int16_t* in, uint32_t from, int16_t* out, uint32_t to, size_t frames)
{
    if (from == to) {
        std::copy_n(in, frames * from, out);
    } else if (to == 1) {
        for (size_t i = 0; i < frames; ++i, in += from) {
            int32_t sum = 0;
            for (uint32_t c = 0; c < from; ++c)
                sum += in[c];
            out[i] = static_cast<int16_t>(sum / static_cast<int32_t>(from));
        }
    } else {
        for (size_t i = 0; i < frames; ++i, in += from, out += to)
            for (uint32_t c = 0; c < to; ++c)
                out[c] = in[c % from];
    }
}

// One source of a mixer: reads it, converts its channels and resamples it to the mixer's format.
class MixerInput {
public:
    MixerInput(std::shared_ptr<Channel> source, uint32_t rate, uint32_t channels)
        : source_(std::move(source)), channels_(channels)
    {
        const uint32_t sourceRate = source_->info.frequency;
        if (sourceRate != rate) {
            soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
            io.flags |= SOXR_NO_DITHER; // the same input always gives the same samples
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_QQ, 0);
            soxr_error_t error = nullptr;
            resampler_ = soxr_create(sourceRate, rate, channels, &error, &io, &quality, nullptr);
            if (error)
                resampler_ = nullptr;
        }
        ratio_ = double(sourceRate) / rate;
    }
    ~MixerInput()
    {
        if (resampler_)
            soxr_delete(resampler_);
    }
    MixerInput(const MixerInput&) = delete;
    MixerInput& operator=(const MixerInput&) = delete;

    const Channel* Source() const { return source_.get(); }
    bool Finished() const { return finished_; }
    bool Broken() const { return source_->info.frequency != 0 && ratio_ != 1.0 && !resampler_; }

    // Adds up to `frames` frames into `mix`; returns the frames delivered.
    uint32_t MixInto(int32_t* mix, uint32_t frames)
    {
        out_.resize(size_t(frames) * channels_);
        const uint32_t got = resampler_ ? Resample(out_.data(), frames) : ReadConverted(out_.data(), frames);
        for (size_t i = 0; i < size_t(got) * channels_; ++i)
            mix[i] += out_[i];
        if (got < frames && (!resampler_ || flushed_))
            finished_ = true;
        return got;
    }

private:
    bool SourceEnded() const { return source_->released || source_->Ended(); }

    // Reads up to `frames` source frames converted to the mixer's channel count.
    uint32_t ReadConverted(int16_t* out, uint32_t frames)
    {
        std::lock_guard lock(source_->mutex);
        if (source_->released)
            return 0;
        const uint32_t sourceChannels = source_->info.channels;
        raw_.resize(size_t(frames) * sourceChannels);
        const uint32_t got = source_->Read(raw_.data(), frames * sourceChannels * 2) / (sourceChannels * 2);
        ConvertChannels(raw_.data(), sourceChannels, out, channels_, got);
        return got;
    }

    uint32_t Resample(int16_t* out, uint32_t frames)
    {
        uint32_t produced = 0;
        while (produced < frames && !flushed_) {
            if (inputOffset_ == inputFrames_ && !SourceEnded()) {
                const size_t wanted = std::min<size_t>(size_t((frames - produced) * ratio_) + kResamplerSlack,
                                                       kMaxChunkFrames);
                input_.resize(wanted * channels_);
                inputOffset_ = 0;
                inputFrames_ = ReadConverted(input_.data(), static_cast<uint32_t>(wanted));
            }
            const bool draining = inputOffset_ == inputFrames_ && SourceEnded();
            size_t used = 0, made = 0;
            soxr_process(resampler_, draining ? nullptr : input_.data() + inputOffset_ * channels_,
                         inputFrames_ - inputOffset_, &used, out + size_t(produced) * channels_, frames - produced,
                         &made);
            inputOffset_ += used;
            produced += static_cast<uint32_t>(made);
            if (draining && made == 0)
                flushed_ = true;
            if (!draining && used == 0 && made == 0 && inputFrames_ == 0)
                break; // the source delivered nothing this time
        }
        return produced;
    }

    std::shared_ptr<Channel> source_;
    uint32_t channels_;
    double ratio_ = 1.0;
    soxr_t resampler_ = nullptr;
    std::vector<int16_t> raw_;   // source frames as read
    std::vector<int16_t> input_; // converted frames waiting for the resampler
    std::vector<int16_t> out_;   // frames of one read in the mixer's format
    size_t inputOffset_ = 0;
    size_t inputFrames_ = 0;
    bool flushed_ = false;
    bool finished_ = false;
};

class MixerStream : public Channel {
public:
    MixerStream(uint32_t frequency, uint32_t channels)
        : Channel(frequency, channels, BASS_STREAM_DECODE, BASS_CTYPE_MIXER)
    {
    }

    bool Holds(const Channel* source) const
    {
        return std::any_of(inputs_.begin(), inputs_.end(), [&](const auto& in) { return in->Source() == source; });
    }
    bool Add(std::shared_ptr<Channel> source)
    {
        auto input = std::make_unique<MixerInput>(std::move(source), info.frequency, info.channels);
        if (input->Broken())
            return false;
        inputs_.push_back(std::move(input));
        return true;
    }
    void Released() override { inputs_.clear(); }

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        const uint32_t frames = bytes / FrameBytes();
        mix_.assign(size_t(frames) * info.channels, 0);
        uint32_t delivered = 0;
        bool anyLeft = false;
        for (auto& input : inputs_) {
            if (input->Finished())
                continue;
            delivered = std::max(delivered, input->MixInto(mix_.data(), frames));
            anyLeft = anyLeft || !input->Finished();
        }
        auto* out = static_cast<int16_t*>(buffer);
        for (size_t i = 0; i < size_t(delivered) * info.channels; ++i)
            out[i] = static_cast<int16_t>(std::clamp(mix_[i], -32768, 32767));
        ended = !anyLeft;
        return delivered * FrameBytes();
    }

private:
    std::vector<std::unique_ptr<MixerInput>> inputs_;
    std::vector<int32_t> mix_;
};

} // namespace
} // namespace sound

using namespace sound;

BassHandle BASS_Mixer_StreamCreate(uint32_t frequency, uint32_t channels, uint32_t flags)
{
    if (frequency < 1 || frequency > maxRate || channels < 1 || channels > maxChannels ||
        (flags & BASS_STREAM_DECODE) == 0)
        return Fail(BASS_ERROR_ILLPARAM, BassHandle(0));
    return AddHandle(std::make_shared<MixerStream>(frequency, channels));
}

bool BASS_Mixer_StreamAddChannel(BassHandle mixerHandle, BassHandle sourceHandle, uint32_t flags)
{
    std::shared_ptr<Channel> mixerChannel = FindChannel(mixerHandle);
    auto* mixer = dynamic_cast<MixerStream*>(mixerChannel.get());
    if (!mixer)
        return Fail(BASS_ERROR_HANDLE);
    std::shared_ptr<Channel> source = FindChannel(sourceHandle);
    if (!source)
        return false;
    if (!source->DecodeOnly() || dynamic_cast<MixerStream*>(source.get()))
        return Fail(BASS_ERROR_ILLPARAM);
    std::lock_guard lock(mixer->mutex);
    if (mixer->Holds(source.get()))
        return Fail(BASS_ERROR_ILLPARAM);
    if (!mixer->Add(std::move(source)))
        return Fail(BASS_ERROR_UNKNOWN);
    SetError(BASS_OK);
    return true;
}
