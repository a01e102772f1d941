#include "engine/class_AudioFileReader.h"

#include "platform/trace/Trace.h"
#include "platform/trace/UserMessage.h"
#include "platform/sound/SoundCD.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

double FragmentGain(const MixParams& params, double t, int64_t lengthMcs)
{
    const double full = std::max(0.0, params.volume * 0.01);
    double gain = full;
    if (params.fadein && params.fadeinlength > 0 && t < params.fadeinlength)
        gain = gain * t / params.fadeinlength;
    if (params.fadeout && params.fadeoutlength > 0) {
        const double end = lengthMcs * 0.000001;
        if (t > end - params.fadeoutlength)
            gain = (end - t) * gain / params.fadeoutlength;
    }
    if (!(gain >= 0)) // also NaN
        return 0;
    return std::min(gain, full);
}

float TempoSampleRate(uint32_t sourceFrequency, int32_t outputFrequency)
{
    if (outputFrequency <= 0)
        return static_cast<float>(sourceFrequency);
    const int64_t square = static_cast<int64_t>(sourceFrequency) * sourceFrequency;
    return static_cast<float>(square / outputFrequency);
}

namespace {

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) || BASS_CD_IsTrackAddress(path);
}

BassHandle OpenDecodingStream(const std::string& path)
{
    BassHandle stream = BASS_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!stream)
        stream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
    if (!stream)
        stream = BASS_WMA_StreamCreateFile(path, BASS_STREAM_DECODE);
    return stream;
}

// The nearest sample, halves away from zero (as lround, which is a library call per sample; the
// difference from the truncated value is exact in double).
int16_t RoundToSample(double value)
{
    if (!(value > -32768.0))
        return value != value ? 0 : -32768; // NaN: silence
    if (value >= 32767.0)
        return 32767;
    const int whole = static_cast<int>(value);
    const double rest = value - whole;
    return static_cast<int16_t>(whole + (rest >= 0.5) - (rest <= -0.5));
}

} // namespace

cAudioFileReader::~cAudioFileReader()
{
    FreeStreams();
}

void cAudioFileReader::FreeStreams()
{
    if (PitchDecodeBassStream || DecodeStream)
        CountSourceClose();
    if (PitchDecodeBassStream)
        BASS_StreamFree(PitchDecodeBassStream);
    if (DecodeStream)
        BASS_StreamFree(DecodeStream);
    PitchDecodeBassStream = 0;
    DecodeStream = 0;
    PitchStreamRef.reset(); // the last holder of the freed streams: their objects go here
    DecodeStreamRef.reset();
    ChannelInfo = BassChannelInfo{};
}

void cAudioFileReader::SetFileName(const std::string& fileName, SoundFormat outputFormat)
{
    Open(fileName, outputFormat);
    ReportOpen();
}

void cAudioFileReader::Open(const std::string& fileName, SoundFormat outputFormat)
{
    OutputFormat = outputFormat;
    if (!FileExists(fileName)) {
        OpenFaultSeen = OpenFault::Missing;
        MissingFileName = fileName;
        return;
    }
    const BassHandle stream = OpenDecodingStream(fileName);
    FileName = fileName;
    AttachDecodingStream(stream);
    if (!stream)
        OpenFaultSeen = OpenFault::NoStream;
    // The mixer converts a source of another channel count through this scratch: made here for
    // blocks of up to a second, so that the sound thread does not make it.
    if (stream && static_cast<int32_t>(ChannelInfo.channels) != outputFormat.Channels) {
        const int64_t bytes = int64_t{outputFormat.Frequency} * 2 * 2 * 2;
        ConvertBuffer = std::make_unique<int16_t[]>(static_cast<size_t>(bytes / 2));
        ConvertBufferSize = bytes;
    }
}

void cAudioFileReader::ReportOpen() const
{
    CheckSoundThread();
    trace("audiofileread.setfilename");
    ShowFault();
}

void cAudioFileReader::UseDecodingStream(BassHandle stream)
{
    AttachDecodingStream(stream);
    ShowFault();
}

