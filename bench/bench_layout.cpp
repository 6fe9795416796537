// Load and save of a 10,000-item layout against a plain QJsonDocument parse
// and serialise of the same bytes: what the model's rules cost on top of the
// JSON library itself.
#include "panel/layoutfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QList<PanelGroup> makeGroups(int itemCount)
{
    QList<PanelGroup> groups(20);
    for (int g = 0; g < groups.size(); ++g)
        groups[g].name = QStringLiteral("分组 %1").arg(g);
    for (int i = 0; i < itemCount; ++i) {
        PanelItem it;
        it.path = QStringLiteral("/home/user/Documents/项目/folder-%1/file-%2.txt").arg(i % 97).arg(i);
        it.name = QStringLiteral("文件 %1").arg(i);
        it.hidden = i % 13 == 0;
        if (i % 5 == 0)
            it.customIcon = QStringLiteral("/home/user/icons/icon-%1.png").arg(i);
        if (i % 7 == 0) {
            it.workDir = QStringLiteral("/home/user/work");
            it.args = QStringLiteral("--open \"%1\"").arg(i);
        }
        it.runAsAdmin = i % 11 == 0;
        groups[i % groups.size()].items.append(it);
    }
    return groups;
}

// Best of several runs, in milliseconds.
double bestOf(int runs, const std::function<void()>& fn)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        fn();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray bytes = serializeLayout(makeGroups(10000));
    const QString fallback = QStringLiteral("默认分组");
    const int runs = 15;

    QList<PanelGroup> loaded;
    const double load = bestOf(runs, [&] { loaded = parseLayout(bytes, fallback).groups; });
    QJsonDocument doc;
    const double parse = bestOf(runs, [&] { doc = QJsonDocument::fromJson(bytes); });

    QByteArray out;
    const double save = bestOf(runs, [&] { out = serializeLayout(loaded); });
    const double serialise = bestOf(runs, [&] { out = doc.toJson(QJsonDocument::Indented); });

    if (out != bytes || loaded.isEmpty()) {
        std::fprintf(stderr, "bench_layout: round trip changed the document\n");
        return 1;
    }
    std::printf("layout bytes: %lld bytes\n", static_cast<long long>(bytes.size()));
    std::printf("layout load: %.3f ms\n", load);
    std::printf("raw json parse: %.3f ms\n", parse);
    std::printf("ratio layout load: %.3f\n", load / parse);
    std::printf("layout save: %.3f ms\n", save);
    std::printf("raw json serialise: %.3f ms\n", serialise);
    std::printf("ratio layout save: %.3f\n", save / serialise);
    std::printf("layout load+save: %.3f ms\n", load + save);
    std::printf("raw json parse+serialise: %.3f ms\n", parse + serialise);
    std::printf("ratio layout load+save: %.3f\n", (load + save) / (parse + serialise));
    return 0;
}
