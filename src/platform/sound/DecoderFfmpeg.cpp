// Windows Media Audio through FFmpeg. ASF seeks land up to a few thousand samples off and carry
// millisecond time stamps, so a seek goes about a second early and decodes forward to the exact
// frame; a decoded block's first frame is its time stamp snapped to the codec's fixed block size.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/sound/SoundDecoders.h"
#include "platform/sound/SoundLibrary.h"

namespace sound {
namespace {

bool IsWmaCodec(AVCodecID id)
{
    return id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 || id == AV_CODEC_ID_WMAPRO ||
           id == AV_CODEC_ID_WMALOSSLESS || id == AV_CODEC_ID_WMAVOICE;
}

class FfmpegDecoder : public Decoder {
public:
    ~FfmpegDecoder() override
    {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        swr_free(&converter_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }

    bool Open(const std::string& path)
    {
        av_log_set_level(AV_LOG_QUIET);
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0)
            return false;
        if (std::strcmp(format_->iformat->name, "asf") != 0 || avformat_find_stream_info(format_, nullptr) < 0)
            return false;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0)
            return false;
        const AVCodecParameters* params = format_->streams[stream_]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(params->codec_id);
        if (!codec || !IsWmaCodec(params->codec_id))
            return false;
        codec_ = avcodec_alloc_context3(codec);
        if (!codec_ || avcodec_parameters_to_context(codec_, params) < 0 || avcodec_open2(codec_, codec, nullptr) < 0)
            return false;
        rate = static_cast<uint32_t>(codec_->sample_rate);
        channels = static_cast<uint32_t>(codec_->ch_layout.nb_channels);
        if (!AcceptableFormat(rate, channels) || !MakeConverter())
            return false;
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_ || !DecodeNext())
            return false; // not even one block decodes: broken
        // The first decoded block is frame 0 of the stream; every later one is numbered from it.
        originFrame_ = SnappedStart(frame_);
        nextFrame_ = 0;
        type = BASS_CTYPE_WMA;
        lengthFrames = MeasureLength();
        return Rewind();
    }

    int64_t Read(int16_t* out, int64_t frames) override
    {
        int64_t done = 0;
        while (done < frames) {
            if (pendingOffset_ == pendingFrames_ && !DecodeNext())
                break;
            const int64_t n = std::min<int64_t>(frames - done, pendingFrames_ - pendingOffset_);
            std::memcpy(out + done * channels, pending_.data() + pendingOffset_ * channels, size_t(n) * channels * 2);
            pendingOffset_ += n;
            done += n;
            nextFrame_ += n;
        }
        return done;
    }

    bool Seek(int64_t target) override { return LandBefore(target) && SkipTo(target); }

private:
    bool MakeConverter()
    {
        if (swr_alloc_set_opts2(&converter_, &codec_->ch_layout, AV_SAMPLE_FMT_S16, codec_->sample_rate,
                                &codec_->ch_layout, codec_->sample_fmt, codec_->sample_rate, 0, nullptr) < 0)
            return false;
        return swr_init(converter_) >= 0;
    }

    // The frame a decoded block starts at, from its time stamp, snapped to whole codec blocks.
    int64_t SnappedStart(const AVFrame* frame) const
    {
        const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : 0;
        const AVRational tb = format_->streams[stream_]->time_base;
        const double exact = double(pts) * tb.num * rate / tb.den;
        const int64_t block = std::max(1, frame->nb_samples);
        return static_cast<int64_t>(std::llround(exact / block)) * block;
    }

    void Flush()
    {
        avcodec_flush_buffers(codec_);
        pendingFrames_ = pendingOffset_ = 0;
        ended_ = false;
        draining_ = false;
    }

    bool Rewind()
    {
        const int64_t start = format_->streams[stream_]->start_time;
        if (av_seek_frame(format_, stream_, start != AV_NOPTS_VALUE ? start : 0, AVSEEK_FLAG_BACKWARD) < 0)
            return false;
        Flush();
        nextFrame_ = 0;
        return true;
    }

