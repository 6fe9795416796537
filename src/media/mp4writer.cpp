#include "media/mp4writer.h"

#include "media/mediacodecs.h"
#include "media/nv12.h"

#include <QFile>

#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace {

// The encoder's statistics at every close are information for people
// tuning it, not for the user's terminal.
void quietInfoLogging()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_WARNING);
    });
}

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(text)).arg(code);
}

} // namespace

struct Mp4Writer::Impl {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    // The newest packet waits for the next one (or the end of the
    // recording) to know how long it lasts.
    AVPacket* pending = nullptr;
    bool hasPending = false;
    QString path;
    QSize size;
    int fps = 0;
    // Stream time counts in frame slots of the nominal rate. Capture times
    // land in their nearest slot and a slow capture skips slots, so the
    // file plays at real speed while tools still see a plain frame rate.
    AVRational timeBase{1, 1};
    qint64 bitRate = 0;
    int frames = 0;
    qint64 bytes = 0;
    qint64 firstMs = 0;
    int64_t lastPts = -1;
    bool headerWritten = false;
    // A write of the file failed: nothing more can be added.
    bool broken = false;
    QString error;

    ~Impl() { release(); }

    void release()
    {
        av_packet_free(&packet);
        av_packet_free(&pending);
        hasPending = false;
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
            format = nullptr;
        }
        stream = nullptr;
        headerWritten = false;
    }

    bool writePending(int64_t duration)
    {
        pending->duration = qMax<int64_t>(1, duration);
        av_packet_rescale_ts(pending, codec->time_base, stream->time_base);
        pending->stream_index = stream->index;
        hasPending = false;
        const int wrote = av_interleaved_write_frame(format, pending);
        if (wrote < 0) {
            error = QStringLiteral("write: ") + avError(wrote);
            return false;
        }
        return true;
    }

    // Hands every packet the encoder has ready to the muxer, each lasting
    // until the next; false when the file could not take one.
    bool drain()
    {
        for (;;) {
            const int got = avcodec_receive_packet(codec, packet);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
                return true;
            if (got < 0) {
                error = QStringLiteral("encoder: ") + avError(got);
                return false;
            }
            if (hasPending && !writePending(packet->pts - pending->pts))
                return false;
            av_packet_move_ref(pending, packet);
            hasPending = true;
        }
    }
};

Mp4Writer::Mp4Writer() : d(std::make_unique<Impl>()) {}

Mp4Writer::~Mp4Writer()
{
    if (d->headerWritten) {
        QString ignored;
        close(d->firstMs, &ignored);
    }
}

