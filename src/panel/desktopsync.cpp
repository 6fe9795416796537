#include "panel/desktopsync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

struct Category {
    const char16_t* name;
    const char* suffixes;
};

// ".desktop" and ".appimage" are this desktop's programs.
constexpr Category kCategories[] = {
    {u"程序", "exe lnk url bat cmd msi msix appref-ms ps1 vbs desktop appimage"},
    {u"文档", "doc docx xls xlsx ppt pptx pdf txt md rtf csv wps et dps odt"},
    {u"图片", "jpg jpeg png gif bmp webp svg ico tif tiff psd ai raw"},
    {u"影音", "mp4 avi mkv mov wmv flv rmvb mp3 wav flac aac m4a wma"},
    {u"压缩包", "zip rar 7z tar gz bz2 xz iso"},
};

const QHash<QString, int>& suffixMap()
{
    static const QHash<QString, int> map = [] {
        QHash<QString, int> m;
        for (int row = 0; row < int(std::size(kCategories)); ++row) {
            for (const QString& s : QString::fromLatin1(kCategories[row].suffixes).split(QLatin1Char(' ')))
                m.insert(s, row);
        }
        return m;
    }();
    return map;
}

QString suffixOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
}

// The names a ".hidden" file lists, one a line.
QSet<QString> hiddenList(const QString& folder)
{
    QSet<QString> names;
    QFile f(folder + QStringLiteral("/.hidden"));
    if (!f.open(QIODevice::ReadOnly))
        return names;
    for (const QByteArray& line : f.read(1 << 20).split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty())
            names.insert(name);
    }
    return names;
}

} // namespace

QString desktopCategoryOf(const QString& fileName)
{
    const auto it = suffixMap().constFind(suffixOf(fileName));
    return it == suffixMap().constEnd() ? QString() : QString::fromUtf16(kCategories[*it].name);
}

QList<DesktopEntryCandidate> pendingDesktopEntries(const QStringList& folders, const QSet<QString>& known)
{
    QList<DesktopEntryCandidate> pending;
    QSet<QString> seen = known;
    for (const QString& folder : folders) {
        const QSet<QString> hidden = hiddenList(folder);
        const QFileInfoList entries = QDir(folder).entryInfoList(
            QDir::Dirs | QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& e : entries) {
            if (e.isHidden() || hidden.contains(e.fileName()))
                continue;
            const QString path = QDir::fromNativeSeparators(e.absoluteFilePath());
            if (seen.contains(path))
                continue;
            seen.insert(path);
            const bool plainName = e.isDir() || e.suffix().isEmpty();
            pending.append({path, plainName ? e.fileName() : e.completeBaseName()});
        }
    }
    return pending;
}

QStringList desktopSyncFolders(const QString& desktop, const QString& home)
{
    if (desktop.isEmpty() || !QFileInfo(desktop).isDir())
        return {};
    if (QDir(desktop).canonicalPath() == QDir(home).canonicalPath())
        return {};
    return {desktop};
}