void cAudioFileReader::AttachDecodingStream(BassHandle stream)
{
    FreeStreams();
    OpenFaultSeen = OpenFault::None;
    DecodeStream = stream;
    if (!DecodeStream)
        return;
    BASS_ChannelGetInfo(DecodeStream, &ChannelInfo);
    // The row's gain is applied to the tempo stream's output (see Read), not here: a gain set on the
    // decoding stream would come out late by the stretcher's latency.
    PitchDecodeBassStream = BASS_FX_TempoCreate(DecodeStream, BASS_STREAM_DECODE);
    DecodeStreamRef = BASS_StreamRef(DecodeStream);
    PitchStreamRef = BASS_StreamRef(PitchDecodeBassStream);
    // A source of more than two channels is read as its front pair: the reader delivers what the
    // tempo stream does.
    BassChannelInfo tempoInfo;
    if (BASS_ChannelGetInfo(PitchDecodeBassStream, &tempoInfo))
        ChannelInfo.channels = tempoInfo.channels;
    if (!PitchDecodeBassStream) {
        OpenFaultSeen = OpenFault::NoPitchStream;
    } else if (!ApplyTempo()) {
        TempoRefused = true;
        OpenFaultSeen = OpenFault::TempoRefused;
    }
}

void cAudioFileReader::ShowFault() const
{
    switch (OpenFaultSeen) {
    case OpenFault::None:
        break;
    case OpenFault::Missing:
        if (!QuietWhenMissing)
            ShowUserMessage("Trying to open audio file, file doesn't exist.\r\nFile name: " + MissingFileName);
        break;
    case OpenFault::NoStream:
        ShowUserMessage("Can't create stream from audio file:" + FileName);
        break;
    case OpenFault::NoPitchStream:
        ShowUserMessage("Error creating pitch stream");
        break;
    case OpenFault::TempoRefused:
        ShowUserMessage("Can't set tempo and pitch of audio file:" + FileName);
        break;
    }
}

bool cAudioFileReader::StreamsIntact() const
{
    switch (OpenFaultSeen) {
    case OpenFault::None:
        return BASS_StreamRefValid(DecodeStreamRef) && BASS_StreamRefValid(PitchStreamRef);
    case OpenFault::Missing:
    case OpenFault::NoStream:
        return true; // no stream to lose, and nothing the library did made these
    default:
        return false; // may have come from streams freed while being set up
    }
}

bool cAudioFileReader::ApplyTempo()
{
    const float sampleRate = TempoSampleRate(ChannelInfo.frequency, OutputFormat.Frequency);
    const bool accepted = BASS_FX_TempoSet(PitchDecodeBassStream, MixParams.speed, sampleRate,
                                           static_cast<float>(MixParams.pitch / 1000.0));
    if (accepted)
        TempoRefused = false;
    return accepted;
}

void cAudioFileReader::SetPosition(double sourceSeconds, int64_t outputFramesLater)
{
    int64_t bytes = BASS_ChannelSeconds2Bytes(DecodeStream, sourceSeconds);
    if (outputFramesLater > 0 && OutputFormat.Frequency > 0 && ChannelInfo.frequency > 0) {
        const double sourceFrames = std::round(static_cast<double>(outputFramesLater) * (100 + MixParams.speed) /
                                               100 * ChannelInfo.frequency / OutputFormat.Frequency);
        // Half a frame more, so that the conversion's truncation lands on the whole frame.
        bytes += BASS_ChannelSeconds2Bytes(DecodeStream, (sourceFrames + 0.5) / ChannelInfo.frequency);
    }
    BASS_ChannelSetPosition(DecodeStream, bytes);
}

void cAudioFileReader::PassOver(int64_t outputFrames)
{
    const int32_t rate = OutputFormat.Frequency > 0 ? OutputFormat.Frequency : 1;
    const double sourceMcs = static_cast<double>(outputFrames) * 1000000 / rate * (100 + MixParams.speed) * 0.01;
    const double wholeMcs = std::trunc(sourceMcs);
    pos_mcs = SaturateToInt64(wholeMcs);
    PosCarryMcs = std::isfinite(sourceMcs) ? sourceMcs - wholeMcs : 0;
}

double cAudioFileReader::ElapsedMixSeconds() const
{
    return (pos_mcs + PosCarryMcs) * 0.000001 * 100 / (100 + MixParams.speed);
}