bool Mp4Writer::open(const QString& path, const QSize& screen, int fps, QString* error)
{
    d = std::make_unique<Impl>();
    quietInfoLogging();
    const QSize even(screen.width() & ~1, screen.height() & ~1);
    if (even.isEmpty() || fps <= 0) {
        *error = QStringLiteral("no frame size or rate");
        return false;
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (!encoder) {
        *error = QStringLiteral("no libx264 encoder in libavcodec");
        return false;
    }
    const QByteArray local = QFile::encodeName(path);
    int rc = avformat_alloc_output_context2(&d->format, nullptr, "mp4", local.constData());
    if (rc < 0 || !d->format) {
        *error = QStringLiteral("mp4 muxer: ") + avError(rc);
        return false;
    }
    d->path = path;
    d->size = even;
    d->fps = fps;
    d->timeBase = AVRational{1, fps};
    d->bitRate = mp4BitRateFor(even, fps);
    d->stream = avformat_new_stream(d->format, nullptr);
    d->codec = avcodec_alloc_context3(encoder);
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    d->pending = av_packet_alloc();
    if (!d->stream || !d->codec || !d->frame || !d->packet || !d->pending) {
        *error = QStringLiteral("out of memory");
        d->release();
        return false;
    }
    AVCodecContext* c = d->codec;
    c->width = even.width();
    c->height = even.height();
    c->pix_fmt = AV_PIX_FMT_NV12;
    c->time_base = d->timeBase;
    c->framerate = AVRational{fps, 1};
    c->sample_aspect_ratio = AVRational{1, 1};
    c->bit_rate = d->bitRate;
    c->gop_size = 2 * fps;
    c->max_b_frames = 0;
    // What our converter produces: full range, BT.601 matrix, from an sRGB
    // screen. Players that assume limited range would wash the picture out.
    c->color_range = AVCOL_RANGE_JPEG;
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_IEC61966_2_1;
    // One thread: x264's fastest preset keeps up with 1080p at 60 fps on
    // its own, and its frame threads would mostly add CPU time, memory and
    // a queue of frames to flush at every close.
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    c->thread_count = 1;
    if (d->format->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((rc = avcodec_open2(c, encoder, nullptr)) < 0) {
        *error = QStringLiteral("libx264: ") + avError(rc);
        d->release();
        return false;
    }
    if ((rc = avcodec_parameters_from_context(d->stream->codecpar, c)) < 0) {
        *error = QStringLiteral("stream parameters: ") + avError(rc);
        d->release();
        return false;
    }
    d->stream->time_base = d->timeBase;
    d->stream->avg_frame_rate = AVRational{fps, 1};
    d->frame->format = c->pix_fmt;
    d->frame->width = c->width;
    d->frame->height = c->height;
    d->frame->color_range = c->color_range;
    d->frame->colorspace = c->colorspace;
    if ((rc = av_frame_get_buffer(d->frame, 0)) < 0) {
        *error = QStringLiteral("frame buffer: ") + avError(rc);
        d->release();
        return false;
    }
    if ((rc = avio_open(&d->format->pb, local.constData(), AVIO_FLAG_WRITE)) < 0) {
        *error = avError(rc);
        d->release();
        return false;
    }
    if ((rc = avformat_write_header(d->format, nullptr)) < 0) {
        *error = QStringLiteral("mp4 header: ") + avError(rc);
        d->release();
        QFile::remove(path);
        return false;
    }
    d->headerWritten = true;
    return true;
}

SegmentWriter::Added Mp4Writer::addFrame(const QImage& image, qint64 captureMs)
{
    if (!d->headerWritten || d->broken)
        return d->broken ? Added::Failed : Added::Dropped;
    if (image.width() < d->size.width() || image.height() < d->size.height()
        || image.width() > d->size.width() + 1 || image.height() > d->size.height() + 1)
        return Added::Dropped;
    // Odd screens lose their last column or row.
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        ? image
        : image.convertToFormat(QImage::Format_RGB32);
    if (av_frame_make_writable(d->frame) < 0)
        return Added::Dropped;
    convertRgb32ToNv12(rgb.constBits(), int(rgb.bytesPerLine()), d->size.width(), d->size.height(),
                       d->frame->data[0], d->frame->linesize[0], d->frame->data[1], d->frame->linesize[1]);
    if (d->frames == 0)
        d->firstMs = captureMs;
    // Two frames in the same slot: the later one takes the next, as the
    // muxer wants rising stamps.
    int64_t pts = av_rescale_q_rnd(captureMs - d->firstMs, AVRational{1, 1000}, d->timeBase,
                                   AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    if (pts <= d->lastPts)
        pts = d->lastPts + 1;
    d->frame->pts = pts;
    const int sent = avcodec_send_frame(d->codec, d->frame);
    if (sent < 0)
        return Added::Dropped;
    d->lastPts = pts;
    if (!d->drain()) {
        d->broken = true;
        return Added::Failed;
    }
    ++d->frames;
    d->bytes += d->bitRate / 8 / d->fps;
    return Added::Written;
}

bool Mp4Writer::close(qint64 endMs, QString* error)
{
    if (!d->headerWritten)
        return true;
    bool ok = !d->broken;
    if (ok) {
        avcodec_send_frame(d->codec, nullptr);
        ok = d->drain();
    }
    if (ok && d->hasPending) {
        const int64_t endSlot = av_rescale_q_rnd(endMs - d->firstMs, AVRational{1, 1000}, d->timeBase,
                                                 AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        ok = d->writePending(endSlot - d->pending->pts);
    }
    const int trailer = av_write_trailer(d->format);
    if (trailer < 0 && ok) {
        d->error = QStringLiteral("trailer: ") + avError(trailer);
        ok = false;
    }
    if (d->format->pb) {
        avio_flush(d->format->pb);
        if (d->format->pb->error < 0 && ok) {
            d->error = QStringLiteral("write: ") + avError(d->format->pb->error);
            ok = false;
        }
        const int closed = avio_closep(&d->format->pb);
        if (closed < 0 && ok) {
            d->error = QStringLiteral("close: ") + avError(closed);
            ok = false;
        }
    }
    if (!ok)
        *error = d->error;
    d->release();
    return ok;
}

QString Mp4Writer::errorString() const { return d->error; }
int Mp4Writer::frameCount() const { return d->frames; }
qint64 Mp4Writer::byteCount() const { return d->bytes; }
QSize Mp4Writer::frameSize() const { return d->size; }
