#include "iconfixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPainter>

#include <algorithm>

namespace iconfixtures {

namespace {

void put8(QByteArray& b, int v) { b.append(char(v & 0xFF)); }
void put16(QByteArray& b, int v)
{
    put8(b, v);
    put8(b, v >> 8);
}
void put32(QByteArray& b, quint32 v)
{
    for (int s = 0; s < 32; s += 8)
        put8(b, int(v >> s));
}
void put64(QByteArray& b, quint64 v)
{
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}
void set32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}
void pad(QByteArray& b, int align)
{
    while (b.size() % align)
        b.append('\0');
}
void putUtf16(QByteArray& b, const QString& s, bool terminate)
{
    for (QChar c : s)
        put16(b, c.unicode());
    if (terminate)
        put16(b, 0);
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

QByteArray dibBytes(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    QByteArray b;
    put32(b, 40);
    put32(b, quint32(w));
    put32(b, quint32(h * 2)); // colour rows plus the mask rows
    put16(b, 1);
    put16(b, 32);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            put8(b, qBlue(p));
            put8(b, qGreen(p));
            put8(b, qRed(p));
            put8(b, qAlpha(p));
        }
    }
    const int maskStride = ((w + 31) / 32) * 4;
    b.append(QByteArray(maskStride * h, '\0'));
    return b;
}

struct Resource {
    quint32 type;
    int id;
    QString name;
    QByteArray data;
};

// Resource section bytes at virtual address `rva`: directory tree
// type -> name -> language (1033), then strings, then data entries and data.
QByteArray resourceSection(QList<Resource> resources, quint32 rva)
{
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (a.type != b.type)
            return a.type < b.type;
        const bool an = !a.name.isEmpty(), bn = !b.name.isEmpty();
        if (an != bn)
            return an; // named entries come first
        return an ? a.name < b.name : a.id < b.id;
    });
    QList<quint32> types;
    for (const Resource& r : resources) {
        if (!types.contains(r.type))
            types.append(r.type);
    }
    const int n = int(resources.size());
    // Offsets of every part, laid out in order.
    const int rootSize = 16 + 8 * int(types.size());
    QMap<quint32, int> typeDir;
    int at = rootSize;
    for (quint32 t : types) {
        typeDir[t] = at;
        const int count = int(std::count_if(resources.begin(), resources.end(), [t](const Resource& r) { return r.type == t; }));
        at += 16 + 8 * count;
    }
    QList<int> langDir(n), dataEntry(n), nameString(n, -1), dataAt(n);
    for (int i = 0; i < n; ++i) {
        langDir[i] = at;
        at += 16 + 8;
    }
    for (int i = 0; i < n; ++i) {
        dataEntry[i] = at;
        at += 16;
    }
    for (int i = 0; i < n; ++i) {
        if (!resources[i].name.isEmpty()) {
            nameString[i] = at;
            at += 2 + 2 * int(resources[i].name.size());
        }
    }
    at = (at + 7) & ~7;
    for (int i = 0; i < n; ++i) {
        dataAt[i] = at;
        at += (int(resources[i].data.size()) + 7) & ~7;
    }

    QByteArray b;
    auto dirHeader = [&b](int named, int ids) {
        put32(b, 0);
        put32(b, 0);
        put16(b, 4);
        put16(b, 0);
        put16(b, named);
        put16(b, ids);
    };
    dirHeader(0, int(types.size()));
    for (quint32 t : types) {
        put32(b, t);
        put32(b, 0x80000000u | quint32(typeDir[t]));
    }
    for (quint32 t : types) {
        int named = 0, ids = 0;
        for (const Resource& r : resources) {
            if (r.type == t)
                (r.name.isEmpty() ? ids : named)++;
        }
        dirHeader(named, ids);
        for (int i = 0; i < n; ++i) {
            if (resources[i].type != t)
                continue;
            put32(b, resources[i].name.isEmpty() ? quint32(resources[i].id) : 0x80000000u | quint32(nameString[i]));
            put32(b, 0x80000000u | quint32(langDir[i]));
        }
    }
    for (int i = 0; i < n; ++i) {
        dirHeader(0, 1);
        put32(b, 1033);
        put32(b, quint32(dataEntry[i]));
    }
    for (int i = 0; i < n; ++i) {
        put32(b, rva + quint32(dataAt[i]));
        put32(b, quint32(resources[i].data.size()));
        put32(b, 0);
        put32(b, 0);
    }
    for (int i = 0; i < n; ++i) {
        if (nameString[i] >= 0) {
            put16(b, int(resources[i].name.size()));
            putUtf16(b, resources[i].name, false);
        }
    }
    pad(b, 8);
    for (int i = 0; i < n; ++i) {
        b.append(resources[i].data);
        pad(b, 8);
    }
    return b;
}

} // namespace

QImage squareIcon(int side, QColor color)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(QRect(1, 1, side - 2, side - 2), color);
    return image;
}

