#include "platform/peicons.h"
#include "platform/shelllink.h"
#include "readercorpus.h"

#include <QtTest>

// Every input here is damaged on purpose. The readers are built with the
// address and undefined-behaviour sanitizers, so an out-of-bounds read or an
// overflow aborts the run; what the test itself checks is that the results
// stay sane (no image larger than its data, no runaway sizes).
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
        for (const QByteArray& bytes : readercorpus::mutations(seed, 3000, seedValue++)) {
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
