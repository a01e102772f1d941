#include "support/cd_images.h"

#include <algorithm>
#include <array>
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

constexpr size_t kPackBytes = 18;

// A pack: type, track, sequence number, character position, 12 bytes of text and the CRC.
std::string Pack(uint8_t type, int track, int sequence, int position, const std::string& text)
{
    std::string pack(kPackBytes, '\0');
    pack[0] = static_cast<char>(type);
    pack[1] = static_cast<char>(track);
    pack[2] = static_cast<char>(sequence);
    pack[3] = static_cast<char>(std::min(position, 15));
    pack.replace(4, std::min<size_t>(text.size(), 12), text.substr(0, 12));
    uint16_t crc = 0;
    for (size_t i = 0; i < 16; ++i) {
        crc ^= static_cast<uint16_t>(static_cast<uint8_t>(pack[i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    crc = static_cast<uint16_t>(~crc);
    pack[16] = static_cast<char>(crc >> 8);
    pack[17] = static_cast<char>(crc & 0xFF);
    return pack;
}

} // namespace

std::string MakeCdText(int firstTrack, const CdTrackText& disc, const std::vector<CdTrackText>& tracks, bool header)
{
    std::string packs;
    int sequence = 0;
    std::array<uint8_t, 16> packsOfType{};
    for (const uint8_t type : {uint8_t(0x80), uint8_t(0x81)}) {
        const auto field = [type](const CdTrackText& text) { return type == 0x80 ? text.title : text.performer; };
        // The strings of the disc and its tracks, each ended by a NUL, cut into packs of 12 bytes;
        // a pack names the track its first byte belongs to and how many of its characters came before.
        std::string all = field(disc) + '\0';
        std::vector<size_t> starts = {0};
        bool any = !field(disc).empty();
        for (const CdTrackText& track : tracks) {
            starts.push_back(all.size());
            all += field(track) + '\0';
            any = any || !field(track).empty();
        }
        for (size_t at = 0; any && at < all.size(); at += 12) {
            const size_t owner = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
            const int track = owner == 0 ? 0 : firstTrack + static_cast<int>(owner) - 1;
            packs += Pack(type, track, sequence++, static_cast<int>(at - starts[owner]), all.substr(at, 12));
            ++packsOfType[type - 0x80];
        }
    }
    packsOfType[15] = 3;
    std::string sizeInfo(36, '\0'); // character code 0 (ISO-8859-1), first and last track, pack counts, ...
    sizeInfo[1] = static_cast<char>(firstTrack);
    sizeInfo[2] = static_cast<char>(firstTrack + static_cast<int>(tracks.size()) - 1);
    for (size_t type = 0; type < packsOfType.size(); ++type)
        sizeInfo[4 + type] = static_cast<char>(packsOfType[type]);
    sizeInfo[20] = static_cast<char>(sequence + 2); // the block's last sequence number
    sizeInfo[28] = 0x09;                            // its language: English
    for (int part = 0; part < 3; ++part)
        packs += Pack(0x8F, part, sequence++, 0, sizeInfo.substr(12 * part, 12));
    if (!header)
        return packs;
    const size_t length = packs.size() + 2;
    return std::string{static_cast<char>(length >> 8), static_cast<char>(length & 0xFF), '\0', '\0'} + packs;
}

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
        const bool pastTheBin = tracks[i].index == CueIndex::PastTheBin;
        cue += "    INDEX 01 " + Msf(pastTheBin ? binSectors + 75 * (static_cast<int64_t>(i) + 1) : sector) + "\n";
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
