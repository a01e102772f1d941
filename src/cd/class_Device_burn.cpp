// The audio CD write. The burning layer writes on its own thread; this side polls the drive on the
// calling thread and turns what it sees into the burn events (analysis at the start, the cache
// wait at the lead-in, progress while writing, the cache synchronisation at the close), so the
// log sinks run on the calling thread, in order.
#include "cd/class_Device.h"

#include <QCoreApplication>

#include <cinttypes>
#include <thread>

#include "cd/class_BurnLog.h"

namespace {

const char* YesNo(bool value) { return value ? "Yes" : "No"; }

constexpr int32_t kCacheWaitMs = 5000; // how long the drive may take to fill its cache
constexpr int64_t kAudioSectorBytes = 2352;

enum BurnEvent { TargetFileAnalyzeBegin = 4, TargetFileAnalyzeEnd = 5, WaitCacheFullBegin = 6, WaitCacheFullEnd = 7,
                 SynchronizeCacheBegin = 8, SynchronizeCacheEnd = 9, Progress = 12, DvdPlusRwFormatBegin = 21,
                 DvdPlusRwFormatEnd = 22 };

// Leaves the write state idle however the write ends.
struct WriteStateReset {
    uint8_t& state;
    ~WriteStateReset() { state = 0; }
};

} // namespace

void CDevice::BurnCallback(int code, const void* first, const void* second)
{
    switch (code) {
    case TargetFileAnalyzeBegin:
        LogPrintf(0, 0, "CDevice::BurnCallback(): TARGET_FILE_ANALYZE_BEGIN\n");
        break;
    case TargetFileAnalyzeEnd:
        LogPrintf(0, 0, "CDevice::BurnCallback(): Target file size in UCHARs %" PRId64 ", LBs %" PRId64 "\n",
                  *static_cast<const int64_t*>(first), *static_cast<const int64_t*>(second));
        LogPrintf(0, 0, "CDevice::BurnCallback(): TARGET_FILE_ANALYZE_END\n");
        break;
    case WaitCacheFullBegin: {
        const long limit = *static_cast<const int32_t*>(first);
        LogPrintf(0, 0, "CDevice::BurnCallback(): WAIT_CACHE_FULL_BEGIN\n");
        LogPrintf(0, 0, "CDevice::BurnCallback(): Waiting for cache full not more than %ld ms... ", limit);
        LogPrintf(1, 0, "Waiting for cache full not more than %ld ms... ", limit);
        break;
    }
    case WaitCacheFullEnd:
        LogPrintf(0, 0, "OK!\nCDevice::BurnCallback(): WAIT_CACHE_FULL_END\n");
        LogPrintf(1, 0, "Cache is Full.");
        LogPrintf(1, 0, "Burning...");
        break;
    case SynchronizeCacheBegin:
        LogPrintf(0, 0, "\nCDevice::BurnCallback(): SYNCHRONIZE_CACHE_BEGIN\n");
        break;
    case SynchronizeCacheEnd:
        LogPrintf(0, 0, "CDevice::BurnCallback(): SYNCHRONIZE_CACHE_END\n");
        break;
    case Progress: {
        const int64_t total = *static_cast<const int64_t*>(first);
        const int64_t current = *static_cast<const int64_t*>(second);
        if (total == 0)
            break;
        const int32_t percent = static_cast<int32_t>(current * 100 / total);
        if (percent == GetProgress())
            break;
        SetProgress(percent);
        LogPrintf(0, 0, "%d%% ", percent);
        break;
    }
    case DvdPlusRwFormatBegin:
        LogPrintf(0, 0, "\nCDevice::BurnCallback(): DVDPLUSRW_FORMAT_BEGIN\n");
        break;
    case DvdPlusRwFormatEnd:
        LogPrintf(0, 0, "CDevice::BurnCallback(): DVDPLUSRW_FORMAT_END\n");
        break;
    default:
        break;
    }
}

