// CD track streams: one audio track read through paranoia by a read-ahead thread of its own, so
// the sound thread never waits on a drive and any other reader waits at most the read time limit
// for a sector.

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sound/CDInternal.h"
#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundChannel.h"
#include "platform/sound/SoundThread.h"
#include "platform/trace/Trace.h"

namespace sound {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSectorSamples = BASS_CD_SECTOR_BYTES / 2;
constexpr int kMaxRetries = 5;            // paranoia's retries before it skips a sector
constexpr int kFailAfterSkips = 75;       // a second of unreadable sectors in a row ends the stream
// Paranoia retries a drive read that fails without end (a disc taken out, a read past the disc):
// after this many failed drive reads for one sector it gets silence, and the sector is skipped.
constexpr int kFailedReadsPerSector = 50;
constexpr size_t kRingBytes = 2 * 176400; // two seconds read ahead
constexpr auto kPoll = std::chrono::milliseconds(10);
// Paranoia may retry a read it was given up on without end; its thread then sleeps for good
// rather than spin.
constexpr int kReadsBeforeParking = 1000;

constexpr int kDefaultReadTimeLimitMs = 30000;
std::atomic<int> readTimeLimitMs{kDefaultReadTimeLimitMs};

// ---- Simulated read faults (tests) -------------------------------------------------------

std::mutex faultsMutex;
std::condition_variable faultsChanged;
std::vector<int32_t> faultSectors;
int32_t removedFrom = -1;
int32_t hangFrom = -1;
uint64_t faultsGeneration = 0; // bumped by every change, which releases hanging reads
std::atomic<bool> faultsActive{false};

class TrackReader;
thread_local TrackReader* currentReader = nullptr; // the drive's read hook carries no user value

// One track of one drive, with its own libcdio and paranoia handles. One thread reads it; its
// status may be read from any thread.
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
        if (!cdio_ || !TrackExtent(cdio_, track, first_, last_))
            return false;
        const track_t number = static_cast<track_t>(cdio_get_first_track_num(cdio_) + track);
        if (cdio_get_track_format(cdio_, number) != TRACK_FORMAT_AUDIO)
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
        if (cdio_paranoia_seek(paranoia_, next_, SEEK_SET) < 0)
            return false;
        // The seek sets the sectors paranoia may read from its own copy of the TOC, which takes the
        // tracks to start in order. When they do not (a data track 1 listed past the audio) that
        // range is empty: paranoia then never reads the drive and never returns. It reads the
        // track's checked extent instead.
        cdio_paranoia_set_range(paranoia_, next_, last_);
        return true;
    }

    // Reads the next sector; false at the end of the track or when the read failed for good.
    bool ReadSector(int16_t* out)
    {
        if (next_ > last_ || failed_)
            return false;
        currentReader = this;
        failedReads_ = 0;
        const int16_t* data = cdio_paranoia_read_limited(paranoia_, nullptr, kMaxRetries);
        currentReader = nullptr;
        if (!data || removedSeen_)
            return Fail("the drive returned nothing");
        if (!delivered_[next_ - first_]) {
            ++skipped_;
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

    // Gives up on a read that takes too long, from another thread: the stream has failed, and
    // what paranoia still asks of the drive is answered with silence at once.
    void Abandon()
    {
        if (abandoned_.exchange(true))
            return;
        failed_ = true;
        trace("CD read failed: no sector within " + std::to_string(readTimeLimitMs) + " ms; the drive read is left behind");
    }

    bool Abandoned() const { return abandoned_; }

    BassCDReadStatus Status() const
    {
        BassCDReadStatus status;
        status.failed = failed_;
        status.skippedSectors = skipped_;
        return status;
    }

private:
    bool Fail(const std::string& why)
    {
        failed_ = true;
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
        if (reader->abandoned_)
            return reader->AbandonedRead(buffer, sectors);
        if (reader->failedReads_ >= kFailedReadsPerSector)
            return Silence(buffer, sectors);
        const long got = reader->FaultyRead(d, buffer, begin, sectors);
        if (got <= 0)
            ++reader->failedReads_;
        for (long i = 0; i < got; ++i) {
            const lsn_t sector = begin + static_cast<lsn_t>(i);
            if (sector >= reader->first_ && sector <= reader->last_)
                reader->delivered_[sector - reader->first_] = true;
        }
        return got;
    }

    // A read answered without the drive: the sectors count as not delivered.
    static long Silence(void* buffer, long sectors)
    {
        if (buffer)
            std::memset(buffer, 0, static_cast<size_t>(sectors) * BASS_CD_SECTOR_BYTES);
        return sectors;
    }

    long AbandonedRead(void* buffer, long sectors)
    {
        if (++readsSinceAbandoned_ > kReadsBeforeParking)
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        return Silence(buffer, sectors);
    }

    long FaultyRead(cdrom_drive_t* d, void* buffer, lsn_t begin, long sectors)
    {
        if (faultsActive) {
            std::unique_lock<std::mutex> lock(faultsMutex);
            const uint64_t generation = faultsGeneration;
            faultsChanged.wait(lock, [&] { return hangFrom < 0 || begin + sectors <= hangFrom || faultsGeneration != generation; });
            if (removedFrom >= 0 && begin + sectors > removedFrom) {
                if (begin >= removedFrom) {
                    removedSeen_ = removedSeen_ || begin <= last_; // not a read ahead past the track
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
    int failedReads_ = 0; // drive reads that failed while reading the sector in hand
    bool removedSeen_ = false;
    std::vector<bool> delivered_; // per sector of the track: the drive delivered it
    std::atomic<bool> failed_{false};
    std::atomic<int64_t> skipped_{0}; // sectors paranoia gave up on and skipped
    std::atomic<bool> abandoned_{false};
    int readsSinceAbandoned_ = 0;
};

// Single-producer single-consumer ring of bytes, allocated once: the read-ahead thread writes,
// the stream's reader reads, neither has to wait for the other.
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

// What a stream shares with its read-ahead thread. A thread stuck in a drive read is left behind
// with it and frees it when the read returns.
struct ReadAhead {
    explicit ReadAhead(std::unique_ptr<TrackReader> trackReader) : reader(std::move(trackReader)), ring(kRingBytes) {}

    // A sector read has been under way for longer than the time limit.
    bool Stalled() const
    {
        const int64_t since = readingSinceMs.load();
        return since != 0 && NowMs() - since > readTimeLimitMs;
    }
    // Nothing more will come: the track's end or a failure, and the ring is empty; or a stall.
    bool Ending() const { return (finished && ring.Available() == 0) || Stalled() || reader->Abandoned(); }
    void Notify() { changed.notify_all(); }
    template <typename Ready> void WaitBriefly(Ready ready)
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, kPoll, ready);
    }
    static int64_t NowMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count() + 1;
    }

    // The thread's loop: fills the ring sector by sector until stopped, at the track's end or on
    // failure.
    void Run()
    {
        int16_t sector[kSectorSamples];
        while (!stop) {
            if (ring.Space() < BASS_CD_SECTOR_BYTES) {
                WaitBriefly([this] { return stop || ring.Space() >= BASS_CD_SECTOR_BYTES; });
                continue;
            }
            readingSinceMs = NowMs();
            const bool read = reader->ReadSector(sector);
            readingSinceMs = 0;
            if (!read) {
                finished = true;
                break;
            }
            const uint32_t skip = std::exchange(skipInSector, 0); // a move lands inside a sector
            ring.Write(reinterpret_cast<const uint8_t*>(sector) + skip, BASS_CD_SECTOR_BYTES - skip);
            Notify();
        }
        exited = true;
        Notify();
    }

    std::unique_ptr<TrackReader> reader;
    ByteRing ring;
    uint32_t skipInSector = 0; // set only while no thread runs
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false}; // no more data will come (the track's end or a failure)
    std::atomic<bool> exited{false};
    std::atomic<int64_t> readingSinceMs{0}; // when the sector read under way began; 0 between reads
    std::mutex mutex;
    std::condition_variable changed;
};

class CdTrackStream : public Channel {
public:
    CdTrackStream(std::unique_ptr<TrackReader> reader, uint32_t flags)
        : Channel(44100, 2, flags, BASS_CTYPE_CD), lengthBytes_(reader->Sectors() * BASS_CD_SECTOR_BYTES),
          readAhead_(std::make_shared<ReadAhead>(std::move(reader)))
    {
        info.resolution = 16;
        StartReadAhead();
    }
    ~CdTrackStream() override { StopReadAhead(); }

    int64_t Length() override { return lengthBytes_; }
    int64_t Position() override { return position_; }
    bool SeekFrame(int64_t frame) override
    {
        if (!StopReadAhead())
            return false;
        const int64_t byte = frame * 4;
        const bool ok = readAhead_->reader->SeekSector(byte / BASS_CD_SECTOR_BYTES);
        readAhead_->skipInSector = static_cast<uint32_t>(byte % BASS_CD_SECTOR_BYTES);
        readAhead_->ring.Clear();
        readAhead_->finished = false;
        position_ = byte;
        delivered_ = 0;
        MarkRepositioned();
        StartReadAhead();
        return ok;
    }
    void Released() override { StopReadAhead(); }

    BassCDReadStatus Status() const { return readAhead_->reader->Status(); }

protected:
    uint32_t ReadRaw(void* buffer, uint32_t bytes, bool& ended) override
    {
        auto* out = static_cast<uint8_t*>(buffer);
        ReadAhead& r = *readAhead_;
        // A decode-only read waits for the drive, but never on the sound thread (a row of the live
        // mix played from a CD track): the output takes what is ready, like a playing stream.
        const bool wait = DecodeOnly() && !OnSoundThread();
        uint32_t done = 0;
        for (;;) {
            done += static_cast<uint32_t>(r.ring.Read(out + done, bytes - done));
            if (done == bytes || !wait || r.Ending())
                break;
            r.Notify(); // room for the read-ahead
            r.WaitBriefly([&r] { return r.ring.Available() > 0 || r.finished; });
        }
        position_ += done;
        if (done == bytes)
            return done;
        if (r.Ending()) {
            if (wait && r.Stalled())
                r.reader->Abandon();
            ended = true;
            return done;
        }
        // A drive that falls behind is heard as silence, never as a wait.
        std::memset(out + done, 0, bytes - done);
        return bytes;
    }

private:
    void StartReadAhead()
    {
        readAhead_->stop = false;
        readAhead_->exited = false;
        worker_ = std::thread([shared = readAhead_] { shared->Run(); });
    }

    // Ends the read-ahead thread; false when it is stuck in a drive read past the time limit: it is
    // then left behind, and the stream stays ended.
    bool StopReadAhead()
    {
        if (!worker_.joinable())
            return !readAhead_->reader->Status().failed;
        ReadAhead& r = *readAhead_;
        r.stop = true;
        r.Notify();
        while (!r.exited && !r.Stalled())
            r.WaitBriefly([&r] { return r.exited.load(); });
        if (r.exited) {
            worker_.join();
            return true;
        }
        r.reader->Abandon();
        r.finished = true;
        worker_.detach();
        return false;
    }

    const int64_t lengthBytes_;
    std::shared_ptr<ReadAhead> readAhead_;
    int64_t position_ = 0;
    std::thread worker_;
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

void BASS_CD_SetReadTimeLimit(int milliseconds)
{
    readTimeLimitMs = milliseconds > 0 ? milliseconds : kDefaultReadTimeLimitMs;
}

void BASS_CD_SimulateReadFaults(const std::vector<int32_t>& badSectors, int32_t removedFromSector, int32_t hangFromSector)
{
    {
        std::lock_guard<std::mutex> lock(faultsMutex);
        faultSectors = badSectors;
        removedFrom = removedFromSector;
        hangFrom = hangFromSector;
        ++faultsGeneration;
        faultsActive = !badSectors.empty() || removedFromSector >= 0 || hangFromSector >= 0;
    }
    faultsChanged.notify_all();
}
