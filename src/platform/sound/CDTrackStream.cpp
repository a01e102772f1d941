// CD track streams: one audio track read through paranoia, synchronously for decode-only streams
// and by a read-ahead thread for playing ones, so the output thread never waits on a drive.

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sound/CDInternal.h"
#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundChannel.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

constexpr int kSectorSamples = BASS_CD_SECTOR_BYTES / 2;
constexpr int kMaxRetries = 5;            // paranoia's retries before it skips a sector
constexpr int kFailAfterSkips = 75;       // a second of unreadable sectors in a row ends the stream

// ---- Simulated read faults (tests) -------------------------------------------------------

std::mutex faultsMutex;
std::vector<int32_t> faultSectors;
int32_t removedFrom = -1;
std::atomic<bool> faultsActive{false};

class TrackReader;
thread_local TrackReader* currentReader = nullptr; // the drive's read hook carries no user value

// Parses "d:\track07.cda" into drive index 3 and track index 6.
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

// One track of one drive, with its own libcdio and paranoia handles. Not thread-safe: one thread
// reads it at a time.
class TrackReader {
public:
    ~TrackReader()
    {
        if (paranoia_)
            cdio_paranoia_free(paranoia_);
        if (drive_)
            cdio_cddap_close_no_free_cdio(drive_);
        if (cdio_)
            cdio_destroy(cdio_);
    }

    bool Open(int drive, int track)
    {
        cdio_ = OpenDrive(drive);
        if (!cdio_)
            return false;
        const track_t count = cdio_get_num_tracks(cdio_);
        if (count == CDIO_INVALID_TRACK || track >= count)
            return false;
        const track_t number = static_cast<track_t>(cdio_get_first_track_num(cdio_) + track);
        if (cdio_get_track_format(cdio_, number) != TRACK_FORMAT_AUDIO)
            return false;
        first_ = cdio_get_track_lsn(cdio_, number);
        last_ = cdio_get_track_last_lsn(cdio_, number);
        if (first_ == CDIO_INVALID_LSN || last_ < first_)
            return false;
        drive_ = cdio_cddap_identify_cdio(cdio_, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!drive_ || cdio_cddap_open(drive_) != 0)
            return false;
        drive_->bigendianp = 0; // samples are little-endian on every disc; never guess from the data
        originalRead_ = drive_->read_audio;
        drive_->read_audio = CountingRead;
        delivered_.assign(static_cast<size_t>(Sectors()), false);
        paranoia_ = cdio_paranoia_init(drive_);
        if (!paranoia_)
            return false;
        cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        return SeekSector(0);
    }

    int64_t Sectors() const { return static_cast<int64_t>(last_ - first_ + 1); }

    bool SeekSector(int64_t sector)
    {
        next_ = first_ + static_cast<lsn_t>(sector);
        skipRun_ = 0;
        return cdio_paranoia_seek(paranoia_, next_, SEEK_SET) >= 0;
    }

    // Reads the next sector; false at the end of the track or when the read failed for good.
    bool ReadSector(int16_t* out)
    {
        if (next_ > last_ || status.failed)
            return false;
        currentReader = this;
        const int16_t* data = cdio_paranoia_read_limited(paranoia_, nullptr, kMaxRetries);
        currentReader = nullptr;
        if (!data || removedSeen_)
            return Fail("the drive returned nothing");
        if (!delivered_[next_ - first_]) {
            ++status.skippedSectors;
            trace("CD read: sector " + std::to_string(next_) + " skipped after " + std::to_string(kMaxRetries) + " retries");
            if (++skipRun_ >= kFailAfterSkips)
                return Fail("a second of sectors in a row could not be read");
        } else {
            skipRun_ = 0;
        }
        std::memcpy(out, data, BASS_CD_SECTOR_BYTES);
        ++next_;
        return true;
    }

    BassCDReadStatus status;

private:
    bool Fail(const std::string& why)
    {
        status.failed = true;
        trace("CD read failed at sector " + std::to_string(next_) + ": " + why);
        return false;
    }

    // Every drive read of the track passes here: it notes which sectors the drive delivered (a
    // sector paranoia returns without that is one it skipped) and applies simulated faults.
    static long CountingRead(cdrom_drive_t* d, void* buffer, lsn_t begin, long sectors)
    {
        TrackReader* reader = currentReader;
        if (!reader)
            return -1;
        const long got = reader->FaultyRead(d, buffer, begin, sectors);
        for (long i = 0; i < got; ++i) {
            const lsn_t sector = begin + static_cast<lsn_t>(i);
            if (sector >= reader->first_ && sector <= reader->last_)
                reader->delivered_[sector - reader->first_] = true;
        }
        return got;
    }