    // Decodes forward, dropping frames, until the next Read starts at `target`.
    bool SkipTo(int64_t target)
    {
        while (nextFrame_ + (pendingFrames_ - pendingOffset_) <= target) {
            nextFrame_ += pendingFrames_ - pendingOffset_;
            pendingOffset_ = pendingFrames_;
            if (!DecodeNext())
                return nextFrame_ >= target; // the end: a seek to the very end is fine
        }
        const int64_t skip = target - nextFrame_;
        pendingOffset_ += skip;
        nextFrame_ = target;
        return true;
    }

    // Decodes the next block into `pending_` (and `frame_`); false at the end.
    bool DecodeNext()
    {
        while (!ended_) {
            const int received = avcodec_receive_frame(codec_, frame_);
            if (received == 0)
                return Convert();
            if (received == AVERROR_EOF) {
                ended_ = true;
                break;
            }
            if (received != AVERROR(EAGAIN))
                return false;
            if (draining_) {
                ended_ = true;
                break;
            }
            if (av_read_frame(format_, packet_) < 0) {
                avcodec_send_packet(codec_, nullptr);
                draining_ = true;
                continue;
            }
            if (packet_->stream_index == stream_)
                avcodec_send_packet(codec_, packet_); // a damaged packet is skipped
            av_packet_unref(packet_);
        }
        return false;
    }

    bool Convert()
    {
        const int frames = frame_->nb_samples;
        pending_.resize(size_t(std::max(frames, 0)) * channels);
        auto* out = reinterpret_cast<uint8_t*>(pending_.data());
        const int got = swr_convert(converter_, &out, frames, const_cast<const uint8_t**>(frame_->extended_data), frames);
        pendingFrames_ = std::max(got, 0);
        pendingOffset_ = 0;
        return true;
    }

    // Positions on a decoded block that starts at or before `target`: the demuxer seeks about a
    // second early; where it cannot, or lands too late, decoding starts over from the beginning.
    bool LandBefore(int64_t target)
    {
        const AVStream* stream = format_->streams[stream_];
        const int64_t early = target + originFrame_ - rate;
        const int64_t timestamp = av_rescale_q(early, AVRational{1, static_cast<int>(rate)}, stream->time_base);
        if (target < rate || av_seek_frame(format_, stream_, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
            return Rewind();
        Flush();
        if (!DecodeNext())
            return Rewind();
        nextFrame_ = SnappedStart(frame_) - originFrame_;
        return nextFrame_ <= target || Rewind();
    }

    // The exact length: the container's duration is only a millisecond figure, so the last couple
    // of seconds are decoded and counted, numbered exactly as a seek would number them.
    int64_t MeasureLength()
    {
        const AVStream* stream = format_->streams[stream_];
        double seconds = 0;
        if (stream->duration != AV_NOPTS_VALUE)
            seconds = double(stream->duration) * stream->time_base.num / stream->time_base.den;
        else if (format_->duration != AV_NOPTS_VALUE)
            seconds = double(format_->duration) / AV_TIME_BASE;
        const int64_t approx = std::llround(seconds * rate) - originFrame_;
        if (!LandBefore(std::max<int64_t>(0, approx - 2 * int64_t(rate))))
            return std::max<int64_t>(0, approx);
        int64_t end = nextFrame_ + pendingFrames_ - pendingOffset_;
        while (DecodeNext())
            end += pendingFrames_;
        return end;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* converter_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    std::vector<int16_t> pending_;
    int64_t pendingFrames_ = 0;
    int64_t pendingOffset_ = 0;
    int64_t nextFrame_ = 0;   // stream frame of pending_[pendingOffset_]
    int64_t originFrame_ = 0; // snapped start of the first block
    bool ended_ = false;
    bool draining_ = false;
};

} // namespace

std::unique_ptr<Decoder> OpenFfmpegWmaDecoder(const std::string& path)
{
    auto decoder = std::make_unique<FfmpegDecoder>();
    if (!decoder->Open(path))
        return nullptr;
    return decoder;
}

} // namespace sound
