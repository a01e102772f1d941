// Ogg Vorbis through libvorbisfile. Its own positions come from the pages' granule positions, which
// some files get wrong (a negative first one from an encoder's pre-skip, a jump in the middle), so
// that its sequential decode and its seeks disagree. The sequential decode is the stream: a scan of
// the packets' block sizes at open counts its frames page by page, and a seek starts decoding at a
// page whose first frame that count knows, then decodes forward to the frame.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

// libvorbis's count of the frames each audio packet hands out: a packet completes the overlap with
// the one before it (the first after a restart completes none); the first granule position after
// a restart or a hole trims the packet's frames when it says fewer came before it, and the last
// page's trims the end.
class PacketFrames {
public:
    void Restart()
    {
        previousBlock_ = -1;
        Hole();
    }
    // Lost or unusable packets: libvorbis loses its count, not its overlap.
    void Hole()
    {
        granule_ = -1;
        sinceRestart_ = -1;
    }
    bool GranuleKnown() const { return granule_ != -1; }
    int64_t Next(long block, int64_t granule, bool endOfStream)
    {
        const int64_t untrimmed = previousBlock_ < 0 ? 0 : (previousBlock_ + block) / 4;
        previousBlock_ = block;
        sinceRestart_ = sinceRestart_ < 0 ? 0 : sinceRestart_ + untrimmed;
        int64_t extra = 0;
        if (granule_ == -1) {
            if (granule != -1) {
                extra = sinceRestart_ - granule;
                granule_ = granule;
            }
        } else {
            granule_ += untrimmed;
            if (granule != -1) {
                if (endOfStream)
                    extra = granule_ - granule;
                granule_ = granule;
            }
        }
        return untrimmed - std::clamp<int64_t>(extra, 0, untrimmed);
    }

private:
    long previousBlock_ = -1;
    int64_t granule_ = -1;
    int64_t sinceRestart_ = -1;
};

// A place where decoding can start: a page's byte offset, and the frame of the sequential decode
// that the first frame read after ov_raw_seek to it has.
struct StartPoint {
    int64_t offset = 0;
    int64_t frame = 0;
};

struct DecodeMap {
    std::vector<StartPoint> starts{StartPoint{}}; // by frame; the file's start is always one
    int64_t frames = 0;
};

// Counts the sequential decode's frames from the file's pages and finds its start points. After
// ov_raw_seek to a page, libvorbisfile drops the rest of a packet begun before it, restarts the
// decoder on the first packet that begins there (which yields no frames) and reads on exactly as
// the sequential decode, provided that the first packet with a granule position after that one ends
// on the same page (else it gives up its count), that the page is not the last (whose packets its
// scan throws away), that this granule position trims nothing in either decode, and that the stream
// does not change on the way.
class DecodeMapper {
public:
    explicit DecodeMapper(OggVorbis_File& file) : file_(file) { ogg_stream_init(&stream_, 0); }
    ~DecodeMapper() { ogg_stream_clear(&stream_); }

    // Empty when the file cannot be read to its end.
    std::optional<DecodeMap> Map(FILE* source)
    {
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        int64_t offset = 0;
        for (bool more = true; more;) {
            ogg_page page;
            const long got = ogg_sync_pageseek(&sync, &page);
            if (got < 0) {
                offset -= got; // bytes that are no page
            } else if (got > 0) {
                more = Page(page, offset);
                offset += got;
            } else {
                char* buffer = ogg_sync_buffer(&sync, bufferBytes);
                const size_t read = std::fread(buffer, 1, bufferBytes, source);
                ogg_sync_wrote(&sync, long(read));
                more = read > 0;
            }
        }
        ogg_sync_clear(&sync);
        if (std::ferror(source))
            return std::nullopt;
        map_.frames = frames_;
        return map_;
    }

private:
    static constexpr long bufferBytes = 1 << 16;

    // A page that becomes a start point once its first packet and the next granule position are seen.
    struct Candidate {
        int64_t offset = 0;
        bool skipContinuation = false; // the first packet ending after it began before it
        bool started = false;          // its first packet has been seen:
        int64_t frame = 0;             // the frames up to its end
        int64_t page = 0;              // and the page where it ends
    };

