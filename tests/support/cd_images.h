#pragma once

// Audio CD images made on the spot: a CUE sheet and its raw BIN (44100 Hz 16-bit stereo,
// little-endian, 2352 bytes a sector) that the sound layer opens as a CD drive.

#include <cstdint>
#include <string>
#include <vector>

namespace sonorel_test {

// Where a track's CUE entry puts its INDEX 01: a damaged sheet points past the BIN.
enum class CueIndex { AtTrackStart, PastTheBin };

struct CdImageTrack {
    double seconds = 1.0; // rounded to whole sectors (1/75 s)
    bool data = false;    // a data track (MODE1/2352) instead of audio
    uint32_t seed = 1;    // of the track's sweep and noise
    CueIndex index = CueIndex::AtTrackStart; // the track's sound is in the BIN whatever its index says
};

struct CdImage {
    std::string cue;
    std::string bin;
    std::vector<int16_t> samples;          // the whole BIN
    std::vector<int64_t> trackStartBytes;  // where each track starts in `samples` (bytes)
    std::vector<int64_t> trackBytes;       // each track's length in bytes
};

// The CD-TEXT of one track; empty fields are left out.
struct CdTrackText {
    std::string performer;
    std::string title;
};

// Writes <folder>/<name>.cue and <name>.bin with the tracks one after the other, and the CD-TEXT
// of the first tracks when given.
CdImage MakeCdImage(const std::string& folder, const std::string& name, const std::vector<CdImageTrack>& tracks,
                    const std::vector<CdTrackText>& texts = {});

// A CD-TEXT file of one block in ISO-8859-1, as burning programs write it (after a 4-byte header
// when `header`): the disc's texts, then those of the tracks numbered from `firstTrack`, with the
// three size information packs libcdio needs.
std::string MakeCdText(int firstTrack, const CdTrackText& disc, const std::vector<CdTrackText>& tracks, bool header = true);

// Adds the image as a drive and removes every image drive again when it goes out of scope.
class ScopedImageDrives {
public:
    ScopedImageDrives() = default;
    ~ScopedImageDrives();
    ScopedImageDrives(const ScopedImageDrives&) = delete;
    ScopedImageDrives& operator=(const ScopedImageDrives&) = delete;
    // The drive index of the added image.
    int Add(const CdImage& image);
};

} // namespace sonorel_test
