#include "cd/class_Device.h"

#include <algorithm>
#include <iterator>

#include "cd/class_BurnLog.h"

std::vector<std::unique_ptr<CDevice>> BurnerList;

const TSpeed CDSpeedTable[16] = {
    {176, "1.0x"},   {353, "2.0x"},   {387, "2.2x"},   {528, "3.0x"},   {706, "4.0x"},   {1400, "8.0x"},
    {1760, "10.0x"}, {2112, "12.0x"}, {2800, "16.0x"}, {3250, "20.0x"}, {4224, "24.0x"}, {5632, "32.0x"},
    {7040, "40.0x"}, {7744, "44.0x"}, {8448, "48.0x"}, {9152, "52.0x"}};
const TSpeed DVDSpeedTable[10] = {{1385, "1.0x"}, {2770, "2.0x"},  {3324, "2.4x"},  {4155, "3.0x"},  {5540, "4.0x"},
                                  {6925, "5.0x"}, {8310, "6.0x"}, {11080, "8.0x"}, {16620, "12.0x"}, {22160, "16.0x"}};

namespace {

const char* YesNo(bool value) { return value ? "Yes" : "No"; }

// The drive counts 1000 bytes per second (1x CD = 176.4), the tables whole KB/s: a speed up to
// 1 % above a table entry is that entry (52x reads back about 9173).
int32_t NominalSpeed(int32_t speed)
{
    auto counts = [speed](const TSpeed& entry) { return speed >= entry.KBps && speed * 100 <= entry.KBps * 101; };
    for (const TSpeed& entry : CDSpeedTable)
        if (counts(entry))
            return entry.KBps;
    for (const TSpeed& entry : DVDSpeedTable)
        if (counts(entry))
            return entry.KBps;
    return speed;
}

// The label of a speed within the table: the nearer of the two entries around it, the lower one
// when both are as near; null outside the table.
const char* SpeedLabel(const TSpeed* table, size_t count, int32_t speed)
{
    for (size_t j = 1; j < count; ++j)
        if (table[j - 1].KBps <= speed && speed <= table[j].KBps)
            return speed - table[j - 1].KBps <= table[j].KBps - speed ? table[j - 1].Text : table[j].Text;
    return nullptr;
}

void DiscoveryStart()
{
    CDevice::InitStarBurnDll();
    BurnerList.clear(); // releases the old grabs before the scan looks for drives
}

} // namespace

const char* MediaTypeName(TMediaType code)
{
    static const char* const names[] = {"Unknown", "CDROM",   "CD-R",     "CD-RW",    "DVD-ROM",   "DVD-R",
                                        "DVD-RAM", "DVD-RW",  "DVD-RW",   "DVD+RW",   "CDROM",     "CD-R",
                                        "CD-RW",   "DVD+R",   "Empty",    "DVD+R DL", "DVD-R DL",  "BD-ROM",
                                        "BD-R",    "BD-RE",   "HD-DVD ROM", "HD-DVD R", "HD-DVD RW"};
    return code < std::size(names) ? names[code] : nullptr;
}

void MediaTypeName(const CDevice& device, std::string& text)
{
    if (const char* name = MediaTypeName(device.GetMediaType()))
        text = name;
}

CDevice::CDevice(const burner::DriveAddress& address, uint8_t interfaceKind)
    : InterfaceKind(interfaceKind), path_(address.path)
{
    if (interfaceKind == 0) {
        Address[1] = static_cast<uint8_t>(address.port);
        Address[2] = static_cast<uint8_t>(address.bus);
        Address[3] = static_cast<uint8_t>(address.target);
        Address[4] = static_cast<uint8_t>(address.lun);
    } else {
        DeviceName = address.path;
    }
}

CDevice::~CDevice() { ReleaseGrabber(); }

bool CDevice::Failed(const std::string& text)
{
    LastResult = 1;
    ErrorText = text.substr(0, 1023);
    return false;
}

