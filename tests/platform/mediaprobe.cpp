#include "mediaprobe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace {

bool run(const QString& program, const QStringList& args, QByteArray* out, QByteArray* err)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    *out = p.readAllStandardOutput();
    *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

QString mediaToolsMissing()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        return QStringLiteral("ffprobe/ffmpeg not found: install Debian's ffmpeg (tools/setup.sh)");
    return QString();
}

MediaProbe probeVideo(const QString& path, bool withFrameTimes)
{
    MediaProbe r;
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                     QStringLiteral("v:0"), QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                     QStringLiteral("stream=codec_name,pix_fmt,color_range,color_space,width,height,nb_read_frames"
                                    ":format=duration"),
                     QStringLiteral("-of"), QStringLiteral("json"), path};
    QByteArray out;
    QByteArray err;
    if (!run(QStringLiteral("ffprobe"), args, &out, &err)) {
        r.error = QString::fromUtf8(err);
        return r;
    }
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const QJsonObject stream = root.value(QStringLiteral("streams")).toArray().first().toObject();
    r.codec = stream.value(QStringLiteral("codec_name")).toString();
    r.pixelFormat = stream.value(QStringLiteral("pix_fmt")).toString();
    r.colorRange = stream.value(QStringLiteral("color_range")).toString();
    r.colorSpace = stream.value(QStringLiteral("color_space")).toString();
    r.width = stream.value(QStringLiteral("width")).toInt();
    r.height = stream.value(QStringLiteral("height")).toInt();
    r.frames = stream.value(QStringLiteral("nb_read_frames")).toString().toInt();
    r.durationSeconds = root.value(QStringLiteral("format")).toObject().value(QStringLiteral("duration")).toString().toDouble();
    if (withFrameTimes) {
        const QStringList frameArgs{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                    QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                                    QStringLiteral("frame=pts_time"), QStringLiteral("-of"), QStringLiteral("json"),
                                    path};
        if (!run(QStringLiteral("ffprobe"), frameArgs, &out, &err)) {
            r.error = QString::fromUtf8(err);
            return r;
        }
        const QJsonArray frames = QJsonDocument::fromJson(out).object().value(QStringLiteral("frames")).toArray();
        for (const QJsonValue& f : frames)
            r.frameTimes.append(f.toObject().value(QStringLiteral("pts_time")).toString().toDouble());
    }
    r.ok = !r.codec.isEmpty();
    if (!r.ok)
        r.error = QStringLiteral("no video stream");
    return r;
}

bool decodesCleanly(const QString& path, QString* errors)
{
    QByteArray out;
    QByteArray err;
    const bool finished = run(QStringLiteral("ffmpeg"),
                              {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                               QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("null"),
                               QStringLiteral("-")},
                              &out, &err);
    *errors = QString::fromUtf8(err).trimmed();
    return finished && errors->isEmpty();
}
