#include "media/videobackground.h"

#include "media/mediamodule.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutexLocker>

#include <chrono>

bool isVideoFile(const QString& path)
{
    static const char* const kSuffixes[] = {".mp4", ".m4v", ".mov", ".wmv", ".avi", ".mkv", ".webm"};
    const QString lower = path.toLower();
    for (const char* suffix : kSuffixes) {
        if (lower.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

QSize videoDecodeSize(const QSize& native, const QSize& target)
{
    if (native.width() <= 0 || native.height() <= 0 || target.width() <= 0 || target.height() <= 0)
        return native;
    const double factor = qMin(native.width() / (target.width() * 1.5), native.height() / (target.height() * 1.5));
    if (factor <= 1.0)
        return native;
    auto side = [factor](int n) {
        int v = int(n / factor) & ~1;
        return v < 63 ? 64 : v;
    };
    return QSize(side(native.width()), side(native.height()));
}

QImage fitFrameToTarget(const QImage& frame, const QSize& target)
{
    if (frame.isNull() || target.width() <= 0 || target.height() <= 0)
        return frame;
    QImage scaled = frame.size() == target
        ? frame
        : frame.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    if (scaled.size() == target)
        return scaled;
    const int dx = scaled.width() - target.width();
    const int dy = scaled.height() - target.height();
    return scaled.copy(dx > 1 ? dx / 2 : 0, dy > 1 ? dy / 2 : 0, target.width(), target.height());
}

qint64 FramePacer::waitMs(qint64 timestampMs, qint64 nowMs)
{
    if (!m_based || timestampMs < m_lastStamp) {
        m_based = true;
        m_baseStamp = timestampMs;
        m_baseClock = nowMs;
        m_lastStamp = timestampMs;
        return 0;
    }
    m_lastStamp = timestampMs;
    const qint64 wait = (timestampMs - m_baseStamp) - (nowMs - m_baseClock);
    if (wait > kMaxWaitMs) {
        // A jump in the time stamps: this frame shows after the capped wait
        // and the frames after it are paced from there.
        m_baseStamp = timestampMs;
        m_baseClock = nowMs + kMaxWaitMs;
        return kMaxWaitMs;
    }
    return qMax<qint64>(0, wait);
}

VideoBackground::VideoBackground(QObject* parent) : QObject(parent) {}

VideoBackground::~VideoBackground()
{
    stop();
}

void VideoBackground::setTargetSize(const QSize& size)
{
    m_targetWidth = size.width() > 0 ? size.width() : 1;
    m_targetHeight = size.height() > 0 ? size.height() : 1;
}

QSize VideoBackground::targetSize() const
{
    return QSize(m_targetWidth, m_targetHeight);
}

void VideoBackground::start(const QString& path)
{
    stop();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    m_path = path;
    m_stop = false;
    m_failed = false;
    {
        QMutexLocker lock(&m_frameMutex);
        m_latest = QImage();
        m_frameSerial = 0;
    }
    m_running = true;
    m_thread = std::thread([this, path] { decodeLoop(path); });
}

void VideoBackground::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

QImage VideoBackground::latestFrame(quint64* serialOut) const
{
    QMutexLocker lock(&m_frameMutex);
    if (serialOut)
        *serialOut = m_frameSerial;
    return m_latest;
}

void VideoBackground::storeFrame(const QImage& frame)
{
    QMutexLocker lock(&m_frameMutex);
    m_latest = frame;
    ++m_frameSerial;
}

bool VideoBackground::pause(qint64 ms)
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

void VideoBackground::decodeLoop(QString path)
{
    QString why;
    const std::unique_ptr<VideoDecoder> decoder = media::newVideoDecoder(&why);
    if (!decoder || !decoder->open(path)) {
        if (!decoder)
            qWarning().noquote() << "video background cannot play" << QDir::toNativeSeparators(path) << "-" << why;
        else
            qWarning().noquote() << "video background: no video that can be decoded in"
                                 << QDir::toNativeSeparators(path);
        m_failed = true;
        return;
    }
    const QSize target(m_targetWidth, m_targetHeight);
    decoder->setOutputSize(videoDecodeSize(decoder->nativeSize(), target));

    FramePacer pacer;
    QElapsedTimer clock;
    clock.start();
    int emptyReads = 0;
    while (!m_stop) {
        QImage frame;
        qint64 stamp = 0;
        const VideoDecoder::Read r = decoder->read(&frame, &stamp);
        if (r == VideoDecoder::Read::Error)
            break;
        if (r != VideoDecoder::Read::Frame) {
            // A file whose every read ends the stream must not spin.
            if (++emptyReads >= 3) {
                emptyReads = 0;
                if (!pause(200))
                    break;
            }
            if (r == VideoDecoder::Read::EndOfStream) {
                decoder->rewind();
                pacer.reset();
            }
            continue;
        }
        const qint64 wait = pacer.waitMs(stamp, clock.elapsed());
        if (wait > 0 && !pause(wait))
            break;
        const QSize now(m_targetWidth, m_targetHeight);
        storeFrame(now.width() > 0 && now.height() > 0 ? fitFrameToTarget(frame, now) : frame);
        emptyReads = 0;
    }
}
