#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "cd/class_Device.h"
#include "support/audio_fixtures.h"
#include "support/burn_log_lines.h"
#include "support/simulated_burner.h"

using namespace sonorel_test;

static_assert(!std::is_copy_constructible_v<CDevice> && !std::is_copy_assignable_v<CDevice>,
              "a device owns the one grab of its drive");

namespace {

class DeviceTest : public testing::Test {
protected:
    void SetUp() override
    {
        CDevice::PollIntervalMs = 0;
        BurnLogLines::Get().Clear();
    }
    void TearDown() override { BurnerList.clear(); }

    // One simulated drive, found through SPTI; its device.
    CDevice& FindOne()
    {
        if (sim.drives.empty())
            sim.drives.push_back(SimulatedDrive{});
        CDevice::FindSPTIDevices();
        EXPECT_EQ(BurnerList.size(), sim.drives.size());
        BurnLogLines::Get().Clear();
        return *BurnerList.front();
    }
    std::vector<std::string> Channel(int channel) { return BurnLogLines::Get().Channel(channel); }

    SimulatedBurner sim;
};

std::vector<std::string> SpeedTexts(const CDevice& device)
{
    std::vector<std::string> texts;
    for (const TSpeed& speed : device.Speeds)
        texts.push_back(std::to_string(speed.KBps) + " " + speed.Text);
    return texts;
}

} // namespace

TEST(MediaTypeName, NamesAndUnknownCodes)
{
    struct Case {
        TMediaType code;
        const char* name;
    } cases[] = {{0, "Unknown"}, {2, "CD-R"}, {8, "DVD-RW"}, {11, "CD-R"}, {14, "Empty"}, {22, "HD-DVD RW"}, {23, "kept"}, {255, "kept"}};
    for (const Case& c : cases) {
        SimulatedBurner sim;
        sim.drives = {SimulatedDrive{}};
        CDevice device(sim.drives[0].address, 1);
        device.MediaType = c.code;
        std::string text = "kept";
        MediaTypeName(device, text);
        EXPECT_EQ(text, c.name) << int(c.code);
    }
}

TEST_F(DeviceTest, DiscoveryLinesOfBothInterfaces)
{
    SimulatedDrive second;
    second.address = {"/dev/sr1", 2, 0, 1, 0};
    sim.drives = {SimulatedDrive{}, second};
    CDevice::FindSPTIDevices();
    EXPECT_EQ(Channel(0), (std::vector<std::string>{"Found device: </dev/sr0>\n", "Found device: </dev/sr1>\n",
                                                     "CDevice::FindSPTIDevices(): found 2 devices \r\n"}));
    ASSERT_EQ(BurnerList.size(), 2u);
    EXPECT_EQ(BurnerList[1]->DeviceName, "/dev/sr1");
    EXPECT_EQ(BurnerList[1]->InterfaceKind, 1);

    BurnLogLines::Get().Clear();
    CDevice::FindASPIDevices();
    EXPECT_EQ(Channel(0),
              (std::vector<std::string>{
                  "\nCDevice::FindDeviceCallback): Probing SCSI address 1:0:0:0 for CD/DVD device... ",
                  "\nCDevice::FindDeviceCallback): Probing SCSI address 2:0:1:0 for CD/DVD device... ",
                  "CDevice::FindASPIDevices(): found 2 devices \r\n"}));
    EXPECT_TRUE(BurnerList[1]->DeviceName.empty());

    ASSERT_TRUE(BurnerList[1]->RefreshDeviceInfo());
    EXPECT_EQ(BurnerList[1]->GetDriveLetter(), "/dev/sr1");
    EXPECT_EQ(BurnerList[1]->Address[0], 1);
    EXPECT_EQ(Channel(0).back(), "CDevice::RefreshDeviceInfo(): With 2097152 UCHAR(s) of cache\n");
    EXPECT_EQ(Channel(0).end()[-2], "OK!\nCDevice::RefreshDeviceInfo()): Found CD/DVD device 'SONOREL ' 'SIMULATED WRITER' '1.00'\n");

    // A new discovery lets go of the old grabs before it scans.
    EXPECT_EQ(sim.grabbed, 1);
    sim.drives.clear();
    BurnLogLines::Get().Clear();
    CDevice::FindSPTIDevices();
    EXPECT_EQ(sim.grabbed, 0);
    EXPECT_EQ(Channel(0), std::vector<std::string>{"CDevice::FindSPTIDevices(): found 0 devices \r\n"});
}

