#include "support/simulated_burner.h"

#include <algorithm>

namespace sonorel_test {
namespace {

using namespace burner;

class SimulatedGrab : public Drive {
public:
    SimulatedGrab(SimulatedBurner& burner, SimulatedDrive& drive) : burner_(burner), drive_(drive)
    {
        ++burner_.grabbed;
        ++burner_.grabs;
        burner_.maxGrabbed = std::max(burner_.maxGrabbed, burner_.grabbed);
    }
    ~SimulatedGrab() override { Release(); }

    Identity GetIdentity() override { return drive_.identity; }
    WriteModes GetWriteModes() override { return drive_.modes; }
    bool UnitReady() override { return Allowed("UnitReady") && (drive_.disc.ready || Fail("not ready")); }
    uint8_t GetMediaCode() override { return drive_.disc.media; }
    bool GetDiscStatus(int& status) override
    {
        if (!Allowed("GetDiscStatus") || drive_.disc.media == MediaEmpty)
            return Fail("no disc information");
        status = drive_.disc.status;
        return true;
    }
    bool GetNextTrack(TrackInfo& info) override
    {
        info = drive_.disc.next;
        return Allowed("GetNextTrack");
    }
    bool GetToc(Toc& toc) override
    {
        toc = drive_.disc.toc;
        return Allowed("GetToc");
    }
    bool GetSpeeds(Speeds& speeds) override
    {
        if (!Allowed("GetSpeeds"))
            return false;
        speeds.writeSpeeds = drive_.writeSpeeds;
        speeds.maxWrite = drive_.writeSpeeds.empty() ? 0 : drive_.writeSpeeds.back();
        speeds.currentWrite = taken_ > 0 ? taken_ : speeds.maxWrite;
        return true;
    }
    bool SetWriteSpeed(int goal, int& taken) override
    {
        burner_.speedGoals.push_back(goal);
        if (!Allowed("SetWriteSpeed"))
            return false;
        const int best = BestSpeedNotAbove(drive_.writeSpeeds, goal);
        if (goal > 0 && best == 0)
            return Fail("speed refused");
        taken_ = taken = best > 0 ? best : (drive_.writeSpeeds.empty() ? 0 : drive_.writeSpeeds.back());
        return true;
    }
    bool UnderrunProofSupported() override { return drive_.underrunProof; }
    bool SetUnderrunProof(bool) override { return Allowed("SetUnderrunProof") && (drive_.underrunProof || Fail("no BUP")); }
    bool Eject() override
    {
        if (!Allowed("Eject"))
            return false;
        burner_.ejected.push_back(drive_.address.path);
        Release();
        return true;
    }
    bool StartWrite(const WriteJob& job) override
    {
        if (!Allowed("StartWrite"))
            return false;
        if (job.type == WriteType::Raw)
            return Fail("raw refused");
        for (const WriteTrack& track : job.tracks) {
            WavAudio audio;
            if (!ReadWavAudio(track.wavPath, audio, error_))
                return false;
        }
        burner_.jobs.push_back(job);
        step_ = 0;
        return true;
    }
    WriteStatus PollWrite() override
    {
        if (step_ < drive_.writeSequence.size())
            return drive_.writeSequence[step_++];
        return {};
    }
    bool WroteWell() override { return Allowed("WroteWell") && (drive_.writesWell || Fail("write failed")); }
    std::string ErrorText() override { return error_; }

private:
    bool Fail(const std::string& text)
    {
        error_ = text;
        return false;
    }
    bool Allowed(const std::string& call) { return !drive_.failing.count(call) || Fail("simulated " + call + " failure"); }
    void Release()
    {
        if (released_)
            return;
        released_ = true;
        --burner_.grabbed;
    }

    SimulatedBurner& burner_;
    SimulatedDrive& drive_;
    std::string error_;
    size_t step_ = 0;
    int taken_ = 0;
    bool released_ = false;
};

} // namespace

SimulatedBurner::SimulatedBurner() { SetBackend(this); }
SimulatedBurner::~SimulatedBurner() { SetBackend(nullptr); }

std::vector<DriveAddress> SimulatedBurner::Scan()
{
    std::vector<DriveAddress> found;
    for (const SimulatedDrive& drive : drives)
        found.push_back(drive.address);
    return found;
}

std::unique_ptr<Drive> SimulatedBurner::Grab(const std::string& path)
{
    for (SimulatedDrive& drive : drives) {
        if (drive.address.path != path)
            continue;
        if (drive.failing.count("Grab")) {
            error_ = "simulated Grab failure";
            return nullptr;
        }
        return std::make_unique<SimulatedGrab>(*this, drive);
    }
    error_ = "no drive " + path;
    return nullptr;
}

} // namespace sonorel_test
