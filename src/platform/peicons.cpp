#include "platform/peicons.h"

#include "platform/bytereader.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr std::uint32_t kRtIcon = 3;
constexpr std::uint32_t kRtGroupIcon = 14;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
// Real files hold a few dozen icons; a directory claiming thousands is
// hostile or broken and would only burn time.
constexpr int kMaxDirectoryEntries = 4096;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

struct ResourceLeaf {
    std::uint32_t id = 0;
    bool named = false;
    QString name;
    std::uint64_t offset = 0; // file offset and size of the data
    std::uint32_t size = 0;
};

// Caps on the work one file may cause: directories can point at each other
// and groups can list one image many times, so without them a small file
// could demand gigabytes of copies.
constexpr int kMaxVisitedEntries = 65536;
constexpr int kMaxGroupEntries = 4096;
constexpr qint64 kMaxCopiedBytes = 64 * 1024 * 1024;

class PeImage {
public:
    explicit PeImage(const ByteReader& reader) : r(reader) { m_ok = parseHeaders(); }
    bool ok() const { return m_ok; }

    // Every resource of one type: (name or id) -> first language's data.
    QList<ResourceLeaf> resources(std::uint32_t type) const;

private:
    bool parseHeaders();
    std::optional<std::uint64_t> fileOffset(std::uint32_t rva, std::uint32_t length) const;
    struct DirEntry {
        std::uint32_t nameField;
        std::uint32_t offsetField;
    };
    QList<DirEntry> directory(std::uint32_t dirOffset) const;
    QString resourceName(std::uint32_t nameField) const;
    bool leafData(std::uint32_t entryOffset, ResourceLeaf& leaf) const;

    ByteReader r;
    bool m_ok = false;
    QList<Section> m_sections;
    std::uint64_t m_rsrcBase = 0; // file offset of the resource directory
    std::uint64_t m_rsrcSize = 0;
};

bool PeImage::parseHeaders()
{
    if (r.u16(0) != std::optional<std::uint16_t>(0x5A4D))
        return false;
    const auto peOffset = r.u32(0x3C);
    if (!peOffset || r.u32(*peOffset) != std::optional<std::uint32_t>(0x00004550))
        return false;
    const std::uint64_t coff = std::uint64_t(*peOffset) + 4;
    const auto sectionCount = r.u16(coff + 2);
    const auto optionalSize = r.u16(coff + 16);
    if (!sectionCount || !optionalSize)
        return false;
    const std::uint64_t opt = coff + 20;
    const auto magic = r.u16(opt);
    std::uint64_t countOffset = 0;
    if (magic == std::optional<std::uint16_t>(0x10B))
        countOffset = 92;
    else if (magic == std::optional<std::uint16_t>(0x20B))
        countOffset = 108;
    else
        return false;
    const auto dirCount = r.u32(opt + countOffset);
    if (!dirCount || *dirCount < 3 || countOffset + 4 + 3 * 8 > *optionalSize)
        return false;
    const auto rsrcRva = r.u32(opt + countOffset + 4 + 2 * 8);
    const auto rsrcSize = r.u32(opt + countOffset + 4 + 2 * 8 + 4);
    if (!rsrcRva || !rsrcSize || *rsrcRva == 0 || *rsrcSize == 0)
        return false;

    const std::uint64_t sectionTable = opt + *optionalSize;
    for (int i = 0; i < *sectionCount; ++i) {
        const std::uint64_t s = sectionTable + std::uint64_t(i) * 40;
        const auto vsize = r.u32(s + 8), va = r.u32(s + 12), rawSize = r.u32(s + 16), rawOff = r.u32(s + 20);
        if (!vsize || !va || !rawSize || !rawOff)
            return false;
        m_sections.append({*va, *vsize, *rawSize, *rawOff});
    }
    const auto base = fileOffset(*rsrcRva, 16);
    if (!base)
        return false;
    m_rsrcBase = *base;
    // The directory's offsets are relative to its start; clamp its extent to
    // the bytes actually present.
    m_rsrcSize = std::min<std::uint64_t>(*rsrcSize, r.size() - m_rsrcBase);
    return true;
}

std::optional<std::uint64_t> PeImage::fileOffset(std::uint32_t rva, std::uint32_t length) const
{
    for (const Section& s : m_sections) {
        const std::uint64_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva < s.virtualAddress || std::uint64_t(rva) - s.virtualAddress >= extent)
            continue;
        const std::uint64_t delta = std::uint64_t(rva) - s.virtualAddress;
        if (delta + length > s.rawSize)
            return std::nullopt;
        const std::uint64_t off = std::uint64_t(s.rawOffset) + delta;
        if (!r.fits(off, length))
            return std::nullopt;
        return off;
    }
    return std::nullopt;
}

