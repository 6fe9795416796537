#include "videoclips.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace testsupport {

namespace {

bool drain(AVCodecContext* codec, AVFormatContext* format, AVStream* stream, AVPacket* packet)
{
    for (;;) {
        const int r = avcodec_receive_packet(codec, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return true;
        if (r < 0)
            return false;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0)
            return false;
    }
}

} // namespace

bool writeTestClip(const QString& path, const QSize& size, int frames, int fps)
{
    const QByteArray name = QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, nullptr, name.constData()) < 0 || !format)
        return false;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    AVStream* stream = encoder ? avformat_new_stream(format, nullptr) : nullptr;
    AVCodecContext* codec = stream ? avcodec_alloc_context3(encoder) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    bool ok = codec && frame && packet;
    if (ok) {
        codec->width = size.width();
        codec->height = size.height();
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        codec->time_base = AVRational{1, fps};
        codec->framerate = AVRational{fps, 1};
        codec->gop_size = 12;
        codec->bit_rate = 400000;
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(codec, encoder, nullptr) >= 0
            && avcodec_parameters_from_context(stream->codecpar, codec) >= 0;
        stream->time_base = codec->time_base;
    }
    if (ok && !(format->oformat->flags & AVFMT_NOFILE))
        ok = avio_open(&format->pb, name.constData(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(format, nullptr) >= 0;
    if (ok) {
        frame->format = codec->pix_fmt;
        frame->width = codec->width;
        frame->height = codec->height;
        ok = av_frame_get_buffer(frame, 0) >= 0;
    }
    for (int n = 0; ok && n < frames; ++n) {
        ok = av_frame_make_writable(frame) >= 0;
        const int level = 16 + (n * 37) % 200;
        for (int y = 0; ok && y < codec->height; ++y)
            memset(frame->data[0] + y * frame->linesize[0], level, size_t(codec->width));
        for (int y = 0; ok && y < codec->height / 2; ++y) {
            memset(frame->data[1] + y * frame->linesize[1], 128, size_t(codec->width / 2));
            memset(frame->data[2] + y * frame->linesize[2], 128, size_t(codec->width / 2));
        }
        frame->pts = n;
        ok = ok && avcodec_send_frame(codec, frame) >= 0 && drain(codec, format, stream, packet);
    }
    if (ok)
        ok = avcodec_send_frame(codec, nullptr) >= 0 && drain(codec, format, stream, packet)
            && av_write_trailer(format) >= 0;
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format && !(format->oformat->flags & AVFMT_NOFILE))
        avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

} // namespace testsupport
