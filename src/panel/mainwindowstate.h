#pragma once

#include "panel/docking.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class QMovie;
class QPropertyAnimation;
class VideoBackground;

// What the main window paints and the background it paints it over.
struct PanelLook {
    int appliedRadius = 12;
    int backgroundOpacity = 100;
    QString titleText;
    bool showTitle = true;
    bool showLogo = true;
    QColor borderColor; // invalid: theme slot 3
    QPixmap customLogo;
    QPixmap appIcon;
    QString appliedLogoPath;
    QString appliedAppIconPath;
    QString appliedBackgroundPath;
    bool backgroundApplied = false; // appliedBackgroundPath holds a real choice
    QPixmap scaledLogo;
    qreal scaledLogoRatio = 0;
    QPixmap stillBackground;
    QPixmap scaledStill;
    QSize scaledStillSize{-1, -1};
    qreal scaledStillRatio = 0;
    QMovie* movie = nullptr;
    QPixmap scaledGifFrame;
    QSize scaledGifSize{-1, -1};
    qreal scaledGifRatio = 0;
    int scaledGifFrameNumber = -1;
    int rescaleRetries = 0;
    VideoBackground* videoBackground = nullptr;
    bool videoActive = false;
    QPixmap videoFrame;
    quint64 lastVideoStamp = 0;
    QElapsedTimer videoClock;
    QString failedVideoPath;
    QRect landscapeRect;
    std::optional<QFont> titleFont;
};

// Edge docking, reveal gestures and the summon hot key.
struct PanelDock {
    int dockEdge = DockNone;
    bool dockInStrip = false;
    QRect expandedRect;
    RevealGesture gesture;
    QElapsedTimer gestureClock;
    QPointer<QPropertyAnimation> geometryAnimation;
    // Set while a collapsed panel is cut down to its edge strip: the
    // geometry it was cut for, the cut and the mask it had before.
    QRect clippedGeometry;
    QRegion clipMask;
    QRegion maskBeforeClip;
};
