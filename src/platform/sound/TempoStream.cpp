// The tempo stream: tempo, playback rate and pitch of a decoding stream changed by SoundTouch.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include <soundtouch/SoundTouch.h>

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

class TempoStream : public Channel {
public:
    TempoStream(std::shared_ptr<Channel> source, BassHandle sourceHandle, uint32_t flags)
        : Channel(source->info.frequency, source->info.channels, flags & BASS_STREAM_DECODE, BASS_CTYPE_TEMPO),
          source_(std::move(source)), sourceHandle_(sourceHandle), freeSource_((flags & BASS_FX_FREESOURCE) != 0)
    {
        setting_.sampleRate = static_cast<float>(info.frequency);
        touch_.setSampleRate(info.frequency);
        touch_.setChannels(info.channels);
        input16_.resize(size_t(chunkFrames) * info.channels);
        inputFloat_.resize(input16_.size());
        outputFloat_.resize(input16_.size());
        seenSeeks_ = source_->SeekCount();
    }

    BassHandle SourceHandle() const { return sourceHandle_; }
    TempoSetting Setting() const { return setting_; }

    bool Set(const TempoSetting& setting)
    {
        if (!setting.Valid(info.frequency))
            return false;
        setting_ = setting;
        touch_.setTempoChange(setting.tempo);
        touch_.setPitchSemiTones(setting.pitch);
        touch_.setRate(setting.sampleRate / static_cast<float>(info.frequency));
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
        std::lock_guard<std::recursive_mutex> lock(source_->mutex);
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
                produced += Bypass(out + size_t(produced) * channels, wanted - produced);
                break;
            }
            if (SourceEnded()) {
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
        std::lock_guard<std::recursive_mutex> lock(source_->mutex);
        return source_->released ? failed : op(*source_);
    }

    bool Neutral() const
    {
        return setting_.tempo == 0 && setting_.pitch == 0 && setting_.sampleRate == static_cast<float>(info.frequency);
    }

    bool SourceEnded() const { return source_->released || source_->Ended(); }

    void Restart()
    {
        touch_.clear();
        flushed_ = false;
        seenSeeks_ = source_->SeekCount();
        MarkRepositioned();
    }

    // Neutral setting: the source's samples untouched.
    uint32_t Bypass(int16_t* out, uint32_t frames)
    {
        if (source_->released)
            return 0;
        return source_->Read(out, frames * FrameBytes()) / FrameBytes();
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
        const uint32_t got = source_->released ? 0 : source_->Read(input16_.data(), chunkFrames * FrameBytes()) / FrameBytes();
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
    uint64_t seenSeeks_ = 0;
    bool flushed_ = false;
    bool fed_ = false; // no sound went in yet: a new setting may prime the buffers
};

template <typename Result, typename Op> Result WithTempo(BassHandle handle, Result failed, Op op)
{
    std::shared_ptr<Channel> channel = FindChannel(handle);
    auto* tempo = dynamic_cast<TempoStream*>(channel.get());
    if (!tempo)
        return Fail(BASS_ERROR_HANDLE, failed);
    std::lock_guard<std::recursive_mutex> lock(tempo->mutex);
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
    if (!source->DecodeOnly() || source->info.channels > SOUNDTOUCH_MAX_CHANNELS)
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
