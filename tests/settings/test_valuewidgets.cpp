// The slider, the angle dial and the eliding combo box of the settings
// dialog: pointer, keyboard and wheel, the groove geometry, the dial's
// wrap-around and the elision of long texts.
#include "settings/valuewidgets.h"

#include <QSignalSpy>
#include <QtTest>


class TestValueWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sliderPressMapsTheGroove_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("value");
        QTest::newRow("left end") << 12 << 0;
        QTest::newRow("left of the groove") << 2 << 0;
        QTest::newRow("middle") << 84 << 50;
        QTest::newRow("right end") << 156 << 100;
        QTest::newRow("over the value text") << 210 << 100;
        QTest::newRow("one step rounds") << 13 << 1;
    }
    void sliderPressMapsTheGroove()
    {
        QFETCH(int, x);
        QFETCH(int, value);
        SliderWidget s;
        s.setKind(SliderWidget::Percent);
        s.resize(220, 28);
        QCOMPARE(s.grooveLength(), 144);
        QSignalSpy changed(&s, &SliderWidget::valueChanged);
        QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(x, 14));
        QCOMPARE(s.value(), value);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toInt(), value);
        QCOMPARE(s.handleX(), std::clamp(x, 12, 156));
        QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(x, 14));
        QVERIFY(!s.isDragging());
    }

    void sliderDragEmitsEveryStepEvenUnchanged()
    {
        SliderWidget s;
        s.resize(220, 28);
        s.setValue(50);
        QSignalSpy changed(&s, &SliderWidget::valueChanged);
        QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(84, 14));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(s.value(), 50);
        QMouseEvent move(QEvent::MouseMove, QPointF(120, 14), s.mapToGlobal(QPointF(120, 14)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&s, &move);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(s.value(), 75);
        QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(120, 14));
        QMouseEvent after(QEvent::MouseMove, QPointF(12, 14), s.mapToGlobal(QPointF(12, 14)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&s, &after);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(s.value(), 75);
    }

    void sliderRangeAndSilentSetValue()
    {
        SliderWidget s;
        s.resize(220, 28);
        QSignalSpy changed(&s, &SliderWidget::valueChanged);
        s.setRange(10, 20);
        QCOMPARE(s.value(), 10);
        s.setValue(500);
        QCOMPARE(s.value(), 20);
        s.setValue(-3);
        QCOMPARE(s.value(), 10);
        QCOMPARE(changed.size(), 0);

        s.setRange(7, 7);
        QCOMPARE(s.handleX(), 12);
        QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(150, 14));
        QCOMPARE(s.value(), 7);
    }

    void sliderKindsAndTheirRoom_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("groove");
        QTest::newRow("none") << 0 << 5 << QString() << 144;
        QTest::newRow("pixels") << 1 << 5 << QStringLiteral("5px") << 144;
        QTest::newRow("percent") << 2 << 5 << QStringLiteral("5%") << 144;
        QTest::newRow("degrees") << 3 << 5 << QStringLiteral("5°") << 144;
        QTest::newRow("megabytes") << 4 << 5 << QStringLiteral("5 MB") << 132;
        QTest::newRow("seconds") << 5 << 5 << QStringLiteral("5 s") << 144;
        QTest::newRow("fps") << 6 << 5 << QStringLiteral("5 fps") << 144;
        QTest::newRow("unknown kind shows percent") << 9 << 5 << QStringLiteral("5%") << 144;
    }
    void sliderKindsAndTheirRoom()
    {
        QFETCH(int, kind);
        QFETCH(int, value);
        QFETCH(QString, text);
        QFETCH(int, groove);
        SliderWidget s;
        s.resize(220, 28);
        s.setKind(kind);
        s.setValue(value);
        QCOMPARE(s.valueText(), text);
        QCOMPARE(s.grooveLength(), groove);
    }

    void sliderKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("expected");
        QTest::newRow("right") << int(Qt::Key_Right) << 50 << 51;
        QTest::newRow("up") << int(Qt::Key_Up) << 50 << 51;
        QTest::newRow("left") << int(Qt::Key_Left) << 50 << 49;
        QTest::newRow("down at the bottom") << int(Qt::Key_Down) << 0 << 0;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 50 << 60;
        QTest::newRow("page down past the end") << int(Qt::Key_PageDown) << 4 << 0;
        QTest::newRow("home") << int(Qt::Key_Home) << 50 << 0;
        QTest::newRow("end") << int(Qt::Key_End) << 50 << 100;
    }
    void sliderKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, start);
        QFETCH(int, expected);
        SliderWidget s;
        s.resize(220, 28);
        s.setValue(start);
        QCOMPARE(s.focusPolicy(), Qt::StrongFocus);
        QSignalSpy changed(&s, &SliderWidget::valueChanged);
        QTest::keyClick(&s, Qt::Key(key));
        QCOMPARE(s.value(), expected);
        QCOMPARE(changed.size(), 1);
    }

    void sliderLeavesTheWheelToItsParent()
    {
        QWidget parent;
        auto* s = new SliderWidget(&parent);
        s->resize(220, 28);
        s->setValue(40);
        QSignalSpy changed(s, &SliderWidget::valueChanged);
        QWheelEvent e(QPointF(50, 14), QPointF(50, 14), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        e.setAccepted(true);
        QApplication::sendEvent(s, &e);
        QVERIFY(!e.isAccepted());
        QCOMPARE(s->value(), 40);
        QCOMPARE(changed.size(), 0);
    }

    void dialAngles_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<int>("angle");
        QTest::newRow("right") << QPointF(40, 23) << 0;
        QTest::newRow("down") << QPointF(23, 40) << 90;
        QTest::newRow("left") << QPointF(5, 23) << 180;
        QTest::newRow("up") << QPointF(23, 5) << 270;
        QTest::newRow("just above right wraps") << QPointF(40, 22) << 357;
        QTest::newRow("just below right") << QPointF(40, 24) << 3;
        QTest::newRow("centre") << QPointF(23, 23) << -1;
        QTest::newRow("centre after rounding") << QPointF(22.6, 23.4) << -1;
    }
    void dialAngles()
    {
        QFETCH(QPointF, pos);
        QFETCH(int, angle);
        AngleDial d;
        d.resize(46, 46);
        QCOMPARE(d.angleAt(pos), angle);
    }

    void dialPointerAndWrapAround()
    {
        AngleDial d;
        d.resize(46, 46);
        QCOMPARE(d.angle(), 45);
        QSignalSpy changed(&d, &AngleDial::angleChanged);
        QTest::mousePress(&d, Qt::LeftButton, {}, QPoint(23, 23));
        QCOMPARE(d.angle(), 45);
        QCOMPARE(changed.size(), 0);
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 23), d.mapToGlobal(QPointF(40, 23)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&d, &move);
        QCOMPARE(d.angle(), 0);
        QCOMPARE(changed.size(), 1);
        QTest::keyClick(&d, Qt::Key_Left);
        QCOMPARE(d.angle(), 359);
        QTest::keyClick(&d, Qt::Key_Right);
        QCOMPARE(d.angle(), 0);
        QTest::keyClick(&d, Qt::Key_PageUp);
        QCOMPARE(d.angle(), 345);
        QCOMPARE(changed.size(), 4);
        d.setAngle(-1);
        QCOMPARE(d.angle(), 359);
        d.setAngle(720);
        QCOMPARE(d.angle(), 0);
    }

    void dialPaintsWithoutArcAtZero()
    {
        AngleDial d;
        d.resize(46, 46);
        d.setAngle(0);
        QImage zero(d.size(), QImage::Format_ARGB32_Premultiplied);
        zero.fill(Qt::transparent);
        d.render(&zero);
        d.setAngle(180);
        QImage half(d.size(), QImage::Format_ARGB32_Premultiplied);
        half.fill(Qt::transparent);
        d.render(&half);
        // The lower half of the ring carries the arc only at 180 degrees.
        const QColor ringBottom = zero.pixelColor(23, 43);
        const QColor arcBottom = half.pixelColor(23, 43);
        QVERIFY2(ringBottom != arcBottom, qPrintable(ringBottom.name() + arcBottom.name()));
    }

    void comboElidesAndShowsTheFullTextInItsList()
    {
        ElideCombo c;
        const QString longName = QStringLiteral("A very long font family name that never fits");
        c.addItem(QStringLiteral("Default"), QString());
        c.addItem(longName, longName);
        c.addItem(QStringLiteral("Short"), QStringLiteral("Short"));
        c.resize(60, 28);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        QCOMPARE(c.elideWidth(), 40);
        c.setCurrentIndex(1);
        c.setProperty("fullText", longName);
        c.updateElidedText();
        const QString shown = c.itemText(1);
        QVERIFY(shown != longName);
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QVERIFY(c.fontMetrics().horizontalAdvance(shown) <= 40);

        c.resize(400, 28);
        QVERIFY(c.elideWidth() == 350);
        QCOMPARE(c.itemText(1), longName);

        // Another choice gives the shortened item its whole name back.
        c.resize(60, 28);
        QVERIFY(c.itemText(1) != longName);
        c.setCurrentIndex(2);
        QCOMPARE(c.itemText(1), longName);
    }

    void comboIgnoresTheWheel()
    {
        QWidget parent;
        auto* c = new ElideCombo(&parent);
        c->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        c->setCurrentIndex(1);
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        e.setAccepted(true);
        QApplication::sendEvent(c, &e);
        QVERIFY(!e.isAccepted());
        QCOMPARE(c->currentIndex(), 1);
    }

    void comboKeyboardChangesTheChoice()
    {
        ElideCombo c;
        c.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QSignalSpy changed(&c, &QComboBox::currentIndexChanged);
        QTest::keyClick(&c, Qt::Key_Down);
        QCOMPARE(c.currentIndex(), 1);
        QCOMPARE(changed.size(), 1);
    }
};

QTEST_MAIN(TestValueWidgets)
#include "test_valuewidgets.moc"
