#include "engine/class_EncoderNode.h"

#include <algorithm>
#include <climits>
#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/sound/SoundEncoder.h"
#include "platform/trace/Trace.h"
#include "platform/trace/UserMessage.h"

TEncoderNode::TEncoderNode()
{
    SetOutputMP3(true);
    SetOutputFileName("c:\\out.mp3");
}

TEncoderNode::~TEncoderNode()
{
    *alive_ = false;
    if (running_)
        BASS_Encode_Cancel(ReadChannel);
    if (ReadChannel)
        BASS_StreamFree(ReadChannel);
}

void TEncoderNode::SetOutputMP3(bool on)
{
    if (on) {
        outputMP3_ = true;
        outputWAV_ = outputPCM_ = false;
    }
}

void TEncoderNode::SetOutputWAV(bool on)
{
    if (on) {
        outputWAV_ = true;
        outputMP3_ = outputPCM_ = false;
    }
}

void TEncoderNode::SetOutputPCM(bool on)
{
    if (on) {
        outputPCM_ = true;
        outputMP3_ = outputWAV_ = false;
    }
}

void TEncoderNode::OutputFormatDetect()
{
    const std::string ext = LowerFileExtension(outputFileName_);
    if (ext == ".mp3")
        SetOutputMP3(true);
    else if (ext == ".wav")
        SetOutputWAV(true);
    else
        throw std::runtime_error(ext + " type not supported.");
}

std::vector<std::string> TEncoderNode::Mp3Arguments() const
{
    std::vector<std::string> arguments{"lame", "-m", MP3Channels == 1 ? "m" : "j", "-b", std::to_string(MP3KBitRate)};
    std::istringstream keys(LameKeys);
    for (std::string key; keys >> key;)
        arguments.push_back(key);
    arguments.push_back("-"); // the sound comes on standard input
    return arguments;
}

void TEncoderNode::Stop() { stopRequest_ = true; }

void TEncoderNode::Cancel()
{
    stopRequest_ = true;
    cancelRequest_ = true;
}

bool TEncoderNode::Fail(const std::string& text, const std::string& reason)
{
    errorText_ = text + "\r\nFile name: " + outputFileName_;
    if (!reason.empty())
        errorText_ += "\r\n" + reason;
    trace(errorText_);
    return false;
}

bool TEncoderNode::Encode()
{
    stopRequest_ = false;
    cancelRequest_ = false;
    errorText_.clear();
    keptSeconds_ = 0;
    if (ReadChannel)
        BASS_StreamFree(ReadChannel);
    ReadChannel = BASS_StreamCreate(static_cast<uint32_t>(SampleRate), static_cast<uint32_t>(Channels),
                                    BASS_STREAM_DECODE, &TEncoderNode::EncoderStreamProc, this);
    if (!ReadChannel)
        return Fail("Can't create the encoder's sound stream.", "");
    return EncodeChannel(ReadChannel);
}

uint32_t TEncoderNode::EncoderStreamProc(BassHandle, void* buffer, uint32_t length, void* user)
{
    auto* node = static_cast<TEncoderNode*>(user);
    std::memset(buffer, 0, length);
    const std::shared_ptr<bool> alive = node->alive_;
    const int size = static_cast<int>(std::min<uint32_t>(length, INT32_MAX));
    int result = size;
    if (node->SourceNode)
        result = node->SourceNode->GetData(buffer, size);
    else if (node->OnQueryData)
        node->OnQueryData(node, buffer, size);
    if (!*alive || result < 0)
        return BASS_STREAM_END;
    return static_cast<uint32_t>(std::min(result, size));
}

int64_t TEncoderNode::TimeLimitBytes() const
{
    if (!(EncodeTimeLimit > 0))
        return 0;
    const double bytes = Channels * static_cast<double>(EncodeTimeLimit) * SampleRate * 2.0;
    const int64_t limit = bytes >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(bytes);
    return limit - limit % 4;
}

bool TEncoderNode::StartEncoder(BassHandle channel)
{
    const uint32_t keep = KeepPartOnFailure ? BASS_ENCODE_KEEPPART : 0;
    if (outputMP3_) {
        if (!BASS_Encode_StartProgram(channel, Mp3Arguments(), outputFileName_, BASS_ENCODE_AUTOFREE | keep))
            return Fail("Can't start MP3 encoder.");
        if (RealTimeProcess)
            BASS_Encode_RaisePriority(channel); // best effort: refused without the privilege
        return true;
    }
    const uint32_t kind = outputWAV_ ? BASS_ENCODE_PCM : BASS_ENCODE_NOHEAD;
    if (!BASS_Encode_StartFile(channel, outputFileName_, kind | keep | BASS_ENCODE_AUTOFREE))
        return Fail("Can't create the output file.");
    return true;
}

bool TEncoderNode::EncodeChannel(BassHandle channel)
{
    const std::shared_ptr<bool> alive = alive_;
    ProgressBytes = 0;
    if (OnEncodeProgress)
        OnEncodeProgress(this);
    if (!*alive)
        return false;
    if (!StartEncoder(channel))
        return false;
    running_ = true;
    const bool fed = RunLoop(channel, alive);
    if (!*alive)
        return false; // the destructor has cancelled the output
    running_ = false;
    if (cancelRequest_) {
        BASS_Encode_Cancel(channel);
        errorText_.clear();
        return false;
    }
    const std::vector<uint64_t> keepEnds(KeepPartEnds.begin(), KeepPartEnds.end());
    const bool written = BASS_Encode_Stop(channel, &keptSeconds_, keepEnds);
    if (!fed || !written)
        return Fail(outputMP3_ ? "MP3 encoding failed." : "Can't write the output file.");
    return true;
}

// Steps of one run; false when the encoder refused data (the reason is the layer's error text).
bool TEncoderNode::RunLoop(BassHandle channel, const std::shared_ptr<bool>& alive)
{
    std::vector<char> buffer(BlockBytes);
    bytesRead_ = 0;
    const int64_t limit = TimeLimitBytes();
    for (;;) {
        if (OnEncodeProgress)
            OnEncodeProgress(this);
        if (!*alive)
            return false;
        int64_t block = BlockBytes;
        if (limit > 0 && bytesRead_ < limit && limit < bytesRead_ + BlockBytes)
            block = limit - bytesRead_;
        const int32_t count = BASS_ChannelGetData(channel, buffer.data(), static_cast<uint32_t>(block));
        if (!*alive)
            return false;
        if (count > 0 && !BASS_Encode_Write(channel, buffer.data(), static_cast<uint32_t>(count)))
            return false;
        if (count < 0)
            return true;
        bytesRead_ += count;
        ProgressBytes += count;
        if (limit > 0 && bytesRead_ >= limit)
            return true;
        if (count == 0) {
            LetUiBreathe();
            if (!*alive)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (StopOnDataEnd && count < BlockBytes)
            return true;
        if (stopRequest_)
            return true;
    }
}
