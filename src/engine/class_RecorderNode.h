#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/class_AudioTransformNode.h"

using TRecordBlockEvent = std::function<void(TAudioTransformNode* Sender, const void* Buffer, int Length)>;

// The source node of a recording: the sound library's recording thread hands it blocks of 16-bit
// PCM; it measures their peaks for a level meter and, while Record is on, keeps them in a fixed
// buffer that a consumer (an encoder node) drains with GetData. Capture (levels only) and
// recording (levels and data) are switched apart, so a meter moves before anything is recorded.
class TRecorderNode : public TAudioTransformNode {
public:
    static constexpr uint32_t RECBUFLEN = 1280000; // about 7.26 s of 44100 Hz 16-bit stereo

    TRecorderNode();
    ~TRecorderNode() override; // ends capture; no event fires any more

    int32_t Frequency = 44100;
    int32_t Channels = 2;
    // Peaks of the last block, 0..1; written by the recording thread, read by a meter's timer.
    std::atomic<float> amp_left{0}, amp_right{0}, amp_mid{0};
    int32_t Device = 0; // 0 the system's default input, n the library's recording device n - 1

    // Run with the node's mutex held, on the recording thread (OnAmpChanged also on the thread
    // that switches capture off): no handler may touch a widget.
    TNodeNotifyEvent OnAmpChanged;   // after every captured block, and once when capture ends
    TRecordBlockEvent OnRecordBlock; // every captured block, before it is stored

    // Capture on the device Device (true restarts it). When the device can't be opened Active
    // stays false, the levels are 0 and the reason is in ErrorText and the trace.
    void SetActive(bool active);
    bool Active() const { return active_; }
    // Recording on: RecordTime restarts at 0. Off: the bytes not yet pulled are dropped.
    void SetRecord(bool record);
    bool Record() const;
    float RecordTime() const; // seconds kept since Record was last switched on
    uint32_t Recorded() const { return recorded_; }
    // Bytes that did not fit into the buffer (the consumer pulled too late) since the node was made.
    int64_t DroppedBytes() const;
    const std::string& ErrorText() const { return errorText_; }

    // "Default Device", then the library's recording devices from 0 on.
    const std::vector<std::string>& GetDevices();

    // Moves up to Length recorded bytes, oldest first, into Buffer; never waits for data.
    int GetData(void* Buffer, int Length) override;
    void Start() {} // a recorder starts with SetActive

    // The library's record procedure (recording thread).
    static bool RecorderNode_RecordCallback(BassHandle handle, const void* block, uint32_t length, void* node);
    // The largest absolute sample of one channel (0 left, 1 right; others count as 0) of
    // interleaved stereo 16-bit frames, clamped to 32767.
    static int PeakOfChannel(const void* block, uint32_t length, int channel);

private:
    void OnBlock(const void* block, uint32_t length);
    void OnCaptureEnd();
    void Store(const void* block, uint32_t length);
    void DropLevels();

    mutable std::recursive_mutex mutex_; // buffer, recorded_, record_, recordBytes_, dropped
    std::unique_ptr<char[]> buffer_;
    std::atomic<uint32_t> recorded_{0};
    bool record_ = false;
    // Counted in bytes: a float summed block by block would drift by seconds in an hour.
    int64_t recordBytes_ = 0;
    int64_t droppedBytes_ = 0;
    bool overflowing_ = false;
    std::atomic<bool> active_{false}; // false again when the device stops delivering
    bool started_ = false;            // this node opened the library's recording
    std::string errorText_;
    std::vector<std::string> devices_;
};