QList<PeImage::DirEntry> PeImage::directory(std::uint32_t dirOffset) const
{
    QList<DirEntry> out;
    if (dirOffset > m_rsrcSize || m_rsrcSize - dirOffset < 16)
        return out;
    const std::uint64_t d = m_rsrcBase + dirOffset;
    const auto named = r.u16(d + 12), ids = r.u16(d + 14);
    if (!named || !ids)
        return out;
    const int count = int(*named) + int(*ids);
    for (int i = 0; i < count && i < kMaxDirectoryEntries; ++i) {
        const std::uint64_t e = 16 + std::uint64_t(i) * 8;
        if (std::uint64_t(dirOffset) + e + 8 > m_rsrcSize)
            break;
        const auto nameField = r.u32(d + e), offsetField = r.u32(d + e + 4);
        if (!nameField || !offsetField)
            break;
        out.append({*nameField, *offsetField});
    }
    return out;
}

QString PeImage::resourceName(std::uint32_t nameField) const
{
    const std::uint32_t off = nameField & ~kSubdirectoryBit;
    const auto length = off < m_rsrcSize ? r.u16(m_rsrcBase + off) : std::nullopt;
    if (!length || std::uint64_t(off) + 2 + std::uint64_t(*length) * 2 > m_rsrcSize)
        return QString();
    QString name;
    name.reserve(*length);
    for (int i = 0; i < *length; ++i) {
        const auto c = r.u16(m_rsrcBase + off + 2 + std::uint64_t(i) * 2);
        if (!c)
            return QString();
        name.append(QChar(*c));
    }
    return name;
}

bool PeImage::leafData(std::uint32_t entryOffset, ResourceLeaf& leaf) const
{
    if (std::uint64_t(entryOffset) + 16 > m_rsrcSize)
        return false;
    const auto rva = r.u32(m_rsrcBase + entryOffset);
    const auto size = r.u32(m_rsrcBase + entryOffset + 4);
    if (!rva || !size)
        return false;
    const auto off = fileOffset(*rva, *size);
    if (!off)
        return false;
    leaf.offset = *off;
    leaf.size = *size;
    return true;
}

QList<ResourceLeaf> PeImage::resources(std::uint32_t type) const
{
    QList<ResourceLeaf> out;
    if (!m_ok)
        return out;
    int visited = 0;
    for (const DirEntry& t : directory(0)) {
        if ((t.nameField & kSubdirectoryBit) || t.nameField != type || !(t.offsetField & kSubdirectoryBit))
            continue;
        for (const DirEntry& n : directory(t.offsetField & ~kSubdirectoryBit)) {
            if (!(n.offsetField & kSubdirectoryBit))
                continue;
            // The first language that holds readable data stands for the name.
            for (const DirEntry& l : directory(n.offsetField & ~kSubdirectoryBit)) {
                if (++visited > kMaxVisitedEntries)
                    return out;
                ResourceLeaf leaf;
                if ((l.offsetField & kSubdirectoryBit) || !leafData(l.offsetField, leaf))
                    continue;
                leaf.named = (n.nameField & kSubdirectoryBit) != 0;
                if (leaf.named)
                    leaf.name = resourceName(n.nameField);
                else
                    leaf.id = n.nameField;
                out.append(leaf);
                break;
            }
        }
        break;
    }
    return out;
}

int sideOf(std::uint8_t b) { return b == 0 ? 256 : b; }

// The fields of a directory entry of an icon group (14 bytes) or of an icon
// file (16 bytes); `raw` holds at least those bytes.
IconImageEntry entryFields(const QByteArray& raw)
{
    const ByteReader f(raw);
    IconImageEntry entry;
    entry.width = sideOf(*f.u8(0));
    entry.height = sideOf(*f.u8(1));
    entry.colorCount = *f.u8(2);
    entry.planes = *f.u16(4);
    entry.bitCount = *f.u16(6);
    return entry;
}

QList<IconGroup> readPeIconGroups(const ByteReader& r)
{
    QList<IconGroup> groups;
    const PeImage pe(r);
    if (!pe.ok())
        return groups;
    const QList<ResourceLeaf> groupLeaves = pe.resources(kRtGroupIcon);
    if (groupLeaves.isEmpty())
        return groups;
    QHash<std::uint32_t, ResourceLeaf> icons;
    for (const ResourceLeaf& leaf : pe.resources(kRtIcon)) {
        if (!leaf.named && !icons.contains(leaf.id))
            icons.insert(leaf.id, leaf);
    }
    int entriesLeft = kMaxGroupEntries;
    qint64 bytesLeft = kMaxCopiedBytes;
    for (const ResourceLeaf& leaf : groupLeaves) {
        const auto header = r.u16(leaf.offset + 2);
        const auto count = leaf.size >= 6 ? r.u16(leaf.offset + 4) : std::nullopt;
        if (!count || header != std::optional<std::uint16_t>(1))
            continue;
        IconGroup group;
        group.id = leaf.named ? -1 : int(leaf.id);
        group.name = leaf.name;
        for (int i = 0; i < *count && entriesLeft > 0; ++i) {
            const std::uint64_t e = 6 + std::uint64_t(i) * 14;
            if (e + 14 > leaf.size)
                break;
            const auto raw = r.bytes(leaf.offset + e, 14);
            if (!raw)
                break;
            IconImageEntry entry = entryFields(*raw);
            entry.resourceId = *ByteReader(*raw).u16(12);
            const auto icon = icons.constFind(std::uint32_t(entry.resourceId));
            if (icon == icons.constEnd() || qint64(icon->size) > bytesLeft)
                continue;
            const auto data = r.bytes(icon->offset, icon->size);
            if (!data)
                continue;
            entry.data = *data;
            bytesLeft -= icon->size;
            --entriesLeft;
            group.entries.append(entry);
        }
        groups.append(group);
    }
    return groups;
}

