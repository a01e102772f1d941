// MP3 through libmpg123: gapless (the encoder's delay and padding are cut), the exact length at
// open, sample-exact seeks. The length comes from the encoder's info tag when the file has one
// (frame count, delay and padding); only a file without it is scanned whole, which reads the
// entire file and costs tens of milliseconds for a long track (half a second for an hour). A new
// source is opened three times at once (its waveform, its player, its tags): what a scan found is
// remembered for the unchanged file, so only the first open scans.

#include <mpg123.h>

#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

// Garbage that happens to contain a frame sync word is not taken for MP3: the first frame must
// come within this many bytes (ID3v2 tags are skipped separately by the library).
constexpr long resyncLimit = 16384;

bool LibraryReady()
{
    static const bool ready = [] {
#if MPG123_API_VERSION < 46
        return mpg123_init() == MPG123_OK;
#else
        return true;
#endif
    }();
    return ready;
}

class Mpg123Decoder : public Decoder {
public:
    explicit Mpg123Decoder(mpg123_handle* handle) : handle_(handle) {}
    ~Mpg123Decoder() override
    {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
    int64_t Read(int16_t* out, int64_t frames) override
    {
        const size_t frameBytes = size_t(channels) * 2;
        auto* bytes = reinterpret_cast<unsigned char*>(out);
        size_t total = 0;
        const size_t wanted = size_t(frames) * frameBytes;
        while (total < wanted) {
            size_t done = 0;
            const int result = mpg123_read(handle_, bytes + total, wanted - total, &done);
            total += done;
            if (result == MPG123_DONE || (result != MPG123_OK && result != MPG123_NEW_FORMAT) ||
                (done == 0 && result == MPG123_OK))
                break;
        }
        return static_cast<int64_t>(total / frameBytes);
    }
    bool Seek(int64_t frame) override { return mpg123_seek(handle_, frame, SEEK_SET) == frame; }

private:
    mpg123_handle* handle_;
};

// The encoder's info tag carries the frame count and the gapless delay and padding, so the
// library's length is then exact without a scan.
bool HasEncoderInfoTag(mpg123_handle* handle)
{
    long delay = -1, padding = -1;
    double unused = 0;
    return mpg123_getstate(handle, MPG123_ENC_DELAY, &delay, &unused) == MPG123_OK &&
           mpg123_getstate(handle, MPG123_ENC_PADDING, &padding, &unused) == MPG123_OK && delay >= 0 &&
           padding >= 0;
}

// What a whole-file scan found: the exact length and the frame index that makes seeks exact,
// valid while the file keeps its size and change time.
struct ScanResult {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed;
    int64_t length = 0;
    off_t step = 0;
    std::vector<off_t> offsets;
};

constexpr size_t maxRememberedScans = 64;

std::mutex scansMutex;
std::unordered_map<std::string, ScanResult>& Scans()
{
    static std::unordered_map<std::string, ScanResult> scans;
    return scans;
}

bool FileStamp(const std::string& path, std::uintmax_t& size, std::filesystem::file_time_type& changed)
{
    std::error_code ec;
    size = std::filesystem::file_size(path, ec);
    if (ec)
        return false;
    changed = std::filesystem::last_write_time(path, ec);
    return !ec;
}

// Gives the handle the remembered index; the length is the remembered one.
bool RestoreScan(mpg123_handle* handle, const std::string& path, int64_t& length)
{
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed;
    if (!FileStamp(path, size, changed))
        return false;
    std::lock_guard lock(scansMutex);
    const auto found = Scans().find(path);
    if (found == Scans().end() || found->second.size != size || found->second.changed != changed)
        return false;
    std::vector<off_t> offsets = found->second.offsets; // the library takes a copy, from a mutable array
    if (mpg123_set_index(handle, offsets.data(), found->second.step, offsets.size()) != MPG123_OK)
        return false;
    length = found->second.length;
    return true;
}

void RememberScan(mpg123_handle* handle, const std::string& path, int64_t length)
{
    ScanResult result;
    off_t* offsets = nullptr;
    size_t fill = 0;
    if (!FileStamp(path, result.size, result.changed) ||
        mpg123_index(handle, &offsets, &result.step, &fill) != MPG123_OK || !offsets)
        return;
    result.offsets.assign(offsets, offsets + fill);
    result.length = length;
    std::lock_guard lock(scansMutex);
    if (Scans().size() >= maxRememberedScans)
        Scans().clear();
    Scans()[path] = std::move(result);
}

// The exact length: from the info tag, the remembered scan, or a new scan.
int64_t ExactLength(mpg123_handle* handle, const std::string& path)
{
    if (HasEncoderInfoTag(handle))
        return mpg123_length(handle);
    int64_t length = 0;
    if (RestoreScan(handle, path, length))
        return length;
    if (mpg123_scan(handle) != MPG123_OK)
        return -1;
    length = mpg123_length(handle);
    RememberScan(handle, path, length);
    return length;
}

} // namespace

std::unique_ptr<Decoder> OpenMpg123Decoder(const std::string& path)
{
    if (!LibraryReady())
        return nullptr;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle)
        return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, resyncLimit, 0);
    auto decoder = std::make_unique<Mpg123Decoder>(handle); // closes the handle on every way out
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open(handle, path.c_str()) != MPG123_OK || mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK)
        return nullptr;
    // Decode straight to 16-bit at the file's own rate and channel count.
    mpg123_format_none(handle);
    if (mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16) != MPG123_OK)
        return nullptr;
    const int64_t length = ExactLength(handle, path);
    if (length <= 0 || !AcceptableFormat(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels)))
        return nullptr;
    decoder->rate = static_cast<uint32_t>(rate);
    decoder->channels = static_cast<uint32_t>(channels);
    decoder->lengthFrames = length;
    decoder->type = BASS_CTYPE_MP3;
    return decoder;
}

} // namespace sound
