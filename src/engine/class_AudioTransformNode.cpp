#include "engine/class_AudioTransformNode.h"

#include "engine/class_AudioFileReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/sound/SoundCD.h"

TAudioTransformNode::~TAudioTransformNode()
{
    if (OwnsSource)
        delete SourceNode;
}

std::string LowerFileExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("\\/:", dot) != std::string::npos)
        return {};
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int TAudioTransformNode::GetData(void* Buffer, int Length)
{
    if (SourceNode)
        SourceNode->GetData(Buffer, Length);
    if (OnQueryData)
        OnQueryData(this, Buffer, Length);
    return Length;
}

// ---- TFileReadNode --------------------------------------------------------------------------

namespace {

int64_t DownToFrame(int64_t bytes) { return bytes - bytes % 4; }

} // namespace

TFileReadNode::~TFileReadNode()
{
    if (read_channel)
        BASS_StreamFree(read_channel);
}

void TFileReadNode::SetFileName(const std::string& name)
{
    if (read_channel)
        BASS_StreamFree(read_channel);
    read_channel = 0;
    if (name.empty())
        return;
    read_channel = BASS_StreamCreateFile(name, BASS_STREAM_DECODE);
    if (!read_channel)
        read_channel = BASS_WMA_StreamCreateFile(name, BASS_STREAM_DECODE);
    if (!read_channel)
        read_channel = BASS_CD_StreamCreateFile(name, BASS_STREAM_DECODE);
    if (!read_channel)
        throw std::runtime_error("FileReadNode - can't open file. Add AudioApplication component to form.\r\n" + name);
    fileName_ = name;
    over_ = false;
}

int64_t TFileReadNode::StreamLength() const
{
    const int64_t length = read_channel ? BASS_ChannelGetLength(read_channel) : 0;
    return std::max<int64_t>(length, 0);
}

int64_t TFileReadNode::FractionBytes(double f) const
{
    return DownToFrame(SaturateToInt64(static_cast<double>(StreamLength()) * f));
}

float TFileReadNode::GetPos() const
{
    const int64_t length = StreamLength();
    if (length == 0)
        return 0;
    return static_cast<float>(static_cast<double>(BASS_ChannelGetPosition(read_channel)) / length);
}

void TFileReadNode::SetPos(float f)
{
    SetPlayPosition(f);
    lastSetPos_ = f;
    over_ = false;
    bytesSent_ = 0;
    SetLoopLen(0);
    SetReadLen(0);
}

void TFileReadNode::SkipDecoded(int64_t bytes)
{
    std::vector<char> scratch(64 * 1024);
    while (bytes > 0) {
        const int32_t got = BASS_ChannelGetData(read_channel, scratch.data(),
                                                static_cast<uint32_t>(std::min<int64_t>(bytes, scratch.size())));
        if (got <= 0)
            return;
        bytes -= got;
    }
}

void TFileReadNode::SetPlayPosition(float f)
{
    if (!read_channel)
        return;
    const int64_t length = StreamLength();
    if (LowerFileExtension(fileName_) == ".mp3") {
        // Reach the point by decoding a quarter second up to it rather than by a raw seek.
        // Near the start the decoder runs from 0 up to the point itself.
        const int64_t point = SaturateToInt64(static_cast<double>(length) * f);
        const int64_t leadIn = BASS_ChannelSeconds2Bytes(read_channel, 0.25);
        const int64_t target = point - leadIn;
        BASS_ChannelSetPosition(read_channel, std::max<int64_t>(target, 0));
        SkipDecoded(target >= 0 ? leadIn : point);
    } else {
        BASS_ChannelSetPosition(read_channel, SaturateToInt64(static_cast<double>(length) * f));
    }
    bytesSent_ = DownToFrame(SaturateToInt64(static_cast<double>(length) * (f - lastSetPos_)));
}

void TFileReadNode::SetLoopLen(float f)
{
    loopLen_ = f;
    loopStart_ = GetPos();
    loopStartByte_ = read_channel ? DownToFrame(std::max<int64_t>(BASS_ChannelGetPosition(read_channel), 0)) : 0;
    loopEndByte_ = loopStartByte_ + FractionBytes(f);
    bytesSent_ = 0;
}

void TFileReadNode::SetReadLen(float f)
{
    if (!read_channel)
        return;
    readLen_ = f;
    readLimit_ = FractionBytes(f);
    bytesSent_ = 0;
    over_ = false;
}

float TFileReadNode::GetTotalTime() const
{
    return read_channel ? static_cast<float>(BASS_ChannelBytes2Seconds(read_channel, StreamLength())) : 0.0f;
}

float TFileReadNode::RealPlayPosition() const
{
    const float total = GetTotalTime();
    if (total <= 0)
        return lastSetPos_;
    return static_cast<float>(BASS_ChannelBytes2Seconds(read_channel, bytesSent_) / total) + lastSetPos_;
}

int TFileReadNode::SampleRate() const
{
    BassChannelInfo info;
    return read_channel && BASS_ChannelGetInfo(read_channel, &info) ? static_cast<int>(info.frequency) : 0;
}

int TFileReadNode::Channels() const
{
    BassChannelInfo info;
    return read_channel && BASS_ChannelGetInfo(read_channel, &info) ? static_cast<int>(info.channels) : 0;
}

int TFileReadNode::DeliverEnd(void* Buffer, int Length)
{
    over_ = true;
    if (!EndSilence)
        return 0;
    std::memset(Buffer, 0, static_cast<size_t>(Length));
    return Length;
}

int TFileReadNode::GetData(void* Buffer, int Length)
{
    if (OnGetData)
        OnGetData(this);
    if (!Buffer || Length <= 0)
        return 0;
    if (loopLen_ != 0) {
        const int64_t span = loopEndByte_ - loopStartByte_;
        if (bytesSent_ >= span) {
            SetPlayPosition(loopStart_);
            // Every pass counts from the loop start, so each one plays the whole loop.
            bytesSent_ = 0;
            if (OnLoop)
                OnLoop(this);
        } else if (bytesSent_ + Length >= span) {
            Length = static_cast<int>(span - bytesSent_);
        }
    }
    if (readLimit_ != 0) {
        if (bytesSent_ >= readLimit_)
            return DeliverEnd(Buffer, Length);
        if (bytesSent_ + Length > readLimit_)
            Length = static_cast<int>(readLimit_ - bytesSent_);
    }
    const int32_t count = read_channel ? BASS_ChannelGetData(read_channel, Buffer, static_cast<uint32_t>(Length)) : -1;
    if (count < 0)
        return DeliverEnd(Buffer, Length);
    bytesSent_ += count;
    return count;
}
