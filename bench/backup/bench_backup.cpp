// Snapshot creation and restore of a generated data root of about 200 MB
// (thousands of small files, a few large ones) against `zip -r -6` and
// `unzip` of the same folder in the same run; pwsh start-up included.
#include "backup/backupengine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Text-like bytes: words drawn from a small vocabulary, so that deflate has
// real work to do, as on settings, layouts and icon caches.
QByteArray sampleBytes(QRandomGenerator& rng, qint64 size)
{
    static const char* words[] = { "panel", "group", "item", "icon", "path", "name", "\"hidden\": false", "{", "}",
                                   "0x2F6FBF", "/usr/share/applications/", ".desktop", "\n", "  " };
    QByteArray out;
    out.reserve(size + 32);
    while (out.size() < size) {
        if (rng.bounded(8) == 0)
            out += QByteArray::number(rng.generate(), 36);
        else
            out += words[rng.bounded(int(sizeof(words) / sizeof(words[0])))];
        out += ' ';
    }
    out.truncate(size);
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

qint64 timeCommand(const QString& program, const QStringList& args, const QString& workDir)
{
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return -1;
    }
    return clock.elapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString root = work.path() + QStringLiteral("/root");
    QRandomGenerator rng(20240601);
    qint64 total = 0;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray bytes = sampleBytes(rng, 1024 + rng.bounded(24 * 1024));
        total += bytes.size();
        if (!writeFile(root + QStringLiteral("/d%1/f%2.json").arg(i % 40).arg(i), bytes))
            return 1;
    }
    for (int i = 0; i < 4; ++i) {
        const QByteArray bytes = sampleBytes(rng, 38 * 1024 * 1024);
        total += bytes.size();
        if (!writeFile(root + QStringLiteral("/large%1.bin").arg(i), bytes))
            return 1;
    }
    std::printf("data root: %.1f MB\n", double(total) / 1048576.0);

    const qint64 zipMs = timeCommand(QStringLiteral("zip"),
                                     { QStringLiteral("-r"), QStringLiteral("-6"), QStringLiteral("-q"),
                                       work.path() + QStringLiteral("/baseline.zip"), QStringLiteral(".") },
                                     root);
    const qint64 unzipMs = timeCommand(QStringLiteral("unzip"),
                                       { QStringLiteral("-q"), work.path() + QStringLiteral("/baseline.zip"),
                                         QStringLiteral("-d"), work.path() + QStringLiteral("/unzipped") },
                                       work.path());

    QString error;
    QElapsedTimer clock;
    clock.start();
    const QString snapshot = BackupEngine::createSnapshot(work.path() + QStringLiteral("/Backups"), root, error, false,
                                                          {}, nullptr, nullptr);
    const qint64 createMs = clock.elapsed();
    if (snapshot.isEmpty()) {
        std::fprintf(stderr, "createSnapshot: %s\n", qPrintable(error));
        return 1;
    }
    clock.restart();
    const bool restored = BackupEngine::restoreSnapshot(snapshot, work.path() + QStringLiteral("/restored"), error, {},
                                                        nullptr, nullptr);
    const qint64 restoreMs = clock.elapsed();
    if (!restored) {
        std::fprintf(stderr, "restoreSnapshot: %s\n", qPrintable(error));
        return 1;
    }
    if (zipMs <= 0 || unzipMs <= 0)
        return 1;
    std::printf("zip -r -6: %lld ms\n", static_cast<long long>(zipMs));
    std::printf("snapshot creation: %lld ms\n", static_cast<long long>(createMs));
    std::printf("unzip: %lld ms\n", static_cast<long long>(unzipMs));
    std::printf("snapshot restore: %lld ms\n", static_cast<long long>(restoreMs));
    std::printf("snapshot size: %.1f MB\n", double(QFileInfo(snapshot).size()) / 1048576.0);
    std::printf("baseline zip size: %.1f MB\n", double(QFileInfo(work.path() + QStringLiteral("/baseline.zip")).size()) / 1048576.0);
    std::printf("ratio creation: %.2f\n", double(createMs) / double(zipMs));
    std::printf("ratio restore: %.2f\n", double(restoreMs) / double(unzipMs));
    return 0;
}
