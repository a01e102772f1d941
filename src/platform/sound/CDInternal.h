#pragma once

// Internals shared by the CD drive files of the sound layer.

#include <cdio/cdio.h>

#include <string>
#include <vector>

namespace sound {

struct CdDrive {
    std::string path; // device node or CUE file
    bool image = false;
};

// The drives in letter order: /dev/sr* (deduplicated by real path), then image drives.
std::vector<CdDrive> ListDrives();

// A fresh libcdio handle on drive `drive` (its own TOC); null without a drive or disc, or for an
// image whose sheet was refused.
CdIo_t* OpenDrive(int drive);

// The sheet libcdio is to open for the image drive of CUE sheet `sheet`: a private copy of it, or
// "" with the reason in `refusal` when our reader refused it. A sheet is read again only when it
// or one of the files it names changed.
std::string LibrarySheetFor(const std::string& sheet, std::string* refusal = nullptr);

// Removes the private copies of every image drive but those of `sheets`.
void KeepImageCopies(const std::vector<std::string>& sheets);

// The first and last sector of track `track` (0-based), false when the track does not lie on the
// disc. A damaged TOC or CUE sheet can give a track that starts before the disc (no INDEX 01),
// ends before it starts or runs past the disc's end; paranoia never returns from reading one.
bool TrackExtent(CdIo_t* cdio, int track, lsn_t& first, lsn_t& last);

// Parses "d:\track07.cda" into drive index 3 and track index 6; false for anything else.
bool ParseTrackAddress(const std::string& path, int& drive, int& track);

// The CD-TEXT performer and title of track `track` (0-based) of the disc in drive `drive`, as
// UTF-8; false without a disc, such a track or CD-TEXT.
bool ReadTrackText(int drive, int track, std::string& artist, std::string& title);

} // namespace sound