bool CDevice::InitStarBurnDll()
{
    burner::Backend& backend = burner::CurrentBackend();
    if (backend.Start())
        return true;
    LogPrintf(1, 3, "Can't UpStartEx StarBurn");
    LogPrintf(0, 3, "\n\nCDevice::InitStarBurnDll():StarBurn_UpStartEx() failed, exception %ld \n", 1L);
    return false;
}

void CDevice::FindASPIDevices()
{
    DiscoveryStart();
    for (const burner::DriveAddress& address : burner::CurrentBackend().Scan()) {
        LogPrintf(0, 0, "\nCDevice::FindDeviceCallback): Probing SCSI address %ld:%ld:%ld:%ld for CD/DVD device... ",
                  long(address.port), long(address.bus), long(address.target), long(address.lun));
        BurnerList.push_back(std::make_unique<CDevice>(address, 0));
    }
    LogPrintf(0, 0, "CDevice::FindASPIDevices(): found %d devices \r\n", int(BurnerList.size()));
}

void CDevice::FindSPTIDevices()
{
    DiscoveryStart();
    for (const burner::DriveAddress& address : burner::CurrentBackend().Scan()) {
        LogPrintf(0, 0, "Found device: <%s>\n", address.path.c_str());
        BurnerList.push_back(std::make_unique<CDevice>(address, 1));
    }
    LogPrintf(0, 0, "CDevice::FindSPTIDevices(): found %d devices \r\n", int(BurnerList.size()));
}

bool CDevice::CdvdBurnerGrabberCreate()
{
    LastResult = 0;
    Status = 31;
    burner::Backend& backend = burner::CurrentBackend();
    Grabber = backend.Grab(path_);
    if (Grabber)
        return true;
    Failed(backend.ErrorText());
    LogPrintf(0, 3, "\n\nCDevice::CdvdBurnerGrabberCreate: %s failed, exception %ld, status %ld, text '%s'\n",
              InterfaceKind == 0 ? "StarBurn_CdvdBurnerGrabber_Create()" : "StarBurn_CdvdBurnerGrabber_CreateEx()",
              long(LastResult), long(Status), ErrorText.c_str());
    return false;
}

void CDevice::ReleaseGrabber() { Grabber.reset(); }

bool CDevice::EnsureGrabber() { return Grabber || CdvdBurnerGrabberCreate(); }

bool CDevice::TestUnitReady()
{
    Status = 31;
    LastResult = 0;
    if (!EnsureGrabber())
        return false;
    return Grabber->UnitReady() || Failed(Grabber->ErrorText());
}

bool CDevice::RefreshDeviceLetter(std::string& letter)
{
    letter = path_;
    return true;
}

bool CDevice::RefreshDeviceInfo()
{
    if (!EnsureGrabber())
        return false;
    const burner::Identity identity = Grabber->GetIdentity();
    Vendor = identity.vendor;
    Product = identity.product;
    Revision = identity.revision;
    CacheSize = identity.cacheBytes;
    LogPrintf(0, 0, "OK!\nCDevice::RefreshDeviceInfo()): Found CD/DVD device '%s' '%s' '%s'\n", Vendor.c_str(),
              Product.c_str(), Revision.c_str());
    LogPrintf(0, 0, "CDevice::RefreshDeviceInfo(): With %ld UCHAR(s) of cache\n", long(CacheSize));
    Address[0] = 1;
    RefreshDeviceLetter(DriveLetter);
    return true;
}

bool CDevice::RefreshMedia()
{
    if (!EnsureGrabber())
        return false;
    MediaType = Grabber->GetMediaCode();
    burner::TrackInfo info;
    return RefreshMediaSize() && GetTrackInfo(info);
}

bool CDevice::GetTrackInfo(burner::TrackInfo& info)
{
    if (!EnsureGrabber())
        return false;
    if (Grabber->GetNextTrack(info))
        return true;
    Failed(Grabber->ErrorText());
    LogPrintf(0, 3, "\n\nCDevice::GetTrackInfo: StarBurn_CdvdBurnerGrabber_GetTrackInformation() failed, exception %ld, status %ld, text '%s'\n",
              long(LastResult), long(Status), ErrorText.c_str());
    return false;
}

