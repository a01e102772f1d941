// The burning layer on libburn. libburn is started once, keeps its messages in its queue (the
// error text is the last one of severity SORRY or worse) and installs no signal handlers. A drive
// is grabbed by its path; the scan frees what it found at once, so no drive stays locked by it.
#include "platform/burn/BurnLayer.h"

#include <glob.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <libburn/libburn.h> // declares its API inside namespace burn under C++

#include "platform/trace/Trace.h"

namespace burner {

using namespace burn;

namespace {

constexpr size_t kMaxErrorText = 1023;
constexpr int kAudioSectorBytes = 2352;

// Empties libburn's queue; the last message of severity SORRY or worse is the error, when any.
std::string TakeErrorMessages(const std::string& fallback)
{
    std::string last;
    char text[BURN_MSGS_MESSAGE_LEN], severity[80];
    int code = 0, osErrno = 0;
    while (burn_msgs_obtain(const_cast<char*>("SORRY"), &code, text, &osErrno, severity) > 0)
        last = text;
    if (last.empty())
        last = fallback;
    if (last.size() > kMaxErrorText)
        last.resize(kMaxErrorText);
    return last;
}

std::string Padded(const char* text, size_t width)
{
    std::string padded(text);
    padded.resize(std::max(width, padded.size()), ' ');
    return padded;
}

// libburn passes over the drives this user cannot open for reading and writing: name each one and
// the group that may.
void TraceInaccessibleDrives()
{
    glob_t found{};
    if (glob("/dev/sr*", 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            const char* path = found.gl_pathv[i];
            if (access(path, R_OK | W_OK) == 0)
                continue;
            struct stat info {};
            stat(path, &info);
            const group* owner = getgrgid(info.st_gid);
            trace(std::string("CD drive ") + path + " is not readable and writable for this user: join the group " +
                  (owner ? owner->gr_name : std::to_string(info.st_gid)) + " or give the user a device ACL");
        }
    }
    globfree(&found);
}

class LibburnDrive : public Drive {
public:
    explicit LibburnDrive(burn_drive_info* infos) : infos_(infos), drive_(infos[0].drive) {}
    ~LibburnDrive() override { Release(false); }

    Identity GetIdentity() override
    {
        Identity identity;
        identity.vendor = Padded(infos_[0].vendor, 8);
        identity.product = Padded(infos_[0].product, 16);
        identity.revision = Padded(infos_[0].revision, 4);
        identity.cacheBytes = static_cast<uint32_t>(std::max(infos_[0].buffer_size, 0)) * 1024;
        return identity;
    }

    WriteModes GetWriteModes() override
    {
        // libburn grants SAO and TAO to every drive that says it writes CDs; raw writing only to
        // drives whose probe found it.
        WriteModes modes;
        modes.trackAtOnce = infos_[0].tao_block_types != 0;
        modes.sessionAtOnce = (infos_[0].sao_block_types & BURN_BLOCK_SAO) != 0;
        modes.discAtOncePQ = modes.sessionAtOnce;
        modes.discAtOnceRaw = (infos_[0].raw_block_types & BURN_BLOCK_RAW96R) != 0;
        return modes;
    }

    bool UnitReady() override
    {
        const burn_disc_status status = burn_disc_get_status(drive_);
        if (status == BURN_DISC_UNREADY || status == BURN_DISC_EMPTY || status == BURN_DISC_UNSUITABLE ||
            status == BURN_DISC_UNGRABBED)
            return Fail("The drive is not ready.");
        return true;
    }

    uint8_t GetMediaCode() override
    {
        if (burn_disc_get_status(drive_) == BURN_DISC_EMPTY)
            return MediaEmpty;
        int profile = 0;
        char name[80] = {};
        return burn_disc_get_profile(drive_, &profile, name) > 0 ? MediaCodeOfProfile(profile) : uint8_t(MediaUnknown);
    }