TEST_F(DeviceTest, WriteSpeedLists)
{
    struct Case {
        const char* name;
        uint8_t media;
        std::vector<int> offered; // as the drive counts them
        std::set<std::string> failing;
        std::vector<std::string> expected;
    } cases[] = {
        {"4x 8x 16x CD-R", burner::MediaCdR, {706, 1411, 2822}, {}, {"706 4.0x", "1400 8.0x", "2800 16.0x"}},
        {"1060 lies nearer 8x", burner::MediaCdRw, {1060}, {}, {"1060 8.0x"}},
        {"52x reads back as 9173", burner::MediaCdR, {2822, 9173}, {}, {"2800 16.0x", "9152 52.0x"}},
        {"outside the table", burner::MediaCdR, {100, 10000}, {}, {}},
        {"every speed refused", burner::MediaCdR, {706, 1411}, {"SetWriteSpeed"}, {}},
        {"no disc: the table up to the maximum", burner::MediaEmpty, {1411}, {"SetWriteSpeed"},
         {"176 1.0x", "353 2.0x", "387 2.2x", "528 3.0x", "706 4.0x", "1400 8.0x"}},
        {"DVD+R", burner::MediaDvdPlusR, {2770, 5540}, {}, {"2770 2.0x", "5540 4.0x"}},
        {"a pressed CD", burner::MediaCdRom, {706}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.drives = {SimulatedDrive{}};
        sim.drives[0].writeSpeeds = c.offered;
        sim.drives[0].failing = c.failing;
        sim.drives[0].disc.media = c.media;
        CDevice& device = FindOne();
        device.RefreshMedia();
        EXPECT_TRUE(device.GetWriteSpeeds());
        EXPECT_EQ(SpeedTexts(device), c.expected);
    }
}

TEST_F(DeviceTest, BlankTestAndMediaSize)
{
    const SimulatedDisc earlierDisc{burner::MediaCdR, burner::DiscComplete, true, {4, false, false, 0, 0}, {true, false, 1, {0, 1000, 2000, 3000}}};
    const double kEarlierSize = 3000.0 * 2048;
    struct Case {
        const char* name;
        SimulatedDisc disc;
        bool blank;
        double size;
    } cases[] = {
        {"empty CD-R", {burner::MediaCdR, burner::DiscBlank, true, {1, true, false, 0, 1000}, {}}, true, 0},
        {"appendable, next address 0", {burner::MediaCdRw, burner::DiscIncomplete, true, {1, true, true, 0, 1000}, {}}, true, 0},
        {"closed CD-R with two tracks", {burner::MediaCdR, burner::DiscComplete, true, {3, false, false, 0, 0}, {true, false, 1, {0, 1000, 2000}}}, false, 2000.0 * 2048},
        {"appendable DVD-R: one entry lower", {burner::MediaDvdR, burner::DiscIncomplete, true, {2, false, true, 900, 10}, {true, true, 1, {0, 800, 900}}}, false, 800.0 * 2048},
        {"appendable without a TOC entry", {burner::MediaDvdPlusR, burner::DiscIncomplete, true, {1, false, true, 900, 10}, {true, true, 1, {}}}, false, 0},
        {"closed disc, empty TOC", {burner::MediaCdR, burner::DiscComplete, true, {1, false, false, 0, 0}, {true, false, 1, {}}}, false, 0},
        {"a state the drive cannot describe keeps the size", {burner::MediaCdR, burner::DiscOther, true, {1, false, false, 0, 0}, {true, false, 1, {0, 500}}}, false, kEarlierSize},
        {"DVD-RW in that state: appendable", {burner::MediaDvdRw, burner::DiscOther, true, {2, false, true, 900, 10}, {true, true, 1, {0, 800, 900}}}, false, 900.0 * 2048},
        {"no disc", {burner::MediaEmpty, burner::DiscOther, false, {}, {}}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each disc goes into a drive whose last disc had a size: every state but the unknown one
        // replaces it.
        sim.drives = {SimulatedDrive{}};
        sim.drives[0].disc = earlierDisc;
        CDevice& device = FindOne();
        device.RefreshMedia();
        ASSERT_EQ(device.GetFreeSize(), kEarlierSize);
        sim.drives[0].disc = c.disc;
        device.RefreshMedia();
        EXPECT_EQ(device.GetFreeSize(), c.size);
        EXPECT_EQ(device.IsDiscBlank(), c.blank);
    }
    // Without a disc the blank test says why it failed.
    EXPECT_EQ(Channel(0).back().rfind("\nCDevice::IsDiscBlank(): StarBurn_CdvdBurnerGrabber_GetDiscInformation() failed, exception 1, status 31, text 'no disc information'\n", 0), 0u);
}

TEST_F(DeviceTest, EjectLetsGoOfTheDrive)
{
    CDevice& device = FindOne();
    ASSERT_TRUE(device.RefreshDeviceInfo());
    EXPECT_EQ(sim.grabbed, 1);
    EXPECT_TRUE(device.Eject());
    EXPECT_EQ(sim.ejected, std::vector<std::string>{"/dev/sr0"});
    EXPECT_EQ(sim.grabbed, 0);
    EXPECT_EQ(device.WriteState, 0);
    EXPECT_EQ(Channel(1), std::vector<std::string>{"Eject"});

    sim.drives[0].failing = {"Eject"};
    EXPECT_FALSE(device.Eject());
    EXPECT_EQ(Channel(1).back(), "Ejecting Error!");
    EXPECT_EQ(Channel(0).back(), "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception 1, status 31, text 'simulated Eject failure'\n");
    EXPECT_EQ(device.WriteState, 0);
}

// ---- the audio CD write ------------------------------------------------------------------------

namespace {

std::string OneSecondImage()
{
    const std::string path = FixtureFolder() + "/image.wav";
    EXPECT_TRUE(WriteAudioFile(path, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 1.0}), 44100, 2));
    return path;
}

TBurnFileList Files(const std::string& path, size_t count = 1)
{
    return TBurnFileList(count, TBurnFile{path, "", ""});
}

TBurnOptions WizardOptions()
{
    TBurnOptions options;
    options.Speed = 2800;
    options.SpeedText = "16.0x";
    options.WriteMode = 3;
    return options;
}

} // namespace