QByteArray iconImageData(const IconFixture& icon)
{
    return icon.png ? pngBytes(icon.image) : dibBytes(icon.image);
}

QByteArray buildPeWithIcons(const QList<GroupFixture>& groups, bool pe32plus)
{
    QList<Resource> resources;
    int nextIconId = 1;
    for (const GroupFixture& g : groups) {
        QByteArray dir;
        put16(dir, 0);
        put16(dir, 1);
        put16(dir, int(g.icons.size()));
        for (const IconFixture& icon : g.icons) {
            const QByteArray data = iconImageData(icon);
            const int id = nextIconId++;
            put8(dir, icon.image.width() >= 256 ? 0 : icon.image.width());
            put8(dir, icon.image.height() >= 256 ? 0 : icon.image.height());
            put8(dir, 0);
            put8(dir, 0);
            put16(dir, 1);
            put16(dir, 32);
            put32(dir, quint32(data.size()));
            put16(dir, id);
            resources.append({3, id, QString(), data});
        }
        resources.append({14, g.id, g.name, dir});
    }
    const quint32 sectionRva = 0x1000;
    const QByteArray rsrc = resourceSection(resources, sectionRva);
    const quint32 rawSize = (quint32(rsrc.size()) + 0x1FF) & ~0x1FFu;

    const int optionalSize = pe32plus ? 240 : 224;
    QByteArray b;
    put16(b, 0x5A4D);
    b.append(QByteArray(0x3C - 2, '\0'));
    put32(b, 0x40);
    b.append("PE\0\0", 4);
    put16(b, pe32plus ? 0x8664 : 0x14C);
    put16(b, 1);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put16(b, optionalSize);
    put16(b, pe32plus ? 0x2022 : 0x2102);
    const int opt = b.size();
    put16(b, pe32plus ? 0x20B : 0x10B);
    b.append(QByteArray(optionalSize - 2, '\0'));
    // Fields the loaders look at: alignments, image and header sizes,
    // subsystem, and the data directory count with the resource entry.
    if (pe32plus)
        set32(b, opt + 24, 0x00400000);
    else
        set32(b, opt + 28, 0x10000000);
    set32(b, opt + 32, 0x1000);
    set32(b, opt + 36, 0x200);
    b[opt + 40] = 6; // operating system version
    b[opt + 48] = 6; // subsystem version
    set32(b, opt + 56, sectionRva + ((rawSize + 0xFFF) & ~0xFFFu));
    set32(b, opt + 60, 0x200);
    b[opt + 68] = 2;
    const int countAt = pe32plus ? 108 : 92;
    set32(b, opt + countAt, 16);
    set32(b, opt + countAt + 4 + 2 * 8, sectionRva);
    set32(b, opt + countAt + 4 + 2 * 8 + 4, quint32(rsrc.size()));

    b.append(".rsrc\0\0\0", 8);
    put32(b, quint32(rsrc.size()));
    put32(b, sectionRva);
    put32(b, rawSize);
    put32(b, 0x200);
    put32(b, 0);
    put32(b, 0);
    put16(b, 0);
    put16(b, 0);
    put32(b, 0x40000040);
    b.append(QByteArray(0x200 - b.size(), '\0'));
    b.append(rsrc);
    b.append(QByteArray(int(rawSize) - int(rsrc.size()), '\0'));
    return b;
}

QByteArray buildIcoFile(const QList<IconFixture>& icons)
{
    QList<QByteArray> datas;
    for (const IconFixture& icon : icons)
        datas.append(iconImageData(icon));
    QByteArray b;
    put16(b, 0);
    put16(b, 1);
    put16(b, int(icons.size()));
    quint32 offset = 6 + 16 * quint32(icons.size());
    for (int i = 0; i < icons.size(); ++i) {
        const QImage& image = icons[i].image;
        put8(b, image.width() >= 256 ? 0 : image.width());
        put8(b, image.height() >= 256 ? 0 : image.height());
        put8(b, 0);
        put8(b, 0);
        put16(b, 1);
        put16(b, 32);
        put32(b, quint32(datas[i].size()));
        put32(b, offset);
        offset += quint32(datas[i].size());
    }
    for (const QByteArray& d : datas)
        b.append(d);
    return b;
}