    bool GetDiscStatus(int& status) override
    {
        switch (burn_disc_get_status(drive_)) {
        case BURN_DISC_BLANK: status = DiscBlank; return true;
        case BURN_DISC_APPENDABLE: status = DiscIncomplete; return true;
        case BURN_DISC_FULL: status = DiscComplete; return true;
        case BURN_DISC_UNSUITABLE: status = DiscOther; return true;
        case BURN_DISC_EMPTY: return Fail("No disc in the drive.");
        default: return Fail("The disc information cannot be read.");
        }
    }

    bool GetNextTrack(TrackInfo& info) override
    {
        int lba = 0, nwa = 0;
        const int valid = burn_disc_track_lba_nwa(drive_, nullptr, 0, &lba, &nwa);
        if (valid < 0)
            return Fail("The track information cannot be read.");
        Toc toc;
        GetToc(toc);
        info.track = static_cast<int>(toc.trackStarts.empty() ? 1 : toc.trackStarts.size());
        info.blank = burn_disc_get_status(drive_) == BURN_DISC_BLANK;
        info.nwaValid = valid > 0;
        info.nwa = nwa;
        info.freeBlocks = static_cast<int32_t>(burn_disc_available_space(drive_, nullptr) / 2048);
        return true;
    }

    bool GetToc(Toc& toc) override
    {
        toc = Toc{};
        burn_disc* disc = burn_drive_get_disc(drive_);
        if (!disc)
            return Fail("The disc has no table of contents.");
        int sessionCount = 0;
        burn_session** sessions = burn_disc_get_sessions(disc, &sessionCount);
        burn_toc_entry entry{};
        for (int s = 0; s < sessionCount; ++s) {
            int trackCount = 0;
            burn_track** tracks = burn_session_get_tracks(sessions[s], &trackCount);
            for (int t = 0; t < trackCount; ++t) {
                burn_track_get_entry(tracks[t], &entry);
                toc.trackStarts.push_back(entry.start_lba);
            }
        }
        if (sessionCount > 0) {
            burn_session_get_leadout_entry(sessions[sessionCount - 1], &entry);
            toc.trackStarts.push_back(entry.start_lba);
        }
        int profile = 0;
        char name[80] = {};
        burn_disc_get_profile(drive_, &profile, name);
        toc.valid = true;
        toc.dvd = profile >= 0x10 && profile < 0xffff;
        toc.sessions = sessionCount;
        burn_disc_free(disc);
        return true;
    }

    bool GetSpeeds(Speeds& speeds) override
    {
        speeds = Speeds{};
        burn_speed_descriptor* list = nullptr;
        if (burn_drive_get_speedlist(drive_, &list) > 0) {
            for (burn_speed_descriptor* d = list; d; d = d->next)
                if (d->write_speed > 0)
                    speeds.writeSpeeds.push_back(d->write_speed);
            burn_drive_free_speedlist(&list);
        }
        std::sort(speeds.writeSpeeds.begin(), speeds.writeSpeeds.end());
        speeds.writeSpeeds.erase(std::unique(speeds.writeSpeeds.begin(), speeds.writeSpeeds.end()), speeds.writeSpeeds.end());
        speeds.maxWrite = burn_drive_get_write_speed(drive_);
        speeds.maxRead = burn_drive_get_read_speed(drive_);
        speeds.currentRead = speeds.maxRead;
        speeds.currentWrite = speedTaken_ > 0 ? speedTaken_ : speeds.maxWrite;
        return true;
    }

    bool SetWriteSpeed(int goal, int& taken) override
    {
        Speeds speeds;
        GetSpeeds(speeds);
        // libburn cannot read back what the drive took: the best descriptor not above the goal.
        const int best = goal > 0 ? BestSpeedNotAbove(speeds.writeSpeeds, goal) : 0;
        if (goal > 0 && best == 0)
            return Fail("The drive offers no speed up to " + std::to_string(goal) + " kB/s.");
        burn_drive_set_speed(drive_, 0, best);
        speedTaken_ = best > 0 ? best : speeds.maxWrite;
        taken = speedTaken_;
        return true;
    }

