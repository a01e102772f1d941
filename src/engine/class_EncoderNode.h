#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/class_AudioTransformNode.h"
#include "platform/sound/SoundEncoder.h"

// The sink of a pull chain: writes what its SourceNode or its OnQueryData event delivers into an
// MP3 file (through the external `lame` program) or a WAV file. Encode runs the whole run on the
// calling thread (the UI thread), pulling two-second blocks until it is stopped, reaches its time
// limit or its source runs out.
class TEncoderNode : public TAudioTransformNode {
public:
    TEncoderNode();
    ~TEncoderNode() override; // a run still going is cancelled (its output discarded)

    std::string LameKeys = "-h"; // extra switches of the MP3 encoder, separated by blanks
    bool StopOnDataEnd = false;  // a block shorter than asked ends the run
    bool RealTimeProcess = true; // raise the MP3 encoder's priority (best effort)
    int32_t SampleRate = 44100;
    int32_t Channels = 2;
    float EncodeTimeLimit = 0; // seconds to encode; 0 = no limit
    TNodeNotifyEvent OnEncodeProgress; // before every block and once at the start
    int64_t ProgressBytes = 0;         // bytes delivered in the current or last run
    int32_t MP3KBitRate = 256;
    int32_t MP3Channels = 2; // 1 = mono MP3, else joint stereo
    BassHandle ReadChannel = 0; // the user stream of the current or last run
    // For sound that cannot be made again (a recording) or is slow to (the tracks of a one-file
    // rip): when the encoder fails part way, the sound it wrote before is kept under
    // OutputFileName (whole MP3 frames or WAV sample frames that decode to exactly that sound).
    // Encode still returns false with ErrorText; KeptSeconds says how much was kept. Off, a failed
    // run leaves no file, which exports and the separate tracks of a rip rely on.
    bool KeepPartOnFailure = false;
    // Where a kept part may end, as counts of ProgressBytes in ascending order (the ends of the
    // tracks of a one-file rip): the last one the output holds whole; nothing when it holds none.
    // Empty: the kept part ends wherever the output does.
    std::vector<int64_t> KeepPartEnds;

    static constexpr int32_t BlockBytes = 352800; // two seconds of 44100 Hz 16-bit stereo

    // Exactly one output kind is selected; assigning true selects it (false changes nothing).
    bool OutputMP3() const { return outputMP3_; }
    bool OutputWAV() const { return outputWAV_; }
    bool OutputPCM() const { return outputPCM_; } // raw PCM without a header
    void SetOutputMP3(bool on);
    void SetOutputWAV(bool on);
    void SetOutputPCM(bool on);

    const std::string& OutputFileName() const { return outputFileName_; }
    void SetOutputFileName(const std::string& name) { outputFileName_ = name; }

    // Selects MP3 or WAV by the lower-cased extension of OutputFileName; any other throws
    // std::runtime_error("<extension> type not supported.").
    void OutputFormatDetect();

    // One run into OutputFileName. True when the file was written completely; false when the run
    // could not start or the output failed (ErrorText says why; no file is left behind unless
    // KeepPartOnFailure kept a part) and after Cancel. Stop ends a run normally: the output
    // written so far is kept.
    bool Encode();
    void Stop();   // the run ends after the block in hand
    void Cancel(); // as Stop, and the output is discarded
    bool Running() const { return running_; }
    const std::string& ErrorText() const { return errorText_; } // of the last run; empty after a success
    double KeptSeconds() const { return keptSeconds_; } // of a failed last run; see KeepPartOnFailure

    // The MP3 encoder's argument list without the output file (the layer puts it last):
    // lame -m j -b 256 -h -
    std::vector<std::string> Mp3Arguments() const;

    // The user stream's procedure: zero-fills, then pulls the block from SourceNode or OnQueryData.
    static uint32_t EncoderStreamProc(BassHandle handle, void* buffer, uint32_t length, void* user);

private:
    bool EncodeChannel(BassHandle channel);
    bool StartEncoder(BassHandle channel);
    bool RunLoop(BassHandle channel, const std::shared_ptr<bool>& alive);
    int64_t TimeLimitBytes() const;
    // Keeps "<text>\r\nFile name: <file>\r\n<reason>" as the error; the reason is the layer's.
    bool Fail(const std::string& text, const std::string& reason = BASS_Encode_ErrorText());

    std::string outputFileName_;
    bool outputMP3_ = false, outputWAV_ = false, outputPCM_ = false;
    bool stopRequest_ = false;
    bool cancelRequest_ = false;
    bool running_ = false;
    int64_t bytesRead_ = 0;
    std::string errorText_;
    double keptSeconds_ = 0;
    // Cleared by the destructor, so that a run whose node was destroyed inside one of its events
    // (a window closed while messages were processed) returns without touching it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