    long FaultyRead(cdrom_drive_t* d, void* buffer, lsn_t begin, long sectors)
    {
        if (faultsActive) {
            std::lock_guard<std::mutex> lock(faultsMutex);
            if (removedFrom >= 0 && begin + sectors > removedFrom) {
                if (begin >= removedFrom) {
                    removedSeen_ = true;
                    return 0;
                }
                sectors = removedFrom - begin;
            }
            for (int32_t bad : faultSectors) {
                if (bad == begin)
                    return -1;
                if (bad > begin && bad < begin + sectors)
                    sectors = bad - begin;
            }
        }
        return originalRead_(d, buffer, begin, sectors);
    }

    CdIo_t* cdio_ = nullptr;
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    long (*originalRead_)(cdrom_drive_t*, void*, lsn_t, long) = nullptr;
    lsn_t first_ = 0, last_ = -1, next_ = 0;
    int skipRun_ = 0;
    bool removedSeen_ = false;
    std::vector<bool> delivered_; // per sector of the track: the drive delivered it
};

// Single-producer single-consumer ring of bytes, allocated once: the read-ahead thread writes,
// the output thread reads, neither waits for the other.
class ByteRing {
public:
    explicit ByteRing(size_t capacity) : data_(capacity) {}
    size_t Available() const { return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed); }
    size_t Space() const
    {
        return data_.size() - (write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire));
    }
    void Write(const uint8_t* from, size_t bytes)
    {
        const size_t at = write_.load(std::memory_order_relaxed);
        ForEachPart(at, bytes, [&](size_t offset, size_t done, size_t part) { std::memcpy(&data_[offset], from + done, part); });
        write_.store(at + bytes, std::memory_order_release);
    }
    size_t Read(uint8_t* to, size_t bytes)
    {
        bytes = std::min(bytes, Available());
        const size_t at = read_.load(std::memory_order_relaxed);
        ForEachPart(at, bytes, [&](size_t offset, size_t done, size_t part) { std::memcpy(to + done, &data_[offset], part); });
        read_.store(at + bytes, std::memory_order_release);
        return bytes;
    }
    void Clear() { read_.store(write_.load()); } // only while the writer is stopped

private:
    // Calls copy(ring offset, offset in the caller's bytes, length) for the one or two parts that
    // `bytes` from ring position `at` make.
    template <typename Copy> void ForEachPart(size_t at, size_t bytes, Copy copy)
    {
        for (size_t done = 0; done < bytes;) {
            const size_t offset = (at + done) % data_.size();
            const size_t part = std::min(bytes - done, data_.size() - offset);
            copy(offset, done, part);
            done += part;
        }
    }

    std::vector<uint8_t> data_;
    std::atomic<size_t> read_{0}, write_{0};
};

class CdTrackStream : public Channel {
public:
    CdTrackStream(std::unique_ptr<TrackReader> reader, uint32_t flags)
        : Channel(44100, 2, flags, BASS_CTYPE_CD), reader_(std::move(reader)), ring_(DecodeOnly() ? 0 : 2 * 176400)
    {
        info.resolution = 16;
        if (!DecodeOnly())
            StartReadAhead();
    }
    ~CdTrackStream() override { StopReadAhead(); }

    int64_t Length() override { return lengthBytes_; }
    int64_t Position() override { return position_; }
    int64_t BytesReady() override { return static_cast<int64_t>(ring_.Available()); }
    bool SeekFrame(int64_t frame) override
    {
        const bool readAhead = worker_.joinable();
        StopReadAhead();
        const int64_t byte = frame * 4;
        const bool ok = reader_->SeekSector(byte / BASS_CD_SECTOR_BYTES);
        sectorFill_ = sectorUsed_ = 0;
        skipInSector_ = byte % BASS_CD_SECTOR_BYTES;
        position_ = byte;
        delivered_ = 0;
        finished_ = false;
        ring_.Clear();
        MarkRepositioned();
        if (readAhead)
            StartReadAhead();
        return ok;
    }
    void Released() override { StopReadAhead(); }

