// The panel's background picture, animated GIF or video, prepared once per
// window size, pixel ratio and frame.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "icons/iconservice.h"
#include "media/videobackground.h"
#include "model/appearancerules.h"
#include "protect/uilockoverlay.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QDebug>
#include <QMovie>
#include <QScreen>

namespace {

QSize deviceSize(const QSize& logical, qreal ratio)
{
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

constexpr int kVideoFirstFrameMs = 2500;

} // namespace

void MainWindow::dropBackground()
{
    look.stillBackground = QPixmap();
    look.scaledStill = QPixmap();
    look.scaledStillSize = QSize(-1, -1);
    if (look.movie) {
        look.movie->stop();
        look.movie->deleteLater();
        look.movie = nullptr;
    }
    look.scaledGifFrame = QPixmap();
    look.scaledGifSize = QSize(-1, -1);
    look.scaledGifFrameNumber = -1;
    look.videoActive = false;
    look.videoFrame = QPixmap();
    if (videoPullTimer)
        videoPullTimer->stop();
    look.lastVideoStamp = 0;
    if (look.videoBackground)
        look.videoBackground->stop();
}

void MainWindow::loadBackground(const QString& path)
{
    dropBackground();
    if (path.isEmpty())
        return;
    if (look.failedVideoPath != path)
        look.failedVideoPath.clear();
    const qreal ratio = devicePixelRatioF();
    if (isVideoFile(path) && look.failedVideoPath != path) {
        if (!look.videoBackground) {
            look.videoBackground = new VideoBackground(this);
            videoPullTimer = new QTimer(this);
            videoPullTimer->setInterval(33);
            connect(videoPullTimer, &QTimer::timeout, this, &MainWindow::pullVideoFrame);
        }
        look.videoBackground->setTargetSize(deviceSize(size(), ratio));
        look.videoClock.start();
        look.videoBackground->start(path);
        look.videoActive = true;
        videoPullTimer->start();
    } else if (path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        look.movie = new QMovie(path, "gif", this);
        look.movie->setCacheMode(isGifSizeAcceptable(path) ? QMovie::CacheAll : QMovie::CacheNone);
        look.movie->setScaledSize(deviceSize(size(), ratio));
        connect(look.movie, &QMovie::frameChanged, this, &MainWindow::onGifFrame);
        look.movie->start();
    } else {
        QPixmap picture(path);
        if (picture.isNull()) {
            qWarning().noquote() << "background picture not loaded:" << path;
            return;
        }
        const QScreen* s = screen();
        const QSize t = deviceSize(s ? s->size() : size(), ratio);
        if (!t.isEmpty() && (picture.width() > t.width() || picture.height() > t.height()))
            picture = picture.scaled(t, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        look.stillBackground = picture;
    }
}

bool MainWindow::rescaleBackground()
{
    const qreal ratio = devicePixelRatioF();
    const QSize target = deviceSize(size(), ratio);
    bool prepared = false;
    auto scaled = [&](const QPixmap& source) {
        QPixmap pm = source.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        pm.setDevicePixelRatio(ratio);
        return pm;
    };
    if (look.movie) {
        if (look.scaledGifFrame.isNull() || look.movie->currentFrameNumber() != look.scaledGifFrameNumber
            || look.scaledGifSize != size() || look.scaledGifRatio != ratio) {
            const QPixmap frame = look.movie->currentPixmap();
            if (!frame.isNull() && !target.isEmpty()) {
                look.scaledGifFrame = scaled(frame);
                look.scaledGifFrameNumber = look.movie->currentFrameNumber();
                look.scaledGifSize = size();
                look.scaledGifRatio = ratio;
                prepared = true;
            }
        }
    } else if (!look.stillBackground.isNull()) {
        if (look.scaledStill.isNull() || look.scaledStillSize != size() || look.scaledStillRatio != ratio) {
            if (!target.isEmpty()) {
                look.scaledStill = scaled(look.stillBackground);
                look.scaledStillSize = size();
                look.scaledStillRatio = ratio;
                prepared = true;
            }
        }
    }
    if (look.showLogo && (look.scaledLogo.isNull() || look.scaledLogoRatio != ratio)) {
        const QPixmap& source = !look.customLogo.isNull() ? look.customLogo : defaultLogoPixmap();
        if (!source.isNull()) {
            const int side = qMax(1, int(24 * ratio));
            look.scaledLogo = source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            look.scaledLogo.setDevicePixelRatio(ratio);
            look.scaledLogoRatio = ratio;
            prepared = true;
        }
    }
    return prepared;
}

void MainWindow::scheduleBackgroundRescale()
{
    if (!rescaleTimer) {
        rescaleTimer = new QTimer(this);
        rescaleTimer->setSingleShot(true);
        rescaleTimer->setInterval(16);
        connect(rescaleTimer, &QTimer::timeout, this, [this] {
            if (rescaleBackground()) {
                look.rescaleRetries = 0;
                rescaleTimer->setInterval(16);
                update();
            } else if (++look.rescaleRetries <= 2) {
                rescaleTimer->setInterval(200);
                rescaleTimer->start();
            }
        });
    }
    if (!rescaleTimer->isActive()) {
        if (look.rescaleRetries == 0)
            rescaleTimer->setInterval(16);
        rescaleTimer->start();
    }
}

void MainWindow::onGifFrame()
{
    if (!look.movie)
        return;
    if (look.stillBackground.isNull()) {
        const QPixmap first = look.movie->currentPixmap();
        if (!first.isNull())
            look.stillBackground = first;
    }
    rescaleBackground();
    update();
}

void MainWindow::onGifResize()
{
    if (!look.movie)
        return;
    const QSize target = deviceSize(size(), devicePixelRatioF());
    if (look.movie->scaledSize() == target)
        return;
    look.movie->stop();
    look.movie->setScaledSize(target);
    look.movie->start();
}

void MainWindow::pullVideoFrame()
{
    if (!look.videoBackground || !look.videoActive)
        return;
    quint64 serial = 0;
    const QImage frame = look.videoBackground->latestFrame(&serial);
    if (serial != 0) {
        if (serial != look.lastVideoStamp && !frame.isNull()) {
            look.lastVideoStamp = serial;
            look.videoFrame = QPixmap::fromImage(frame);
            look.videoFrame.setDevicePixelRatio(devicePixelRatioF());
            update();
        }
        return;
    }
    if (look.videoClock.elapsed() <= kVideoFirstFrameMs)
        return;
    // Nothing decoded in time: the file is shown as a picture from now on
    // (usually nothing), until another background path is applied.
    look.failedVideoPath = look.appliedBackgroundPath;
    look.videoActive = false;
    look.videoFrame = QPixmap();
    look.videoBackground->stop();
    videoPullTimer->stop();
    qWarning().noquote() << "video background produced no frame:" << look.failedVideoPath;
    showToast(translate("该视频无法播放，请更换格式（MP4 / WMV / AVI）"), 1);
    applyAppSettings(settings);
}

void MainWindow::rerenderForPixelRatio()
{
    rerendering = true;
    look.backgroundApplied = false;
    look.appliedBackgroundPath.clear();
    look.scaledStill = QPixmap();
    look.scaledStillSize = QSize(-1, -1);
    look.scaledLogo = QPixmap();
    applyAppSettings(settings);
    if (iconGrid) {
        iconGrid->clearIconCache();
        iconGrid->preloadCustomIcons();
        iconGrid->update();
    }
    if (sidebar)
        sidebar->update();
    if (lockOverlay) {
        // Its GIF or video frames were scaled for the old ratio.
        const QString lockBackground = lockOverlay->backgroundPath();
        lockOverlay->setBackgroundImage(QString());
        lockOverlay->setBackgroundImage(lockBackground);
        lockOverlay->update();
    }
    rerendering = false;
}