TEST_F(DeviceTest, BurnAudioCdSuccessLinesOnBothChannels)
{
    const std::string image = OneSecondImage();
    CDevice& device = FindOne();
    ASSERT_TRUE(device.RefreshDeviceInfo());
    BurnLogLines::Get().Clear();
    TBurnOptions options = WizardOptions();
    ASSERT_TRUE(device.BurnAudioCD(options, Files(image), "Sonorel", "Performance"));
    EXPECT_EQ(Channel(1), (std::vector<std::string>{
                              "Started", "Probing supported write modes...",
                              "Check do we have Disc-At-Once PQ or Disc-At-Once raw P-W supported",
                              "Disc-At-Once PQ supported.", "Testing unit ready...", "Unit is ready!",
                              "Getting BUP (Buffer Underrun Protection) support...", "Getting BUP successfully!",
                              "Enabling BUP (Buffer Underrun Protection)...", "Enabling BUP successfully!",
                              "Setting speed 16.0x (2800 KBps)... ", "Setting speed 16.0x (2800 KBps) successfully!",
                              "Writing the stuff to the CD/DVD disc", "Waiting for cache full not more than 5000 ms... ",
                              "Cache is Full.", "Burning...", "Burning Complete"}));
    EXPECT_EQ(Channel(0), (std::vector<std::string>{
                              "CDevice::BurnAudioCD(): Probing supported write modes... ",
                              "OK!\nCDevice::BurnAudioCD(): Track-At-Once: Yes, Session-At-Once: Yes, Disc-At-Once PQ: Yes, Disc-At-Once raw P-W: No\n",
                              "CDevice::BurnAudioCD(): Testing unit ready... ",
                              "OK!\nCDevice::BurnAudioCD(): Getting BUP (Buffer Underrun Protection) support... ",
                              "OK!\nCDevice::BurnAudioCD(): BUP (Buffer Underrun Protection) Enabled: Yes, Supported: Yes\n",
                              "CDevice::BurnAudioCD(): Enabling BUP (Buffer Underrun Protection)... ", "OK!\n",
                              "CDevice::BurnAudioCD(): Setting speed 16.0x (2800 KBps)... ",
                              "Setting speed 16.0x (2800 KBps) successfully!",
                              "CDevice::BurnAudioCD(): Skipping send OPC (Optimum Power Calibration) in test mode... OK!\n",
                              "CDevice::BurnAudioCD(): Writing the stuff to the CD/DVD disc >>>\n",
                              "CDevice::BurnAudioCD(): Processing file <" + image + ">, 1 file from 1 file(s) total\n",
                              "CDevice::BurnCallback(): TARGET_FILE_ANALYZE_BEGIN\n",
                              "CDevice::BurnCallback(): Target file size in UCHARs 176400, LBs 75\n",
                              "CDevice::BurnCallback(): TARGET_FILE_ANALYZE_END\n",
                              "CDevice::BurnCallback(): WAIT_CACHE_FULL_BEGIN\n",
                              "CDevice::BurnCallback(): Waiting for cache full not more than 5000 ms... ",
                              "OK!\nCDevice::BurnCallback(): WAIT_CACHE_FULL_END\n",
                              "1% ", "100% ", // 0/1000 and 9/1000 leave the progress at 0
                              "\nCDevice::BurnCallback(): SYNCHRONIZE_CACHE_BEGIN\n",
                              "CDevice::BurnCallback(): SYNCHRONIZE_CACHE_END\n"}));
    ASSERT_EQ(sim.jobs.size(), 1u);
    const burner::WriteJob& job = sim.jobs[0];
    EXPECT_EQ(job.type, burner::WriteType::SessionAtOnce);
    EXPECT_TRUE(job.cdText);
    EXPECT_EQ(job.discTitle, "Sonorel");
    EXPECT_EQ(job.discPerformer, "Performance");
    EXPECT_FALSE(job.simulate);
    EXPECT_EQ(device.GetProgress(), 100);
    EXPECT_EQ(device.WriteState, 0);
    EXPECT_EQ(sim.grabs, 1); // the grab of the device info served the write
    EXPECT_EQ(options.Speed, 2800);
}