    bool UnderrunProofSupported() override
    {
        burn_write_opts* opts = burn_write_opts_new(drive_);
        const bool supported = opts && burn_write_opts_set_underrun_proof(opts, 1) > 0;
        burn_write_opts_free(opts);
        return supported;
    }

    bool SetUnderrunProof(bool on) override
    {
        underrunProof_ = on;
        return !on || UnderrunProofSupported() || Fail("The drive has no buffer underrun protection.");
    }

    bool Eject() override
    {
        if (!drive_)
            return Fail("The drive is no longer grabbed.");
        Release(true);
        return true;
    }

    bool StartWrite(const WriteJob& job) override
    {
        FreeWrite();
        if (job.type == WriteType::Raw)
            return Fail("libburn does not write audio in raw mode.");
        if (job.tracks.empty())
            return Fail("Nothing to write.");
        disc_ = burn_disc_create();
        burn_session* session = burn_session_create();
        burn_disc_add_session(disc_, session, BURN_POS_END);
        if (!AddTracks(job, session)) {
            burn_session_free(session);
            FreeWrite();
            return false;
        }
        burn_session_free(session); // the disc keeps its own reference
        opts_ = burn_write_opts_new(drive_);
        if (job.type == WriteType::TrackAtOnce)
            burn_write_opts_set_write_type(opts_, BURN_WRITE_TAO, BURN_BLOCK_MODE1);
        else
            burn_write_opts_set_write_type(opts_, BURN_WRITE_SAO, BURN_BLOCK_SAO);
        burn_write_opts_set_simulate(opts_, job.simulate ? 1 : 0);
        burn_write_opts_set_underrun_proof(opts_, job.underrunProof && underrunProof_ ? 1 : 0);
        burn_write_opts_set_perform_opc(opts_, job.opc ? 1 : 0);
        burn_write_opts_set_multi(opts_, 0);
        char reasons[BURN_REASONS_LEN] = {};
        if (burn_precheck_write(opts_, disc_, reasons, 1) <= 0) {
            FreeWrite();
            TakeErrorMessages("");
            std::string why(reasons); // "reason, reason, "
            while (!why.empty() && (why.back() == ' ' || why.back() == ','))
                why.pop_back();
            return Fail(why.empty() ? "The drive refuses the write." : why);
        }
        burn_disc_write(opts_, disc_);
        return true;
    }

    WriteStatus PollWrite() override
    {
        WriteStatus status;
        burn_progress progress{};
        const burn_drive_status state = burn_drive_get_status(drive_, &progress);
        for (int64_t s : trackSectors_)
            status.sectors += s;
        // libburn counts the sectors of the track in hand.
        const int tracks = static_cast<int>(trackSectors_.size());
        status.track = std::clamp(progress.track, 0, std::max(tracks - 1, 0));
        for (int t = 0; t < status.track; ++t)
            status.sector += trackSectors_[t];
        status.trackSectors = tracks > 0 ? trackSectors_[status.track] : 0;
        status.trackSector = std::clamp<int64_t>(progress.sector, 0, status.trackSectors);
        status.sector += status.trackSector;
        switch (state) {
        case BURN_DRIVE_IDLE: status.phase = WritePhase::Idle; break;
        case BURN_DRIVE_SPAWNING: status.phase = WritePhase::Preparing; break;
        case BURN_DRIVE_WRITING_LEADIN:
        case BURN_DRIVE_WRITING_PREGAP: status.phase = WritePhase::LeadIn; break;
        case BURN_DRIVE_WRITING_LEADOUT:
        case BURN_DRIVE_CLOSING_TRACK:
        case BURN_DRIVE_CLOSING_SESSION: status.phase = WritePhase::Closing; break;
        default: status.phase = WritePhase::Writing; break;
        }
        return status;
    }

