// The tempo stream: a decoding stream's front pair, resampled by libsoxr to its playback rate, then
// its tempo and pitch changed by SoundTouch. A pitch change runs the stretcher's own rate transposer
// anyway: a rate above the source's own then rides in it, one interpolation instead of two.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include <soundtouch/SoundTouch.h>
#include <soxr.h>

#include "platform/sound/SoundChannel.h"

namespace sound {
namespace {

constexpr uint32_t chunkFrames = 4096; // source frames fed to SoundTouch at a time

struct TempoSetting {
    float tempo = 0;      // percent change
    float sampleRate = 0; // Hz the source is read at
    float pitch = 0;      // semitones

    bool Valid(uint32_t sourceRate) const
    {
        const float ratio = sampleRate / static_cast<float>(sourceRate);
        return std::isfinite(tempo) && std::isfinite(pitch) && std::isfinite(ratio) && tempo >= -95 &&
               tempo <= 5000 && pitch >= -60 && pitch <= 60 && ratio >= 0.05f && ratio <= 20.0f;
    }
};

// More channels than a pair reach the stretcher as the front pair (the first two channels).
constexpr uint32_t maxTempoChannels = 2;

class TempoStream : public Channel {
public:
    TempoStream(std::shared_ptr<Channel> source, BassHandle sourceHandle, uint32_t flags)
        : Channel(source->info.frequency, std::min(source->info.channels, maxTempoChannels),
                  flags & BASS_STREAM_DECODE, BASS_CTYPE_TEMPO),
          source_(std::move(source)), sourceHandle_(sourceHandle), freeSource_((flags & BASS_FX_FREESOURCE) != 0)
    {
        setting_.sampleRate = static_cast<float>(info.frequency);
        touch_.setSampleRate(info.frequency);
        touch_.setChannels(info.channels);
        input16_.resize(size_t(chunkFrames) * info.channels);
        inputFloat_.resize(input16_.size());
        outputFloat_.resize(input16_.size());
        if (source_->info.channels > info.channels)
            wide_.resize(size_t(chunkFrames) * source_->info.channels);
        seenSeeks_ = source_->SeekCount();
    }
    ~TempoStream() override { FreeResampler(); }

    BassHandle SourceHandle() const { return sourceHandle_; }
    TempoSetting Setting() const { return setting_; }

    bool Set(const TempoSetting& setting)
    {
        if (!setting.Valid(info.frequency))
            return false;
        if (setting.sampleRate != setting_.sampleRate && !MakeResampler(setting.sampleRate))
            return false;
        setting_ = setting;
        if (!fed_)
            rateInStretcher_ = setting.pitch != 0 && setting.sampleRate > static_cast<float>(info.frequency);
        stretching_ = stretching_ || !NeutralSetting();
        touch_.setTempoChange(setting.tempo);
        touch_.setPitchSemiTones(setting.pitch);
        touch_.setRate(Resampled() ? 1.0f : setting.sampleRate / static_cast<float>(info.frequency));
        if (!fed_)
            Prime();
        return true;
    }

    int64_t Length() override { return SourceDo(int64_t(-1), [](Channel& s) { return s.Length(); }); }
    int64_t Position() override { return SourceDo(int64_t(-1), [](Channel& s) { return s.Position(); }); }
    bool SeekFrame(int64_t frame) override
    {
        const bool moved = SourceDo(false, [&](Channel& s) { return s.SeekFrame(frame); });
        if (moved)
            Restart();
        return moved;
    }
    void Released() override
    {
        if (freeSource_)
            BASS_StreamFree(sourceHandle_);
    }

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        std::lock_guard lock(source_->mutex);
        if (source_->SeekCount() != seenSeeks_)
            Restart(); // the source was moved under us: what SoundTouch holds is from elsewhere
        auto* out = static_cast<int16_t*>(buffer);
        const uint32_t channels = info.channels;
        const uint32_t wanted = bytes / FrameBytes();
        uint32_t produced = 0;
        while (produced < wanted) {
            produced += Receive(out + size_t(produced) * channels, wanted - produced);
            if (produced == wanted)
                break;
            if (Neutral() && touch_.numSamples() == 0) {
                produced += Pull(out + size_t(produced) * channels, wanted - produced);
                break;
            }
            if (fedAll_) {
                if (flushed_)
                    break;
                touch_.flush();
                flushed_ = true;
                continue;
            }
            Feed();
        }
        ended = produced < wanted;
        return produced * FrameBytes();
    }

private:
    template <typename Result, typename Op> Result SourceDo(Result failed, Op op)
    {
        std::lock_guard lock(source_->mutex);
        return source_->released ? failed : op(*source_);
    }

