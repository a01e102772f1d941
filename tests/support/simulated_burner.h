#pragma once

// A simulated burner behind the burning layer, for machines without a CD writer: scripted drives
// and discs, offered speeds, the status sequence of a write and failures per call. It records
// every job, every speed asked for, the ejects and how many drives are grabbed at a time.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/burn/BurnLayer.h"

namespace sonorel_test {

struct SimulatedDisc {
    uint8_t media = burner::MediaCdR;
    int status = burner::DiscBlank;
    bool ready = true;
    burner::TrackInfo next{1, true, true, 0, 359849};
    burner::Toc toc{true, false, 1, {}};
};

struct SimulatedDrive {
    burner::DriveAddress address{"/dev/sr0", 1, 0, 0, 0};
    burner::Identity identity{"SONOREL ", "SIMULATED WRITER", "1.00", 2 * 1024 * 1024};
    burner::WriteModes modes{true, true, true, false};
    bool underrunProof = true;
    // 4x, 8x, 16x and 52x as drives report them (1000 bytes per second).
    std::vector<int> writeSpeeds{706, 1411, 2822, 9173};
    SimulatedDisc disc;
    // The statuses a write passes through, one per poll; then it is idle. Here one track.
    std::vector<burner::WriteStatus> writeSequence{
        {burner::WritePhase::Preparing, 0, 0},                {burner::WritePhase::LeadIn, 1000, 0, 0, 1000, 0},
        {burner::WritePhase::Writing, 1000, 0, 0, 1000, 0},   {burner::WritePhase::Writing, 1000, 9, 0, 1000, 9},
        {burner::WritePhase::Writing, 1000, 10, 0, 1000, 10}, {burner::WritePhase::Writing, 1000, 1000, 0, 1000, 1000},
        {burner::WritePhase::Closing, 1000, 1000, 0, 1000, 1000}};
    bool writesWell = true;
    // Calls that fail, by name: "Grab", "UnitReady", "GetDiscStatus", "GetNextTrack", "GetToc",
    // "GetSpeeds", "SetWriteSpeed", "SetUnderrunProof", "Eject", "StartWrite", "WroteWell".
    std::set<std::string> failing;
};

class SimulatedBurner : public burner::Backend {
public:
    SimulatedBurner();  // installs itself as the layer's backend
    ~SimulatedBurner() override; // and puts libburn back

    std::vector<SimulatedDrive> drives;
    bool startFails = false;

    // What happened.
    std::vector<burner::WriteJob> jobs;
    std::vector<int> speedGoals;
    std::vector<std::string> ejected;
    int grabbed = 0;     // drives grabbed now
    int maxGrabbed = 0;  // the most grabbed at one time
    int grabs = 0;       // grabs made

    bool Start() override { return !startFails; }
    std::vector<burner::DriveAddress> Scan() override;
    std::unique_ptr<burner::Drive> Grab(const std::string& path) override;
    std::string ErrorText() override { return error_; }

private:
    std::string error_;
};

} // namespace sonorel_test