TEST_F(DeviceTest, BurnAudioCdFailures)
{
    const std::string image = OneSecondImage();
    struct Case {
        const char* name;
        std::function<void(SimulatedDrive&)> script;
        uint8_t mode;
        TBurnFileList files;
        bool ok;
        std::string lastUserLine;
        std::string errorLine; // a channel-0 line that must be there
        size_t jobs;
    } cases[] = {
        {"drive busy elsewhere", [](SimulatedDrive& d) { d.failing = {"Grab"}; }, 3, Files(image), false, "Started Error!",
         "\n\nCDevice::CdvdBurnerGrabberCreate: StarBurn_CdvdBurnerGrabber_CreateEx() failed, exception 1, status 31, text 'simulated Grab failure'\n", 0},
        {"no disc-at-once, even for track-at-once", [](SimulatedDrive& d) { d.modes = {true, false, false, false}; }, 0, Files(image), false,
         "Disc-At-Once PQ and Disc-At-Once raw P-W  not supported!",
         "\n\nCDevice::BurnAudioCD(): Neither Disc-At-Once PQ nor Disc-At-Once raw P-W are unsupported!!!\n", 0},
        {"unit not ready", [](SimulatedDrive& d) { d.disc.ready = false; }, 3, Files(image), false, "Unit is not ready!", "", 0},
        {"no underrun protection: a warning", [](SimulatedDrive& d) { d.underrunProof = false; }, 3, Files(image), true, "Burning Complete",
         "Failed!\nCDevice::BurnAudioCD(): WARNING! StarBurn_CdvdBurnerGrabber_SetBUP() failed, exception 1, status 31, text 'no BUP'\n", 1},
        {"speed refused: goes on", [](SimulatedDrive& d) { d.writeSpeeds = {9173}; d.failing = {"SetWriteSpeed"}; }, 3, Files(image), true,
         "Burning Complete", "CDevice::BurnAudioCD():Setting speed failed!", 1},
        {"write refused", [](SimulatedDrive& d) { d.failing = {"StartWrite"}; }, 3, Files(image), false, "Burning Error!",
         "\n\nCDevice::BurnAudioCD(): StarBurn_CdvdBurnerGrabber_DiscAtOncePQ[RawPW]FromFile() failed, exception 1, status 31, text 'simulated StartWrite failure'\n", 0},
        {"write fails at the end", [](SimulatedDrive& d) { d.writesWell = false; }, 1, Files(image), false, "Burning Error!",
         "\n\nCDevice::BurnAudioCD(): StarBurn_CdvdBurnerGrabber_SessionAtOnce() failed, exception 1, status 31, text 'write failed'\n", 1},
        {"image gone", [](SimulatedDrive&) {}, 3, Files(image + ".gone"), false, "Burning Error!", "", 0},
        {"raw mode", [](SimulatedDrive& d) { d.modes.discAtOnceRaw = true; }, 2, Files(image), false, "Burning Error!", "", 0},
        {"100 files", [](SimulatedDrive&) {}, 3, Files(image, 100), false, "Burning Error!",
         "CDevice::BurnAudioCD(): 100 file(s): an audio CD takes 1 to 99\n", 0},
        {"track-at-once test write", [](SimulatedDrive&) {}, 0, Files(image, 2), true, "Burning Complete", "", 1},
        {"mode above 3", [](SimulatedDrive&) {}, 4, Files(image), false, "Writing the stuff to the CD/DVD disc", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.drives = {SimulatedDrive{}};
        c.script(sim.drives[0]);
        sim.jobs.clear();
        CDevice& device = FindOne();
        TBurnOptions options = WizardOptions();
        options.WriteMode = c.mode;
        options.TestWrite = c.mode == 0;
        EXPECT_EQ(device.BurnAudioCD(options, c.files, "Sonorel", "Performance"), c.ok);
        EXPECT_EQ(Channel(1).back(), c.lastUserLine);
        if (!c.errorLine.empty()) {
            const std::vector<std::string> lines = Channel(0);
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.errorLine), lines.end()) << c.errorLine;
        }
        EXPECT_EQ(sim.jobs.size(), c.jobs);
        EXPECT_EQ(device.WriteState, 0);
        EXPECT_LE(sim.maxGrabbed, 1);
        // A test write in track-at-once closes no session.
        const std::vector<std::string> user = Channel(1);
        EXPECT_EQ(std::count(user.begin(), user.end(), "Closing session... "), 0);
    }
}

