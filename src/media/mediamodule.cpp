#include "media/mediamodule.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QMutexLocker>

namespace {

struct ModuleState {
    QMutex mutex;
    bool tried = false;
    bool foldersSet = false;
    QStringList folders;
    MediaCodecs* codecs = nullptr;
    QString why;
};

ModuleState& state()
{
    static ModuleState s;
    return s;
}

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QStringList defaultFolders()
{
    const QString here = executableFolder();
    QStringList folders{here, QDir::cleanPath(here + QStringLiteral("/../lib/quillory"))};
#ifdef QY_MEDIA_BUILD_DIR
    // A program in its build tree (the panel, a test, a benchmark) finds the
    // module where the build put it; a copy taken elsewhere does not.
    const QString buildRoot = QDir::cleanPath(QStringLiteral(QY_BUILD_ROOT));
    if (here == buildRoot || here.startsWith(buildRoot + QLatin1Char('/')))
        folders << QStringLiteral(QY_MEDIA_BUILD_DIR);
#endif
    return folders;
}

} // namespace

namespace media {

MediaCodecs* loadModuleFrom(const QStringList& folders, QString* why, QString* loaded)
{
    QString firstFailure;
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(moduleFileName());
        if (!QFileInfo(path).isFile())
            continue;
        // Never unloaded: decoders and writers made by it may live until
        // the process ends, and their code with them.
        auto* library = new QLibrary(path);
        auto entry = reinterpret_cast<MediaEntryFunction>(library->resolve(QT_STRINGIFY(QY_MEDIA_ENTRY)));
        MediaCodecs* codecs = entry ? entry(MediaCodecs::kInterfaceVersion) : nullptr;
        if (codecs) {
            if (loaded)
                *loaded = path;
            return codecs;
        }
        if (firstFailure.isEmpty()) {
            firstFailure = entry ? QStringLiteral("%1 was built for another version of the program")
                                       .arg(QDir::toNativeSeparators(path))
                                 : library->errorString();
        }
        library->unload();
        delete library;
    }
    if (why) {
        *why = !firstFailure.isEmpty()
            ? firstFailure
            : QStringLiteral("the media module %1 is not installed (looked in %2)")
                  .arg(moduleFileName(), folders.join(QStringLiteral(", ")));
    }
    return nullptr;
}

QString moduleFileName()
{
    return QStringLiteral("libquillory-media.so");
}

QStringList moduleFolders()
{
    ModuleState& s = state();
    QMutexLocker lock(&s.mutex);
    return s.foldersSet ? s.folders : defaultFolders();
}

void setModuleFolders(const QStringList& folders)
{
    ModuleState& s = state();
    QMutexLocker lock(&s.mutex);
    if (s.tried) {
        qWarning() << "media module: folders set after the module was looked for; ignored";
        return;
    }
    s.folders = folders;
    s.foldersSet = true;
}

MediaCodecs* codecs(QString* why)
{
    ModuleState& s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.tried) {
        s.tried = true;
        QString loaded;
        s.codecs = loadModuleFrom(s.foldersSet ? s.folders : defaultFolders(), &s.why, &loaded);
        if (s.codecs)
            qInfo().noquote() << "media module loaded:" << QDir::toNativeSeparators(loaded);
        else
            qWarning().noquote() << "media module not available:" << s.why;
    }
    if (!s.codecs && why)
        *why = s.why;
    return s.codecs;
}

std::unique_ptr<VideoDecoder> newVideoDecoder(QString* why)
{
    MediaCodecs* c = codecs(why);
    return c ? c->newVideoDecoder() : nullptr;
}

std::unique_ptr<SegmentWriter> newMp4Writer(QString* why)
{
    MediaCodecs* c = codecs(why);
    return c ? c->newMp4Writer() : nullptr;
}

} // namespace media
