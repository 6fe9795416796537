#include "platform/shelllink.h"

#include "platform/bytereader.h"

#include <cstring>

namespace {

enum LinkFlag : quint32 {
    HasLinkTargetIdList = 1u << 0,
    HasLinkInfo = 1u << 1,
    HasName = 1u << 2,
    HasRelativePath = 1u << 3,
    HasWorkingDir = 1u << 4,
    HasArguments = 1u << 5,
    HasIconLocation = 1u << 6,
    IsUnicode = 1u << 7,
    ForceNoLinkInfo = 1u << 8,
    HasExpString = 1u << 9,
    RunAsUser = 1u << 13,
    HasExpIcon = 1u << 14,
};

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kEnvironmentBlock = 0xA0000001;
constexpr std::uint32_t kIconEnvironmentBlock = 0xA0000007;
constexpr std::uint32_t kEnvironmentBlockSize = 0x314;

bool fail(QString* error, const char* why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return false;
}

// A NUL-terminated single-byte string starting at `offset` and ending before
// `limit`. Text in the system code page: Latin-1 keeps every byte as one
// character, which is right for the ASCII paths links almost always hold.
QString ansiString(const ByteReader& r, std::uint64_t offset, std::uint64_t limit)
{
    if (offset >= limit || !r.fits(offset, limit - offset))
        return QString();
    std::uint64_t end = offset;
    while (end < limit && *r.u8(end) != 0)
        ++end;
    return QString::fromLatin1(reinterpret_cast<const char*>(r.at(offset)), qsizetype(end - offset));
}

// A NUL-terminated UTF-16LE string in [offset, limit).
QString unicodeString(const ByteReader& r, std::uint64_t offset, std::uint64_t limit)
{
    QString s;
    for (std::uint64_t at = offset; at + 2 <= limit; at += 2) {
        const auto c = r.u16(at);
        if (!c || *c == 0)
            break;
        s.append(QChar(*c));
    }
    return s;
}

bool readLinkInfo(const ByteReader& r, std::uint64_t start, std::uint32_t size, ShellLinkData& out)
{
    const std::uint64_t limit = start + size;
    const auto headerSize = r.u32(start + 4), flags = r.u32(start + 8);
    const auto localOff = r.u32(start + 16), networkOff = r.u32(start + 20), suffixOff = r.u32(start + 24);
    if (!headerSize || !flags || !localOff || !networkOff || !suffixOff || *headerSize < 0x1C || *headerSize > size)
        return false;
    std::optional<std::uint32_t> localOffW, suffixOffW;
    if (*headerSize >= 0x24) {
        localOffW = r.u32(start + 28);
        suffixOffW = r.u32(start + 32);
    }
    QString suffix;
    if (suffixOffW && *suffixOffW)
        suffix = unicodeString(r, start + *suffixOffW, limit);
    if (suffix.isEmpty())
        suffix = ansiString(r, start + *suffixOff, limit);

    if (*flags & 0x1) {
        QString local;
        if (localOffW && *localOffW)
            local = unicodeString(r, start + *localOffW, limit);
        if (local.isEmpty())
            local = ansiString(r, start + *localOff, limit);
        out.localBasePath = local + suffix;
    }
    if ((*flags & 0x2) && *networkOff >= 0x14) {
        const std::uint64_t net = start + *networkOff;
        const auto netSize = r.u32(net), netNameOff = r.u32(net + 8);
        if (netSize && netNameOff && *netSize >= 0x14 && std::uint64_t(*networkOff) + *netSize <= size) {
            const std::uint64_t netLimit = net + *netSize;
            QString share;
            if (*netNameOff > 0x14) {
                const auto netNameOffW = r.u32(net + 20);
                if (netNameOffW && *netNameOffW)
                    share = unicodeString(r, net + *netNameOffW, netLimit);
            }
            if (share.isEmpty())
                share = ansiString(r, net + *netNameOff, netLimit);
            if (!share.isEmpty())
                out.networkPath = suffix.isEmpty() ? share : share + QLatin1Char('\\') + suffix;
        }
    }
    return true;
}

// The two fixed-size targets (ANSI 260 bytes, then UTF-16 520 bytes) of an
// environment block; the wide form wins when it holds text.
QString environmentBlockTarget(const ByteReader& r, std::uint64_t block)
{
    const QString wide = unicodeString(r, block + 8 + 260, block + 8 + 260 + 520);
    return wide.isEmpty() ? ansiString(r, block + 8, block + 8 + 260) : wide;
}

} // namespace

