#pragma once

// The CD source node: lists the drives, reads a disc's tracks, keeps a name and a mark per track,
// plays a track for preview and serves the PCM of the needle track to an encoder node.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/class_AudioTransformNode.h"

class TCDRipper : public TAudioTransformNode {
public:
    static constexpr int MaxTracks = 99;          // the most tracks an audio CD holds
    static constexpr double BytesPerSecond = 176400; // 44100 Hz, 16-bit, stereo

    TCDRipper() = default;
    ~TCDRipper() override; // frees the needle and play streams

    int32_t TrackCount = 0; // -1 when the drive reports no disc
    std::string ImageRefusal; // with no disc in an image drive: its sheet and why it is not read
    std::string CDTitle;
    std::vector<std::string> DriveNames;
    std::vector<std::string> TrackNames;
    std::vector<std::string> TrackTitles;
    std::string DiscTitle;
    float Progress = 0; // of the needle track, 0..1
    std::array<bool, MaxTracks> TrackMarks{};

    int32_t DriveIndex() const { return driveIndex_; }
    void SetDriveIndex(int d);

    const std::vector<std::string>& GetDrives();
    bool ValidTrackIndex(int i) const { return i >= 0 && i < static_cast<int>(TrackNames.size()); }
    double GetTrackLength(int i) const;
    std::string GetTrackLenStr(int i) const;
    static std::string GetTrackName(int i);
    std::string TrackFileName(int i) const;
    const std::vector<std::string>& GetTracks();

    // Throws std::runtime_error("Can't read cd track.") when the track cannot be opened.
    void PutNeedleOnTrack(int i);
    void PlayTrack(int i); // a failure to open is not reported
    void StopPlay();
    void CloseNeedle(); // frees the needle stream and its drive handle

    int GetData(void* Buffer, int Length) override;

    // The needle track's reading: it failed (ended early), and how many sectors were skipped.
    bool NeedleReadFailed() const;
    int64_t NeedleSkippedSectors() const;
    int NeedleTrack() const { return needleTrack_; }
    bool Playing() const { return playStream_ != 0; }

    static std::string TimeToStr(float seconds, int digits);

    // The CDDB query text of the drive's disc; "" without one.
    static std::string GetCDID(int drive);
    // Fills DiscTitle, TrackNames and TrackTitles from the CDDB server; false (all unchanged)
    // when the lookup failed or its track count does not match the disc.
    bool GetCDDBInfo();

private:
    int32_t driveIndex_ = 0;
    int needleTrack_ = 0;
    BassHandle needleStream_ = 0;
    BassHandle playStream_ = 0;
};