namespace {

// The progress lines of a write with the file the device names at each.
struct FileProgress {
    int file;
    std::string line;
    bool operator==(const FileProgress&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const FileProgress& p) { return out << p.file << ":" << p.line; }
};

void RecordFileProgress(void* context, uint8_t, const char* text)
{
    auto* seen = static_cast<std::pair<CDevice*, std::vector<FileProgress>>*>(context);
    const std::string line = text;
    if (line.size() > 2 && line.substr(line.size() - 2) == "% ")
        seen->second.push_back({seen->first->CurrentFile(), line});
}

} // namespace

TEST_F(DeviceTest, TrackAtOnceReportsEachFileFromZeroToAHundred)
{
    // A long file, then a short one: 225 and 75 sectors.
    const std::string longFile = FixtureFolder() + "/long.wav", shortFile = OneSecondImage();
    ASSERT_TRUE(WriteAudioFile(longFile, AudioFileKind::Wav, MakeSweepNoise({44100, 2, 3.0}), 44100, 2));
    using burner::WritePhase;
    SimulatedDrive drive;
    drive.writeSequence = {
        {WritePhase::LeadIn, 300, 0, 0, 225, 0},        {WritePhase::Writing, 300, 0, 0, 225, 0},
        {WritePhase::Writing, 300, 112, 0, 225, 112},   {WritePhase::Writing, 300, 225, 0, 225, 225},
        {WritePhase::Writing, 300, 225, 1, 75, 0},      {WritePhase::Writing, 300, 262, 1, 75, 37},
        {WritePhase::Writing, 300, 300, 1, 75, 75},     {WritePhase::Closing, 300, 300, 1, 75, 75}};
    sim.drives = {drive};
    CDevice& device = FindOne();
    std::pair<CDevice*, std::vector<FileProgress>> seen{&device, {}};
    AddLogSink(&RecordFileProgress, &seen, 0);

    TBurnOptions options = WizardOptions();
    options.WriteMode = 0;
    const bool burned = device.BurnAudioCD(options, {{longFile, "", ""}, {shortFile, "", ""}}, "Sonorel", "Performance");
    RemoveLogSinks(&seen);
    ASSERT_TRUE(burned);
    EXPECT_EQ(seen.second, (std::vector<FileProgress>{{0, "49% "}, {0, "100% "}, {1, "49% "}, {1, "100% "}}));
    EXPECT_EQ(device.CurrentFile(), 1);
    EXPECT_EQ(device.GetProgress(), 100);
    ASSERT_EQ(sim.jobs.size(), 1u);
    EXPECT_EQ(sim.jobs[0].type, burner::WriteType::TrackAtOnce);
    EXPECT_EQ(Channel(1).end()[-2], "Closing session... ");
}

// Real libburn, no hardware: its "stdio:" pseudo-drive is no CD and refuses audio.
TEST(LibburnDevice, StdioDriveRefusesAudioWithLibburnsReason)
{
    CDevice::PollIntervalMs = 0;
    BurnLogLines::Get().Clear();
    const std::string image = OneSecondImage();
    CDevice device({"stdio:" + FixtureFolder() + "/pseudo.img"}, 1);
    TBurnOptions options = WizardOptions();
    options.Speed = 0;
    options.SpeedText = "max";
    EXPECT_FALSE(device.BurnAudioCD(options, Files(image), "Sonorel", "Performance"));
    const std::vector<std::string> user = BurnLogLines::Get().Channel(1);
    const std::vector<std::string> detail = BurnLogLines::Get().Channel(0);
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(user.back(), "Burning Error!");
    EXPECT_NE(detail.back().find("audio track prohibited by non-CD"), std::string::npos) << detail.back();
    EXPECT_EQ(device.WriteState, 0);
}