QByteArray buildShellLink(const LinkFixture& s)
{
    quint32 flags = 0;
    if (s.withIdList)
        flags |= 0x1;
    if (!s.localPath.isEmpty())
        flags |= 0x2;
    if (!s.name.isEmpty())
        flags |= 0x4;
    if (!s.relativePath.isEmpty())
        flags |= 0x8;
    if (!s.workingDir.isEmpty())
        flags |= 0x10;
    if (!s.arguments.isEmpty())
        flags |= 0x20;
    if (!s.iconLocation.isEmpty())
        flags |= 0x40;
    if (s.unicode)
        flags |= 0x80;
    if (!s.environmentTarget.isEmpty())
        flags |= 0x200;
    if (s.runAsUser)
        flags |= 0x2000;
    if (!s.iconEnvironment.isEmpty())
        flags |= 0x4000;

    QByteArray b;
    put32(b, 0x4C);
    b.append(QByteArray::fromHex("0114020000000000c000000000000046"));
    put32(b, flags);
    put32(b, 0x20); // archive attribute
    put64(b, 0);
    put64(b, 0);
    put64(b, 0);
    put32(b, 0);
    put32(b, quint32(s.iconIndex));
    put32(b, 1); // normal window
    put16(b, 0);
    put16(b, 0);
    put32(b, 0);
    put32(b, 0);

    if (s.withIdList) {
        // One root item naming this computer, then the terminator.
        QByteArray list;
        put16(list, 20);
        put8(list, 0x1F);
        put8(list, 0x50);
        list.append(QByteArray::fromHex("e04fd020ea3a6910a2d808002b30309d"));
        put16(list, 0);
        put16(b, int(list.size()));
        b.append(list);
    }
    if (!s.localPath.isEmpty()) {
        QByteArray volume;
        put32(volume, 0x11);
        put32(volume, 3); // fixed drive
        put32(volume, 0x12345678);
        put32(volume, 0x10);
        put8(volume, 0);
        const QByteArray local = s.localPath.toLatin1() + '\0';
        const quint32 volumeAt = 0x1C;
        const quint32 localAt = volumeAt + quint32(volume.size());
        const quint32 suffixAt = localAt + quint32(local.size());
        QByteArray info;
        put32(info, suffixAt + 1);
        put32(info, 0x1C);
        put32(info, 1);
        put32(info, volumeAt);
        put32(info, localAt);
        put32(info, 0);
        put32(info, suffixAt);
        info.append(volume);
        info.append(local);
        put8(info, 0);
        b.append(info);
    }
    for (const QString* str : {&s.name, &s.relativePath, &s.workingDir, &s.arguments, &s.iconLocation}) {
        if (str->isEmpty())
            continue;
        put16(b, int(str->size()));
        if (s.unicode)
            putUtf16(b, *str, false);
        else
            b.append(str->toLatin1());
    }
    auto environmentBlock = [&b](quint32 signature, const QString& text) {
        put32(b, 0x314);
        put32(b, signature);
        QByteArray ansi = text.toLatin1().left(259);
        ansi.append(QByteArray(260 - ansi.size(), '\0'));
        b.append(ansi);
        QByteArray wide;
        putUtf16(wide, text.left(259), false);
        wide.append(QByteArray(520 - wide.size(), '\0'));
        b.append(wide);
    };
    if (!s.environmentTarget.isEmpty())
        environmentBlock(0xA0000001, s.environmentTarget);
    if (!s.iconEnvironment.isEmpty())
        environmentBlock(0xA0000007, s.iconEnvironment);
    put32(b, 0);
    return b;
}

void writeIconTheme(const QString& iconsDir, const QString& theme, const QString& inherits,
                    const QList<ThemeIconFixture>& icons)
{
    const QString root = iconsDir + QLatin1Char('/') + theme;
    QStringList dirs;
    QMap<QString, int> sizes;
    for (const ThemeIconFixture& icon : icons) {
        if (!dirs.contains(icon.directory))
            dirs.append(icon.directory);
        sizes[icon.directory] = icon.size;
    }
    QString index = QStringLiteral("[Icon Theme]\nName=%1\n").arg(theme);
    if (!inherits.isEmpty())
        index += QStringLiteral("Inherits=%1\n").arg(inherits);
    index += QStringLiteral("Directories=%1\n").arg(dirs.join(QLatin1Char(',')));
    for (const QString& d : dirs) {
        const bool scalable = d.startsWith(QLatin1String("scalable"));
        index += QStringLiteral("\n[%1]\nSize=%2\nType=%3\n").arg(d).arg(sizes[d]).arg(
            scalable ? QStringLiteral("Scalable\nMinSize=8\nMaxSize=512") : QStringLiteral("Fixed"));
    }
    QDir().mkpath(root);
    QFile f(root + QStringLiteral("/index.theme"));
    if (f.open(QIODevice::WriteOnly))
        f.write(index.toUtf8());
    for (const ThemeIconFixture& icon : icons) {
        const QString dir = root + QLatin1Char('/') + icon.directory;
        QDir().mkpath(dir);
        if (icon.directory.startsWith(QLatin1String("scalable"))) {
            QFile svg(dir + QLatin1Char('/') + icon.name + QStringLiteral(".svg"));
            if (svg.open(QIODevice::WriteOnly))
                svg.write(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\">"
                                         "<rect x=\"0\" y=\"0\" width=\"%1\" height=\"%1\" fill=\"%2\"/></svg>")
                              .arg(icon.size).arg(icon.color.name()).toUtf8());
        } else {
            squareIcon(icon.size, icon.color).save(dir + QLatin1Char('/') + icon.name + QStringLiteral(".png"));
        }
    }
}

} // namespace iconfixtures
