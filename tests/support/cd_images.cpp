#include "support/cd_images.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "platform/sound/SoundCD.h"
#include "support/audio_fixtures.h"

namespace sonorel_test {

namespace {

std::string Msf(int64_t sectors)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(sectors / 75 / 60),
                  static_cast<int>(sectors / 75 % 60), static_cast<int>(sectors % 75));
    return text;
}

} // namespace

CdImage MakeCdImage(const std::string& folder, const std::string& name, const std::vector<CdImageTrack>& tracks,
                    const std::vector<CdTrackText>& texts)
{
    CdImage image;
    image.cue = folder + "/" + name + ".cue";
    image.bin = folder + "/" + name + ".bin";
    std::string cue = "FILE \"" + name + ".bin\" BINARY\n";
    int64_t sector = 0, binSectors = 0;
    for (const CdImageTrack& track : tracks)
        binSectors += std::llround(track.seconds * 75);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const int64_t sectors = std::llround(tracks[i].seconds * 75);
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02zu %s\n", i + 1, tracks[i].data ? "MODE1/2352" : "AUDIO");
        cue += line;
        const CdTrackText text = i < texts.size() ? texts[i] : CdTrackText{};
        if (!text.performer.empty())
            cue += "    PERFORMER \"" + text.performer + "\"\n";
        if (!text.title.empty())
            cue += "    TITLE \"" + text.title + "\"\n";
        if (tracks[i].index == CueIndex::AtTrackStart)
            cue += "    INDEX 01 " + Msf(sector) + "\n";
        else if (tracks[i].index == CueIndex::PastTheBin)
            cue += "    INDEX 01 " + Msf(binSectors + 75 * (static_cast<int64_t>(i) + 1)) + "\n";
        SignalSpec spec;
        spec.seconds = static_cast<double>(sectors) / 75.0;
        spec.seed = tracks[i].seed;
        std::vector<int16_t> samples = MakeSweepNoise(spec);
        samples.resize(static_cast<size_t>(sectors) * BASS_CD_SECTOR_BYTES / 2);
        image.trackStartBytes.push_back(static_cast<int64_t>(image.samples.size()) * 2);
        image.trackBytes.push_back(sectors * BASS_CD_SECTOR_BYTES);
        image.samples.insert(image.samples.end(), samples.begin(), samples.end());
        sector += sectors;
    }
    WriteBytes(image.cue, cue);
    WriteBytes(image.bin, std::string(reinterpret_cast<const char*>(image.samples.data()), image.samples.size() * 2));
    return image;
}

ScopedImageDrives::~ScopedImageDrives() { BASS_CD_RemoveImageDrives(); }

int ScopedImageDrives::Add(const CdImage& image)
{
    if (!BASS_CD_AddImageDrive(image.cue))
        throw std::runtime_error("libcdio cannot open " + image.cue);
    int drive = 0;
    while (BASS_CD_GetDriveLetter(drive + 1) != -1)
        ++drive;
    return drive;
}

} // namespace sonorel_test
