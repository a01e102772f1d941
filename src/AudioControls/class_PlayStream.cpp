#include "AudioControls/class_PlayStream.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/trace/Trace.h"
#include "platform/sound/SoundCD.h"

namespace {

constexpr double kResumeSlackSeconds = 0.5;

// Holds the channel for a sequence of calls, so that its syncs (which run on the output thread)
// see the player's fields either before or after the sequence, never half-way.
class ChannelLock {
public:
    explicit ChannelLock(BassHandle channel) : channel(channel) { BASS_ChannelLock(channel, true); }
    ~ChannelLock() { BASS_ChannelLock(channel, false); }
    ChannelLock(const ChannelLock&) = delete;
    ChannelLock& operator=(const ChannelLock&) = delete;

private:
    BassHandle channel;
};

BassHandle OpenPlayable(const std::string& name)
{
    for (auto open : {BASS_StreamCreateFile, BASS_WMA_StreamCreateFile, BASS_FLAC_StreamCreateFile, BASS_CD_StreamCreateFile})
        if (BassHandle stream = open(name, 0))
            return stream;
    return 0;
}

} // namespace

TPlayStream::TPlayStream(QObject* owner) : QObject(owner)
{
    endTimer.setInterval(1);
    endTimer.setSingleShot(false);
    connect(&endTimer, &QTimer::timeout, this, &TPlayStream::OnOverTimerProcedure);
}

TPlayStream::~TPlayStream() { FreeStream(); }

void TPlayStream::FreeStream()
{
    if (!read_channel)
        return;
    Stop();
    BASS_StreamFree(read_channel); // waits for a sync that is running
    read_channel = 0;
}

void TPlayStream::SetFileName(const std::string& name)
{
    FreeStream();
    fileName.clear();
    if (name.empty())
        return;
    read_channel = OpenPlayable(name);
    if (!read_channel)
        throw std::runtime_error(kCantCreatePlayChannel + name);
    fileName = name;
    SetVolume(volume);
}

void TPlayStream::PlayFile(const std::string& name)
{
    SetFileName(name);
    Play(0.0f, 1.0f, false, false);
}

std::int64_t TPlayStream::BytesAt(double fraction) const
{
    const double bytes = double(BASS_ChannelGetLength(read_channel)) * fraction;
    return std::isfinite(bytes) ? static_cast<std::int64_t>(std::clamp(bytes, 0.0, 9.0e18)) : 0;
}

void TPlayStream::Play(float start, float length, bool loop, bool seek)
{
    if (!read_channel)
        return;
    ChannelLock lock(read_channel);
    const std::int64_t resumePoint =
        BASS_ChannelGetPosition(read_channel) + BASS_ChannelSeconds2Bytes(read_channel, kResumeSlackSeconds);
    Stop();
    const std::int64_t rangeEnd = BytesAt(double(start) + double(length)); // 64-bit: long files loop and end too
    if (seek || resumePoint >= rangeEnd)
        BASS_ChannelSetPosition(read_channel, BytesAt(start));
    if (length != 0.0f) {
        if (loop) {
            loopStart = start;
            loopLength = length;
            looping = true;
        }
        endSync = BASS_ChannelSetSync(read_channel, BASS_SYNC_POS | BASS_SYNC_ONETIME, rangeEnd,
                                      loop ? PlayStreamLoopSync : PlayStreamEndSync, this);
    }
    if (!BASS_ChannelPlay(read_channel, false)) {
        Stop();
        trace("Preview: playback of " + fileName + " did not start");
        return;
    }
    playing = true;
}

void TPlayStream::Stop()
{
    if (!read_channel) {
        playing = false;
        return;
    }
    ChannelLock lock(read_channel);
    if (endSync)
        BASS_ChannelRemoveSync(read_channel, endSync);
    endSync = 0;
    BASS_ChannelStop(read_channel);
    playing = false;
    looping = false;
}

void TPlayStream::SetLoop(float start, float length)
{
    if (!read_channel)
        return;
    ChannelLock lock(read_channel);
    loopStart = start;
    loopLength = length;
}

void TPlayStream::SetPlayPosition(float position)
{
    if (read_channel)
        BASS_ChannelSetPosition(read_channel, BytesAt(position));
}

void TPlayStream::SetVolume(float value)
{
    volume = value;
    if (!read_channel)
        return;
    const float percent = std::isfinite(value) ? std::clamp(value * 100.0f, 0.0f, 100.0f) : 0.0f;
    BASS_ChannelSetAttributes(read_channel, 0, static_cast<int>(percent), BASS_ATTRIB_KEEP_PAN);
}

float TPlayStream::GetPos() const
{
    const std::int64_t length = LenBytes();
    return length > 0 ? static_cast<float>(double(BASS_ChannelGetPosition(read_channel)) / double(length)) : 0.0f;
}

float TPlayStream::LenSec() const
{
    return read_channel ? static_cast<float>(BASS_ChannelBytes2Seconds(read_channel, LenBytes())) : 0.0f;
}

std::int64_t TPlayStream::LenBytes() const
{
    return read_channel ? std::max<std::int64_t>(BASS_ChannelGetLength(read_channel), 0) : 0;
}

void TPlayStream::OnOverTimerProcedure()
{
    endTimer.stop();
    if (OnOver)
        OnOver(this);
}

// Output thread, channel held: stop there and let the UI thread report the end.
void TPlayStream::PlayStreamEndSync(BassSync, BassHandle, uint32_t, void* user)
{
    auto* self = static_cast<TPlayStream*>(user);
    self->endSync = 0; // one-time: already gone
    self->Stop();
    QMetaObject::invokeMethod(self, [self] { self->endTimer.start(); }, Qt::QueuedConnection);
}

// Output thread, channel held: back to the loop start, with the next sync at its end.
void TPlayStream::PlayStreamLoopSync(BassSync, BassHandle, uint32_t, void* user)
{
    auto* self = static_cast<TPlayStream*>(user);
    self->endSync = 0;
    self->Play(self->loopStart, self->loopLength, true, true);
}
