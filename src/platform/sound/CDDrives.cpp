// Audio CD drives: the drive list, track addresses, disc ids, track counts, lengths and CD-TEXT.

#include <glob.h>
#include <unistd.h>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/sound/CDInternal.h"
#include "platform/sound/SoundCD.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

std::mutex imagesMutex;
std::vector<std::string> addedImages;

std::vector<std::string> EnvironmentImages()
{
    std::vector<std::string> images;
    const char* value = std::getenv("SONOREL_CD_IMAGES");
    std::string list = value ? value : "";
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const size_t end = std::min(list.find(':', start), list.size());
        if (end > start)
            images.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return images;
}

std::vector<CdDrive> DeviceDrives()
{
    std::vector<CdDrive> drives;
    glob_t found{};
    if (glob("/dev/sr*", 0, nullptr, &found) == 0) {
        std::set<std::string> seen;
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            char real[PATH_MAX];
            const std::string device = found.gl_pathv[i];
            const std::string key = realpath(device.c_str(), real) ? real : device;
            if (seen.insert(key).second)
                drives.push_back({device, false});
        }
    }
    globfree(&found);
    return drives;
}

std::string Trimmed(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(s.begin());
    return s;
}

std::string DeviceDescription(const std::string& device)
{
    if (access(device.c_str(), R_OK) != 0) {
        trace("CD drive " + device + " cannot be opened: no read permission (join the group cdrom)");
        return device + " - no permission (" + device + ")";
    }
    std::string text;
    if (CdIo_t* cdio = cdio_open(device.c_str(), DRIVER_DEVICE)) {
        cdio_hwinfo_t hw{};
        if (cdio_get_hwinfo(cdio, &hw))
            text = Trimmed(hw.psz_vendor) + " " + Trimmed(hw.psz_model) + " " + Trimmed(hw.psz_revision);
        cdio_destroy(cdio);
    }
    return (text.empty() ? std::string("CD drive") : text) + " (" + device + ")";
}

std::string FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Keeps one libcdio handle for the length of a call.
struct OpenDisc {
    explicit OpenDisc(int drive) : cdio(OpenDrive(drive)) {}
    ~OpenDisc() { if (cdio) cdio_destroy(cdio); }
    OpenDisc(const OpenDisc&) = delete;
    OpenDisc& operator=(const OpenDisc&) = delete;
    int Tracks() const
    {
        if (!cdio)
            return -1;
        const track_t count = cdio_get_num_tracks(cdio);
        return count == CDIO_INVALID_TRACK ? -1 : count;
    }
    CdIo_t* cdio;
};

// libcdio's warnings (short tracks in an image, unreadable TOCs) go to the trace, not to stderr.
void LogToTrace(cdio_log_level_t level, const char* message)
{
    if (level >= CDIO_LOG_WARN)
        trace(std::string("libcdio: ") + (message ? message : ""));
}

void RouteLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(LogToTrace); });
}

int DigitSum(int n)
{
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}

} // namespace

bool ParseTrackAddress(const std::string& path, int& drive, int& track)
{
    if (path.size() != 14 || path[1] != ':' || path[2] != '\\')
        return false;
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower[0] < 'a' || lower[0] > 'z' || lower.compare(3, 5, "track") != 0 || lower.compare(10, 4, ".cda") != 0 ||
        !std::isdigit(static_cast<unsigned char>(lower[8])) || !std::isdigit(static_cast<unsigned char>(lower[9])))
        return false;
    drive = lower[0] - 'a';
    track = (lower[8] - '0') * 10 + (lower[9] - '0') - 1;
    return track >= 0;
}

std::vector<CdDrive> ListDrives()
{
    std::vector<std::string> images = EnvironmentImages();
    {
        std::lock_guard<std::mutex> lock(imagesMutex);
        images.insert(images.end(), addedImages.begin(), addedImages.end());
        KeepImageCopies(images); // the copies of images no longer listed go, none that is being added
    }
    std::vector<CdDrive> drives = DeviceDrives();
    for (const std::string& image : images)
        drives.push_back({image, true});
    return drives;
}

CdIo_t* OpenDrive(int drive)
{
    RouteLibraryLog();
    const std::vector<CdDrive> drives = ListDrives();
    if (drive < 0 || drive >= static_cast<int>(drives.size()))
        return nullptr;
    const CdDrive& d = drives[drive];
    if (!d.image)
        return cdio_open(d.path.c_str(), DRIVER_DEVICE);
    const std::string sheet = LibrarySheetFor(d.path);
    return sheet.empty() ? nullptr : cdio_open_cue(sheet.c_str());
}

bool TrackExtent(CdIo_t* cdio, int track, lsn_t& first, lsn_t& last)
{
    const track_t count = cdio_get_num_tracks(cdio);
    if (count == CDIO_INVALID_TRACK || track < 0 || track >= count)
        return false;
    const track_t number = static_cast<track_t>(cdio_get_first_track_num(cdio) + track);
    first = cdio_get_track_lsn(cdio, number);
    last = cdio_get_track_last_lsn(cdio, number);
    const lsn_t discEnd = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (first == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || discEnd == CDIO_INVALID_LSN)
        return false;
    if (first >= 0 && first <= last && last < discEnd)
        return true;
    trace("CD track " + std::to_string(track + 1) + " lies outside the disc (sectors " + std::to_string(first) + " to " +
          std::to_string(last) + ", disc ends at " + std::to_string(discEnd) + "): its TOC or CUE sheet is damaged");
    return false;
}