    BassCDReadStatus Status()
    {
        std::lock_guard<std::mutex> lock(statusMutex_);
        return reader_->status;
    }

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        auto* out = static_cast<uint8_t*>(buffer);
        if (!DecodeOnly()) {
            // The output thread takes what the read-ahead has ready; a drive that falls behind
            // is heard as silence, never as a wait.
            const size_t got = ring_.Read(out, bytes);
            position_ += got;
            if (got == bytes)
                return bytes;
            if (finished_.load(std::memory_order_acquire) && ring_.Available() == 0) {
                ended = true;
                return static_cast<uint32_t>(got);
            }
            std::memset(out + got, 0, bytes - got);
            return bytes;
        }
        uint32_t done = 0;
        while (done < bytes) {
            if (!FillSector()) {
                ended = true;
                break;
            }
            const uint32_t part = std::min<uint32_t>(bytes - done, sectorFill_ - sectorUsed_);
            std::memcpy(out + done, reinterpret_cast<uint8_t*>(sector_) + sectorUsed_, part);
            sectorUsed_ += part;
            done += part;
        }
        position_ += done;
        return done;
    }

private:
    // Makes sure the sector buffer holds unread bytes; false at the end or on failure.
    bool FillSector()
    {
        if (sectorUsed_ < sectorFill_)
            return true;
        std::lock_guard<std::mutex> lock(statusMutex_);
        if (!reader_->ReadSector(sector_))
            return false;
        sectorFill_ = BASS_CD_SECTOR_BYTES;
        sectorUsed_ = skipInSector_; // a move lands inside a sector: its start is skipped once
        skipInSector_ = 0;
        return true;
    }

    void StartReadAhead()
    {
        stop_ = false;
        worker_ = std::thread([this] { ReadAhead(); });
    }
    void StopReadAhead()
    {
        stop_ = true;
        if (worker_.joinable())
            worker_.join();
    }
    void ReadAhead()
    {
        while (!stop_) {
            if (ring_.Space() < BASS_CD_SECTOR_BYTES) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            if (!FillSector()) {
                finished_.store(true, std::memory_order_release);
                return;
            }
            ring_.Write(reinterpret_cast<const uint8_t*>(sector_) + sectorUsed_, sectorFill_ - sectorUsed_);
            sectorUsed_ = sectorFill_;
        }
    }

    std::unique_ptr<TrackReader> reader_;
    const int64_t lengthBytes_ = reader_->Sectors() * BASS_CD_SECTOR_BYTES;
    std::mutex statusMutex_; // the reader's status is read by the UI while a thread reads
    int16_t sector_[kSectorSamples] = {};
    uint32_t sectorFill_ = 0, sectorUsed_ = 0, skipInSector_ = 0;
    int64_t position_ = 0;
    ByteRing ring_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
};

} // namespace
} // namespace sound

using namespace sound;

BassHandle BASS_CD_StreamCreateFile(const std::string& path, uint32_t flags)
{
    if ((flags & BASS_STREAM_DECODE) == 0 && !OutputInitialised())
        return Fail(BASS_ERROR_INIT, BassHandle(0));
    int drive = 0, track = 0;
    if (!ParseTrackAddress(path, drive, track))
        return Fail(BASS_ERROR_FILEOPEN, BassHandle(0));
    auto reader = std::make_unique<TrackReader>();
    if (!reader->Open(drive, track))
        return Fail(BASS_ERROR_FILEOPEN, BassHandle(0));
    return AddHandle(std::make_shared<CdTrackStream>(std::move(reader), flags & BASS_STREAM_DECODE));
}

bool BASS_CD_IsTrackAddress(const std::string& path)
{
    int drive = 0, track = 0;
    return ParseTrackAddress(path, drive, track);
}

bool BASS_CD_StreamGetReadStatus(BassHandle stream, BassCDReadStatus* status)
{
    std::shared_ptr<Channel> channel = FindChannel(stream);
    auto* cd = dynamic_cast<CdTrackStream*>(channel.get());
    if (!cd || !status)
        return Fail(BASS_ERROR_HANDLE);
    *status = cd->Status();
    return true;
}

void BASS_CD_SimulateReadFaults(const std::vector<int32_t>& badSectors, int32_t removedFromSector)
{
    std::lock_guard<std::mutex> lock(faultsMutex);
    faultSectors = badSectors;
    removedFrom = removedFromSector;
    faultsActive = !badSectors.empty() || removedFromSector >= 0;
}
