// The settings dialog: from the click that opens it on a running panel to its
// first painted frame, against a bare frameless dialog of the same size
// opened the same way; the same in a process that shows nothing else; later
// opens; and a slider drag on the live panel, from one pointer step to the
// panel's next painted frame with the preview in it.
#include "panel/mainwindow.h"
#include "settings/settingsdialog.h"
#include "settings/valuewidgets.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Counts the paints of the first settings dialog that appears, for a dialog
// the panel makes and shows itself.
class SettingsPaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && qobject_cast<SettingsDialog*>(watched))
            ++paints;
        return false;
    }
};

// Runs the event loop until `w` has painted once more than `before`; the
// time spent is the caller's to measure.
template <typename Counter>
void waitForPaint(Counter& counter, int before)
{
    QElapsedTimer guard;
    guard.start();
    while (counter.paints <= before && guard.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

template <typename Make>
double openToFirstFrame(Make make)
{
    QElapsedTimer t;
    t.start();
    QDialog* d = make();
    if (qEnvironmentVariableIsSet("QY_BENCH_DETAIL"))
        std::printf("  construct %.2f ms\n", t.nsecsElapsed() / 1e6);
    PaintCounter counter;
    d->installEventFilter(&counter);
    d->show();
    if (qEnvironmentVariableIsSet("QY_BENCH_DETAIL"))
        std::printf("  shown %.2f ms\n", t.nsecsElapsed() / 1e6);
    waitForPaint(counter, 0);
    if (qEnvironmentVariableIsSet("QY_BENCH_DETAIL")) {
        QElapsedTimer g;
        g.start();
        d->grab();
        std::printf("  painted %.2f ms, another paint %.2f ms\n", t.nsecsElapsed() / 1e6, g.nsecsElapsed() / 1e6);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    d->removeEventFilter(&counter);
    delete d;
    QCoreApplication::processEvents();
    return ms;
}

double percentile(QList<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(std::min<qsizetype>(v.size() - 1, qsizetype(p * v.size())));
}

} // namespace

int main(int argc, char** argv)
{
    // Own home and XDG folders: the window loads and saves its files there.
    QTemporaryDir sandbox;
    for (const char* var : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(var, QFile::encodeName(sandbox.path() + QLatin1Char('/') + QString::fromLatin1(var)));
    // A frame on a real X server when there is one: the offscreen platform
    // shows a window without creating or mapping anything, which makes a
    // bare dialog nearly free.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    const bool alone = argc > 1 && qstrcmp(argv[1], "--without-panel") == 0;
    QApplication app(argc, argv);
    const QByteArray on = QGuiApplication::platformName().toUtf8();
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));

    AppSettings settings;
    QList<PanelGroup> groups;
    auto makeSettings = [&]() -> QDialog* {
        return new SettingsDialog(&settings, sandbox.path(), {}, {}, {}, {}, {}, {}, {}, &groups, {}, {}, {}, {});
    };
    QSize size;
    {
        std::unique_ptr<QDialog> probe(makeSettings());
        size = probe->size();
    }
    auto makeBare = [&]() -> QDialog* {
        auto* d = new QDialog;
        d->setWindowFlags(d->windowFlags() | Qt::FramelessWindowHint);
        d->setAttribute(Qt::WA_TranslucentBackground);
        d->setFixedSize(size);
        return d;
    };

    if (alone) {
        // Nothing has drawn text or opened a window in this process yet: the
        // dialog pays for the font list and the glyph caches itself.
        const double coldSettings = openToFirstFrame(makeSettings);
        const double coldBare = openToFirstFrame(makeBare);
        std::printf("settings dialog first open without the panel (%s): %.2f ms\n", on.constData(), coldSettings);
        std::printf("bare dialog first open without the panel (%s): %.2f ms\n", on.constData(), coldBare);
        std::printf("ratio settings dialog first open to bare dialog first open without the panel (%s): %.2f\n",
                    on.constData(), coldBare > 0 ? coldSettings / coldBare : 0);
        return 0;
    }

    // The panel as a user has it, a moment after its start, before anyone
    // has opened a dialog.
    MainWindow w;
    w.resize(900, 600);
    w.show();
    {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    // The first open, the way a user makes it: the pointer rests on the
    // settings button, which opens the gear menu; a moment later (a hand
    // takes longer than this to reach the menu's row) the "settings" row is
    // clicked. Timed from the click.
    TitleBarActions* bar = w.titleBarActions();
    if (!bar)
        return 1;
    bar->showGearMenu();
    if (!bar->gearMenu())
        return 1;
    {
        QElapsedTimer reach;
        reach.start();
        while (reach.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    SettingsPaintCounter firstPaints;
    app.installEventFilter(&firstPaints);
    QElapsedTimer first;
    first.start();
    Q_EMIT bar->gearMenu()->actionRequested(GearMenuPopup::OpenSettings);
    waitForPaint(firstPaints, 0);
    const double coldSettings = first.nsecsElapsed() / 1e6;
    app.removeEventFilter(&firstPaints);
    if (!w.openSettingsDialog())
        return 1;
    w.openSettingsDialog()->reject();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const double coldBare = openToFirstFrame(makeBare);

    QList<double> settingsMs;
    QList<double> bareMs;
    for (int i = 0; i < 30; ++i) {
        settingsMs << openToFirstFrame(makeSettings);
        bareMs << openToFirstFrame(makeBare);
    }
    const double openMedian = percentile(settingsMs, 0.5);
    const double bareMedian = percentile(bareMs, 0.5);
    std::printf("settings dialog first open to first frame (%s): %.2f ms\n", on.constData(), coldSettings);
    std::printf("bare dialog first open to first frame (%s): %.2f ms\n", on.constData(), coldBare);
    std::printf("ratio settings dialog first open to bare dialog first open (%s): %.2f\n", on.constData(),
                coldBare > 0 ? coldSettings / coldBare : 0);
    std::printf("settings dialog open to first frame median (%s): %.2f ms\n", on.constData(), openMedian);
    std::printf("bare dialog open to first frame median (%s): %.2f ms\n", on.constData(), bareMedian);
    std::printf("ratio settings dialog open to bare dialog open (%s): %.2f\n", on.constData(),
                bareMedian > 0 ? openMedian / bareMedian : 0);
    std::fflush(stdout);
    {
        // The same first open in a process of its own, for comparison.
        QProcess alone;
        alone.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        alone.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--without-panel")});
        alone.waitForFinished(60000);
        std::fputs(alone.readAllStandardOutput().constData(), stdout);
    }

    // A drag on the live panel: each pointer step previews the working copy
    // through the main window and ends with the panel painted.
    w.openSettings();
    SettingsDialog* dialog = w.openSettingsDialog();
    if (!dialog)
        return 1;
    dialog->setCurrentPage(1);
    QCoreApplication::processEvents();
    PaintCounter panelPaints;
    w.installEventFilter(&panelPaints);

    if (qEnvironmentVariableIsSet("QY_BENCH_DETAIL")) {
        QElapsedTimer a;
        a.start();
        for (int i = 0; i < 50; ++i)
            w.applyAppSettings(dialog->workingSettings());
        const double apply = a.nsecsElapsed() / 50e6;
        a.restart();
        for (int i = 0; i < 50; ++i)
            w.repaint();
        const double paint = a.nsecsElapsed() / 50e6;
        a.restart();
        for (int i = 0; i < 50; ++i)
            QCoreApplication::processEvents();
        std::printf("  apply %.2f ms, panel repaint %.2f ms, idle events %.2f ms\n", apply, paint, a.nsecsElapsed() / 50e6);
    }
    for (const int number : {2, 3, 0}) {
        SliderWidget* slider = dialog->sliderByNumber(number);
        if (!slider || !slider->isVisible())
            return 1;
        QList<double> steps;
        QList<double> handled;
        QList<double> queued;
        const bool detail = qEnvironmentVariableIsSet("QY_BENCH_DETAIL");
        const int length = slider->grooveLength();
        {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(12, 14), slider->mapToGlobal(QPointF(12, 14)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(slider, &press);
            QCoreApplication::processEvents();
        }
        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i <= length; i += 3) {
                const int x = 12 + (round % 2 == 0 ? i : length - i);
                const int before = panelPaints.paints;
                QElapsedTimer t;
                t.start();
                QMouseEvent move(QEvent::MouseMove, QPointF(x, 14), slider->mapToGlobal(QPointF(x, 14)), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(slider, &move);
                if (detail)
                    handled << t.nsecsElapsed() / 1e6;
                // The work the step queued, then the panel's frame painted at
                // once rather than at the platform's next frame tick.
                QCoreApplication::processEvents();
                if (detail)
                    queued << t.nsecsElapsed() / 1e6;
                w.repaint();
                steps << t.nsecsElapsed() / 1e6;
                if (panelPaints.paints == before)
                    return 2;
            }
        }
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(12, 14), slider->mapToGlobal(QPointF(12, 14)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &release);
        if (detail)
            std::printf("  handled p50 %.2f, queued work p50 %.2f ms\n", percentile(handled, 0.5), percentile(queued, 0.5));
        const char* name = number == 2 ? "corner radius" : number == 3 ? "opacity" : "icon size";
        const double p95 = percentile(steps, 0.95);
        std::printf("%s slider step to panel frame p50 (%s): %.2f ms\n", name, on.constData(), percentile(steps, 0.5));
        std::printf("%s slider step to panel frame p95 (%s): %.2f ms\n", name, on.constData(), p95);
        std::printf("ratio %s slider step p95 to 16 ms frame (%s): %.2f\n", name, on.constData(), p95 / 16.0);
    }
    dialog->reject();
    return 0;
}
