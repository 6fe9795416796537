// Every translucent window of the program rendered as the X server would
// show it: with a compositor its see-through corners and shadow stay; without
// one nothing see-through may remain inside what the window shows, since
// every such pixel comes out black.
#include "app/windowshape.h"

#include "account/kickconfirmdialog.h"
#include "account/logindialog.h"
#include "account/noticedialog.h"
#include "account/sessionkickeddialog.h"
#include "account/supportchatdialog.h"
#include "backup/backupprogressdialog.h"
#include "market/appmarketdialog.h"
#include "model/panelmodel.h"
#include "platform/compositor.h"
#include "protect/lockdialog.h"
#include "settings/settingsdialog.h"
#include "testsupport.h"
#include "updater/updatedialog.h"
#include "widgets/floaticon.h"
#include "widgets/gearmenupopup.h"
#include "widgets/hintcarddialog.h"
#include "widgets/logviewerdialog.h"
#include "widgets/menustyle.h"
#include "widgets/msgdialog.h"
#include "widgets/namedialog.h"
#include "widgets/shortcuteditdialog.h"
#include "widgets/toast.h"

#include <QGraphicsEffect>
#include <QLayout>
#include <QMenu>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Factory = std::function<QWidget*()>;

// Alpha below which the black of a non-composited window shows more than
// the window's own colour.
constexpr int kBlackShows = 128;

QImage renderAll(QWidget* w)
{
    QImage img(w->size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(),
              QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    return img;
}

// The first shown pixel that would come out black, as "x,y alpha"; empty
// when there is none.
QString firstBlackPixel(QWidget* w)
{
    const QImage img = renderAll(w);
    const QRegion shown = w->mask().isEmpty() ? QRegion(w->rect()) : w->mask();
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            if (a < kBlackShows && shown.contains(QPoint(x, y)))
                return QStringLiteral("%1,%2 alpha %3").arg(x).arg(y).arg(a);
        }
    }
    return {};
}

QLayout* cardLayout(QWidget* w)
{
    QLayout* l = w->layout();
    return l && l->count() == 1 && l->itemAt(0)->widget() && l->itemAt(0)->widget()->graphicsEffect() ? l : nullptr;
}

bool shadowShows(QWidget* w)
{
    QLayout* l = cardLayout(w);
    if (!l || l->contentsMargins().isNull() || !l->itemAt(0)->widget()->graphicsEffect()->isEnabled())
        return false;
    // Below the card, inside the margin: neither empty nor solid.
    const QImage img = renderAll(w);
    const int a = qAlpha(img.pixel(w->width() / 2, w->height() - l->contentsMargins().bottom() / 2 - 1));
    return a > 0 && a < 255;
}

} // namespace

class TestWindowShape : public QObject {
    Q_OBJECT
    QList<PanelGroup> m_groups;
    AppSettings m_settings;

private Q_SLOTS:
    void cleanup() { Compositor::instance().setOverride(std::nullopt); }