bool ReadTrackText(int drive, int track, std::string& artist, std::string& title)
{
    OpenDisc disc(drive);
    if (track < 0 || track >= disc.Tracks())
        return false;
    const cdtext_t* text = cdio_get_cdtext(disc.cdio);
    if (!text)
        return false;
    const track_t number = static_cast<track_t>(cdio_get_first_track_num(disc.cdio) + track);
    auto field = [text, number](cdtext_field_t key) {
        const char* value = cdtext_get_const(text, key, number);
        return std::string(value ? value : "");
    };
    artist = field(CDTEXT_FIELD_PERFORMER);
    title = field(CDTEXT_FIELD_TITLE);
    return true;
}

} // namespace sound

using namespace sound;

int BASS_CD_GetDriveLetter(int drive)
{
    return drive >= 0 && drive < static_cast<int>(ListDrives().size()) ? drive : -1;
}

std::string BASS_CD_GetDriveDescription(int drive)
{
    const std::vector<CdDrive> drives = ListDrives();
    if (drive < 0 || drive >= static_cast<int>(drives.size()))
        return "";
    const CdDrive& d = drives[drive];
    return d.image ? "Image " + FileName(d.path) + " (" + d.path + ")" : DeviceDescription(d.path);
}

std::string BASS_CD_GetID(int drive, int kind)
{
    if (kind != BASS_CDID_CDDB)
        return "";
    OpenDisc disc(drive);
    const int tracks = disc.Tracks();
    if (tracks <= 0)
        return "";
    const track_t first = cdio_get_first_track_num(disc.cdio);
    std::string offsets;
    int digitSums = 0;
    for (int t = 0; t < tracks; ++t) {
        const lba_t lba = cdio_get_track_lba(disc.cdio, static_cast<track_t>(first + t));
        if (lba == CDIO_INVALID_LBA)
            return "";
        digitSums += DigitSum(lba / CDIO_CD_FRAMES_PER_SEC);
        offsets += " " + std::to_string(lba);
    }
    const lba_t leadOut = cdio_get_track_lba(disc.cdio, CDIO_CDROM_LEADOUT_TRACK);
    const lba_t start = cdio_get_track_lba(disc.cdio, first);
    if (leadOut == CDIO_INVALID_LBA)
        return "";
    const int seconds = leadOut / CDIO_CD_FRAMES_PER_SEC;
    const unsigned id = (static_cast<unsigned>(digitSums % 0xff) << 24) |
                        (static_cast<unsigned>(seconds - start / CDIO_CD_FRAMES_PER_SEC) << 8) |
                        static_cast<unsigned>(tracks);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", id);
    return std::string(hex) + " " + std::to_string(tracks) + offsets + " " + std::to_string(seconds);
}

int BASS_CD_GetTracks(int drive) { return OpenDisc(drive).Tracks(); }

int64_t BASS_CD_GetTrackLength(int drive, int track)
{
    OpenDisc disc(drive);
    lsn_t first = 0, last = 0;
    if (!disc.cdio || !TrackExtent(disc.cdio, track, first, last))
        return -1;
    return static_cast<int64_t>(last - first + 1) * BASS_CD_SECTOR_BYTES;
}

bool BASS_CD_IsAudioTrack(int drive, int track)
{
    OpenDisc disc(drive);
    if (track < 0 || track >= disc.Tracks())
        return false;
    const track_t number = static_cast<track_t>(cdio_get_first_track_num(disc.cdio) + track);
    return cdio_get_track_format(disc.cdio, number) == TRACK_FORMAT_AUDIO;
}

std::string BASS_CD_GetImageRefusal(int drive)
{
    const std::vector<CdDrive> drives = ListDrives();
    if (drive < 0 || drive >= static_cast<int>(drives.size()) || !drives[drive].image)
        return "";
    std::string refusal;
    LibrarySheetFor(drives[drive].path, &refusal);
    return refusal.empty() ? "" : FileName(drives[drive].path) + ": " + refusal;
}

bool BASS_CD_AddImageDrive(const std::string& cuePath)
{
    RouteLibraryLog();
    {
        std::lock_guard<std::mutex> lock(imagesMutex); // listed first, so that its copy is kept
        addedImages.push_back(cuePath);
    }
    const std::string sheet = LibrarySheetFor(cuePath);
    CdIo_t* cdio = sheet.empty() ? nullptr : cdio_open_cue(sheet.c_str());
    if (cdio) {
        cdio_destroy(cdio);
        return true;
    }
    std::lock_guard<std::mutex> lock(imagesMutex);
    if (const auto added = std::find(addedImages.rbegin(), addedImages.rend(), cuePath); added != addedImages.rend())
        addedImages.erase(std::next(added).base());
    return false;
}

void BASS_CD_RemoveImageDrives()
{
    {
        std::lock_guard<std::mutex> lock(imagesMutex);
        addedImages.clear();
    }
    ListDrives(); // lets go of their copies
}
