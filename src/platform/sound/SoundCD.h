#pragma once

// Audio CD drives of the sound library (libcdio, libcdio-paranoia). Linux has no drive letters:
// a drive's "letter index" is its position in the layer's drive list, the /dev/sr* drives
// (deduplicated by real path) followed by the image drives (CUE/BIN files) added below or named
// in the environment variable SONOREL_CD_IMAGES (paths separated by ':'). A track is addressed
// as letter + ":\track" + two-digit number + ".cda" ("d:\track01.cda"); only this layer parses
// such addresses. Every call opens its own libcdio handle, so a disc change is always seen.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound/SoundLibrary.h"

constexpr int BASS_CDID_CDDB = 2; // BASS_CD_GetID: the CDDB query text
constexpr int BASS_CD_SECTOR_BYTES = 2352;
constexpr uint32_t BASS_CTYPE_CD = 9; // BassChannelInfo::type of a CD track stream

// The letter index of drive `drive` (its index in the list); -1 past the last.
int BASS_CD_GetDriveLetter(int drive);

// "<vendor> <model> <revision> (<device>)" for a drive; an image drive reads
// "Image <file name> (<cue path>)". A drive the user may not open carries " - no permission".
// "" past the last.
std::string BASS_CD_GetDriveDescription(int drive);

// kind BASS_CDID_CDDB: "<8 hex digit id> <tracks> <offset of each track, in frames> <disc
// seconds>"; "" without a readable disc (or for another kind).
std::string BASS_CD_GetID(int drive, int kind);

// Tracks on the disc in the drive; -1 without a disc or drive.
int BASS_CD_GetTracks(int drive);

// Bytes of PCM of track `track` (0-based): its sectors x 2352; -1 when there is no such track or
// it does not lie on the disc (a damaged TOC or CUE sheet).
int64_t BASS_CD_GetTrackLength(int drive, int track);

// Whether track `track` (0-based) holds sound; false for a data track or when there is no such track.
bool BASS_CD_IsAudioTrack(int drive, int track);

// Whether `path` is a track address of this layer ("d:\track01.cda"), whether or not such a
// drive or track exists.
bool BASS_CD_IsTrackAddress(const std::string& path);

// Opens the audio track at `path` ("d:\track01.cda") as a 44100 Hz 16-bit stereo stream read
// through paranoia (full checks, skips allowed after bounded retries) by a read-ahead thread of its
// own. flags: 0 (playable: a drive that falls behind is heard as silence) or BASS_STREAM_DECODE (a
// read waits for the drive, but on the sound thread takes silence instead). 0 for a bad address,
// no disc, a data track, a track that does not lie on the disc.
BassHandle BASS_CD_StreamCreateFile(const std::string& path, uint32_t flags);

// How the reading of a CD track stream went. `failed`: the stream ended early because the drive
// returned nothing, a second of sectors in a row could not be read, or one sector's read took
// longer than the read time limit.
struct BassCDReadStatus {
    bool failed = false;
    int64_t skippedSectors = 0; // sectors paranoia gave up on and skipped
};
bool BASS_CD_StreamGetReadStatus(BassHandle stream, BassCDReadStatus* status);

// Why an image drive's CUE sheet is not read: the sheet's file name, ": " and the reason, which
// names the line where there is one ("disc.cue: line 4: ..."; what is read: BASS_CD_AddImageDrive).
// "" for a sheet that is read, a real drive and past the last drive.
std::string BASS_CD_GetImageRefusal(int drive);

// Adds a CUE/BIN image as the next drive; false, adding nothing, when its sheet is refused or
// libcdio cannot open it. A sheet is read as it says: one FILE line naming a BINARY file of raw
// 2352-byte sectors (little-endian sound; where it is not there, the file of its name beside the
// sheet, then the BIN named after the sheet), TRACKs numbered 1 to 99 in sequence from any number,
// each with an INDEX 01, every INDEX after the one before; a CDTEXTFILE that is no regular file of
// whole 18-byte packs is left out. The drive's tracks are counted from the sheet's first.
bool BASS_CD_AddImageDrive(const std::string& cuePath);
// Removes every image drive added by BASS_CD_AddImageDrive (the environment's stay).
void BASS_CD_RemoveImageDrives();

// The longest a CD track stream waits for one sector (paranoia's retries included) before it ends
// as failed; a drive read that never returns is left to finish on its own. 0 sets the default, 30 s.
void BASS_CD_SetReadTimeLimit(int milliseconds);

// Tests: make reads of the given absolute sectors fail, every read from sector `removedFrom` on
// return nothing (a disc taken out), and every read from sector `hangFrom` on wait until the
// simulation changes (a drive that stops answering); -1: never. Empty lists end the simulation.
void BASS_CD_SimulateReadFaults(const std::vector<int32_t>& badSectors, int32_t removedFrom = -1,
                                int32_t hangFrom = -1);
