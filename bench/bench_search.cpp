// Search over 10,000 items: from a keystroke's debounced refresh to the
// result list painted, the 150 ms debounce itself left out.
#include "panel/layoutfile.h"
#include "panel/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    // Own home and XDG folders: the window loads and saves its files there.
    QTemporaryDir sandbox;
    for (const char* var : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(var, QFile::encodeName(sandbox.path() + QLatin1Char('/') + QString::fromLatin1(var)));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));

    QList<PanelGroup> groups(20);
    for (int g = 0; g < groups.size(); ++g)
        groups[g].name = QStringLiteral("分组 %1").arg(g);
    for (int i = 0; i < 10000; ++i) {
        PanelItem it;
        it.path = QStringLiteral("/home/user/apps/tool-%1/run-%2").arg(i % 97).arg(i);
        it.name = i % 9 == 0 ? QString() : QStringLiteral("Program %1 工具").arg(i);
        groups[i % groups.size()].items.append(it);
    }
    const QString root = sandbox.path() + QStringLiteral("/XDG_DATA_HOME/Tarnavel/TarnavelPanel");
    QDir().mkpath(root);
    QFile layout(root + QStringLiteral("/layout.json"));
    if (!layout.open(QIODevice::WriteOnly) || layout.write(serializeLayout(groups)) < 0)
        return 1;
    layout.close();

    MainWindow w;
    w.resize(900, 600);
    w.show();
    w.toggleSearch();
    QCoreApplication::processEvents();

    // A user typing, deleting and typing again: short keys match thousands
    // (capped at 200 rows), long ones a few.
    const QStringList keys = {QStringLiteral("p"), QStringLiteral("pr"), QStringLiteral("pro"),
                              QStringLiteral("program 1"), QStringLiteral("program 12"),
                              QStringLiteral("program 123"), QStringLiteral("program 1234"),
                              QStringLiteral("工具"), QStringLiteral("run-9"), QStringLiteral("zzz")};
    QList<double> ms;
    for (int round = 0; round < 30; ++round) {
        for (const QString& key : keys) {
            QElapsedTimer t;
            t.start();
            w.refreshSearch(key);
            w.searchResultList()->repaint();
            ms << t.nsecsElapsed() / 1e6;
        }
    }
    std::sort(ms.begin(), ms.end());
    auto pct = [&ms](double p) { return ms.at(qMin(ms.size() - 1, qsizetype(p * ms.size()))); };
    std::printf("search keystroke to results p50: %.2f ms\n", pct(0.50));
    std::printf("search keystroke to results p95: %.2f ms\n", pct(0.95));
    std::printf("ratio search p95 to 5 ms goal: %.2f\n", pct(0.95) / 5.0);
    return 0;
}