bool CDevice::BurnAudioCD(TBurnOptions& options, const TBurnFileList& files, const char* discText1, const char* discText2)
{
    WriteStateReset reset{WriteState};
    LogPrintf(1, 0, "Started");
    if (!EnsureGrabber()) {
        LogPrintf(1, 3, "Started Error!");
        return false;
    }
    LogPrintf(0, 0, "CDevice::BurnAudioCD(): Probing supported write modes... ");
    LogPrintf(1, 0, "Probing supported write modes...");
    RefreshReadWriteModes();
    LogPrintf(0, 0, "OK!\nCDevice::BurnAudioCD(): Track-At-Once: %s, Session-At-Once: %s, Disc-At-Once PQ: %s, Disc-At-Once raw P-W: %s\n",
              YesNo(TrackAtOnce), YesNo(SessionAtOnce), YesNo(DiscAtOncePQ), YesNo(DiscAtOnceRawPW));
    LogPrintf(1, 0, "Check do we have Disc-At-Once PQ or Disc-At-Once raw P-W supported");
    if (!DiscAtOncePQ && !DiscAtOnceRawPW) {
        LogPrintf(0, 3, "\n\nCDevice::BurnAudioCD(): Neither Disc-At-Once PQ nor Disc-At-Once raw P-W are unsupported!!!\n");
        LogPrintf(1, 3, "Disc-At-Once PQ and Disc-At-Once raw P-W  not supported!");
        return false;
    }
    if (DiscAtOncePQ)
        LogPrintf(1, 0, "Disc-At-Once PQ supported.");
    if (DiscAtOnceRawPW)
        LogPrintf(1, 0, "Disc-At-Once raw P-W supported.");

    LogPrintf(0, 0, "CDevice::BurnAudioCD(): Testing unit ready... ");
    LogPrintf(1, 0, "Testing unit ready...");
    if (!TestUnitReady()) {
        LogPrintf(1, 3, "Unit is not ready!");
        return false;
    }
    LogPrintf(1, 0, "Unit is ready!");

    LogPrintf(0, 0, "OK!\nCDevice::BurnAudioCD(): Getting BUP (Buffer Underrun Protection) support... ");
    LogPrintf(1, 0, "Getting BUP (Buffer Underrun Protection) support...");
    // Whether protection is on cannot be read from the drive: it counts as on where supported.
    const bool bupSupported = Grabber->UnderrunProofSupported();
    LogPrintf(1, 0, "Getting BUP successfully!");
    LogPrintf(0, 0, "OK!\nCDevice::BurnAudioCD(): BUP (Buffer Underrun Protection) Enabled: %s, Supported: %s\n",
              YesNo(bupSupported), YesNo(bupSupported));
    LogPrintf(0, 0, "CDevice::BurnAudioCD(): Enabling BUP (Buffer Underrun Protection)... ");
    LogPrintf(1, 0, "Enabling BUP (Buffer Underrun Protection)...");
    if (!Grabber->SetUnderrunProof(true)) {
        Failed(Grabber->ErrorText());
        LogPrintf(0, 2, "Failed!\nCDevice::BurnAudioCD(): WARNING! StarBurn_CdvdBurnerGrabber_SetBUP() failed, exception %ld, status %ld, text '%s'\n",
                  long(LastResult), long(Status), ErrorText.c_str());
        LogPrintf(1, 0, "Enabling BUP failed!");
    } else {
        LogPrintf(0, 0, "OK!\n");
        LogPrintf(1, 0, "Enabling BUP successfully!");
    }

    LogPrintf(0, 0, "CDevice::BurnAudioCD(): Setting speed %s (%ld KBps)... ", options.SpeedText, long(options.Speed));
    LogPrintf(1, 0, "Setting speed %s (%ld KBps)... ", options.SpeedText, long(options.Speed));
    if (SetWriteSpeed(options.Speed)) {
        LogPrintf(1, 0, "Setting speed %s (%ld KBps) successfully!", options.SpeedText, long(options.Speed));
        LogPrintf(0, 0, "Setting speed %s (%ld KBps) successfully!", options.SpeedText, long(options.Speed));
    } else {
        LogPrintf(0, 3, "CDevice::BurnAudioCD():Setting speed failed!");
        LogPrintf(1, 3, "Setting speed failed!");
    }

    if (options.SendOPC) {
        LogPrintf(0, 0, "CDevice::BurnAudioCD(): Sending OPC (Optimum Power Calibration)... ");
        LogPrintf(1, 0, "Sending OPC (Optimum Power Calibration)...");
        // The calibration runs as part of the write; asking for it cannot fail here.
        LogPrintf(0, 0, "OK!\nCDevice::BurnAudioCD(): Writing the stuff to the CD/DVD disc >>>\n");
        LogPrintf(1, 0, "Sending OPC successfully.");
    } else {
        LogPrintf(0, 0, "CDevice::BurnAudioCD(): Skipping send OPC (Optimum Power Calibration) in test mode... OK!\n");
        LogPrintf(0, 0, "CDevice::BurnAudioCD(): Writing the stuff to the CD/DVD disc >>>\n");
        LogPrintf(1, 0, "Writing the stuff to the CD/DVD disc");
    }

    SetProgress(0);
    WriteState = 1;
    if (options.WriteMode > 3)
        return false;
    if (files.empty() || static_cast<int>(files.size()) > MaxFiles) {
        LogPrintf(0, 3, "CDevice::BurnAudioCD(): %d file(s): an audio CD takes 1 to %d\n", int(files.size()), MaxFiles);
        LogPrintf(1, 3, "Burning Error!");
        return false;
    }

    burner::WriteJob job;
    job.simulate = options.TestWrite;
    job.opc = options.SendOPC;
    job.type = options.WriteMode == 0 ? burner::WriteType::TrackAtOnce
             : options.WriteMode == 2 ? burner::WriteType::Raw
                                      : burner::WriteType::SessionAtOnce;
    job.cdText = options.WriteMode >= 2;
    int64_t bytes = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const TBurnFile& file = files[i];
        if (options.WriteMode >= 2)
            LogPrintf(0, 1, "CDevice::BurnAudioCD(): Processing file <%s>, %ld file from %ld file(s) total\n",
                      file.Path.c_str(), long(i + 1), long(files.size()));
        else if (options.WriteMode == 1)
            LogPrintf(0, 1, "DiscBurnerThread: Processing file <%s>, %d file from %d file(s) total\n", file.Path.c_str(),
                      int(i + 1), int(files.size()));
        job.tracks.push_back({file.Path, file.Text1.substr(0, 31), file.Text2.substr(0, 31)});
        burner::WavAudio audio;
        std::string error;
        if (burner::ReadWavAudio(file.Path, audio, error))
            bytes += audio.dataBytes;
    }
    job.discTitle = std::string(discText1 ? discText1 : "").substr(0, 31);
    job.discPerformer = std::string(discText2 ? discText2 : "").substr(0, 31);

    if (!WriteAndWatch(job, bytes)) {
        const char* call = options.WriteMode == 0 ? "StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile()"
                         : options.WriteMode == 1 ? "StarBurn_CdvdBurnerGrabber_SessionAtOnce()"
                                                  : "StarBurn_CdvdBurnerGrabber_DiscAtOncePQ[RawPW]FromFile()";
        LogPrintf(0, 3, "\n\nCDevice::BurnAudioCD(): %s failed, exception %ld, status %ld, text '%s'\n", call,
                  long(LastResult), long(Status), ErrorText.c_str());
        LogPrintf(1, 3, "Burning Error!");
        return false;
    }
    if (options.WriteMode == 0 && !options.TestWrite)
        LogPrintf(1, 0, "Closing session... ");
    SetProgress(100);
    LogPrintf(1, 0, "Burning Complete");
    return true;
}

