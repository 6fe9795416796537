#include "icons/iconextract.h"

#include "icons/iconcache.h"
#include "icons/iconcounters.h"
#include "icons/themeicons.h"
#include "platform/filebytesource.h"
#include "platform/peicons.h"
#include "platform/shelllink.h"
#include "platform/shellplaces.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QThread>

namespace {

constexpr int kMaxSide = 192;
constexpr qint64 kMaxShortcutBytes = 1024 * 1024;

bool isImageSuffix(const QString& suffix)
{
    static const QStringList suffixes{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("webp"),
                                      QStringLiteral("ico"), QStringLiteral("tif"), QStringLiteral("tiff")};
    return suffixes.contains(suffix);
}

const QString& ownExecutable()
{
    static const QString exe = QCoreApplication::instance()
        ? QDir::cleanPath(QCoreApplication::applicationFilePath()) : QString();
    return exe;
}

QImage loadImageFile(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QImage decodeIconEntry(const IconImageEntry& entry)
{
    if (entry.data.isEmpty())
        return QImage();
    QImage image;
    if (entry.data.startsWith("\x89PNG\r\n\x1a\n"))
        image = QImage::fromData(entry.data, "PNG");
    else
        image = QImage::fromData(icoFileFromEntries({entry}), "ICO");
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray readSmallFile(const QString& path, qint64 limit)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > limit)
        return QByteArray();
    return f.read(limit);
}

// Icon of a program file or icon file. `index` picks the group as a shell
// link's icon index does: from 0 the n-th group, below 0 the group whose
// resource id is minus the index. The file is read in the pieces the readers
// ask for, never mapped: a user's file may shrink at any moment, and a
// mapping of it would then fault.
QImage programIconImage(const QString& path, int index = 0)
{
    const FileByteSource file(path);
    if (!file.isOpen() || file.size() < 6)
        return QImage();
    if (path.endsWith(QLatin1String(".ico"), Qt::CaseInsensitive))
        return decodeIconEntry(largestIconEntry(readIcoFile(file)));
    const QList<IconGroup> groups = readPeIconGroups(file);
    const IconGroup* chosen = nullptr;
    if (index >= 0 && index < groups.size()) {
        chosen = &groups.at(index);
    } else if (index < 0) {
        for (const IconGroup& g : groups) {
            if (g.id == -index)
                chosen = &g;
        }
    }
    QImage image;
    if (chosen)
        image = decodeIconEntry(largestIconEntry(chosen->entries));
    // A group whose images are damaged gives way to the next intact one.
    for (int i = 0; image.isNull() && i < groups.size(); ++i)
        image = decodeIconEntry(largestIconEntry(groups.at(i).entries));
    return image;
}

bool isProgramFile(const QString& lowerName)
{
    for (const char* ext : {".exe", ".dll", ".ico", ".cpl"}) {
        if (lowerName.endsWith(QLatin1String(ext)))
            return true;
    }
    return false;
}

QImage namedIconImage(const QString& icon)
{
    if (icon.isEmpty())
        return QImage();
    if (QDir::isAbsolutePath(icon))
        return loadImageFile(icon);
    QStringList names{icon};
    // Entries sometimes name the file ("app.png") instead of the icon.
    const qsizetype dot = icon.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && (icon.endsWith(QLatin1String(".png")) || icon.endsWith(QLatin1String(".svg"))
                    || icon.endsWith(QLatin1String(".xpm"))))
        names << icon.left(dot);
    return themeIconImage(names, kMaxSide);
}

QImage desktopEntryImage(const QString& path)
{
    const QString text = QString::fromUtf8(readSmallFile(path, kMaxShortcutBytes));
    bool inEntry = false;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView l = line.trimmed();
        if (l.startsWith(QLatin1Char('[')))
            inEntry = l == QLatin1String("[Desktop Entry]");
        else if (inEntry && l.startsWith(QLatin1String("Icon")) && l.mid(4).trimmed().startsWith(QLatin1Char('=')))
            return namedIconImage(l.mid(4).trimmed().mid(1).trimmed().toString());
    }
    return QImage();
}

// A Windows path as a shortcut stores it, made usable here: environment
// references expanded, backslashes turned into slashes.
QString shortcutPathHere(QString path)
{
    int start = path.indexOf(QLatin1Char('%'));
    while (start >= 0) {
        const int end = path.indexOf(QLatin1Char('%'), start + 1);
        if (end < 0)
            break;
        const QString name = path.mid(start + 1, end - start - 1);
        const QString value = qEnvironmentVariable(name.toLocal8Bit().constData());
        if (value.isEmpty() || name.isEmpty()) {
            start = path.indexOf(QLatin1Char('%'), end + 1);
            continue;
        }
        path.replace(start, end - start + 1, value);
        start = path.indexOf(QLatin1Char('%'), start + value.size());
    }
    return QDir::fromNativeSeparators(path.replace(QLatin1Char('\\'), QLatin1Char('/')));
}

QImage liveIconImage(const QString& path, int depth);

QImage shortcutImage(const QString& path, int depth)
{
    ShellLinkData link;
    if (depth > 0 || !parseShellLink(readSmallFile(path, kMaxShortcutBytes), &link))
        return QImage();
    const QString icon = shortcutPathHere(link.iconLocation);
    QImage image;
    if (!icon.isEmpty() && QFileInfo(icon).isFile()) {
        image = isProgramFile(icon.toLower()) ? programIconImage(icon, link.iconIndex) : loadImageFile(icon);
    }
    const QString target = shortcutPathHere(link.target());
    if (image.isNull() && !target.isEmpty() && QFileInfo::exists(target))
        image = isImageSuffix(QFileInfo(target).suffix().toLower()) ? loadImageFile(target) : liveIconImage(target, depth + 1);
    return image;
}