namespace {

void LogTrackLine(const burner::TrackInfo& info)
{
    LogPrintf(0, 0, "\nRefreshMediaSize(): Track blank: %s, NWA valid: %s, free LBs %ld, NWA %ld, track number %ld\n",
              YesNo(info.blank), YesNo(info.nwaValid), long(info.freeBlocks), long(info.nwa), long(info.track));
}

// The start block of the TOC entry that the track count designates (one lower for DVD-R and
// DVD+R); false when the TOC has no such entry.
bool TocEntryStart(const burner::Toc& toc, TMediaType media, int64_t& start)
{
    const int64_t tracks = static_cast<int64_t>(toc.trackStarts.size()) - 1;
    const int64_t index = media == burner::MediaDvdR || media == burner::MediaDvdPlusR ? tracks - 1 : tracks;
    if (index < 0 || index >= static_cast<int64_t>(toc.trackStarts.size()))
        return false;
    start = toc.trackStarts[static_cast<size_t>(index)];
    return true;
}

} // namespace

bool CDevice::IsDiscBlank()
{
    if (!EnsureGrabber())
        return false;
    int status = 0;
    if (!Grabber->GetDiscStatus(status)) {
        Failed(Grabber->ErrorText());
        LogPrintf(0, 3, "\nCDevice::IsDiscBlank(): StarBurn_CdvdBurnerGrabber_GetDiscInformation() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
        return false;
    }
    burner::TrackInfo info;
    const bool haveTrack = GetTrackInfo(info);
    if (haveTrack)
        LogTrackLine(info);
    return status == burner::DiscBlank || (haveTrack && info.nwaValid && info.nwa == 0);
}

bool CDevice::RefreshMediaSize()
{
    if (!EnsureGrabber() || !TestUnitReady()) {
        MediaSize = 0;
        return false;
    }
    const TMediaType media = Grabber->GetMediaCode();
    int status = 0;
    if (!Grabber->GetDiscStatus(status)) {
        MediaSize = 0;
        Failed(Grabber->ErrorText());
        LogPrintf(0, 3, "\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetDiscInformation() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
        return false;
    }
    burner::Toc toc;
    const bool haveToc = Grabber->GetToc(toc);
    if (haveToc) {
        LogPrintf(0, 0, "\nRefreshMediaSize(): TOC IsValid %s, IsDVD %s, NumberOfSessions: %ld, NumberOfTracks: %ld\n",
                  YesNo(toc.valid), YesNo(toc.dvd), long(toc.sessions),
                  long(toc.trackStarts.empty() ? 0 : toc.trackStarts.size() - 1));
    } else {
        Failed(Grabber->ErrorText());
        LogPrintf(0, 3, "\n\nRefreshMediaSize(): StarBurn_CdvdBurnerGrabber_GetTOCInformation() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
    }
    burner::TrackInfo info;
    const bool haveTrack = GetTrackInfo(info);
    if (haveTrack)
        LogTrackLine(info);
    const bool rewritableDvd = media == burner::MediaDvdRw || media == 8 /* DVD-RW too */;
    if (status != burner::DiscBlank && status != burner::DiscIncomplete && status != burner::DiscComplete && !rewritableDvd)
        return true; // a disc in another state (one the drive cannot describe) keeps the size found before
    MediaSize = 0;
    if (status == burner::DiscBlank)
        return true;
    int64_t start = 0;
    if (status == burner::DiscIncomplete || rewritableDvd) {
        if (haveTrack && info.nwaValid && info.nwa == 0)
            MediaSize = 0;
        else if (haveToc && TocEntryStart(toc, media, start))
            MediaSize = double(start) * 2048;
        else if (!haveToc && haveTrack)
            MediaSize = double(info.nwa) * 2048;
    } else if (status == burner::DiscComplete && haveToc && TocEntryStart(toc, burner::MediaCdR, start)) {
        MediaSize = double(start) * 2048;
    }
    return true;
}

bool CDevice::RefreshReadWriteModes()
{
    if (!Grabber) {
        TrackAtOnce = SessionAtOnce = DiscAtOncePQ = DiscAtOnceRawPW = false;
        return false;
    }
    const burner::WriteModes modes = Grabber->GetWriteModes();
    TrackAtOnce = modes.trackAtOnce;
    SessionAtOnce = modes.sessionAtOnce;
    DiscAtOncePQ = modes.discAtOncePQ;
    DiscAtOnceRawPW = modes.discAtOnceRaw;
    // Every drive the layer finds reads CDs; what else it reads is not asked.
    ReadModes[0] = true;
    return true;
}

bool CDevice::SetWriteSpeed(int32_t& speed)
{
    if (!EnsureGrabber()) {
        MediaSize = 0;
        return false;
    }
    int taken = 0;
    if (!Grabber->SetWriteSpeed(speed, taken))
        return Failed(Grabber->ErrorText());
    burner::Speeds speeds;
    if (!Grabber->GetSpeeds(speeds))
        return Failed(Grabber->ErrorText());
    speed = NominalSpeed(speeds.currentWrite);
    return true;
}

bool CDevice::ProbeSpeeds(const TSpeed* table, size_t count, bool stopAtMax, int maxWrite)
{
    int32_t previous = 0, current = 0;
    for (size_t i = 0; i < count; ++i) {
        if (table[i].KBps <= current)
            continue;
        previous = current;
        current = table[i].KBps;
        if (SetWriteSpeed(current) && current != previous) {
            const char* label = SpeedLabel(table, count, current);
            const bool listed = std::any_of(Speeds.begin(), Speeds.end(), [current](const TSpeed& s) { return s.KBps == current; });
            if (label && !listed)
                Speeds.push_back({current, label});
        }
        if (stopAtMax && table[i].KBps == maxWrite)
            break;
    }
    return true;
}

bool CDevice::GetWriteSpeeds()
{
    Speeds.clear();
    if (!EnsureGrabber())
        return false;
    burner::Speeds speeds;
    if (!Grabber->GetSpeeds(speeds)) {
        Failed(Grabber->ErrorText());
        LogPrintf(0, 0, "\n\nGetWriteSpeeds(): StarBurn_CdvdBurnerGrabber_GetSpeeds() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
        return false;
    }
    const int32_t maxWrite = NominalSpeed(speeds.maxWrite);
    switch (MediaType) {
    case 2: case 3: case 11: case 12:
        return ProbeSpeeds(CDSpeedTable, std::size(CDSpeedTable), true, maxWrite);
    case 5: case 6: case 7: case 8: case 9: case 13: case 15: case 16:
        return ProbeSpeeds(DVDSpeedTable, std::size(DVDSpeedTable), false, maxWrite);
    case burner::MediaEmpty:
        for (const TSpeed& speed : CDSpeedTable)
            if (speed.KBps <= maxWrite)
                Speeds.push_back(speed);
        return true;
    default:
        return true;
    }
}

bool CDevice::Eject()
{
    if (!EnsureGrabber())
        return false;
    WriteState = 4;
    const bool ejected = Grabber->Eject();
    WriteState = 0;
    if (!ejected) {
        Failed(Grabber->ErrorText());
        LogPrintf(0, 3, "\n\nCDevice::Eject()): StarBurn_CdvdBurnerGrabber_Eject() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
        LogPrintf(1, 3, "Ejecting Error!");
        return false;
    }
    Grabber.reset(); // the eject let go of the drive; the next use grabs it again
    LogPrintf(1, 0, "Eject");
    return true;
}

void CDevice::SetProgress(int32_t percent)
{
    std::lock_guard<std::mutex> lock(progressLock_);
    progress_ = percent;
}

int32_t CDevice::GetProgress()
{
    std::lock_guard<std::mutex> lock(progressLock_);
    return progress_;
}

void CDevice::SetState(int32_t file)
{
    std::lock_guard<std::mutex> lock(currentFileLock_);
    currentFile_ = file;
}

int32_t CDevice::CurrentFile()
{
    std::lock_guard<std::mutex> lock(currentFileLock_);
    return currentFile_;
}
