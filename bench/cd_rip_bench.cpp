// Speed of ripping a 74-minute audio CD (an image made here) with the rip window's MP3 settings:
// paranoia's read alone, the rip of every track into its own MP3, and `lame` alone encoding the
// same PCM at the raised priority the rip gives its encoder. Prints the figures as multiples of
// real time. Optional argument: the disc's minutes.

#include <QApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "windows/form_CDRip.h"
#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "platform/sound/SoundCD.h"
#include "support/audio_fixtures.h"

using namespace sonorel_test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kTracks = 12;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// A CUE/BIN of kTracks equal tracks; each repeats a minute of its own sweep and noise.
std::string MakeDisc(const std::string& folder, double minutes)
{
    const std::string cue = folder + "/disc.cue";
    const int64_t trackSectors = static_cast<int64_t>(minutes * 60 * 75 / kTracks);
    std::ofstream bin(folder + "/disc.bin", std::ios::binary);
    std::string sheet = "FILE \"disc.bin\" BINARY\n";
    for (int t = 0; t < kTracks; ++t) {
        const int64_t start = t * trackSectors;
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", t + 1,
                      static_cast<int>(start / 75 / 60), static_cast<int>(start / 75 % 60), static_cast<int>(start % 75));
        sheet += line;
        const std::vector<int16_t> minute = MakeSweepNoise({44100, 2, 60.0, uint32_t(t + 1)});
        for (int64_t left = trackSectors * BASS_CD_SECTOR_BYTES; left > 0;) {
            const int64_t part = std::min<int64_t>(left, static_cast<int64_t>(minute.size()) * 2);
            bin.write(reinterpret_cast<const char*>(minute.data()), part);
            left -= part;
        }
    }
    std::ofstream(cue) << sheet;
    return cue;
}

double ReadAlone(int tracks)
{
    std::vector<char> block(TEncoderNode::BlockBytes);
    const auto start = Clock::now();
    for (int t = 0; t < tracks; ++t) {
        char path[32];
        std::snprintf(path, sizeof path, "a:\\track%02d.cda", t + 1);
        const BassHandle stream = BASS_CD_StreamCreateFile(path, BASS_STREAM_DECODE);
        while (BASS_ChannelGetData(stream, block.data(), static_cast<uint32_t>(block.size())) >= 0) {
        }
        BASS_StreamFree(stream);
    }
    return Seconds(start);
}

// Seconds of sound in the rip's files, through the layer's exact MP3 length.
double Mp3Seconds(const std::vector<std::string>& files)
{
    double seconds = 0;
    for (const std::string& file : files) {
        const BassHandle stream = BASS_StreamCreateFile(file, BASS_STREAM_DECODE);
        seconds += BASS_ChannelGetLength(stream) / 176400.0;
        BASS_StreamFree(stream);
    }
    return seconds;
}

double Rip(TFormCDRip& form, double discSeconds)
{
    form.show();
    form.ComboBox1Change();
    form.SelectAll1Click();
    const auto start = Clock::now();
    form.RipSepClick();
    const double took = Seconds(start) - 1.0; // the window's pause after closing
    const double ripped = Mp3Seconds(form.Result().files);
    if (form.Result().files.size() != kTracks || std::abs(ripped - discSeconds) > kTracks * 1152 / 44100.0) {
        std::fprintf(stderr, "the rip failed: %zu files, %.2f s\n", form.Result().files.size(), ripped);
        std::exit(1);
    }
    for (const std::string& file : form.Result().files)
        std::filesystem::remove(file);
    return took;
}

double LameAlone(const std::string& bin, const std::string& mp3)
{
    // The rip raises its encoder's priority where allowed; lame alone runs the same.
    const std::string command = "nice -n -10 lame -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 256 -h '" + bin + "' '" +
                                mp3 + "' >/dev/null 2>&1";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "lame failed\n");
        std::exit(1);
    }
    return Seconds(start);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetCommandLine({"sonorel", "nocddb"});
    const double minutes = argc > 1 ? std::atof(argv[1]) : 74.0;
    const std::string folder = std::filesystem::temp_directory_path().string() + "/sonorel_cdrip_bench";
    std::filesystem::create_directories(folder);
    BASS_CD_AddImageDrive(MakeDisc(folder, minutes));
    const double discSeconds = minutes * 60;
    std::printf("disc: %d tracks, %.0f s\n", kTracks, discSeconds);

    TFormCDRip form;
    const double read = ReadAlone(kTracks);
    // lame alone before and after the rip, so that a busy machine weighs on both sides.
    const double lameBefore = LameAlone(folder + "/disc.bin", folder + "/lame_alone.mp3");
    const double rip = Rip(form, discSeconds);
    const double lame = (lameBefore + LameAlone(folder + "/disc.bin", folder + "/lame_alone.mp3")) / 2;

    std::printf("paranoia read alone : %7.2f s  %7.1fx real time\n", read, discSeconds / read);
    std::printf("rip to MP3 files    : %7.2f s  %7.1fx real time\n", rip, discSeconds / rip);
    std::printf("lame alone (mean)   : %7.2f s  %7.1fx real time\n", lame, discSeconds / lame);
    std::printf("rip / lame alone: %.1f %% of lame's speed\n", 100.0 * lame / rip);
    std::filesystem::remove_all(folder);
    return 0;
}
