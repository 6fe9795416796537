#include "readercorpus.h"

#include "iconfixtures.h"

#include <QRandomGenerator>

namespace readercorpus {

using namespace iconfixtures;

QList<QByteArray> programSeeds()
{
    const QList<GroupFixture> groups{
        {1, {}, {{squareIcon(16, Qt::red), false}, {squareIcon(48, Qt::green), true}}},
        {0, QStringLiteral("APP"), {{squareIcon(32, Qt::blue), false}}}};
    return {buildPeWithIcons(groups, true), buildPeWithIcons(groups, false),
            buildIcoFile({{squareIcon(16, Qt::red), false}, {squareIcon(24, Qt::blue), true}})};
}

QList<QByteArray> shortcutSeeds()
{
    LinkFixture full;
    full.localPath = QStringLiteral("C:\\Windows\\notepad.exe");
    full.name = QStringLiteral("n");
    full.relativePath = QStringLiteral("..\\notepad.exe");
    full.workingDir = QStringLiteral("C:\\");
    full.arguments = QStringLiteral("/a");
    full.iconLocation = QStringLiteral("C:\\x.dll");
    full.environmentTarget = QStringLiteral("%windir%\\notepad.exe");
    full.iconEnvironment = QStringLiteral("%windir%\\x.dll");
    full.withIdList = true;
    LinkFixture ansi = full;
    ansi.unicode = false;
    LinkFixture bare;
    bare.runAsUser = true;
    return {buildShellLink(full), buildShellLink(ansi), buildShellLink(bare)};
}

QList<QByteArray> mutations(const QByteArray& seed, int count, quint32 seedValue)
{
    static const quint32 boundaries[] = {0, 1, 2, 3, 0x7F, 0x80, 0xFF, 0xFFFF, 0x7FFFFFFF,
                                         0x80000000u, 0xFFFFFFFFu, 0x1000, 0x200};
    QRandomGenerator random(seedValue);
    QList<QByteArray> out;
    for (int n = 0; n < count; ++n) {
        QByteArray b = seed;
        const int edits = 1 + int(random.bounded(4));
        for (int e = 0; e < edits && !b.isEmpty(); ++e) {
            const int at = int(random.bounded(quint32(b.size())));
            switch (random.bounded(5)) {
            case 0:
                b.truncate(at);
                break;
            case 1:
                b[at] = char(b[at] ^ (1 << random.bounded(8)));
                break;
            case 2: {
                // Field writes land on 2-byte boundaries, where the formats
                // keep their sizes and offsets.
                const quint32 v = boundaries[random.bounded(int(std::size(boundaries)))];
                const int aligned = at & ~1;
                for (int i = 0; i < 4 && aligned + i < b.size(); ++i)
                    b[aligned + i] = char((v >> (8 * i)) & 0xFF);
                break;
            }
            case 3:
                b.insert(at, QByteArray(int(random.bounded(16)) + 1, char(random.bounded(256))));
                break;
            default:
                b.remove(at, int(random.bounded(16)) + 1);
                break;
            }
        }
        out.append(b);
    }
    return out;
}

} // namespace readercorpus
