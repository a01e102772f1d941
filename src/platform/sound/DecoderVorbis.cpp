// Ogg Vorbis through libvorbisfile, whose PCM seek is sample-exact, except in a file whose first
// audio page carries a negative granule position (an encoder's pre-skip): there its sequential
// decode and its seeks disagree, and the sequential decode is the stream.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

// The granule positions of the first audio pages: the first one that is set, and the second
// positive one after it (where the library's positions have settled). Both 0 when the file has
// none (or is no Ogg file).
struct FirstGranules {
    int64_t first = 0;
    int64_t settled = 0;
};

FirstGranules ReadFirstGranules(const std::string& path)
{
    constexpr int pagesLooked = 64;
    FirstGranules granules;
    int positives = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return granules;
    unsigned char header[27 + 255];
    for (int page = 0; page < pagesLooked && std::fread(header, 1, 27, file) == 27; ++page) {
        const int segments = header[26];
        if (std::memcmp(header, "OggS", 4) != 0 || std::fread(header + 27, 1, size_t(segments), file) != size_t(segments))
            break;
        int64_t granule = 0;
        std::memcpy(&granule, header + 6, 8); // little-endian, as the machines Sonorel runs on
        long body = 0;
        for (int i = 0; i < segments; ++i)
            body += header[27 + i];
        if (granule != 0 && granule != -1) {
            if (granules.first == 0)
                granules.first = granule;
            if (granule > 0 && ++positives == 2) {
                granules.settled = granule;
                break;
            }
        }
        if (std::fseek(file, body, SEEK_CUR) != 0)
            break;
    }
    std::fclose(file);
    return granules;
}

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
        type = BASS_CTYPE_OGG;
        const FirstGranules granules = ReadFirstGranules(path);
        if (granules.first < 0 && !MeasurePreSkip(granules.settled))
            return false;
        lengthFrames = total + lead_;
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
    // Where the library's positions agree with the sequential decode, its seek lands exactly; the
    // seek is checked, and anywhere else the decode starts at the beginning and runs forward to
    // the frame.
    bool Seek(int64_t frame) override
    {
        const int64_t position = frame - lead_;
        if (position >= trustedFrom_ && ov_pcm_seek(&file_, position) == 0 && ov_pcm_tell(&file_) == position)
            return true;
        return ov_raw_seek(&file_, 0) == 0 && Skip(frame);
    }

private:
    // Decodes and drops `frames` frames; false when the file ends first.
    bool Skip(int64_t frames)
    {
        std::vector<int16_t> scratch(size_t(4096) * channels);
        while (frames > 0) {
            const int64_t got = Read(scratch.data(), std::min<int64_t>(frames, 4096));
            if (got <= 0)
                return false;
            frames -= got;
        }
        return true;
    }

    // With a negative first granule the library trims less from the beginning than the granules
    // say, and its positions run behind the sequential decode by the difference (`lead_`) once they
    // have settled, two pages with positive granules on; seeks before that land anywhere. The lead
    // is read off the library's position once a sequential decode has passed that page.
    bool MeasurePreSkip(int64_t settled)
    {
        std::vector<int16_t> scratch(size_t(4096) * channels);
        int64_t decoded = 0;
        while (ov_pcm_tell(&file_) <= settled) {
            const int64_t got = Read(scratch.data(), 4096);
            if (got <= 0)
                return false;
            decoded += got;
        }
        lead_ = decoded - ov_pcm_tell(&file_);
        trustedFrom_ = settled + 1;
        return ov_raw_seek(&file_, 0) == 0;
    }

    OggVorbis_File file_{};
    bool open_ = false;
    int64_t lead_ = 0;        // frames the sequential decode runs ahead of the library's positions
    int64_t trustedFrom_ = 0; // the library's seeks land where it says from this position on
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
