#pragma once

// Previews one sound file through the output, outside the mix: a range given as fractions 0..1 of
// the file, played once (then OnOver fires on the UI thread) or in a loop.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QTimer>

#include "platform/sound/SoundLibrary.h"

// The start of the message when no opener takes the file (the file name follows).
inline constexpr const char* kCantCreatePlayChannel =
    "TransformChannel::Can't create read channel. Is BASS Initialized?\r\n";

class TPlayStream : public QObject {
    Q_OBJECT
public:
    explicit TPlayStream(QObject* owner = nullptr);
    ~TPlayStream() override; // frees the stream: no sync of it runs afterwards

    std::function<void(QObject* Sender)> OnOver; // the range played to its end (not looping)

    const std::string& FileName() const { return fileName; }
    // Stops, frees the previous stream and opens the file (an empty name only frees). Throws
    // std::runtime_error(kCantCreatePlayChannel + name) when no opener takes it.
    void SetFileName(const std::string& name);
    void PlayFile(const std::string& name);

    // Plays `length` of the file from `start` (fractions; length 0: to the end, without OnOver).
    // Without `seek` playback resumes where it stopped unless that is within half a second of
    // the range end or past it.
    void Play(float start, float length, bool loop, bool seek);
    void Stop();
    // The loop range used from the next loop restart on (fractions), without restarting.
    void SetLoop(float start, float length);
    void SetPlayPosition(float position);

    bool IsPlaying() const { return playing; }
    float Volume() const { return volume; }
    void SetVolume(float value); // 0..1; the stream's volume is the truncated percent
    float Pos() const { return GetPos(); }
    float GetPos() const; // 0 without a file
    float LenSec() const; // 0 without a file
    std::int64_t LenBytes() const;
    BassHandle Channel() const { return read_channel; }

    void OnOverTimerProcedure();

private:
    static void PlayStreamEndSync(BassSync sync, BassHandle channel, uint32_t data, void* user);
    static void PlayStreamLoopSync(BassSync sync, BassHandle channel, uint32_t data, void* user);
    std::int64_t BytesAt(double fraction) const;
    void FreeStream();

    std::string fileName;
    BassHandle read_channel = 0;
    std::atomic<bool> playing{false};
    float volume = 1.0f;
    QTimer endTimer;
    // Shared with the sync procedures: changed only while the channel is locked.
    BassSync endSync = 0;
    float loopStart = 0.0f;
    float loopLength = 0.0f;
    bool looping = false;
};