    bool WroteWell() override
    {
        const bool well = burn_drive_wrote_well(drive_) > 0;
        return well || Fail("The write failed.");
    }

    std::string ErrorText() override { return error_; }

private:
    bool Fail(const std::string& fallback)
    {
        error_ = TakeErrorMessages(fallback);
        return false;
    }

    bool AddTracks(const WriteJob& job, burn_session* session)
    {
        trackSectors_.clear();
        if (job.cdText) {
            SetSessionText(session, "TITLE", job.discTitle);
            SetSessionText(session, "PERFORMER", job.discPerformer);
        }
        for (const WriteTrack& wav : job.tracks) {
            WavAudio audio;
            std::string error;
            if (!ReadWavAudio(wav.wavPath, audio, error))
                return Fail(error);
            // The file from its data chunk on, so that the header is not written as sound.
            burn_source* file = burn_file_source_new(wav.wavPath.c_str(), nullptr);
            burn_source* source = file ? burn_offst_source_new(file, nullptr, audio.dataOffset, audio.dataBytes, 0) : nullptr;
            if (file)
                sources_.push_back(file);
            if (!source)
                return Fail("Can't open the image " + wav.wavPath + ".");
            sources_.push_back(source);
            burn_track* track = burn_track_create();
            burn_track_define_data(track, 0, 0, 1, BURN_AUDIO);
            burn_track_set_source(track, source);
            if (job.cdText) {
                SetTrackText(track, "TITLE", wav.title);
                SetTrackText(track, "PERFORMER", wav.performer);
            }
            burn_session_add_track(session, track, BURN_POS_END);
            burn_track_free(track);
            trackSectors_.push_back((audio.dataBytes + kAudioSectorBytes - 1) / kAudioSectorBytes);
        }
        return true;
    }

    static void SetSessionText(burn_session* session, const char* pack, const std::string& text)
    {
        burn_session_set_cdtext(session, 0, 0, const_cast<char*>(pack),
                                reinterpret_cast<unsigned char*>(const_cast<char*>(text.c_str())),
                                static_cast<int>(text.size() + 1), 0);
    }
    static void SetTrackText(burn_track* track, const char* pack, const std::string& text)
    {
        burn_track_set_cdtext(track, 0, 0, const_cast<char*>(pack),
                              reinterpret_cast<unsigned char*>(const_cast<char*>(text.c_str())),
                              static_cast<int>(text.size() + 1), 0);
    }

    void FreeWrite()
    {
        if (opts_)
            burn_write_opts_free(opts_);
        if (disc_)
            burn_disc_free(disc_);
        opts_ = nullptr;
        disc_ = nullptr;
        // Offset sources before the files they read.
        for (auto source = sources_.rbegin(); source != sources_.rend(); ++source)
            burn_source_free(*source);
        sources_.clear();
    }