QString ShellLinkData::target() const
{
    if (!environmentTarget.isEmpty())
        return environmentTarget;
    if (!localBasePath.isEmpty())
        return localBasePath;
    return networkPath;
}

bool parseShellLink(const QByteArray& bytes, ShellLinkData* out, QString* error)
{
    ShellLinkData link;
    const ByteReader r(bytes);
    if (r.u32(0) != std::optional<std::uint32_t>(kHeaderSize) || !r.fits(0, kHeaderSize)
        || memcmp(r.at(4), kLinkClsid, sizeof kLinkClsid) != 0)
        return fail(error, "not a shell link");
    link.linkFlags = *r.u32(20);
    link.iconIndex = int(std::int32_t(*r.u32(56)));
    link.runAsUser = (link.linkFlags & RunAsUser) != 0;
    std::uint64_t at = kHeaderSize;

    if (link.linkFlags & HasLinkTargetIdList) {
        const auto idListSize = r.u16(at);
        if (!idListSize || !r.fits(at + 2, *idListSize))
            return fail(error, "target id list runs past the end");
        at += 2 + std::uint64_t(*idListSize);
    }
    if (link.linkFlags & HasLinkInfo) {
        const auto size = r.u32(at);
        if (!size || *size < 4 || !r.fits(at, *size))
            return fail(error, "link information runs past the end");
        if (!(link.linkFlags & ForceNoLinkInfo) && !readLinkInfo(r, at, *size, link))
            return fail(error, "link information is malformed");
        at += *size;
    }

    const bool unicode = (link.linkFlags & IsUnicode) != 0;
    const std::pair<LinkFlag, QString*> strings[] = {
        {HasName, &link.name}, {HasRelativePath, &link.relativePath}, {HasWorkingDir, &link.workingDir},
        {HasArguments, &link.arguments}, {HasIconLocation, &link.iconLocation}};
    for (const auto& [flag, target] : strings) {
        if (!(link.linkFlags & flag))
            continue;
        const auto count = r.u16(at);
        const std::uint64_t length = count ? std::uint64_t(*count) * (unicode ? 2 : 1) : 0;
        if (!count || !r.fits(at + 2, length))
            return fail(error, "string data runs past the end");
        if (unicode) {
            target->resize(*count);
            for (int i = 0; i < *count; ++i)
                (*target)[i] = QChar(*r.u16(at + 2 + std::uint64_t(i) * 2));
        } else {
            *target = QString::fromLatin1(reinterpret_cast<const char*>(r.at(at + 2)), *count);
        }
        at += 2 + length;
    }

    // Extra data: a chain of sized blocks ended by a size below 4. A block
    // that does not fit ends the chain; what was read before it stands.
    while (r.fits(at, 4)) {
        const std::uint32_t size = *r.u32(at);
        if (size < 8 || !r.fits(at, size))
            break;
        const std::uint32_t signature = *r.u32(at + 4);
        if (size >= kEnvironmentBlockSize) {
            if (signature == kEnvironmentBlock && (link.linkFlags & HasExpString))
                link.environmentTarget = environmentBlockTarget(r, at);
            else if (signature == kIconEnvironmentBlock && (link.linkFlags & HasExpIcon)) {
                const QString icon = environmentBlockTarget(r, at);
                if (!icon.isEmpty())
                    link.iconLocation = icon;
            }
        }
        at += size;
    }

    if (out)
        *out = link;
    return true;
}