QImage mimeIconImage(const QString& path, const QFileInfo& info)
{
    static const QMimeDatabase db;
    const QMimeType mime = db.mimeTypeForFile(info);
    QStringList names;
    if (info.isDir())
        names << QStringLiteral("folder");
    if (mime.isValid())
        names << mime.iconName() << mime.genericIconName();
    if (info.isFile() && info.isExecutable())
        names << QStringLiteral("application-x-executable");
    Q_UNUSED(path);
    return themeIconImage(names, kMaxSide);
}

bool onGuiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The live sources, each asked only while the result is still null.
QImage liveIconImage(const QString& path, int depth)
{
    QImage image;
    const QFileInfo info(path);
    if (info.isDir())
        image = folderRoleIconImage(path);
    if (image.isNull() && path.startsWith(QLatin1String("::{"))) {
        if (const ShellPlace* place = findShellPlace(path))
            image = themeIconImage(place->iconNames, kMaxSide);
        return image;
    }
    const QString lowerName = info.fileName().toLower();
    if (image.isNull() && lowerName.endsWith(QLatin1String(".desktop")) && info.isFile())
        image = desktopEntryImage(path);
    if (image.isNull() && isProgramFile(lowerName) && info.isFile())
        image = programIconImage(path);
    if (image.isNull() && lowerName.endsWith(QLatin1String(".lnk")) && info.isFile())
        image = shortcutImage(path, depth);
    // Type icons only for what exists: a missing file keeps the placeholder
    // that tells the user it is gone.
    if (image.isNull() && info.exists())
        image = mimeIconImage(path, info);
    // The file icon provider goes through QIcon, which belongs to the GUI
    // thread.
    if (image.isNull() && info.exists() && onGuiThread()) {
        static QFileIconProvider* provider = new QFileIconProvider;
        image = provider->icon(info).pixmap(48, 48).toImage();
    }
    return image;
}

} // namespace

QImage capIconImage(const QImage& image)
{
    if (image.isNull() || (image.width() <= kMaxSide && image.height() <= kMaxSide))
        return image;
    return image.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage normalizeIconImage(const QImage& input)
{
    if (input.isNull())
        return input;
    QImage image = input.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    if (w >= 4 && h >= 4) {
        const QRgb corner = image.pixel(0, 0);
        if (qAlpha(corner) == 255 && image.pixel(w - 1, 0) == corner && image.pixel(0, h - 1) == corner
            && image.pixel(w - 1, h - 1) == corner) {
            qint64 cleared = 0;
            for (int y = 0; y < h; ++y) {
                QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < w; ++x) {
                    const QRgb p = row[x];
                    if (qAlpha(p) == 255 && qAbs(qRed(p) - qRed(corner)) <= 12
                        && qAbs(qGreen(p) - qGreen(corner)) <= 12 && qAbs(qBlue(p) - qBlue(corner)) <= 12) {
                        row[x] = p & 0x00FFFFFFu;
                        ++cleared;
                    }
                }
            }
            // Nearly everything matched: the picture is the colour itself
            // (an all-white icon), so keep it whole and opaque.
            if (cleared * 100 > qint64(w) * h * 99) {
                for (int y = 0; y < h; ++y) {
                    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                    for (int x = 0; x < w; ++x)
                        row[x] |= 0xFF000000u;
                }
            }
        }
    }
    int left = w, top = h, right = -1, bottom = -1;
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) >= 9) {
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    if (right < 0)
        return input;
    const QRect box(QPoint(left, top), QPoint(right, bottom));
    return box == image.rect() ? image : image.copy(box);
}

QImage folderRoleIconImage(const QString& path)
{
    static const std::pair<QStandardPaths::StandardLocation, const char*> roles[] = {
        {QStandardPaths::DesktopLocation, "user-desktop"},
        {QStandardPaths::DocumentsLocation, "folder-documents"},
        {QStandardPaths::DownloadLocation, "folder-download"},
        {QStandardPaths::MusicLocation, "folder-music"},
        {QStandardPaths::PicturesLocation, "folder-pictures"},
        {QStandardPaths::MoviesLocation, "folder-videos"},
        {QStandardPaths::TemplatesLocation, "folder-templates"},
        {QStandardPaths::HomeLocation, "user-home"},
    };
    const QString clean = QDir::cleanPath(path);
    for (const auto& [location, icon] : roles) {
        const QString where = QStandardPaths::writableLocation(location);
        // Unset XDG folders fall back to the home folder; only the home role
        // may claim it.
        if (where.isEmpty() || QDir::cleanPath(where) != clean)
            continue;
        if (location != QStandardPaths::HomeLocation && clean == QDir::cleanPath(QDir::homePath()))
            continue;
        return themeIconImage({QString::fromLatin1(icon)}, kMaxSide);
    }
    return QImage();
}

QImage extractIconImage(const QString& path)
{
    if (path.isEmpty())
        return QImage();
    QImage image;
    if (!ownExecutable().isEmpty() && QDir::cleanPath(path) == ownExecutable())
        image = capIconImage(loadImageFile(QStringLiteral(":/res/resources/logo.png")));
    if (image.isNull() && isImageSuffix(QFileInfo(path).suffix().toLower()))
        image = capIconImage(loadImageFile(path));
    if (image.isNull()) {
        iconcounters::extractions.fetch_add(1, std::memory_order_relaxed);
        image = capIconImage(normalizeIconImage(liveIconImage(path, 0)));
        if (image.isNull())
            return readIconCacheFile(path);
    }
    writeIconCacheFile(path, image);
    return image;
}