// Starts the write and polls it to its end; false with the layer's reason when it fails.
bool CDevice::WriteAndWatch(const burner::WriteJob& job, int64_t bytes)
{
    if (!Grabber->StartWrite(job))
        return Failed(Grabber->ErrorText());
    const int64_t blocks = (bytes + kAudioSectorBytes - 1) / kAudioSectorBytes;
    BurnCallback(TargetFileAnalyzeBegin, nullptr, nullptr);
    BurnCallback(TargetFileAnalyzeEnd, &bytes, &blocks);
    // Track-at-once reports each file apart: its index, and its progress from 0 to 100.
    const bool perFile = job.type == burner::WriteType::TrackAtOnce;
    int fileShown = -1;
    bool cacheWait = false, cacheFull = false, closing = false;
    for (;;) {
        const burner::WriteStatus status = Grabber->PollWrite();
        if (status.phase == burner::WritePhase::Idle)
            break;
        if ((status.phase == burner::WritePhase::LeadIn || status.phase == burner::WritePhase::Writing) && !cacheWait) {
            cacheWait = true;
            BurnCallback(WaitCacheFullBegin, &kCacheWaitMs, nullptr);
        }
        if (status.phase == burner::WritePhase::Writing) {
            if (!cacheFull) {
                cacheFull = true;
                BurnCallback(WaitCacheFullEnd, nullptr, nullptr);
            }
            if (!perFile) {
                BurnCallback(Progress, &status.sectors, &status.sector);
            } else {
                if (status.track != fileShown) {
                    fileShown = status.track;
                    SetProgress(0);
                    SetState(fileShown);
                }
                BurnCallback(Progress, &status.trackSectors, &status.trackSector);
            }
        }
        if (status.phase == burner::WritePhase::Closing && !closing) {
            closing = true;
            BurnCallback(SynchronizeCacheBegin, nullptr, nullptr);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(PollIntervalMs));
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(); // keeps the windows painted during a long write
    }
    if (closing)
        BurnCallback(SynchronizeCacheEnd, nullptr, nullptr);
    return Grabber->WroteWell() || Failed(Grabber->ErrorText());
}