    void outlineRegion_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("radius");
        QTest::addColumn<bool>("cornerInside");
        QTest::newRow("square corners") << QSize(40, 30) << 0.0 << true;
        QTest::newRow("rounded") << QSize(40, 30) << 8.0 << false;
        QTest::newRow("radius past half the side") << QSize(40, 10) << 30.0 << false;
    }
    void outlineRegion()
    {
        QFETCH(QSize, size);
        QFETCH(qreal, radius);
        QFETCH(bool, cornerInside);
        const QRegion r = WindowShape::outlineRegion(QRect(QPoint(0, 0), size), radius);
        QCOMPARE(r.contains(QPoint(0, 0)), cornerInside);
        QCOMPARE(r.contains(QPoint(size.width() - 1, size.height() - 1)), cornerInside);
        QVERIFY(r.contains(QPoint(size.width() / 2, 0)));
        QVERIFY(r.contains(QPoint(0, size.height() / 2)));
        QCOMPARE(r.boundingRect(), QRect(QPoint(0, 0), size));
    }

    void everyTranslucentWindow_data()
    {
        QTest::addColumn<Factory>("make");
        const QString dataDir = testsupport::testRoot() + QStringLiteral("/shape-data");
        QTest::newRow("settings dialog") << Factory([this, dataDir] {
            return new SettingsDialog(&m_settings, dataDir, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, &m_groups, nullptr, nullptr, nullptr, nullptr);
        });
        QTest::newRow("gear menu") << Factory([] { return new GearMenuPopup; });
        QTest::newRow("item menu") << Factory([] {
            auto* menu = new QMenu;
            styleMenu(menu);
            menu->addAction(QStringLiteral("打开"));
            menu->addSeparator();
            menu->addAction(QStringLiteral("Remove"));
            return menu;
        });
        QTest::newRow("toast") << Factory([] {
            auto* t = new Toast;
            t->showMessage(QStringLiteral("已复制路径"), 0);
            return t;
        });
        QTest::newRow("sign-in") << Factory([] { return new LoginDialog; });
        QTest::newRow("market") << Factory([] { return new AppMarketDialog; });
        QTest::newRow("support chat") << Factory([] { return new SupportChatDialog; });
        QTest::newRow("float tile") << Factory([] {
            QPixmap pm(32, 32);
            pm.fill(Qt::darkGreen);
            return new FloatIcon(pm, QStringLiteral("tile"), QPoint(40, 40));
        });
        QTest::newRow("hint card") << Factory([] {
            return new HintCardDialog(QStringLiteral("背景"), QStringLiteral("<p>text</p>"), QStringLiteral("OK"),
                                      QStringLiteral("Later"));
        });
        QTest::newRow("message card") << Factory([] {
            return new MsgDialog(nullptr, 0, QStringLiteral("Title"), QStringLiteral("Body text"),
                                 {QStringLiteral("OK")}, 0);
        });
        QTest::newRow("progress card") << Factory([] {
            return new BackupProgressDialog(nullptr, QStringLiteral("Working…"), [] {});
        });
        QTest::newRow("notice") << Factory([] {
            return new NoticeDialog(1, QStringLiteral("Notice"), QStringLiteral("Body"), QString(), QString());
        });
        QTest::newRow("kick confirm") << Factory([] {
            return new KickConfirmDialog({DeviceEntry{QStringLiteral("pc"), QStringLiteral("10.0.0.2"), QString()}}, 2);
        });
        QTest::newRow("session kicked") << Factory([] { return new SessionKickedDialog(QStringLiteral("reason")); });
        QTest::newRow("password prompt") << Factory([] { return new LockDialog(0); });
        QTest::newRow("update") << Factory([] { return new UpdateDialog; });
        QTest::newRow("shortcut editor") << Factory([] {
            return new ShortcutEditDialog(QStringLiteral("/usr/bin/true"), QStringLiteral("true"), QString(), false,
                                          ShortcutInfo{}, QPixmap());
        });
        QTest::newRow("log viewer") << Factory([dataDir] { return new LogViewerDialog(dataDir); });
        QTest::newRow("name prompt") << Factory([] { return new NameDialog(false); });
    }

    // The window is opened without a compositor, then one starts and quits
    // again while it stays open.
    void everyTranslucentWindow()
    {
        QFETCH(Factory, make);
        Compositor::instance().setOverride(false);
        std::unique_ptr<QWidget> w(make());
        QVERIFY(w->testAttribute(Qt::WA_TranslucentBackground));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const bool card = cardLayout(w.get()) != nullptr;

        QCOMPARE(firstBlackPixel(w.get()), QString());
        if (card)
            QVERIFY(cardLayout(w.get())->contentsMargins().isNull());

        Compositor::instance().setOverride(true);
        QCoreApplication::processEvents();
        QVERIFY(w->mask().isEmpty());
        if (card) {
            QVERIFY(shadowShows(w.get()));
        } else {
            // The corner is see-through, not cut away.
            QVERIFY(qAlpha(renderAll(w.get()).pixel(0, 0)) < kBlackShows);
        }

        Compositor::instance().setOverride(false);
        QCoreApplication::processEvents();
        QCOMPARE(firstBlackPixel(w.get()), QString());
    }
};

QTEST_MAIN(TestWindowShape)
#include "test_windowshape.moc"
