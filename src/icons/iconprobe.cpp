#include "icons/iconprobe.h"

#include "icons/iconextract.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

void runIconProbe(const QString& dir)
{
    QDir().mkpath(dir);
    static const std::pair<const char*, const char*> places[] = {
        {"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "computer"},
        {"::{645FF040-5081-101B-9F08-00AA002F954E}", "recyclebin"},
        {"::{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}", "network"},
        {"::{5399E694-6CE5-4D6C-8FCE-1D8870FDCBA0}", "controlpanel"},
        {"::{59031A47-3F72-44A7-89C5-5595FE6B30EE}", "users"},
    };
    for (const auto& [parsingName, rawName] : places) {
        const QString name = QString::fromLatin1(rawName);
        const QImage image = extractIconImage(QString::fromLatin1(parsingName));
        if (image.isNull()) {
            qInfo() << "icon probe:" << name << "EMPTY";
            continue;
        }
        qInfo() << "icon probe:" << name << image.width() << "x" << image.height();
        image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    static const std::pair<QStandardPaths::StandardLocation, const char*> folders[] = {
        {QStandardPaths::MusicLocation, "kf-music"},
        {QStandardPaths::PicturesLocation, "kf-pictures"},
        {QStandardPaths::MoviesLocation, "kf-videos"},
        {QStandardPaths::DocumentsLocation, "kf-documents"},
        {QStandardPaths::DownloadLocation, "kf-downloads"},
        {QStandardPaths::DesktopLocation, "kf-desktop"},
    };
    for (const auto& [location, rawName] : folders) {
        const QString name = QString::fromLatin1(rawName);
        const QString path = QStandardPaths::writableLocation(location);
        const QFileInfo info(path);
        qInfo() << "icon probe: kf-path" << name << "=" << path << "isDir=" << (!path.isEmpty() && info.isDir())
                << "exists=" << (!path.isEmpty() && info.exists());
        if (path.isEmpty())
            continue;
        const QImage resource = folderRoleIconImage(path);
        qInfo() << "icon probe: hd-resource" << name << resource.width() << "x" << resource.height();
        if (!resource.isNull())
            resource.save(dir + QStringLiteral("/hd-") + name + QStringLiteral(".png"));
        const QImage image = extractIconImage(path);
        if (image.isNull()) {
            qInfo() << "icon probe: known-folder" << name << "EMPTY";
            continue;
        }
        qInfo() << "icon probe: known-folder" << name << image.width() << "x" << image.height();
        image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
}
