// Ogg Vorbis through libvorbisfile, whose PCM seek is sample-exact.

#include <algorithm>

#include <vorbis/vorbisfile.h>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

class VorbisDecoder : public Decoder {
public:
    ~VorbisDecoder() override
    {
        if (open_)
            ov_clear(&file_);
    }
    bool Open(const std::string& path)
    {
        open_ = ov_fopen(path.c_str(), &file_) == 0;
        if (!open_ || !ov_seekable(&file_))
            return false;
        const vorbis_info* info = ov_info(&file_, -1);
        const ogg_int64_t total = ov_pcm_total(&file_, -1);
        if (!info || total < 0 || !AcceptableFormat(static_cast<uint32_t>(info->rate), static_cast<uint32_t>(info->channels)))
            return false;
        rate = static_cast<uint32_t>(info->rate);
        channels = static_cast<uint32_t>(info->channels);
        lengthFrames = total;
        type = BASS_CTYPE_OGG;
        return true;
    }
    int64_t Read(int16_t* out, int64_t frames) override
    {
        char* bytes = reinterpret_cast<char*>(out);
        const int64_t frameBytes = int64_t(channels) * 2;
        int64_t total = 0;
        const int64_t wanted = frames * frameBytes;
        int errorsLeft = 8; // a damaged page is skipped; a run of them ends the stream
        while (total < wanted) {
            int section = 0;
            const int chunk = static_cast<int>(std::min<int64_t>(wanted - total, 1 << 20));
            const long got = ov_read(&file_, bytes + total, chunk, 0, 2, 1, &section);
            if (got == 0)
                break;
            if (got < 0) {
                if (--errorsLeft == 0)
                    break;
                continue;
            }
            // A chained file whose later section has another channel count is cut there.
            const vorbis_info* info = ov_info(&file_, section);
            if (!info || static_cast<uint32_t>(info->channels) != channels)
                break;
            total += got;
        }
        return total / frameBytes;
    }
    bool Seek(int64_t frame) override { return ov_pcm_seek(&file_, frame) == 0; }

private:
    OggVorbis_File file_{};
    bool open_ = false;
};

} // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path)
{
    auto decoder = std::make_unique<VorbisDecoder>();
    if (!decoder->Open(path))
        return nullptr;
    return decoder;
}

} // namespace sound
