#pragma once

#include "engine/class_MixParams.h"
#include "engine/class_SoundDevice.h"
#include "platform/sound/SoundLibrary.h"
#include "platform/sound/SoundThread.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The row's gain at mix time t (seconds since the fragment's start) of a fragment that plays
// lengthMcs microseconds: volume x 0.01, scaled by the fade-in and the fade-out. A fade length of 0
// or less is no fade; the result lies in [0, volume x 0.01].
double FragmentGain(const MixParams& params, double t, int64_t lengthMcs);

// The playback rate that makes a source sound at its own speed when its samples are taken as if
// they were at the output rate: source^2 / output (64-bit product, truncating division).
float TempoSampleRate(uint32_t sourceFrequency, int32_t outputFrequency);

// Decodes one source file, changes its tempo and pitch, and applies the row's volume and fades to
// the samples it delivers (after the tempo stage, ramped within each block).
class cAudioFileReader {
public:
    BassHandle PitchDecodeBassStream = 0; // the tempo stream: the stream that is read
    BassChannelInfo ChannelInfo;          // of the decoding stream; channels as the tempo stream delivers
    std::unique_ptr<int16_t[]> ConvertBuffer; // the mixer's channel conversion scratch
    int64_t ConvertBufferSize = 0;            // bytes
    BassHandle DecodeStream = 0;
    SoundFormat OutputFormat;
    ::MixParams MixParams;
    int64_t pos_mcs = 0;   // source time consumed since the fragment's start, microseconds
    int64_t BytesRead = 0; // output bytes delivered
    int64_t LengthMcs = 0; // the fragment's playing length in mix time; the fade-out ends there
    std::string FileName;
    // A file already reported missing (when its project loaded) plays silence without a message.
    bool QuietWhenMissing = false;

    cAudioFileReader() = default;
    ~cAudioFileReader();
    cAudioFileReader(const cAudioFileReader&) = delete;
    cAudioFileReader& operator=(const cAudioFileReader&) = delete;

    // Why opening left the reader silent, kept so that the message can be shown later.
    enum class OpenFault { None, Missing, NoStream, NoPitchStream, TempoRefused };

    // Opens the file and sets tempo and pitch from MixParams. Failures are reported by a message
    // (queued when called off the UI thread); the reader then delivers silence.
    void SetFileName(const std::string& fileName, SoundFormat outputFormat);

    // SetFileName without its trace line and message, for a reader opened ahead of its row's start
    // on another thread: ReportOpen gives both when the row starts.
    void Open(const std::string& fileName, SoundFormat outputFormat);
    SOUND_THREAD void ReportOpen() const; // traces one line; a message only for a failed opening

    // Takes a decode-only stream as the decoding stream (SetFileName's second half), builds the
    // tempo stream over it and sets tempo and pitch. 0: no stream, the reader is silent.
    void UseDecodingStream(BassHandle stream);

    OpenFault Fault() const { return OpenFaultSeen; }

    // The reader is as opening left it: its streams were not freed under it since (a new output
    // set-up frees every stream of the library), and no failure came from that.
    bool StreamsIntact() const;

    // Moves the decoding stream to `sourceSeconds` of source time and then on by the source frames
    // that `outputFramesLater` frames of output play (at the row's tempo and the source's own rate):
    // whole frames, so that a row joining late sounds exactly as it would have there.
    void SetPosition(double sourceSeconds, int64_t outputFramesLater = 0);

    // Counts the fragment's first `outputFrames` frames as played: the fades go on from there.
    void PassOver(int64_t outputFrames);

    // Sets the tempo stream from MixParams (tempo change, playback rate, pitch). False when the
    // stream refuses the values; the previous setting then stays. Shows no message, so it may be
    // called under the mixer's lock.
    bool ApplyTempo();

    // Fills n bytes with 16-bit samples at the source's channel count, at the output rate. What the
    // streams cannot deliver is silence.
    SOUND_THREAD void Read(void* buffer, int64_t n);

    // Takes the first `frames` frames from the streams into a buffer that Read serves first: where
    // a source is prepared ahead of its row's start, so that the start does not pay for the
    // stretcher's first fill. The samples Read delivers stay the same.
    void ReadAhead(int64_t frames);

    // Mix time elapsed in the fragment, seconds.
    double ElapsedMixSeconds() const;

private:
    double FrameSeconds(int64_t frame) const;
    void ApplyGain(int16_t* samples, int64_t frames, int channels, int64_t firstFrame) const;
    int64_t TakeReadAhead(uint8_t* bytes, int64_t n, int64_t frameBytes);
    void FreeStreams();
    void AttachDecodingStream(BassHandle stream);
    void ShowFault() const;

    // The two streams resolved once when opened, so that reading them looks nothing up in the sound
    // library's handle table (shared by every thread). They keep the streams' objects alive until
    // the reader frees them.
    BassStreamRef PitchStreamRef;
    BassStreamRef DecodeStreamRef;

    OpenFault OpenFaultSeen = OpenFault::None;
    std::string MissingFileName; // the name asked for, when no such file existed
    std::vector<uint8_t> Ahead;  // what ReadAhead took, whole frames
    size_t AheadServed = 0;      // bytes of it Read has delivered

    bool TempoRefused = false; // the opening tempo or pitch was refused: the reader is silent
    double PosCarryMcs = 0;    // what pos_mcs has not yet counted, below one microsecond
    double FadeOriginSeconds = 0; // mix time of the first frame Read delivered (the start offset)
};

// One sounding row: a reader that counts down the fragment's remaining playing time.
class cFileSoundSource : public cAudioFileReader {
public:
    int64_t RemainingMcs = 0; // playing time still to deliver, microseconds of mix time
    uint8_t Finished = 0;     // the fragment is over; the mixer destroys the source
    int64_t CountdownCarry = 0; // the mixer's remainder of block durations below one microsecond
};