    // False once the stream changes to a section of another channel count, where reading stops.
    bool Page(ogg_page& page, int64_t offset)
    {
        const long serial = ogg_page_serialno(&page);
        const bool ownStream = link_ >= 0 && serial == ov_serialnumber(&file_, link_);
        if (ogg_page_bos(&page) && !ownStream) { // a new section (a repeat of this one is only a hole)
            const int link = LinkOf(serial);
            if (link < 0)
                return true; // a stream that is not Vorbis
            if (ov_info(&file_, link)->channels != ov_info(&file_, 0)->channels)
                return false;
            link_ = link;
            ogg_stream_reset_serialno(&stream_, serial);
            packetFrames_.Restart();
            candidates_.clear();
        } else if (!ownStream) {
            return true; // another stream's page
        }
        ++pageIndex_;
        candidates_.push_back(Candidate{offset, ogg_page_continued(&page) != 0});
        ogg_stream_pagein(&stream_, &page);
        ogg_packet packet;
        for (int result; (result = ogg_stream_packetout(&stream_, &packet)) != 0;) {
            if (result < 0)
                packetFrames_.Hole();
            else
                Packet(packet, ogg_page_eos(&page) != 0);
        }
        return true;
    }

    void Packet(ogg_packet& packet, bool lastPage)
    {
        const long block = vorbis_packet_blocksize(ov_info(&file_, link_), &packet);
        const bool granuleKnown = packetFrames_.GranuleKnown();
        if (block < 0)
            packetFrames_.Hole(); // libvorbis never sees it: the next packet is out of sequence
        else
            frames_ += packetFrames_.Next(block, packet.granulepos, packet.e_o_s != 0);
        for (Candidate& candidate : candidates_) {
            if (candidate.skipContinuation)
                candidate.skipContinuation = false;
            else if (!candidate.started && block >= 0)
                candidate = Candidate{candidate.offset, false, true, frames_, pageIndex_};
        }
        if (block < 0 || packet.granulepos == -1)
            return;
        for (const Candidate& candidate : candidates_) {
            if (candidate.started && candidate.page == pageIndex_ && !lastPage && granuleKnown &&
                frames_ - candidate.frame <= packet.granulepos)
                map_.starts.push_back(StartPoint{candidate.offset, candidate.frame});
        }
        std::erase_if(candidates_, [](const Candidate& candidate) { return candidate.started; });
    }

    int LinkOf(long serial)
    {
        for (int link = 0; link < ov_streams(&file_); ++link) {
            if (ov_serialnumber(&file_, link) == serial)
                return link;
        }
        return -1;
    }

    OggVorbis_File& file_;
    ogg_stream_state stream_;
    PacketFrames packetFrames_;
    std::vector<Candidate> candidates_;
    DecodeMap map_;
    int link_ = -1;
    int64_t pageIndex_ = 0;
    int64_t frames_ = 0;
};

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
        if (!info || !AcceptableFormat(static_cast<uint32_t>(info->rate), static_cast<uint32_t>(info->channels)))
            return false;
        rate = static_cast<uint32_t>(info->rate);
        channels = static_cast<uint32_t>(info->channels);
        type = BASS_CTYPE_OGG;
        scratch_.resize(size_t(scratchFrames) * channels);
        FILE* source = std::fopen(path.c_str(), "rb");
        if (!source)
            return false;
        std::optional<DecodeMap> map = DecodeMapper(file_).Map(source);
        std::fclose(source);
        if (!map)
            return false;
        map_ = std::move(*map);
        lengthFrames = map_.frames;
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
    bool Seek(int64_t frame) override
    {
        const auto after = std::upper_bound(map_.starts.begin(), map_.starts.end(), frame,
                                            [](int64_t f, const StartPoint& start) { return f < start.frame; });
        const StartPoint& start = *std::prev(after);
        return ov_raw_seek(&file_, start.offset) == 0 && Skip(frame - start.frame);
    }

private:
    static constexpr int64_t scratchFrames = 4096;

    // Decodes and drops `frames` frames; false when the file ends first.
    bool Skip(int64_t frames)
    {
        while (frames > 0) {
            const int64_t got = Read(scratch_.data(), std::min(frames, scratchFrames));
            if (got <= 0)
                return false;
            frames -= got;
        }
        return true;
    }

    OggVorbis_File file_{};
    bool open_ = false;
    DecodeMap map_;
    std::vector<int16_t> scratch_;
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
