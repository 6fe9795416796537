#include "media/videodecoder.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

struct LibavVideoDecoder::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    int stream = -1;
    QSize native;
    QSize output;
    bool draining = false;
    qint64 lastMs = -1;

    ~Impl()
    {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }

    qint64 timestampMs(const AVFrame* f) const
    {
        const AVStream* s = format->streams[stream];
        int64_t ts = f->best_effort_timestamp;
        if (ts == AV_NOPTS_VALUE)
            ts = f->pts;
        if (ts == AV_NOPTS_VALUE) {
            // No time stamp: one frame duration after the previous frame.
            const AVRational rate = s->avg_frame_rate.num > 0 ? s->avg_frame_rate : AVRational{25, 1};
            return lastMs < 0 ? 0 : lastMs + av_rescale(1000, rate.den, rate.num);
        }
        const int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
        return av_rescale_q(ts - start, s->time_base, AVRational{1, 1000});
    }

    bool convert(QImage* out)
    {
        const QSize size = output.isValid() ? output : native;
        scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                      size.width(), size.height(), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr,
                                      nullptr, nullptr);
        if (!scaler)
            return false;
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull())
            return false;
        uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
        if (sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, dst, dstStride) <= 0)
            return false;
        *out = std::move(image);
        return true;
    }
};

LibavVideoDecoder::LibavVideoDecoder() : d(std::make_unique<Impl>()) {}
LibavVideoDecoder::~LibavVideoDecoder() = default;

bool LibavVideoDecoder::open(const QString& path)
{
    d = std::make_unique<Impl>();
    const QByteArray local = QFile::encodeName(path);
    if (avformat_open_input(&d->format, local.constData(), nullptr, nullptr) < 0)
        return false;
    if (avformat_find_stream_info(d->format, nullptr) < 0)
        return false;
    for (unsigned i = 0; i < d->format->nb_streams && i < 16; ++i) {
        if (d->format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            d->stream = int(i);
            break;
        }
    }
    if (d->stream < 0)
        return false;
    const AVCodecParameters* par = d->format->streams[d->stream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder || par->width <= 0 || par->height <= 0)
        return false;
    d->codec = avcodec_alloc_context3(decoder);
    if (!d->codec || avcodec_parameters_to_context(d->codec, par) < 0)
        return false;
    // One core at most: the background must stay a light load.
    d->codec->thread_count = 1;
    if (avcodec_open2(d->codec, decoder, nullptr) < 0)
        return false;
    for (unsigned i = 0; i < d->format->nb_streams; ++i)
        d->format->streams[i]->discard = int(i) == d->stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    d->native = QSize(par->width, par->height);
    return d->packet && d->frame;
}

QSize LibavVideoDecoder::nativeSize() const { return d->native; }

void LibavVideoDecoder::setOutputSize(const QSize& size) { d->output = size; }

QSize LibavVideoDecoder::outputSize() const { return d->output.isValid() ? d->output : d->native; }

VideoDecoder::Read LibavVideoDecoder::read(QImage* frame, qint64* timestampMs)
{
    if (!d->codec)
        return Read::Error;
    int r = avcodec_receive_frame(d->codec, d->frame);
    if (r == AVERROR(EAGAIN) && !d->draining) {
        // Feed packets of our stream until the decoder has a frame to give.
        for (;;) {
            r = av_read_frame(d->format, d->packet);
            if (r == AVERROR_EOF) {
                d->draining = true;
                avcodec_send_packet(d->codec, nullptr);
                break;
            }
            if (r < 0)
                return Read::Error;
            const bool ours = d->packet->stream_index == d->stream;
            const int sent = ours ? avcodec_send_packet(d->codec, d->packet) : 0;
            av_packet_unref(d->packet);
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA)
                return Read::Error;
            if (ours)
                break;
        }
        r = avcodec_receive_frame(d->codec, d->frame);
    }
    if (r == AVERROR_EOF)
        return Read::EndOfStream;
    if (r == AVERROR(EAGAIN))
        return d->draining ? Read::EndOfStream : Read::Nothing;
    if (r < 0)
        return Read::Error;
    const qint64 ms = d->timestampMs(d->frame);
    d->lastMs = ms;
    const bool ok = d->convert(frame);
    av_frame_unref(d->frame);
    if (!ok)
        return Read::Nothing;
    if (timestampMs)
        *timestampMs = ms;
    return Read::Frame;
}

bool LibavVideoDecoder::rewind()
{
    if (!d->codec)
        return false;
    const int r = av_seek_frame(d->format, d->stream, 0, AVSEEK_FLAG_BACKWARD);
    if (r < 0)
        avformat_seek_file(d->format, -1, INT64_MIN, 0, 0, 0);
    avcodec_flush_buffers(d->codec);
    d->draining = false;
    d->lastMs = -1;
    return true;
}
