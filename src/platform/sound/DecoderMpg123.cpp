// MP3 through libmpg123: gapless (the encoder's delay and padding are cut), the exact length at
// open, sample-exact seeks. The length comes from the encoder's info tag when the file has one
// (frame count, delay and padding) and its frame count fits the file's bytes; any other file is
// scanned whole, which reads the entire file and costs tens of milliseconds for a long track (half
// a second for an hour). A new source is opened three times at once (its waveform, its player, its
// tags): what a scan found is remembered for the unchanged file, so only the first open scans.

#include <mpg123.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

// Garbage that happens to contain a frame sync word is not taken for MP3: the first frame must
// come within this many bytes (ID3v2 tags are skipped separately by the library).
constexpr long resyncLimit = 16384;

// The info tag sits in the first frame after the ID3v2 tag, if any; one not found this far in is
// missing, and the file is scanned.
constexpr std::streamsize tagSearchBytes = 16384;

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

// The fewest bytes a frame of the file's kind can take: at the lowest bitrate of its MPEG version
// and layer (32 kbit/s, or 8 for layers II and III of MPEG 2 and 2.5), without padding. 0 when
// the frame is unknown.
int64_t SmallestFrameBytes(mpg123_handle* handle)
{
    mpg123_frameinfo2 frame{};
    if (mpg123_info2(handle, &frame) != MPG123_OK || frame.rate <= 0)
        return 0;
    const bool mpeg1 = frame.version == MPG123_1_0;
    const int64_t lowestBitrate = mpeg1 || frame.layer == 1 ? 32000 : 8000;
    const int64_t bytesPerBitrate = frame.layer == 1 ? 48 : (frame.layer == 3 && !mpeg1 ? 72 : 144);
    return bytesPerBitrate * lowestBitrate / frame.rate;
}

// The frame count the info tag ("Xing" or "Info") carries, big-endian after its flags; 0 when it
// has none. The library replaces a missing or zero count with an estimate from the file's size.
int64_t TagFrameCount(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char id3[10] = {};
    if (file.read(id3, sizeof id3) && std::string_view(id3, 3) == "ID3") {
        const auto size = [&](int i) { return static_cast<std::streamoff>(id3[i] & 0x7F); };
        file.seekg(10 + (size(6) << 21 | size(7) << 14 | size(8) << 7 | size(9)));
    } else {
        file.clear();
        file.seekg(0);
    }
    std::string head(tagSearchBytes, '\0');
    file.read(head.data(), tagSearchBytes);
    head.resize(static_cast<size_t>(file.gcount()));
    size_t at = std::min(head.find("Xing"), head.find("Info"));
    if (at == std::string::npos || at + 12 > head.size() || (head[at + 7] & 1) == 0)
        return 0;
    int64_t count = 0;
    for (size_t i = at + 8; i < at + 12; ++i)
        count = count << 8 | static_cast<unsigned char>(head[i]);
    return count;
}

// A frame count from the tag is believed only when the tag has one and the file's bytes can hold
// that many frames: a corrupt or truncated tag may claim years of sound for a few kilobytes.
bool TagFitsTheFile(mpg123_handle* handle, const std::string& path)
{
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    const int64_t frames = mpg123_framelength(handle);
    const int64_t smallest = SmallestFrameBytes(handle);
    return !error && frames > 0 && frames == TagFrameCount(path) && smallest > 0 &&
           frames <= static_cast<int64_t>(bytes) / smallest;
}

// Opens the file on the handle, set to decode straight to 16-bit at the file's own rate and channel
// count.
bool OpenAs16Bit(mpg123_handle* handle, const std::string& path, long& rate, int& channels)
{
    int encoding = 0;
    if (mpg123_open(handle, path.c_str()) != MPG123_OK || mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK)
        return false;
    mpg123_format_none(handle);
    return mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16) == MPG123_OK;
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

// The length a whole-file scan finds, remembered for the unchanged file.
int64_t ScannedLength(mpg123_handle* handle, const std::string& path)
{
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
    int channels = 0;
    if (!OpenAs16Bit(handle, path, rate, channels))
        return nullptr;
    int64_t length = 0;
    if (HasEncoderInfoTag(handle) && !TagFitsTheFile(handle, path)) {
        // A tag that lies about the frames cannot be trusted for the gapless trim either (the
        // library would apply it to a length it does not have): the file is read as it is.
        mpg123_close(handle);
        mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
        if (!OpenAs16Bit(handle, path, rate, channels))
            return nullptr;
        length = ScannedLength(handle, path);
    } else {
        length = HasEncoderInfoTag(handle) ? mpg123_length(handle) : ScannedLength(handle, path);
    }
    if (length <= 0 || !AcceptableFormat(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels)))
        return nullptr;
    decoder->rate = static_cast<uint32_t>(rate);
    decoder->channels = static_cast<uint32_t>(channels);
    decoder->lengthFrames = length;
    decoder->type = BASS_CTYPE_MP3;
    return decoder;
}

} // namespace sound
