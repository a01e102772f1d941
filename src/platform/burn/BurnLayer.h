#pragma once

// Our burning layer: drives, media and the audio CD write, over a backend. The product runs on
// libburn; tests install a simulated burner. Everything here runs on the caller's thread except
// the write itself, which the backend runs on its own thread while the caller polls its status.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace burner {

// What kind of disc a drive holds, as the burner device shows it.
enum MediaCode : uint8_t {
    MediaUnknown = 0, MediaCdRom = 1, MediaCdR = 2, MediaCdRw = 3, MediaDvdRom = 4, MediaDvdR = 5,
    MediaDvdRam = 6, MediaDvdRw = 7, MediaDvdPlusRw = 9, MediaDvdPlusR = 13, MediaEmpty = 14,
    MediaDvdPlusRDl = 15, MediaDvdRDl = 16, MediaBdRom = 17, MediaBdR = 18, MediaBdRe = 19,
    MediaHdDvdRom = 20, MediaHdDvdR = 21, MediaHdDvdRw = 22
};

// The media code of an MMC profile number (0 for the unknown ones and the pseudo-drives).
uint8_t MediaCodeOfProfile(int profile);

// How much of the disc is written.
enum DiscStatus : int { DiscBlank = 0, DiscIncomplete = 1, DiscComplete = 2, DiscOther = 3 };

struct DriveAddress {
    std::string path;                     // "/dev/sr0"
    int port = 0, bus = 0, target = 0, lun = 0; // the SCSI address, 0 where the system has none
};

struct Identity {
    std::string vendor, product, revision; // padded with blanks to 8, 16 and 4 characters
    uint32_t cacheBytes = 0;
};

struct WriteModes {
    bool trackAtOnce = false, sessionAtOnce = false, discAtOncePQ = false, discAtOnceRaw = false;
};

struct TrackInfo {
    int track = 0;
    bool blank = false, nwaValid = false;
    int32_t nwa = 0, freeBlocks = 0;
};

struct Toc {
    bool valid = false, dvd = false;
    int sessions = 0;
    std::vector<int32_t> trackStarts; // start block of every track, then the lead-out
};

// Speeds in units of 1000 bytes per second (1x CD = 176.4).
struct Speeds {
    int currentRead = 0, maxRead = 0, currentWrite = 0, maxWrite = 0;
    std::vector<int> writeSpeeds; // what the drive's descriptors offer, ascending
};

struct WriteTrack {
    std::string wavPath, title, performer;
};

enum class WriteType { TrackAtOnce, SessionAtOnce, Raw };

struct WriteJob {
    WriteType type = WriteType::SessionAtOnce;
    std::vector<WriteTrack> tracks;
    bool cdText = false; // the disc and track texts go into the lead-in
    std::string discTitle, discPerformer;
    bool simulate = false, underrunProof = true, opc = false;
};

enum class WritePhase { Idle, Preparing, LeadIn, Writing, Closing };

struct WriteStatus {
    WritePhase phase = WritePhase::Idle;
    int64_t sectors = 0, sector = 0; // of the whole write
    int track = 0;                   // index of the track being written (0 the first)
    int64_t trackSectors = 0, trackSector = 0; // of that track
};

// The audio of a WAV file: where its data chunk lies. Only 44100 Hz stereo 16-bit PCM is audio CD.
struct WavAudio {
    int64_t dataOffset = 0, dataBytes = 0;
};
// False with a reason in `error` when the file is missing, not RIFF/WAVE, not CD audio or cut short.
bool ReadWavAudio(const std::string& path, WavAudio& audio, std::string& error);

// The best speed of `offered` not above `goal` (a speed up to 1 % above the goal counts as the
// goal: drives round 1x to 176.4); 0 when goal is 0 (the maximum) or nothing fits.
int BestSpeedNotAbove(const std::vector<int>& offered, int goal);

// One grabbed drive. Destroying it releases the drive.
class Drive {
public:
    virtual ~Drive() = default;
    virtual Identity GetIdentity() = 0;
    virtual WriteModes GetWriteModes() = 0;
    virtual bool UnitReady() = 0;
    virtual uint8_t GetMediaCode() = 0;
    virtual bool GetDiscStatus(int& status) = 0;
    virtual bool GetNextTrack(TrackInfo& info) = 0;
    virtual bool GetToc(Toc& toc) = 0;
    virtual bool GetSpeeds(Speeds& speeds) = 0;
    // Asks for `goal` (0 = the maximum); `taken` is the speed the drive will use.
    virtual bool SetWriteSpeed(int goal, int& taken) = 0;
    // Whether the drive has buffer underrun protection; whether it is on cannot be read.
    virtual bool UnderrunProofSupported() = 0;
    virtual bool SetUnderrunProof(bool on) = 0;
    virtual bool Eject() = 0; // releases the drive with the tray open; the object is spent
    // Checks the job against drive and disc and starts it; it runs until the status is Idle.
    virtual bool StartWrite(const WriteJob& job) = 0;
    virtual WriteStatus PollWrite() = 0;
    virtual bool WroteWell() = 0;
    virtual std::string ErrorText() = 0; // why the last call failed (at most 1023 bytes)
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool Start() = 0;
    virtual std::vector<DriveAddress> Scan() = 0;
    virtual std::unique_ptr<Drive> Grab(const std::string& path) = 0; // null on failure
    virtual std::string ErrorText() = 0;
};

// The backend every caller uses: libburn unless a test installed another (nullptr restores it).
Backend& CurrentBackend();
void SetBackend(Backend* backend);

// libburn's CD-TEXT packs (18 bytes each, CRCs included) for the job's disc and track texts; no
// drive is needed. Empty when libburn cannot build them.
std::vector<uint8_t> CdTextPacks(const WriteJob& job);

} // namespace burner
