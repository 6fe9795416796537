// The window-free parts of the support chat: control geometry, bubble
// layout, acceptable picture names, picture fitting and encoding, and the
// picture store.
#include "account/supportchat.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QtTest>

namespace {

QFont bubbleFont()
{
    QFont f;
    f.setPixelSize(12);
    return f;
}

QSize decodedSize(const QString& b64)
{
    QImage image;
    if (!image.loadFromData(QByteArray::fromBase64(b64.toLatin1()), "PNG"))
        return QSize();
    return image.size();
}

ChatMessage message(bool mine, const QString& text, const QString& img = QString())
{
    ChatMessage m;
    m.mine = mine;
    m.text = text;
    m.img = img;
    return m;
}

} // namespace

class TestSupportChat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls()
    {
        const ChatControls low = chatControls(52, false);
        QCOMPARE(low.input, QRect(QPoint(60, 374), QPoint(345, 405)));
        QCOMPARE(low.send, QRect(QPoint(350, 374), QPoint(415, 405)));
        QCOMPARE(low.pictureButton, QRect(QPoint(16, 374), QPoint(51, 405)));
        QCOMPARE(low.view, QRect(QPoint(1, 48), QPoint(418, 367)));
        QCOMPARE(low.inputDividerY, 368);
        QVERIFY(low.thumbnail.isNull());

        // A grown input moves the buttons and the thumbnail up by the growth.
        const ChatControls high = chatControls(138, true);
        QCOMPARE(high.input, QRect(QPoint(60, 288), QPoint(345, 405)));
        QCOMPARE(high.send.top() - low.send.top(), -86);
        QCOMPARE(high.thumbnail, QRect(QPoint(16, 216), QPoint(71, 271)));
        QCOMPARE(high.close, QRect(QPoint(386, 10), QPoint(409, 33)));
    }

    void bubbles()
    {
        const QList<ChatMessage> list{message(false, QStringLiteral("hi")), message(true, QStringLiteral("hello")),
                                      message(true, QString(), QStringLiteral("a.png")),
                                      message(false, QStringLiteral("look"), QStringLiteral("b.png")),
                                      message(false, QString(), QStringLiteral("missing.png"))};
        const QHash<QString, QSize> cached{{QStringLiteral("a.png"), QSize(380, 280)},
                                           {QStringLiteral("b.png"), QSize(1000, 100)}};
        const ChatLayout l = layoutChatMessages(list, bubbleFont(), [&](const QString& n) {
            return cached.value(n, QSize());
        });
        QCOMPARE(l.bubbles.size(), 5);
        const QFontMetrics fm(bubbleFont());

        // Text only: at least 34 tall, left or right aligned.
        QCOMPARE(l.bubbles[0].top(), 54);
        QCOMPARE(l.bubbles[0].left(), 16);
        QCOMPARE(l.bubbles[0].height(), 34);
        QVERIFY(l.images[0].isNull());
        QCOMPARE(l.bubbles[1].right(), 403);
        QCOMPARE(l.bubbles[1].top(), l.bubbles[0].bottom() + 11);

        // A cached 380 x 280 picture takes 190 x 140.
        QCOMPARE(l.images[2].size(), QSize(190, 140));
        QCOMPARE(l.bubbles[2].size(), QSize(206, 156));
        QCOMPARE(l.images[2].left(), 412 - 206);

        // A flat picture keeps a height of 24.
        QCOMPARE(l.images[3].size(), QSize(190, 24));
        QCOMPARE(l.images[3].left(), 24);
        QCOMPARE(l.bubbles[3].height(), fm.boundingRect(QRect(0, 0, 236, 10000), Qt::TextWordWrap,
                                                         QStringLiteral("look")).height() + 24 + 24);

        // Not cached yet: room for 160 x 120.
        QCOMPARE(l.images[4].size(), QSize(160, 120));
        QCOMPARE(l.contentHeight, l.bubbles[4].bottom() + 11);

        // A tall picture is fitted into 140 rows, never narrower than 40.
        const ChatLayout tall = layoutChatMessages({message(false, QString(), QStringLiteral("t"))}, bubbleFont(),
                                                   [](const QString&) { return QSize(10, 1000); });
        QCOMPARE(tall.images[0].size(), QSize(40, 140));

        // A long text wraps at 236 and the bubble stops at 258.
        const ChatLayout wide = layoutChatMessages({message(true, QString(60, QLatin1Char('w')) + QStringLiteral(
                                                                         " and more words to wrap the line"))},
                                                   bubbleFont(), {});
        QVERIFY(wide.bubbles[0].width() <= 258);
        QVERIFY(wide.bubbles[0].height() > 34);
    }

    void fetchableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ok");
        QTest::newRow("plain") << QStringLiteral("a_1-b.PNG") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("slash") << QStringLiteral("x/y.png") << false;
        QTest::newRow("back-slash") << QStringLiteral("x\\y.png") << false;
        QTest::newRow("dot-dot") << QStringLiteral("..png") << false;
        QTest::newRow("space") << QStringLiteral("a b.png") << false;
        QTest::newRow("local") << QStringLiteral("local:1") << false;
        QTest::newRow("query") << QStringLiteral("a.png?x=1") << false;
        QTest::newRow("non-ASCII letter") << QStringLiteral("\u00e9.png") << false;
    }
    void fetchableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, ok);
        QCOMPARE(isFetchableImageName(name), ok);
    }

    void fitting_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QSize>("fitted");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("small stays") << QSize(100, 50) << 1.0 << QSize(100, 50) << 1.0;
        QTest::newRow("wide at 1") << QSize(1900, 700) << 1.0 << QSize(190, 70) << 1.0;
        QTest::newRow("at 1.5") << QSize(2850, 2100) << 1.5 << QSize(285, 210) << 1.5;
        QTest::newRow("at 3 capped at 2") << QSize(3800, 2800) << 3.0 << QSize(380, 280) << 2.0;
        QTest::newRow("fits 2x box unchanged") << QSize(300, 200) << 2.0 << QSize(300, 200) << 1.0;
    }
    void fitting()
    {
        QFETCH(QSize, source);
        QFETCH(qreal, dpr);
        QFETCH(QSize, fitted);
        QFETCH(qreal, ratio);
        QImage image(source, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QImage out = fitChatPicture(image, dpr);
        QCOMPARE(out.size(), fitted);
        QCOMPARE(out.devicePixelRatio(), ratio);
    }

    void encoding_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("sent");
        QTest::newRow("wide") << QSize(3000, 1000) << QSize(1280, 426);
        QTest::newRow("tall") << QSize(700, 2000) << QSize(448, 1280);
        QTest::newRow("at the limit") << QSize(1280, 1280) << QSize(1280, 1280);
        QTest::newRow("small") << QSize(20, 10) << QSize(20, 10);
    }
    void encoding()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, sent);
        QImage image(source, QImage::Format_RGB32);
        image.fill(Qt::blue);
        const QString b64 = encodeChatPicture(image);
        QVERIFY(QByteArray::fromBase64(b64.toLatin1()).startsWith("\x89PNG"));
        QCOMPARE(decodedSize(b64), sent);
    }

    void pictureStore()
    {
        ChatImageCache cache;
        QImage one(1, 1, QImage::Format_RGB32);
        for (int i = 0; i < ChatImageCache::kCapacity - 1; ++i)
            cache.insert(QStringLiteral("p%1").arg(i), one);
        // Inserting a kept name again replaces the picture but does not make
        // it younger.
        cache.insert(QStringLiteral("p0"), QImage(2, 2, QImage::Format_RGB32));
        QCOMPARE(cache.value(QStringLiteral("p0")).size(), QSize(2, 2));
        QCOMPARE(cache.order().first(), QStringLiteral("p0"));
        cache.insert(QStringLiteral("p119"), one);
        QCOMPARE(cache.size(), 120);
        // The 121st name evicts the first inserted.
        cache.insert(QStringLiteral("new"), one);
        QCOMPARE(cache.size(), 120);
        QVERIFY(!cache.contains(QStringLiteral("p0")));
        QVERIFY(cache.contains(QStringLiteral("p1")));
        QVERIFY(cache.contains(QStringLiteral("new")));
        cache.remove(QStringLiteral("new"));
        QVERIFY(!cache.order().contains(QStringLiteral("new")));
        QCOMPARE(cache.size(), 119);
    }
};

QTEST_MAIN(TestSupportChat)
#include "test_supportchat.moc"
