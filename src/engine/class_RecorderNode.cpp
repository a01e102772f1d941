#include "engine/class_RecorderNode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/sound/SoundRecord.h"
#include "platform/trace/Trace.h"

TRecorderNode::TRecorderNode() : buffer_(new char[RECBUFLEN]) {}

TRecorderNode::~TRecorderNode()
{
    // Not under the mutex: freeing waits for the block in hand, whose callback takes the mutex.
    OnAmpChanged = nullptr;
    OnRecordBlock = nullptr;
    if (started_)
        BASS_RecordFree();
}

const std::vector<std::string>& TRecorderNode::GetDevices()
{
    devices_.assign(1, "Default Device");
    for (int i = 0;; ++i) {
        std::string text = BASS_RecordGetDeviceText(i);
        if (text.empty())
            break;
        devices_.push_back(std::move(text));
    }
    return devices_;
}

void TRecorderNode::SetActive(bool active)
{
    BASS_RecordFree();
    started_ = false;
    active_ = false;
    errorText_.clear();
    if (active) {
        if (!BASS_RecordInit(Device - 1))
            errorText_ = "There is no recording device number " + std::to_string(Device) + ".";
        else if (!BASS_RecordStart(static_cast<uint32_t>(Frequency), static_cast<uint32_t>(Channels), 0,
                                   &TRecorderNode::RecorderNode_RecordCallback, this))
            errorText_ = "The recording device can't be opened (it may be in use, unplugged, or refuse " +
                         std::to_string(Frequency) + " Hz with " + std::to_string(Channels) + " channels).";
        if (errorText_.empty()) {
            std::lock_guard<std::recursive_mutex> lock(mutex_);
            recordBytes_ = 0;
            started_ = true;
            active_ = true;
            return;
        }
        trace("Recorder: " + errorText_);
        BASS_RecordFree();
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    DropLevels();
}

void TRecorderNode::DropLevels()
{
    amp_left = amp_right = amp_mid = 0;
    if (OnAmpChanged)
        OnAmpChanged(this);
}

void TRecorderNode::SetRecord(bool record)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (record)
        recordBytes_ = 0;
    else
        recorded_ = 0;
    record_ = record;
}

bool TRecorderNode::Record() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return record_;
}

float TRecorderNode::RecordTime() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int bytesPerSecond = Frequency * Channels * 2;
    return bytesPerSecond > 0 ? static_cast<float>(static_cast<double>(recordBytes_) / bytesPerSecond) : 0.0f;
}

int64_t TRecorderNode::DroppedBytes() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return droppedBytes_;
}

int TRecorderNode::GetData(void* Buffer, int Length)
{
    if (recorded_.load() == 0 || Length <= 0)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const uint32_t n = std::min(static_cast<uint32_t>(Length), recorded_.load());
    std::memcpy(Buffer, buffer_.get(), n);
    std::memmove(buffer_.get(), buffer_.get() + n, recorded_ - n);
    recorded_ -= n;
    return static_cast<int>(n);
}

int TRecorderNode::PeakOfChannel(const void* block, uint32_t length, int channel)
{
    const auto* samples = static_cast<const int16_t*>(block);
    const uint32_t offset = channel == 1 ? 1 : 0;
    int peak = 0;
    for (uint32_t frame = 0; frame < length / 4; ++frame)
        peak = std::max(peak, std::abs(static_cast<int>(samples[frame * 2 + offset])));
    return std::min(peak, 32767);
}

bool TRecorderNode::RecorderNode_RecordCallback(BassHandle, const void* block, uint32_t length, void* node)
{
    auto* self = static_cast<TRecorderNode*>(node);
    if (!block || length == 0) {
        self->OnCaptureEnd();
        return false;
    }
    self->OnBlock(block, length);
    return true;
}

void TRecorderNode::OnBlock(const void* block, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const float left = PeakOfChannel(block, length, 0) * (1.0f / 32767);
    const float right = PeakOfChannel(block, length, 1) * (1.0f / 32767);
    amp_left = left;
    amp_right = right;
    amp_mid = std::max(left, right);
    if (OnRecordBlock)
        OnRecordBlock(this, block, static_cast<int>(length));
    if (record_)
        Store(block, length);
    if (OnAmpChanged)
        OnAmpChanged(this);
}

// A consumer that stops pulling (the UI thread held up by a dialog) must not make the buffer
// overflow: what fits is kept, whole frames only; the rest is counted and traced once per spell.
void TRecorderNode::Store(const void* block, uint32_t length)
{
    const uint32_t frameBytes = static_cast<uint32_t>(std::max(1, Channels * 2));
    uint32_t fit = std::min(length, RECBUFLEN - recorded_);
    fit -= fit % frameBytes;
    std::memcpy(buffer_.get() + recorded_, block, fit);
    recorded_ += fit;
    recordBytes_ += fit;
    if (fit < length) {
        droppedBytes_ += length - fit;
        if (!overflowing_)
            trace("Recorder: the record buffer is full, recorded sound is being dropped");
        overflowing_ = true;
    } else {
        overflowing_ = false;
    }
}

// The device went away: capture has ended and the meter drops to silence.
void TRecorderNode::OnCaptureEnd()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    active_ = false;
    trace("Recorder: capture ended, the recording device stopped delivering");
    DropLevels();
}
