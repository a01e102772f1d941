#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/sound/SoundLibrary.h"

// Sound that has to be made faster or slower than real time (export, CD rip, recording, the CD
// image) moves through a chain of nodes by pull: the consumer at the end hands a buffer to the node
// upstream and asks it to fill it. Every block is raw 16-bit signed PCM, channels interleaved, in
// the format the consuming node is configured for; the nodes carry no format description.
class TAudioTransformNode;

// The extension of a file name from its last "." that no "/", "\" or ":" follows, lower-cased
// (".mp3"); empty when there is none.
std::string LowerFileExtension(const std::string& name);

using TQueryDataEvent = std::function<void(TAudioTransformNode* Sender, void* Buffer, int Length)>;
using TNodeNotifyEvent = std::function<void(TAudioTransformNode* Sender)>;

// The base node: a pass-through with a tap. The upstream node writes first, then OnQueryData may
// look at or change the block in place (or fill it alone when there is no upstream node).
class TAudioTransformNode {
public:
    TAudioTransformNode() = default;
    virtual ~TAudioTransformNode(); // deletes SourceNode when OwnsSource
    TAudioTransformNode(const TAudioTransformNode&) = delete;
    TAudioTransformNode& operator=(const TAudioTransformNode&) = delete;

    TQueryDataEvent OnQueryData;
    TAudioTransformNode* SourceNode = nullptr; // upstream node; not owned unless OwnsSource
    bool OwnsSource = false;

    // Fills up to Length bytes of Buffer; returns the bytes written, -1 when a source has no more.
    // The base returns Length whatever the upstream node wrote.
    virtual int GetData(void* Buffer, int Length);
};

// A decoding file source with a loop and a read limit. Positions and lengths are fractions 0..1 of
// the stream's length in bytes; byte counts derived from them stay on whole 4-byte frames.
class TFileReadNode : public TAudioTransformNode {
public:
    TFileReadNode() = default;
    ~TFileReadNode() override;

    BassHandle read_channel = 0; // decoding stream of the open file; 0 when none
    bool EndSilence = true;      // at the end deliver zero blocks of the full length, not nothing
    TNodeNotifyEvent OnGetData;  // at the start of every GetData
    TNodeNotifyEvent OnLoop;     // each time the loop wraps

    const std::string& FileName() const { return fileName_; }
    // Opens the file (an empty name closes it). Throws std::runtime_error with
    // "FileReadNode - can't open file. Add AudioApplication component to form.\r\n" + the name when
    // no decoder opens it; the node then has no stream.
    void SetFileName(const std::string& name);

    float GetPos() const;
    void SetPos(float f); // seeks, and clears the loop, the read limit and Over
    void SetPlayPosition(float f);
    float ReadLen() const { return readLen_; }
    void SetReadLen(float f);
    float LoopLen() const { return loopLen_; }
    void SetLoopLen(float f); // from the present position
    float LastSetPos() const { return lastSetPos_; }
    float RealPlayPosition() const;
    float GetTotalTime() const; // stream length, seconds
    int SampleRate() const;     // 0 without a stream
    int Channels() const;
    bool Over() const { return over_; }
    int64_t BytesSent() const { return bytesSent_; }

    int GetData(void* Buffer, int Length) override;

private:
    int64_t StreamLength() const; // bytes; 0 without a stream
    int64_t FractionBytes(double f) const;
    int DeliverEnd(void* Buffer, int Length);
    void SkipDecoded(int64_t bytes);

    std::string fileName_;
    float readLen_ = 0;
    float loopLen_ = 0;
    float loopStart_ = 0;
    float lastSetPos_ = 0;
    int64_t loopStartByte_ = 0, loopEndByte_ = 0;
    int64_t readLimit_ = 0;
    bool over_ = false;
    int64_t bytesSent_ = 0;
};
