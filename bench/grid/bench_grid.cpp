// Painting the icon grid with 500 items in view, their icons already in the
// shared map and scaled once: the cost of one frame, against a baseline
// that draws the same pixmaps and names with bare painter calls.
#include "widgets/icongrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kItems = 500;
constexpr int kColumns = 25;

// Median (and, through `best`, the fastest) of several runs, in
// milliseconds per frame. The median is the figure; the fastest shows what
// the frame costs when nothing else competes for the machine.
double medianOf(int runs, const std::function<void()>& frame, double* best = nullptr)
{
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer clock;
        clock.start();
        frame();
        t.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    if (best)
        *best = t.front();
    return t[t.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QList<PanelGroup> groups(1);
    QMap<QString, QPixmap> icons;
    for (int i = 0; i < kItems; ++i) {
        PanelItem it;
        it.path = QStringLiteral("/home/user/Desktop/program-%1.desktop").arg(i);
        it.name = i % 3 == 0 ? QStringLiteral("一个名字相当长的应用程序 %1").arg(i) : QStringLiteral("App %1").arg(i);
        groups[0].items.append(it);
        QPixmap pm(128, 128);
        pm.fill(QColor::fromHsv(i * 7 % 360, 160, 220));
        icons.insert(it.path, pm);
    }
    int current = 0;
    // A child, as in the panel: the window's own background is not part of
    // the grid's frame.
    QWidget window;
    IconGrid grid(&window);
    grid.setModel(&groups, &current);
    grid.setPixmapCache(&icons);
    // 25 columns of 96 px, 20 rows of 112 px: all 500 items in view.
    window.resize(16 + kColumns * 96, 20 * 112 + 16);
    grid.resize(window.size());
    if (grid.geometryNow().columns != kColumns || grid.geometryNow().maxScroll != 0) {
        std::fprintf(stderr, "bench_grid: unexpected layout\n");
        return 1;
    }

    QImage target(grid.size(), QImage::Format_ARGB32_Premultiplied);
    auto paintGrid = [&] {
        QPainter p(&target);
        grid.render(&p);
    };
    paintGrid(); // scales every icon and lays out every name once
    if (grid.scaledIconCount() != kItems) {
        std::fprintf(stderr, "bench_grid: icons not cached (%d)\n", grid.scaledIconCount());
        return 1;
    }
    double fastest = 0;
    const double frame = medianOf(60, paintGrid, &fastest);

    // Baseline: the same pictures and names with plain painter calls.
    QList<QPixmap> scaled;
    for (const PanelItem& it : groups[0].items)
        scaled << icons.value(it.path).scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QFont font = grid.font();
    font.setPixelSize(12);
    auto paintBare = [&] {
        QPainter p(&target);
        p.fillRect(target.rect(), Qt::white);
        p.setFont(font);
        for (int i = 0; i < kItems; ++i) {
            const QRect cell(8 + (i % kColumns) * 96, 8 + (i / kColumns) * 112, 88, 104);
            p.drawPixmap(cell.left() + 20, cell.top() + 8, scaled.at(i));
            p.drawText(QRect(cell.left() + 4, cell.top() + 62, 80, 32), Qt::AlignHCenter | Qt::TextWordWrap,
                       groups[0].items.at(i).name);
        }
    };
    const double bare = medianOf(60, paintBare);

    std::printf("grid frame 500 items: %.3f ms\n", frame);
    std::printf("grid frame 500 items fastest: %.3f ms\n", fastest);
    std::printf("bare painter frame 500 items: %.3f ms\n", bare);
    std::printf("ratio grid frame 500 items: %.3f\n", frame / bare);
    return 0;
}