namespace {

constexpr std::uint32_t kTrackerBlock = 0xA0000003;
constexpr std::uint32_t kSpecialFolderBlock = 0xA0000005;
constexpr std::uint32_t kKnownFolderBlock = 0xA000000B;
constexpr std::uint32_t kVistaIdListBlock = 0xA000000C;

void putU16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

void putU32(QByteArray& b, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

void setU32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

bool isLatin1(const QString& s)
{
    for (QChar c : s) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

bool isAscii(const QString& s)
{
    for (QChar c : s) {
        if (c.unicode() > 0x7F)
            return false;
    }
    return true;
}

// Link information naming `target` as a local path on a fixed volume. The
// Unicode offsets are added only when the path is not plain ASCII.
QByteArray buildLinkInfo(const QString& target)
{
    const bool wide = !isAscii(target);
    const quint32 headerSize = wide ? 0x24 : 0x1C;
    QByteArray volume;
    putU32(volume, 0x11);    // volume id size
    putU32(volume, 3);       // fixed drive
    putU32(volume, 0);       // serial number
    putU32(volume, 0x10);    // label offset
    volume.append('\0');     // empty label
    QByteArray ansi = target.toLatin1();
    if (wide) {
        for (int i = 0; i < target.size(); ++i) {
            if (target.at(i).unicode() > 0x7F)
                ansi[i] = '?';
        }
    }
    const quint32 volumeOff = headerSize;
    const quint32 localOff = volumeOff + quint32(volume.size());
    const quint32 suffixOff = localOff + quint32(ansi.size()) + 1;
    const quint32 localOffW = suffixOff + 1;
    const quint32 suffixOffW = localOffW + quint32(target.size() + 1) * 2;
    QByteArray info;
    putU32(info, 0); // size, set below
    putU32(info, headerSize);
    putU32(info, 1); // volume id and local base path
    putU32(info, volumeOff);
    putU32(info, localOff);
    putU32(info, 0); // no network part
    putU32(info, suffixOff);
    if (wide) {
        putU32(info, localOffW);
        putU32(info, suffixOffW);
    }
    info.append(volume).append(ansi).append('\0').append('\0');
    if (wide) {
        for (QChar c : target)
            putU16(info, c.unicode());
        putU16(info, 0);
        putU16(info, 0);
    }
    setU32(info, 0, quint32(info.size()));
    return info;
}

QByteArray newLinkHeader()
{
    QByteArray h(int(kHeaderSize), '\0');
    setU32(h, 0, kHeaderSize);
    memcpy(h.data() + 4, kLinkClsid, sizeof kLinkClsid);
    setU32(h, 20, IsUnicode);
    setU32(h, 60, 1); // show normal
    putU32(h, 0);     // empty extra data: the terminal block
    return h;
}

} // namespace

bool editShellLink(const QByteArray& original, const ShellLinkEdit& edit, QByteArray* out, QString* error)
{
    const QByteArray source = original.isEmpty() ? newLinkHeader() : original;
    ShellLinkData parsed;
    if (!parseShellLink(source, &parsed, error))
        return false;
    const ByteReader r(source);
    quint32 flags = parsed.linkFlags;

    // Spans of the sections, as parseShellLink validated them.
    std::uint64_t at = kHeaderSize;
    QByteArray idList, linkInfo;
    if (flags & HasLinkTargetIdList) {
        const std::uint64_t size = 2 + *r.u16(at);
        idList = source.mid(qsizetype(at), qsizetype(size));
        at += size;
    }
    if (flags & HasLinkInfo) {
        const std::uint64_t size = *r.u32(at);
        linkInfo = source.mid(qsizetype(at), qsizetype(size));
        at += size;
    }
    const bool unicodeIn = (flags & IsUnicode) != 0;
    const LinkFlag stringFlags[] = {HasName, HasRelativePath, HasWorkingDir, HasArguments, HasIconLocation};
    QByteArray rawStrings[5];
    for (int i = 0; i < 5; ++i) {
        if (!(flags & stringFlags[i]))
            continue;
        const std::uint64_t size = 2 + std::uint64_t(*r.u16(at)) * (unicodeIn ? 2 : 1);
        rawStrings[i] = source.mid(qsizetype(at), qsizetype(size));
        at += size;
    }
    const QByteArray extra = source.mid(qsizetype(at));

    // New string values: index into stringFlags; unset keeps the raw bytes.
    std::optional<QString> newStrings[5];
    newStrings[0] = edit.name;
    newStrings[2] = edit.workingDir;
    newStrings[3] = edit.arguments;
    newStrings[4] = edit.iconLocation;
    if (edit.target)
        newStrings[1] = QString(); // a relative path to the old target would mislead
    for (const auto& s : newStrings) {
        if (s && s->size() > 0xFFFF)
            return fail(error, "string longer than a link can hold");
    }

    bool unicodeOut = unicodeIn;
    for (const auto& s : newStrings) {
        if (s && !isLatin1(*s))
            unicodeOut = true;
    }
    // Unchanged strings are re-encoded only when the whole link must turn
    // to UTF-16 for a new value that single bytes cannot hold.
    if (unicodeOut != unicodeIn) {
        for (int i = 0; i < 5; ++i) {
            if (!newStrings[i] && (flags & stringFlags[i])) {
                const QByteArray& raw = rawStrings[i];
                newStrings[i] = QString::fromLatin1(raw.constData() + 2, raw.size() - 2);
            }
        }
    }

    if (edit.target) {
        idList.clear();
        flags &= ~quint32(HasLinkTargetIdList | ForceNoLinkInfo | HasExpString);
        linkInfo = edit.target->isEmpty() ? QByteArray() : buildLinkInfo(*edit.target);
        if (linkInfo.isEmpty())
            flags &= ~quint32(HasLinkInfo);
        else
            flags |= HasLinkInfo;
    }
    if (edit.iconLocation)
        flags &= ~quint32(HasExpIcon);
    if (edit.runAsUser) {
        if (*edit.runAsUser)
            flags |= RunAsUser;
        else
            flags &= ~quint32(RunAsUser);
    }
    if (unicodeOut)
        flags |= IsUnicode;

    QByteArray strings;
    for (int i = 0; i < 5; ++i) {
        if (!newStrings[i]) {
            strings.append(rawStrings[i]);
            continue;
        }
        const QString& value = *newStrings[i];
        if (value.isEmpty()) {
            flags &= ~quint32(stringFlags[i]);
            continue;
        }
        flags |= stringFlags[i];
        putU16(strings, quint16(value.size()));
        if (unicodeOut) {
            for (QChar c : value)
                putU16(strings, c.unicode());
        } else {
            strings.append(value.toLatin1());
        }
    }

    // Extra data blocks: kept unless they describe what was replaced.
    QByteArray blocks;
    const ByteReader er(extra);
    std::uint64_t pos = 0;
    while (er.fits(pos, 4)) {
        const std::uint32_t size = *er.u32(pos);
        if (size < 8 || !er.fits(pos, size))
            break;
        const std::uint32_t signature = *er.u32(pos + 4);
        const bool locatesTarget = signature == kEnvironmentBlock || signature == kTrackerBlock
            || signature == kSpecialFolderBlock || signature == kKnownFolderBlock || signature == kVistaIdListBlock;
        const bool drop = (edit.target && locatesTarget) || (edit.iconLocation && signature == kIconEnvironmentBlock);
        if (!drop)
            blocks.append(extra.mid(qsizetype(pos), qsizetype(size)));
        pos += size;
    }
    blocks.append(extra.mid(qsizetype(pos))); // the terminal block and whatever follows it

    QByteArray result = source.left(int(kHeaderSize));
    setU32(result, 20, flags);
    if (edit.iconIndex)
        setU32(result, 56, quint32(std::int32_t(*edit.iconIndex)));
    result.append(idList).append(linkInfo).append(strings).append(blocks);
    if (out)
        *out = result;
    return true;
}
