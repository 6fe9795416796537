// Every page of the settings dialog in both languages, as painted: each text
// is caught where the painter draws it and measured with the metrics of its
// own font. No text may stick out of the button it is written on, nor be cut
// off at the side by the area it is drawn into, nor speak of another system.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "model/panelmodel.h"
#include "settings/settingslayout.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QPaintEngine>
#include <QTemporaryDir>
#include <QPaintDevice>
#include <QtTest>

#include <memory>

namespace {

struct DrawnText {
    QString text;
    QRectF device;    // where it lies on the window
    QRectF logical;   // in the painter's coordinates when drawn
    QRectF clip;      // the painter's clip then (logical), null without one
};

// Records the text items drawn on it, and nothing else.
class TextRecorder : public QPaintEngine {
public:
    TextRecorder() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QList<DrawnText> texts;
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath&) override {}
    void drawRects(const QRectF*, int) override {}
    void drawRects(const QRect*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        const QString text = item.text().trimmed();
        if (text.isEmpty())
            return;
        QPainter* painter = this->painter();
        const QRectF logical(p.x(), p.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        DrawnText d{text, painter->transform().mapRect(logical), logical,
                    painter->hasClipping() ? painter->clipBoundingRect() : QRectF()};
        texts.append(d);
    }
    Type type() const override { return QPaintEngine::User; }
};

class RecordingDevice : public QPaintDevice {
public:
    explicit RecordingDevice(QSize size) : m_metrics(size, QImage::Format_ARGB32_Premultiplied) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QList<DrawnText>& texts() { return m_engine.texts; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        // The screen's measures, so that fonts come out as on the window.
        return m_metrics.metric(m);
    }

private:
    struct Metrics : QImage {
        using QImage::QImage;
        using QImage::metric;
    } m_metrics;
    mutable TextRecorder m_engine;
};

// A settings dialog over one sample group, shown on its page.
struct ShownDialog {
    AppSettings settings;
    QList<PanelGroup> groups;
    std::unique_ptr<SettingsDialog> dialog;

    explicit ShownDialog(int page) : groups(1)
    {
        groups.first().name = QStringLiteral("常用");
        PanelItem item;
        item.path = QStringLiteral("/usr/bin/true");
        item.name = QStringLiteral("true");
        groups.first().items.append(item);
        const auto nothing = [] {};
        dialog = std::make_unique<SettingsDialog>(
            &settings, testsupport::testRoot() + QStringLiteral("/data"), nothing, [](const AppSettings&) {}, nothing,
            nothing, nothing, nothing, [](bool) {}, &groups, nothing, [](const QString&) {},
            [](const QString&, const QMap<QString, QString>&) {}, nothing);
        dialog->show();
        if (QTest::qWaitForWindowExposed(dialog.get()))
            dialog->setCurrentPage(page);
    }

    // Paints the page at every scroll position, top to bottom.
    template <typename Check>
    void paintScrolledThrough(Check check)
    {
        const int maxScroll = std::max(0, dialog->pageLayout().maxScroll);
        for (int scroll = 0;; scroll = std::min(maxScroll, scroll + 200)) {
            dialog->setScrollOffset(scroll);
            QCoreApplication::processEvents();
            RecordingDevice device(dialog->size());
            dialog->render(&device);
            check(scroll, std::as_const(device.texts()));
            if (scroll >= maxScroll)
                break;
        }
    }
};

} // namespace

class TestSettingsTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { setLanguage(0); }

    void everyPageFits_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("page");
        for (int language : {0, 1}) {
            for (int page : settingspage::kNavOrder)
                QTest::addRow("%s page %d", language ? "English" : "Chinese", page) << language << page;
        }
    }
    void everyPageFits()
    {
        QFETCH(int, language);
        QFETCH(int, page);
        setLanguage(language);
        ShownDialog shown(page);
        QVERIFY(shown.dialog->isVisible());
        SettingsDialog& dialog = *shown.dialog;

        QStringList faults;
        shown.paintScrolledThrough([&](int scroll, const QList<DrawnText>& texts) {
            const SettingsPageLayout& l = dialog.pageLayout();
            const QRect viewport = settingsgeom::contentViewport(l.width, l.height);
            for (const DrawnText& t : texts) {
                // Words made for another system.
                for (const char* foreign : {"Windows", "微软雅黑", "Microsoft YaHei", "Recycle Bin"}) {
                    if (t.text.contains(QString::fromUtf8(foreign)))
                        faults << QStringLiteral("wording: \"%1\"").arg(t.text);
                }
                // A line scrolled out of view is drawn but clipped away.
                const bool visible = t.clip.isNull()
                                  || (t.logical.center().y() > t.clip.top() && t.logical.center().y() < t.clip.bottom());
                if (!visible)
                    continue;
                // Cut at a side by the area it is drawn into.
                if (!t.clip.isNull() && (t.logical.left() < t.clip.left() - 1 || t.logical.right() > t.clip.right() + 1))
                    faults << QStringLiteral("cut: \"%1\"").arg(t.text);
                for (const HitRect& h : l.hits) {
                    if (h.kind != settingshit::kButton)
                        continue;
                    const QRect button = h.content ? h.rect.translated(0, -scroll) : h.rect;
                    if (h.content && !viewport.contains(button))
                        continue;
                    if (button.contains(t.device.center().toPoint())
                        && (t.device.left() < button.left() - 1 || t.device.right() > button.right() + 2))
                        faults << QStringLiteral("wider than its button: \"%1\" %2..%3 in %4..%5")
                                      .arg(t.text)
                                      .arg(t.device.left())
                                      .arg(t.device.right())
                                      .arg(button.left())
                                      .arg(button.right());
                }
            }
        });
        faults.removeDuplicates();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // On a common full-HD screen the dialog has room enough for these English
    // texts; they must be drawn whole, not elided.
    void englishTextsWholeOnFullHd_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("text");
        QTest::addRow("one-row card title") << settingspage::kAppearance << QStringLiteral("Custom Program Logo");
        QTest::addRow("one-row card title before an editor")
            << settingspage::kAppearance << QStringLiteral("Custom Program Name");
        QTest::addRow("title before a background thumbnail's room")
            << settingspage::kAppearance << QStringLiteral("Landscape Background");
        QTest::addRow("show/hide column") << settingspage::kAppearance << QStringLiteral("Always show");
        QTest::addRow("font field") << settingspage::kAppearance << QString(); // the default font's entry
    }
    void englishTextsWholeOnFullHd()
    {
        QFETCH(int, page);
        QFETCH(QString, text);
        setLanguage(1);
        if (text.isEmpty())
            text = defaultFontItemText();
        QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(1920, 1080));
        ShownDialog shown(page);
        QVERIFY(shown.dialog->isVisible());
        QStringList near;
        bool whole = false;
        shown.paintScrolledThrough([&](int, const QList<DrawnText>& texts) {
            for (const DrawnText& t : texts) {
                if (t.text == text && (t.clip.isNull() || t.clip.contains(t.logical.adjusted(1, 1, -1, -1))))
                    whole = true;
                else if (t.text.left(4) == text.left(4))
                    near << t.text;
            }
        });
        near.removeDuplicates();
        QVERIFY2(whole, qPrintable(QStringLiteral("drawn as: ") + near.join(QStringLiteral(" | "))));
    }
};

int main(int argc, char** argv)
{
    // The offscreen platform's screen is small by default; this one is the
    // size of a common desktop.
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(R"({"screens": [{"name": "fullhd", "x": 0, "y": 0, "width": 1920, "height": 1080,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
               < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    TestSettingsTexts test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_settingstexts.moc"
