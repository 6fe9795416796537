#include "platform/bytereader.h"
#include "platform/peicons.h"
#include "platform/shelllink.h"
#include "readercorpus.h"

#include <QtTest>

#include <cstring>

namespace {

// The bytes of a file that shrank to `cut` after it was opened: the size
// is the old one, reads past the cut fail.
class ShrunkSource : public ByteSource {
public:
    ShrunkSource(const QByteArray& bytes, std::uint64_t cut) : m_bytes(bytes), m_cut(cut) {}
    std::uint64_t size() const override { return std::uint64_t(m_bytes.size()); }
    bool read(std::uint64_t offset, std::uint64_t length, char* out) const override
    {
        if (offset > m_cut || length > m_cut - offset)
            return false;
        if (length > 0)
            std::memcpy(out, m_bytes.constData() + offset, length);
        return true;
    }

private:
    QByteArray m_bytes;
    std::uint64_t m_cut;
};

} // namespace

// Every input here is damaged on purpose. The readers are built with the
// address and undefined-behaviour sanitizers and the library's own checks,
// so an out-of-bounds read, an overflow or a read of a value that could not
// be had aborts the run; what the test itself checks is that the results
// stay sane (no image larger than its data, no runaway sizes). Each input is
// read once more as a file that shrank after it was opened.
class TestReadersCorpus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void programFiles();
    void shortcuts();
};

void TestReadersCorpus::programFiles()
{
    quint32 seedValue = 1;
    for (const QByteArray& seed : readercorpus::programSeeds()) {
        QVERIFY(!readPeIconGroups(seed).isEmpty() || !readIcoFile(seed).isEmpty());
        quint32 cutValue = seedValue * 7919u;
        for (const QByteArray& bytes : readercorpus::mutations(seed, 3000, seedValue++)) {
            cutValue = cutValue * 1103515245u + 12345u;
            const ShrunkSource shrunk(bytes, bytes.isEmpty() ? 0 : cutValue % quint32(bytes.size()));
            for (const IconGroup& g : readPeIconGroups(shrunk)) {
                for (const IconImageEntry& e : g.entries)
                    QVERIFY(e.data.size() <= bytes.size() && e.width >= 1 && e.width <= 256);
            }
            for (const IconImageEntry& e : readIcoFile(shrunk))
                QVERIFY(e.data.size() <= bytes.size());
            for (const IconGroup& g : readPeIconGroups(bytes)) {
                for (const IconImageEntry& e : g.entries)
                    QVERIFY(e.data.size() <= bytes.size() && e.width >= 1 && e.width <= 256);
            }
            const int largest = largestGroupIconWidth(bytes);
            QVERIFY(largest >= 0 && largest <= 256);
            const QList<IconImageEntry> ico = readIcoFile(bytes);
            for (const IconImageEntry& e : ico)
                QVERIFY(e.data.size() <= bytes.size());
            if (!ico.isEmpty())
                QVERIFY(!icoFileFromEntries({largestIconEntry(ico)}).isEmpty());
        }
    }
}

void TestReadersCorpus::shortcuts()
{
    quint32 seedValue = 100;
    for (const QByteArray& seed : readercorpus::shortcutSeeds()) {
        QVERIFY(parseShellLink(seed, nullptr));
        for (const QByteArray& bytes : readercorpus::mutations(seed, 3000, seedValue++)) {
            ShellLinkData link;
            QString error;
            if (parseShellLink(bytes, &link, &error)) {
                QVERIFY(link.target().size() <= bytes.size());
                QVERIFY(link.arguments.size() <= bytes.size());
            } else {
                QVERIFY(!error.isEmpty());
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestReadersCorpus)
#include "test_readers_corpus.moc"
