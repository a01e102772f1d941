#include "disc/class_CDRipper.h"

#include <cmath>
#include <stdexcept>

#include "disc/class_CDDB.h"
#include "platform/sound/SoundCD.h"
#include "platform/trace/UserMessage.h"

namespace {

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

} // namespace

TCDRipper::~TCDRipper()
{
    StopPlay();
    CloseNeedle();
}

const std::vector<std::string>& TCDRipper::GetDrives()
{
    DriveNames.clear();
    for (int d = 0;; ++d) {
        const int letter = BASS_CD_GetDriveLetter(d);
        if (letter < 0)
            break;
        DriveNames.push_back(std::string(1, static_cast<char>('A' + letter)) + ": " + BASS_CD_GetDriveDescription(d));
    }
    return DriveNames;
}

void TCDRipper::SetDriveIndex(int d)
{
    driveIndex_ = d;
    TrackCount = BASS_CD_GetTracks(d);
    ImageRefusal = TrackCount < 0 ? BASS_CD_GetImageRefusal(d) : "";
    DiscTitle.clear();
    TrackTitles.clear();
    TrackNames.clear();
    for (int i = 0; i < TrackCount; ++i)
        TrackNames.push_back("track " + std::to_string(i + 1));
    TrackMarks.fill(false);
}

double TCDRipper::GetTrackLength(int i) const
{
    const int64_t bytes = BASS_CD_GetTrackLength(driveIndex_, i);
    return bytes > 0 ? static_cast<double>(bytes) * (1.0 / BytesPerSecond) : 0.0;
}

std::string TCDRipper::GetTrackLenStr(int i) const { return TimeToStr(static_cast<float>(GetTrackLength(i)), 1); }

std::string TCDRipper::GetTrackName(int i) { return "track" + TwoDigits(i + 1) + ".cda"; }

std::string TCDRipper::TrackFileName(int i) const
{
    const int letter = std::max(BASS_CD_GetDriveLetter(driveIndex_), 0);
    return std::string(1, static_cast<char>('a' + letter)) + ":\\" + GetTrackName(i);
}

const std::vector<std::string>& TCDRipper::GetTracks()
{
    TrackNames.clear();
    for (int i = 0; i < TrackCount; ++i)
        TrackNames.push_back(GetTrackName(i) + " (" + GetTrackLenStr(i) + ")");
    return TrackNames;
}

void TCDRipper::PutNeedleOnTrack(int i)
{
    StopPlay();
    CloseNeedle();
    needleTrack_ = i;
    Progress = 0;
    needleStream_ = BASS_CD_StreamCreateFile(TrackFileName(i), BASS_STREAM_DECODE);
    if (!needleStream_)
        throw std::runtime_error("Can't read cd track.");
}

void TCDRipper::PlayTrack(int i)
{
    StopPlay();
    playStream_ = BASS_CD_StreamCreateFile(TrackFileName(i), 0);
    if (playStream_)
        BASS_ChannelPlay(playStream_, false);
}

void TCDRipper::StopPlay()
{
    if (playStream_)
        BASS_StreamFree(playStream_);
    playStream_ = 0;
}

void TCDRipper::CloseNeedle()
{
    if (needleStream_)
        BASS_StreamFree(needleStream_);
    needleStream_ = 0;
}

int TCDRipper::GetData(void* Buffer, int Length)
{
    if (!needleStream_ || Length <= 0)
        return -1;
    const int32_t count = BASS_ChannelGetData(needleStream_, Buffer, static_cast<uint32_t>(Length));
    const int64_t length = BASS_ChannelGetLength(needleStream_);
    if (length > 0)
        Progress = static_cast<float>(static_cast<double>(BASS_ChannelGetPosition(needleStream_)) / static_cast<double>(length));
    return count <= 0 ? -1 : count;
}

bool TCDRipper::NeedleReadFailed() const
{
    BassCDReadStatus status;
    return needleStream_ && BASS_CD_StreamGetReadStatus(needleStream_, &status) && status.failed;
}

int64_t TCDRipper::NeedleSkippedSectors() const
{
    BassCDReadStatus status;
    return needleStream_ && BASS_CD_StreamGetReadStatus(needleStream_, &status) ? status.skippedSectors : 0;
}

std::string TCDRipper::TimeToStr(float seconds, int digits)
{
    const int minutes = static_cast<int>(std::floor(seconds / 60));
    const double s = seconds - minutes * 60.0;
    const int decimals = digits == -1 ? 0 : digits;
    // Fixed-point with '.', whatever the locale; rounding may show 60 (59.96 s gives "0:60.0").
    const double scale = std::pow(10.0, decimals);
    const long long scaled = std::llround(s * scale);
    std::string t = std::to_string(scaled / static_cast<long long>(scale));
    if (decimals > 0) {
        std::string fraction = std::to_string(scaled % static_cast<long long>(scale));
        fraction.insert(0, static_cast<size_t>(decimals) - std::min<size_t>(fraction.size(), decimals), '0');
        t += "." + fraction;
    }
    const size_t width = digits == -1 ? 2 : static_cast<size_t>(2 * digits + 2);
    if (t.size() < width)
        t.insert(0, width - t.size(), '0');
    if (digits == 0)
        return std::to_string(minutes) + " min " + t + " sec";
    return std::to_string(minutes) + ":" + t;
}

std::string TCDRipper::GetCDID(int drive) { return BASS_CD_GetID(drive, BASS_CDID_CDDB); }

bool TCDRipper::GetCDDBInfo()
{
    const std::string id = GetCDID(driveIndex_);
    std::vector<std::string> titles;
    cCDDB_Talk talk(&titles);
    if (!RunCDDBQuery(talk, id))
        return false;
    if (static_cast<int>(titles.size()) != BASS_CD_GetTracks(driveIndex_)) {
        ShowUserMessage("Wrong tracks number received from Internet Database.");
        return false;
    }
    DiscTitle = talk.DiscTitle;
    for (char& c : DiscTitle)
        if (c == '/')
            c = '-';
    TrackNames = titles;
    TrackTitles = titles;
    return true;
}