    // Tempo and pitch unchanged: the stretcher is passed by (the rate is the resampler's). Once it
    // has run it stays in until the stream is moved: passing it by would drop what it holds and
    // leave that to sound, out of place, when it comes back in.
    bool Neutral() const { return !stretching_; }
    bool NeutralSetting() const
    {
        return setting_.tempo == 0 && setting_.pitch == 0 && !(resampler_ && rateInStretcher_);
    }

    // The playback rate is libsoxr's: flat to the top of the band. A stream that starts with a pitch
    // change has the stretcher's transposer take a rate above the source's own instead, as it
    // transposes anyway; it keeps the treble of such a source (it reads it with room to spare) but
    // not of a slower one. The choice holds for the stream's life: moving the rate from one stage
    // to the other while it plays would drop what the first stage holds.
    bool Resampled() const { return resampler_ && !rateInStretcher_; }

    void Restart()
    {
        touch_.clear();
        if (resampler_)
            soxr_clear(resampler_);
        pendingOffset_ = pendingFrames_ = 0;
        sourceDone_ = drained_ = fedAll_ = flushed_ = false;
        stretching_ = !NeutralSetting();
        seenSeeks_ = source_->SeekCount();
        MarkRepositioned();
    }

    // The rate change is a resampling by libsoxr at high quality, so that the treble of a source at
    // another rate than the output's stays flat; libsoxr keeps the time alignment of its input.
    // Undithered, so that the same input always gives the same samples. Source frames already
    // waiting for an old resampler go to the new one.
    bool MakeResampler(float sampleRate)
    {
        soxr_t made = nullptr;
        if (sampleRate != static_cast<float>(info.frequency)) {
            soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
            io.flags |= SOXR_NO_DITHER;
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            soxr_error_t error = nullptr;
            // Read at sampleRate, delivered at the source's own rate: sampleRate / source rate is the
            // change of speed, exactly as a playback rate.
            made = soxr_create(sampleRate, info.frequency, info.channels, &error, &io, &quality, nullptr);
            if (error)
                return false;
            pending_.resize(size_t(chunkFrames) * info.channels);
        }
        FreeResampler();
        resampler_ = made;
        drained_ = false;
        return true;
    }

    void FreeResampler()
    {
        if (resampler_)
            soxr_delete(resampler_);
        resampler_ = nullptr;
    }

    // Up to `frames` frames of the source's front pair at the source's own channel count or two.
    uint32_t ReadSource(int16_t* out, uint32_t frames)
    {
        if (source_->released)
            return 0;
        if (wide_.empty())
            return source_->Read(out, frames * FrameBytes()) / FrameBytes();
        const uint32_t sourceChannels = source_->info.channels;
        frames = std::min(frames, chunkFrames);
        const uint32_t got = source_->Read(wide_.data(), frames * sourceChannels * 2) / (sourceChannels * 2);
        for (uint32_t f = 0; f < got; ++f)
            std::copy_n(wide_.data() + size_t(f) * sourceChannels, info.channels, out + size_t(f) * info.channels);
        return got;
    }

    // Up to `frames` frames of the source at the playback rate; fewer only at its end.
    uint32_t Pull(int16_t* out, uint32_t frames)
    {
        uint32_t produced = 0;
        while (produced < frames) {
            const uint32_t room = frames - produced;
            int16_t* at = out + size_t(produced) * info.channels;
            if (!Resampled()) {
                const uint32_t got = pendingOffset_ < pendingFrames_ ? TakePending(at, room) : ReadSource(at, room);
                produced += got;
                if (got == 0)
                    break;
                continue;
            }
            if (drained_)
                break;
            if (pendingOffset_ == pendingFrames_ && !sourceDone_) {
                pendingOffset_ = 0;
                pendingFrames_ = ReadSource(pending_.data(), chunkFrames);
                sourceDone_ = pendingFrames_ == 0;
            }
            size_t used = 0, made = 0;
            soxr_process(resampler_, sourceDone_ ? nullptr : pending_.data() + pendingOffset_ * info.channels,
                         pendingFrames_ - pendingOffset_, &used, at, room, &made);
            pendingOffset_ += used;
            produced += static_cast<uint32_t>(made);
            if (sourceDone_ && made == 0)
                drained_ = true;
        }
        return produced;
    }

    uint32_t TakePending(int16_t* out, uint32_t frames)
    {
        const uint32_t taken = std::min<uint32_t>(frames, static_cast<uint32_t>(pendingFrames_ - pendingOffset_));
        std::copy_n(pending_.data() + pendingOffset_ * info.channels, size_t(taken) * info.channels, out);
        pendingOffset_ += taken;
        return taken;
    }