    void Release(bool eject)
    {
        if (!drive_)
            return;
        // A write still running is cancelled and waited for (bounded): a released drive must be idle.
        if (burn_drive_get_status(drive_, nullptr) != BURN_DRIVE_IDLE) {
            burn_drive_cancel(drive_);
            for (int i = 0; i < 600 && burn_drive_get_status(drive_, nullptr) != BURN_DRIVE_IDLE; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        FreeWrite();
        burn_drive_release(drive_, eject ? 1 : 0);
        burn_drive_info_free(infos_);
        drive_ = nullptr;
        infos_ = nullptr;
    }

    burn_drive_info* infos_;
    burn_drive* drive_;
    burn_disc* disc_ = nullptr;
    burn_write_opts* opts_ = nullptr;
    std::vector<burn_source*> sources_;
    std::vector<int64_t> trackSectors_;
    int speedTaken_ = 0;
    bool underrunProof_ = true;
    std::string error_;
};

class LibburnBackend : public Backend {
public:
    ~LibburnBackend() override
    {
        if (started_)
            burn_finish();
    }

    bool Start() override
    {
        std::call_once(once_, [this] {
            started_ = burn_initialize() > 0;
            if (started_)
                burn_msgs_set_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"), const_cast<char*>("libburn: "));
        });
        return started_ || Fail("libburn could not be started.");
    }

    std::vector<DriveAddress> Scan() override
    {
        std::vector<DriveAddress> found;
        if (!Start())
            return found;
        burn_drive_info* infos = nullptr;
        unsigned int count = 0;
        // The scan runs on libburn's own thread and must be asked until it has finished: giving up
        // early (a slow, loaded machine) reported a failed scan and leaked the list it made later.
        int done = 0;
        while ((done = burn_drive_scan(&infos, &count)) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (done < 0 || !infos) {
            Fail("The drive scan failed.");
            return found;
        }
        for (unsigned int i = 0; i < count; ++i) {
            char adr[BURN_DRIVE_ADR_LEN] = {};
            if (burn_drive_d_get_adr(infos[i].drive, adr) <= 0)
                continue;
            DriveAddress address;
            address.path = adr;
            int busNo = 0;
            burn_drive_obtain_scsi_adr(adr, &busNo, &address.port, &address.bus, &address.target, &address.lun);
            found.push_back(address);
        }
        burn_drive_info_free(infos); // lets go of every drive; Grab takes the one wanted
        TraceInaccessibleDrives();
        return found;
    }

    std::unique_ptr<Drive> Grab(const std::string& path) override
    {
        if (!Start())
            return nullptr;
        burn_drive_info* infos = nullptr;
        if (burn_drive_scan_and_grab(&infos, const_cast<char*>(path.c_str()), 1) != 1) {
            Fail("Can't grab the drive " + path + ".");
            return nullptr;
        }
        return std::make_unique<LibburnDrive>(infos);
    }

    std::string ErrorText() override { return error_; }

private:
    bool Fail(const std::string& fallback)
    {
        error_ = TakeErrorMessages(fallback);
        return false;
    }

    std::once_flag once_;
    bool started_ = false;
    std::string error_;
};

} // namespace

std::unique_ptr<Backend> MakeLibburnBackend() { return std::make_unique<LibburnBackend>(); }

std::vector<uint8_t> CdTextPacks(const WriteJob& job)
{
    std::vector<uint8_t> packs;
    static const bool started = burn_initialize() > 0; // repeated calls are harmless
    if (!started)
        return packs;
    burn_session* session = burn_session_create();
    auto text = [](const std::string& s) {
        return std::make_pair(reinterpret_cast<unsigned char*>(const_cast<char*>(s.c_str())), static_cast<int>(s.size() + 1));
    };
    auto [discTitle, discTitleLength] = text(job.discTitle);
    auto [discPerformer, discPerformerLength] = text(job.discPerformer);
    burn_session_set_cdtext(session, 0, 0, const_cast<char*>("TITLE"), discTitle, discTitleLength, 0);
    burn_session_set_cdtext(session, 0, 0, const_cast<char*>("PERFORMER"), discPerformer, discPerformerLength, 0);
    for (const WriteTrack& wav : job.tracks) {
        burn_track* track = burn_track_create();
        auto [title, titleLength] = text(wav.title);
        auto [performer, performerLength] = text(wav.performer);
        burn_track_set_cdtext(track, 0, 0, const_cast<char*>("TITLE"), title, titleLength, 0);
        burn_track_set_cdtext(track, 0, 0, const_cast<char*>("PERFORMER"), performer, performerLength, 0);
        burn_session_add_track(session, track, BURN_POS_END);
        burn_track_free(track);
    }
    unsigned char* raw = nullptr;
    int count = 0;
    if (burn_cdtext_from_session(session, &raw, &count, 0) > 0 && raw) {
        packs.assign(raw, raw + count * 18);
        free(raw);
    }
    burn_session_free(session);
    return packs;
}

} // namespace burner