void cAudioFileReader::Read(void* buffer, int64_t n)
{
    CheckSoundThread();
    if (n <= 0)
        return;
    auto* bytes = static_cast<uint8_t*>(buffer);
    const int channels = static_cast<int>(ChannelInfo.channels);
    const bool canSound = PitchDecodeBassStream && !TempoRefused && channels > 0;
    if (canSound) {
        // The library zero-fills whatever a read cannot deliver.
        constexpr int64_t chunk = int64_t{1} << 30;
        for (int64_t done = TakeReadAhead(bytes, n, int64_t{2} * channels); done < n; done += chunk)
            BASS_ChannelGetData(PitchStreamRef, bytes + done, static_cast<uint32_t>(std::min(chunk, n - done)));
    } else {
        std::memset(bytes, 0, static_cast<size_t>(n));
    }
    const int64_t frameBytes = int64_t{2} * std::max(channels, 1);
    const int64_t framesBefore = BytesRead / frameBytes;
    if (BytesRead == 0)
        FadeOriginSeconds = ElapsedMixSeconds();
    BytesRead += n;

    // The samples are at the output rate, so the block lasts n / (rate x channels x 2) of mix time
    // whatever the source's own rate.
    const int64_t frames = n / frameBytes;
    const int32_t rate = OutputFormat.Frequency > 0 ? OutputFormat.Frequency : 1;
    // pos_mcs moves in whole microseconds; the fractions carry over to the next block, so that the
    // fade clock never falls behind the blocks it counts however short they are.
    const double blockMcs = static_cast<double>(frames) * 1000000 / rate;
    const double sourceMcs = blockMcs * static_cast<double>(100 + MixParams.speed) * 0.01 + PosCarryMcs;
    const double wholeMcs = std::trunc(sourceMcs);
    PosCarryMcs = std::isfinite(sourceMcs) ? sourceMcs - wholeMcs : 0;
    pos_mcs = SaturateToInt64(static_cast<double>(pos_mcs) + wholeMcs);
    if (canSound)
        ApplyGain(static_cast<int16_t*>(buffer), frames, channels, framesBefore);
}

void cAudioFileReader::ReadAhead(int64_t frames)
{
    const int64_t frameBytes = int64_t{2} * ChannelInfo.channels;
    if (!PitchDecodeBassStream || TempoRefused || frameBytes <= 0 || frames <= 0 || !Ahead.empty())
        return;
    Ahead.resize(static_cast<size_t>(frames * frameBytes));
    BASS_ChannelGetData(PitchStreamRef, Ahead.data(), static_cast<uint32_t>(Ahead.size()));
}

// Serves the start of a read from what ReadAhead took, in whole frames as a read of the stream
// would; returns the bytes of `bytes` it filled (all n once the read ends inside it).
int64_t cAudioFileReader::TakeReadAhead(uint8_t* bytes, int64_t n, int64_t frameBytes)
{
    const int64_t left = static_cast<int64_t>(Ahead.size() - AheadServed);
    if (left <= 0)
        return 0;
    const int64_t whole = n / frameBytes * frameBytes;
    const int64_t taken = std::min(whole, left);
    std::memcpy(bytes, Ahead.data() + AheadServed, static_cast<size_t>(taken));
    AheadServed += static_cast<size_t>(taken);
    if (taken < whole)
        return taken; // the rest comes from the stream
    std::memset(bytes + taken, 0, static_cast<size_t>(n - taken)); // a part frame is silence, as from the stream
    return n;
}

// The mix time of the fragment's frame `frame` (counted from the first one Read delivered).
double cAudioFileReader::FrameSeconds(int64_t frame) const
{
    const int32_t rate = OutputFormat.Frequency > 0 ? OutputFormat.Frequency : 1;
    return FadeOriginSeconds + static_cast<double>(frame) / rate;
}

void cAudioFileReader::ApplyGain(int16_t* samples, int64_t frames, int channels, int64_t firstFrame) const
{
    const double full = std::max(0.0, MixParams.volume * 0.01);
    const double end = LengthMcs * 0.000001;
    const double t0 = FrameSeconds(firstFrame);
    const double t1 = FrameSeconds(firstFrame + frames);
    const bool fadingIn = MixParams.fadein && MixParams.fadeinlength > 0 && t0 < MixParams.fadeinlength;
    const bool fadingOut = MixParams.fadeout && MixParams.fadeoutlength > 0 && t1 > end - MixParams.fadeoutlength;
    if (!fadingIn && !fadingOut) {
        if (full == 1.0)
            return;
        for (int64_t i = 0; i < frames * channels; ++i)
            samples[i] = RoundToSample(samples[i] * full);
        return;
    }
    // Inside a fade the gain follows the fade's line frame by frame: a linear ramp from the gain at
    // the block's start to the gain at its end, bent where a fade begins or ends inside the block.
    // Each frame's time comes from its index in the fragment, not from the block's start, so that
    // the same frame gets the same gain whatever the block sizes.
    for (int64_t f = 0; f < frames; ++f) {
        const double gain = FragmentGain(MixParams, FrameSeconds(firstFrame + f), LengthMcs);
        int16_t* frame = samples + f * channels;
        for (int c = 0; c < channels; ++c)
            frame[c] = RoundToSample(frame[c] * gain);
    }
}