QList<IconImageEntry> readIcoFile(const ByteReader& r)
{
    QList<IconImageEntry> out;
    const auto reserved = r.u16(0), type = r.u16(2), count = r.u16(4);
    if (!reserved || !type || !count || *reserved != 0 || *type != 1 || *count == 0)
        return out;
    qint64 bytesLeft = kMaxCopiedBytes;
    for (int i = 0; i < *count; ++i) {
        const auto raw = r.bytes(6 + std::uint64_t(i) * 16, 16);
        if (!raw)
            return {};
        const ByteReader f(*raw);
        const std::uint32_t size = *f.u32(8);
        if (qint64(size) > bytesLeft)
            continue;
        IconImageEntry entry = entryFields(*raw);
        const auto data = r.bytes(*f.u32(12), size);
        if (!data || data->isEmpty())
            continue;
        entry.data = *data;
        bytesLeft -= data->size();
        out.append(entry);
    }
    return out;
}

} // namespace

QList<IconGroup> readPeIconGroups(const QByteArray& image)
{
    return readPeIconGroups(ByteReader(image));
}

QList<IconGroup> readPeIconGroups(const ByteSource& image)
{
    return readPeIconGroups(ByteReader(image));
}

int largestGroupIconWidth(const QByteArray& image)
{
    // Widths come from the group directories alone, as the resource loader
    // sees them, whether or not the image resources behind them are intact.
    int largest = 0;
    const ByteReader r(image);
    const PeImage pe(r);
    for (const ResourceLeaf& leaf : pe.resources(kRtGroupIcon)) {
        const auto count = leaf.size >= 6 ? r.u16(leaf.offset + 4) : std::nullopt;
        if (!count)
            continue;
        for (int i = 0; i < *count; ++i) {
            const std::uint64_t e = 6 + std::uint64_t(i) * 14;
            const auto width = e + 14 <= leaf.size ? r.u8(leaf.offset + e) : std::nullopt;
            if (!width)
                break;
            largest = std::max(largest, sideOf(*width));
        }
    }
    return largest;
}

QList<IconImageEntry> readIcoFile(const QByteArray& ico)
{
    return readIcoFile(ByteReader(ico));
}

QList<IconImageEntry> readIcoFile(const ByteSource& ico)
{
    return readIcoFile(ByteReader(ico));
}

QByteArray icoFileFromEntries(const QList<IconImageEntry>& entries)
{
    QByteArray out;
    auto put16 = [&out](int v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    auto put32 = [&out](std::uint32_t v) {
        for (int s = 0; s < 32; s += 8)
            out.append(char((v >> s) & 0xFF));
    };
    const int count = int(std::min<qsizetype>(entries.size(), 0xFFFF));
    put16(0);
    put16(1);
    put16(count);
    std::uint32_t offset = 6 + 16 * std::uint32_t(count);
    for (int i = 0; i < count; ++i) {
        const IconImageEntry& e = entries.at(i);
        out.append(char(e.width >= 256 ? 0 : e.width));
        out.append(char(e.height >= 256 ? 0 : e.height));
        out.append(char(e.colorCount));
        out.append(char(0));
        put16(e.planes);
        put16(e.bitCount);
        put32(std::uint32_t(e.data.size()));
        put32(offset);
        offset += std::uint32_t(e.data.size());
    }
    for (int i = 0; i < count; ++i)
        out.append(entries.at(i).data);
    return out;
}

IconImageEntry largestIconEntry(const QList<IconImageEntry>& entries)
{
    IconImageEntry best;
    for (const IconImageEntry& e : entries) {
        const qint64 area = qint64(e.width) * e.height;
        const qint64 bestArea = qint64(best.width) * best.height;
        if (best.data.isEmpty() || area > bestArea || (area == bestArea && e.bitCount > best.bitCount))
            best = e;
    }
    return best;
}
