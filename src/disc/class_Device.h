#pragma once

// One CD burner as the burning layer presents it: how burners are found, what the device knows
// about each, the inserted disc, the write speeds, the eject and the audio CD write. Every line
// goes through the burning log: channel 0 the detail trace, channel 1 the short user lines.
//
// On Linux there is one interface: both discoveries run the same drive scan. The device keeps one
// grab of its drive (the "grabber") from its first use to its removal from BurnerList; the write
// reuses it, so no second open collides with the first.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/burn/BurnLayer.h"

// Speed in KB/s as the speed tables count (1x = 176) and its display text.
struct TSpeed {
    int32_t KBps = 0;
    const char* Text = "";
};
using TSpeeds = std::vector<TSpeed>;

struct TBurnOptions {
    bool SendOPC = false;
    int32_t Speed = 0;        // 0: the drive's maximum; the write stores the speed taken
    const char* SpeedText = "max";
    uint8_t WriteMode = 3;    // 0 track-at-once, 1 session-at-once, 2 raw, 3 session-at-once with CD-TEXT
    bool TestWrite = false;   // the drive simulates the write
};

struct TBurnFile {
    std::string Path;  // a WAV of 44100 Hz stereo 16-bit PCM
    std::string Text1; // CD-TEXT title
    std::string Text2; // CD-TEXT performer
};
using TBurnFileList = std::vector<TBurnFile>;

// Media codes (platform/burn's MediaCode) and the names the device gives them.
using TMediaType = uint8_t;

class CDevice {
public:
    CDevice(const burner::DriveAddress& address, uint8_t interfaceKind); // 0 ASPI, 1 SPTI
    ~CDevice();
    CDevice(const CDevice&) = delete; // one grab per drive: a device is never copied
    CDevice& operator=(const CDevice&) = delete;

    // Discovery: fills BurnerList (the old devices and their grabs go first).
    static bool InitStarBurnDll();
    static void FindASPIDevices();
    static void FindSPTIDevices();

    bool CdvdBurnerGrabberCreate();
    void ReleaseGrabber();
    bool TestUnitReady();
    bool RefreshDeviceLetter(std::string& letter);
    bool RefreshDeviceInfo();
    bool RefreshMedia();
    bool GetTrackInfo(burner::TrackInfo& info);
    bool RefreshMediaSize();
    bool IsDiscBlank();
    bool RefreshReadWriteModes();
    bool GetWriteSpeeds();
    bool SetWriteSpeed(int32_t& speed);
    bool Eject();

    // Writes the files as an audio CD. Blocks until the write ends; the drive is polled every
    // PollIntervalMs on the calling thread, which turns its state into the burn events.
    bool BurnAudioCD(TBurnOptions& options, const TBurnFileList& files, const char* discText1, const char* discText2);
    void BurnCallback(int code, const void* first, const void* second);
    static inline int PollIntervalMs = 100;
    static constexpr int MaxFiles = 99; // tracks of an audio CD

    const std::string& GetVendor() const { return Vendor; }
    const std::string& GetProduct() const { return Product; }
    const std::string& GetRevision() const { return Revision; }
    const std::string& GetDriveLetter() const { return DriveLetter; }
    TMediaType GetMediaType() const { return MediaType; }
    double GetFreeSize() const { return MediaSize; }
    void SetProgress(int32_t percent) { progress_ = percent; }
    int32_t GetProgress() const { return progress_; }
    void SetState(int32_t file) { currentFile_ = file; }
    int32_t CurrentFile() const { return currentFile_; }

    // SCSI address: marker (set by RefreshDeviceInfo), port, bus, target, LUN.
    uint8_t Address[5] = {};
    std::string DeviceName; // the device path for SPTI, empty for ASPI
    uint8_t InterfaceKind = 0;
    std::unique_ptr<burner::Drive> Grabber;
    bool TrackAtOnce = false, SessionAtOnce = false, DiscAtOncePQ = false, DiscAtOnceRawPW = false;
    bool ReadModes[6] = {};
    std::string Vendor, Product, Revision;
    std::string DriveLetter; // the device path
    uint32_t CacheSize = 0;
    TMediaType MediaType = 0;
    double MediaSize = 0;
    uint8_t WriteState = 0; // 0 idle, 1 writing, 4 ejecting
    uint32_t Status = 0;
    std::string ErrorText;
    uint8_t LastResult = 0; // 0 success, else the failure code
    TSpeeds Speeds;

private:
    bool EnsureGrabber();
    bool Failed(const std::string& text); // keeps the layer's reason; always false
    bool WriteAndWatch(const burner::WriteJob& job, int64_t bytes);
    bool ProbeSpeeds(const TSpeed* table, size_t count, bool stopAtMax, int maxWrite);

    std::string path_; // how the burning layer names the drive
    // Set by the thread that writes, read by any other meanwhile.
    std::atomic<int32_t> progress_{0};
    std::atomic<int32_t> currentFile_{-1};
};

// The burners of the last discovery; each device owns its grab.
extern std::vector<std::unique_ptr<CDevice>> BurnerList;

// The device's name for a media code; codes above 22 leave `text` as it was.
void MediaTypeName(const CDevice& device, std::string& text);
const char* MediaTypeName(TMediaType code);

// The speed tables (KB/s, display text).
extern const TSpeed CDSpeedTable[16];
extern const TSpeed DVDSpeedTable[10];
