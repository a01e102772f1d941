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

// A fresh libcdio handle on drive `drive` (its own TOC); null without a drive or disc.
CdIo_t* OpenDrive(int drive);

} // namespace sound
