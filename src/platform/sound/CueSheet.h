#pragma once

// CUE sheets of image drives, read and checked by our own reader before libcdio sees them.
// libcdio 2.1's reader writes outside its track table for a sheet numbered from above 1 or
// without a track, leaks a descriptor for every short CD-TEXT file and reads the BIN named after
// the sheet whatever the FILE line says. So libcdio only ever gets a sheet written here: numbered
// from 1, naming the BIN and CD-TEXT file it is to read, holding nothing this reader did not check.

#include <optional>
#include <string>
#include <vector>

namespace sound {

// One TRACK of a sheet and the lines that follow it, written out again the way libcdio reads them.
struct CueTrack {
    int number = 0;                 // as the sheet numbers it: 1 to 99
    std::string mode;               // AUDIO, MODE1/2048, MODE1/2352, MODE2/2336 or MODE2/2352
    std::vector<std::string> lines; // FLAGS, ISRC, PREGAP, INDEX and texts, in the sheet's order
};

struct CueSheet {
    std::string bin;                    // the BIN read (relative names under the sheet's folder)
    std::string namedBin;               // the file the FILE line names, when another BIN is read instead
    std::string cdTextFile;             // the CDTEXTFILE line's file; "" without one
    std::vector<std::string> files;     // every file looked at: a change to one may change the reading
    std::vector<std::string> discLines; // CATALOG, CDTEXTFILE (the line alone) and the disc's texts
    std::vector<CueTrack> tracks;       // at least one, numbered in sequence
};

constexpr size_t kMaxCueSheetBytes = 1 << 20;
constexpr size_t kMaxCueLineBytes = 4000; // libcdio reads lines of up to 4095 bytes

// Reads and checks the sheet at `path`: one FILE line of a readable BINARY file, TRACKs numbered 1
// to 99 in sequence in the modes libcdio reads, each with an INDEX 01, every INDEX after the one
// before. Where the FILE line's file is not there, the file of its name beside the sheet is read
// (a sheet made on another system names that system's folders), else the BIN named after the sheet.
// Nothing but the sheet is opened. On refusal `sheet` is left as far as it was read (its `files`
// are what a change should be watched on) and `why` names the line.
bool ReadCueSheet(const std::string& path, CueSheet& sheet, std::string& why);

// The sheet as libcdio is to read it: tracks numbered from 1, FILE naming `binName`, CDTEXTFILE
// naming `cdTextName` (none when empty), no remarks and no postgaps (libcdio reads neither).
// `sheet` is one that ReadCueSheet read.
std::string LibraryCueSheet(const CueSheet& sheet, const std::string& binName, const std::string& cdTextName);

// libcdio reads at most this much of a CD-TEXT file.
constexpr size_t kMaxCdTextBytes = 9216;

// The packs of the CD-TEXT file at `path` as libcdio 2.1 reads them: without the file's 4-byte
// header, with tracks numbered so that `firstTrack` becomes track 1. Nothing, with `why`, for
// anything but a regular file of whole 18-byte packs (after an optional 4-byte header, and before
// an optional closing NUL, as some programs write) within kMaxCdTextBytes.
std::optional<std::string> ReadCdTextPacks(const std::string& path, int firstTrack, std::string& why);

} // namespace sound
