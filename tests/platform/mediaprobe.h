#pragma once

#include <QList>
#include <QString>

// What Debian's ffprobe says about the first video stream of a file: the
// independent reading our recording tests check against.
struct MediaProbe {
    bool ok = false;
    QString error;
    QString codec;
    QString pixelFormat;
    QString colorRange;
    QString colorSpace;
    int width = 0;
    int height = 0;
    // Frames actually decoded, not what the header claims.
    int frames = 0;
    double durationSeconds = 0;
    // Presentation times of the frames, when asked for.
    QList<double> frameTimes;
};

// Empty when ffprobe and ffmpeg are on PATH, else what to install.
QString mediaToolsMissing();

MediaProbe probeVideo(const QString& path, bool withFrameTimes = false);

// Decodes the whole file with ffmpeg; true when it reached the end without
// a single error line (the lines go to `errors`).
bool decodesCleanly(const QString& path, QString* errors);
