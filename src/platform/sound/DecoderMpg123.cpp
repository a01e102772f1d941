// MP3 through libmpg123: gapless (the encoder's delay and padding are cut), the exact length at
// open, sample-exact seeks. The length comes from the encoder's info tag when the file has one
// (frame count, delay and padding); only a file without it is scanned whole, which reads the
// entire file and costs tens of milliseconds for a long track.

#include <mpg123.h>

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
    if (!HasEncoderInfoTag(handle) && mpg123_scan(handle) != MPG123_OK)
        return nullptr;
    const int64_t length = mpg123_length(handle);
    if (length <= 0 || !AcceptableFormat(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels)))
        return nullptr;
    decoder->rate = static_cast<uint32_t>(rate);
    decoder->channels = static_cast<uint32_t>(channels);
    decoder->lengthFrames = length;
    decoder->type = BASS_CTYPE_MP3;
    return decoder;
}

} // namespace sound