    // SoundTouch grows its buffers when it first meets more samples than they hold. Running it over
    // silence in bursts larger than any chunk plus what a stage keeps back (then clearing it, which
    // keeps the buffers) leaves the sound thread, which feeds one chunk at a time, nothing to grow.
    void Prime()
    {
        constexpr uint32_t kBurstFrames = 4 * chunkFrames;
        const std::vector<float> silence(size_t(kBurstFrames) * info.channels, 0.0f);
        for (int burst = 0; burst < 2; ++burst)
            touch_.putSamples(silence.data(), kBurstFrames);
        while (touch_.receiveSamples(outputFloat_.data(), chunkFrames) > 0) {
        }
        touch_.clear();
    }

    void Feed()
    {
        fed_ = true;
        const uint32_t got = Pull(input16_.data(), chunkFrames);
        fedAll_ = got == 0;
        const size_t samples = size_t(got) * info.channels;
        // SoundTouch is linear: it works on the 16-bit values as they are, no scaling needed.
        std::copy_n(input16_.data(), samples, inputFloat_.data());
        if (got > 0)
            touch_.putSamples(inputFloat_.data(), got);
    }

    uint32_t Receive(int16_t* out, uint32_t frames)
    {
        const uint32_t room = std::min<uint32_t>(frames, chunkFrames);
        const uint32_t got = touch_.receiveSamples(outputFloat_.data(), room);
        const size_t samples = size_t(got) * info.channels;
        for (size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>(std::lrint(std::clamp(outputFloat_[i], -32768.0f, 32767.0f)));
        return got;
    }

    std::shared_ptr<Channel> source_;
    BassHandle sourceHandle_;
    bool freeSource_;
    soundtouch::SoundTouch touch_;
    TempoSetting setting_;
    std::vector<int16_t> input16_;
    std::vector<float> inputFloat_;
    std::vector<float> outputFloat_;
    std::vector<int16_t> wide_;      // a read of a source with more channels than a pair
    soxr_t resampler_ = nullptr;     // null at the source's own rate
    std::vector<int16_t> pending_;   // source frames waiting for the resampler
    size_t pendingOffset_ = 0;
    size_t pendingFrames_ = 0;
    uint64_t seenSeeks_ = 0;
    bool sourceDone_ = false; // the source has delivered all it has
    bool drained_ = false;    // and the resampler has given out its last frames
    bool fedAll_ = false;     // the stretcher has had everything
    bool flushed_ = false;
    bool fed_ = false; // no sound went in yet: a new setting may prime the buffers
    bool rateInStretcher_ = false; // chosen by the settings before the first sound went in
    bool stretching_ = false;      // the stretcher is in the way of the sound
};

template <typename Result, typename Op> Result WithTempo(BassHandle handle, Result failed, Op op)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    auto* tempo = dynamic_cast<TempoStream*>(channel.get());
    if (!tempo)
        return Fail(BASS_ERROR_HANDLE, failed);
    std::lock_guard lock(tempo->mutex);
    return op(*tempo);
}

} // namespace
} // namespace sound

using namespace sound;

BassHandle BASS_FX_TempoCreate(BassHandle sourceHandle, uint32_t flags)
{
    std::shared_ptr<Channel> source = FindChannel(sourceHandle);
    if (!source)
        return 0;
    if (!source->DecodeOnly())
        return Fail(BASS_ERROR_FORMAT, BassHandle(0));
    if ((flags & BASS_STREAM_DECODE) == 0 && !OutputInitialised())
        return Fail(BASS_ERROR_INIT, BassHandle(0));
    try {
        return AddHandle(std::make_shared<TempoStream>(source, sourceHandle, flags));
    } catch (const std::exception&) { // SoundTouch refuses a format by throwing
        return Fail(BASS_ERROR_FORMAT, BassHandle(0));
    }
}

bool BASS_FX_TempoSet(BassHandle handle, float tempoPercent, float sampleRate, float pitchSemitones)
{
    return WithTempo(handle, false, [&](TempoStream& tempo) {
        TempoSetting setting{tempoPercent, sampleRate, pitchSemitones};
        if (!(sampleRate > 0))
            setting.sampleRate = tempo.Setting().sampleRate;
        return tempo.Set(setting) || Fail(BASS_ERROR_ILLPARAM);
    });
}

bool BASS_FX_TempoGet(BassHandle handle, float* tempoPercent, float* sampleRate, float* pitchSemitones)
{
    return WithTempo(handle, false, [&](TempoStream& tempo) {
        const TempoSetting setting = tempo.Setting();
        if (tempoPercent)
            *tempoPercent = setting.tempo;
        if (sampleRate)
            *sampleRate = setting.sampleRate;
        if (pitchSemitones)
            *pitchSemitones = setting.pitch;
        return true;
    });
}

BassHandle BASS_FX_TempoGetSource(BassHandle handle)
{
    return WithTempo(handle, BassHandle(0), [](TempoStream& tempo) { return tempo.SourceHandle(); });
}
