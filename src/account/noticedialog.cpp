#include "account/noticedialog.h"

#include "account/authmanager.h"
#include "account/deviceidentity.h"
#include "account/onlinerequest.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QDebug>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <utility>

namespace {

constexpr int kWidth = 470;
constexpr int kMinHeight = 264;
constexpr int kHeightBesidesBody = 146;
constexpr int kScreenReserve = 186;
constexpr int kLineWidth = 420;
constexpr int kSpaceBreakReach = 12;
constexpr int kCornerRadius = 16;
constexpr int kReportTimeoutMs = 8000;

constexpr int kHeaderSlot = 1;
constexpr int kCardOutlineSlot = 12;
constexpr int kTextSlot = 16;
constexpr int kSecondaryTextSlot = 18;
constexpr int kHoverFillSlot = 25;
constexpr int kAccentSlot = 28;
constexpr int kNeutralOutlineSlot = 32;

const QPixmap& logo()
{
    static const QPixmap pixmap(QStringLiteral(":/res/resources/logo.png"));
    return pixmap;
}

// One manager for the reports of every popup; it lives as long as the process.
QNetworkAccessManager* reportManager()
{
    static QNetworkAccessManager* const nam = new QNetworkAccessManager();
    return nam;
}

QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

int lineStepOf(const QFontMetricsF& fm)
{
    return qMax(1, int(std::lround(fm.lineSpacing() * 1.12)));
}

} // namespace

QStringList wrapNoticeBody(const QString& body, const QFontMetricsF& fm, int lineWidth, int maxLines)
{
    QStringList out;
    const QStringList paragraphs = body.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    for (const QString& paragraph : paragraphs) {
        if (paragraph.isEmpty()) {
            out << QString();
            continue;
        }
        QString rest = paragraph;
        while (!rest.isEmpty()) {
            int lo = 0;
            int hi = int(rest.size());
            while (lo < hi) {
                const int mid = (lo + hi + 1) / 2;
                if (fm.horizontalAdvance(rest.left(mid)) <= lineWidth)
                    lo = mid;
                else
                    hi = mid - 1;
            }
            if (lo == rest.size()) {
                out << rest;
                break;
            }
            int cut = qMax(lo, 1);
            const int space = int(rest.lastIndexOf(QLatin1Char(' '), cut - 1));
            if (space > 0 && cut - space < kSpaceBreakReach)
                cut = space;
            out << rest.left(cut);
            rest = rest.mid(cut).trimmed();
        }
    }
    if (out.isEmpty())
        out << QString();
    maxLines = qMax(1, maxLines);
    if (out.size() > maxLines) {
        out = out.mid(0, maxLines);
        out.last() += QStringLiteral(" \u2026");
    }
    return out;
}

NoticeLayout noticeLayout(int height, bool hasLink)
{
    NoticeLayout l;
    l.size = QSize(kWidth, height);
    l.closeHit = QRect(432, 12, 16, 16);
    if (hasLink) {
        l.primary = QRect(348, height - 54, 100, 34);
        l.secondary = QRect(266, height - 54, 72, 34);
    } else {
        l.primary = QRect(356, height - 54, 92, 34);
    }
    l.lineWidth = kLineWidth;
    return l;
}

int NoticeDialog::heightFor(int lineStep, int lineCount)
{
    return qMax(lineStep * lineCount + kHeightBesidesBody, kMinHeight);
}

NoticeDialog::NoticeDialog(qint64 id, const QString& title, const QString& body, const QString& url,
                           const QString& titleColor, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , id(id)
    , title(title.trimmed())
    , body(body)
    , url(url.trimmed())
    , titleColor(titleColor.trimmed())
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(kCornerRadius); });
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setWindowTitle(translate(u"消息"));
    QFont base = font();
    base.setFamily(uiFontFamily());
    setFont(base);

    const QFontMetricsF fm(fontAt(13, 400));
    lineStep = lineStepOf(fm);
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    const int available = where ? where->availableGeometry().height() : 1080;
    lines = wrapNoticeBody(this->body, fm, kLineWidth, qMax(1, (available - kScreenReserve) / lineStep));
    const int height = heightFor(lineStep, int(lines.size()));
    setFixedSize(kWidth, height);
    m_layout = noticeLayout(height, !this->url.isEmpty());
}

QFont NoticeDialog::fontAt(int pixelSize, int weight) const
{
    QFont f = font();
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

bool NoticeDialog::isDarkCard() const
{
    return currentTheme().c[kHeaderSlot].lightness() < 128;
}

void NoticeDialog::popup()
{
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        move(primary->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
}

void NoticeDialog::reportAction(const QString& action)
{
    if (id <= 0)
        return;
    // Written by hand: the keys keep their order, and the id stays an exact
    // integer however large (a JSON object would sort the keys and carry
    // the id as a double).
    const QByteArray body = "{\"notice_id\":" + QByteArray::number(id) + ",\"device\":" + jsonString(deviceId())
        + ",\"action\":" + jsonString(action) + '}';
    QNetworkReply* reply = postOnline(reportManager(), serviceActionUrl(QStringLiteral("/api/notice.php"),
                                                                        QStringLiteral("report")),
                                      body, kReportTimeoutMs);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool transportError = reply->error() != QNetworkReply::NoError;
        if (!transportError && status >= 200 && status <= 299)
            return;
        qWarning() << "notice ack failed: http =" << status << "transportError ="
                   << (transportError ? "true" : "false") << "err =" << reply->errorString();
    });
}

void NoticeDialog::dismiss()
{
    reportAction(QStringLiteral("closed"));
    Q_EMIT dismissed();
    close();
}

void NoticeDialog::openLink()
{
    reportAction(QStringLiteral("opened"));
    const QUrl link(url, QUrl::TolerantMode);
    const QString scheme = link.scheme().toLower();
    if (!link.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || link.host().isEmpty())
        return;
    QString error;
    if (!launcher().openUrl(link, &error))
        qWarning() << "notice link not opened:" << error;
}

int NoticeDialog::elementAt(const QPoint& pos) const
{
    if (m_layout.closeHit.contains(pos))
        return CloseIcon;
    if (m_layout.primary.contains(pos))
        return Primary;
    if (!m_layout.secondary.isNull() && m_layout.secondary.contains(pos))
        return Secondary;
    return None;
}

void NoticeDialog::mousePressEvent(QMouseEvent* event)
{
    dragging = false;
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = elementAt(event->position().toPoint());
    if (m_pressed != None)
        return;
    QWindow* handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    dragging = true;
    dragOffset = event->globalPosition().toPoint() - pos();
}

void NoticeDialog::mouseMoveEvent(QMouseEvent* event)
{
    const int hit = elementAt(event->position().toPoint());
    const bool close = hit == CloseIcon;
    const bool primary = hit == Primary;
    const bool secondary = hit == Secondary;
    if (close != hoverClose || primary != hoverPrimary || secondary != hoverSecondary) {
        hoverClose = close;
        hoverPrimary = primary;
        hoverSecondary = secondary;
        setCursor(hit != None ? Qt::PointingHandCursor : Qt::ArrowCursor);
        update();
    }
    if (dragging) {
        move(event->globalPosition().toPoint() - dragOffset);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void NoticeDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragging = false;
    const int pressed = std::exchange(m_pressed, int(None));
    const int hit = elementAt(event->position().toPoint());
    if (hit == None || hit != pressed)
        return;
    const bool hasLink = !url.isEmpty();
    if (hit == CloseIcon || hit == Secondary || (hit == Primary && !hasLink))
        dismiss();
    else if (hit == Primary)
        openLink();
}

void NoticeDialog::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void NoticeDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void NoticeDialog::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (deliveredSent)
        return;
    deliveredSent = true;
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            reportAction(QStringLiteral("delivered"));
    });
}

void NoticeDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    const bool dark = isDarkCard();
    const int w = width();
    const int h = height();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(Qt::NoPen);
    for (int i = 2; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, dark ? 30 : 14));
        p.drawRoundedRect(QRectF(i, i, w - 2 * i, h - 3 * i), kCornerRadius, kCornerRadius);
    }
    const QColor cardFill = dark ? pal.c[kHeaderSlot].lighter(112) : QColor(Qt::white);
    p.setBrush(cardFill);
    p.setPen(QPen(pal.c[kCardOutlineSlot], 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), kCornerRadius, kCornerRadius);

    const QPixmap& mark = logo();
    if (!mark.isNull()) {
        p.save();
        p.setOpacity(dark ? 0.1 : 0.07);
        p.drawPixmap(QRect((w - 216) / 2, (h - 216) / 2 - 6, 216, 216), mark);
        p.restore();
    }

    // Title with the logo before it, centred together.
    const QFont titleFont = fontAt(16, 600);
    p.setFont(titleFont);
    QColor titleInk = pal.c[kTextSlot];
    const QColor custom(titleColor);
    if (!titleColor.isEmpty() && custom.isValid()) {
        titleInk = custom;
        // A colour close to the card's own would vanish into it.
        if (std::abs(custom.lightness() - cardFill.lightness()) < 60)
            titleInk = cardFill.lightness() > 128 ? custom.darker(170) : custom.lighter(170);
    }
    const QFontMetricsF titleMetrics(titleFont);
    const QString shownTitle = titleMetrics.elidedText(title, Qt::ElideRight, 404);
    const qreal tw = titleMetrics.horizontalAdvance(shownTitle);
    const qreal x0 = (448 - tw) / 2;
    if (!mark.isNull()) {
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setOpacity(dark ? 0.95 : 1.0);
        p.drawPixmap(QRectF(x0, 19, 16, 16), mark, QRectF(mark.rect()));
        p.restore();
    }
    p.setPen(titleInk);
    p.drawText(QRectF(x0 + 22, 15, tw, 24), Qt::AlignLeft | Qt::AlignVCenter, shownTitle);

    if (hoverClose) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.c[kHoverFillSlot]);
        p.drawEllipse(QRectF(428, 8, 24, 24));
    }
    p.setPen(QPen(hoverClose ? pal.c[kAccentSlot] : pal.c[kSecondaryTextSlot], 1.6));
    p.drawLine(QPointF(435, 15), QPointF(443, 23));
    p.drawLine(QPointF(443, 15), QPointF(435, 23));

    // The site caption between two divider strokes.
    const QFont captionFont = fontAt(11, 400);
    p.setFont(captionFont);
    p.setPen(pal.c[kSecondaryTextSlot]);
    const QString site = serviceUrl(QStringLiteral("/")).host();
    p.drawText(QRectF(0, 44, w, 16), Qt::AlignCenter, site);
    const qreal f = QFontMetricsF(captionFont).horizontalAdvance(site);
    const qreal inset = (w - f) / 2;
    QColor divider = pal.c[kCardOutlineSlot];
    divider.setAlpha(dark ? 200 : 160);
    p.setPen(QPen(divider, 1));
    p.drawLine(QPointF(74, 52.5), QPointF(inset - 12, 52.5));
    p.drawLine(QPointF(inset + f + 12, 52.5), QPointF(396, 52.5));

    const QFont bodyFont = fontAt(13, 400);
    p.setFont(bodyFont);
    QColor bodyInk = pal.c[kTextSlot];
    if (!dark)
        bodyInk.setAlpha(235);
    p.setPen(bodyInk);
    const qreal lineHeight = QFontMetricsF(bodyFont).lineSpacing() * 1.12;
    int y = m_layout.bodyTop;
    for (const QString& line : lines) {
        p.drawText(QRectF(m_layout.bodyLeft, y, m_layout.lineWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   line);
        y += lineStep;
    }

    auto button = [&](const QRect& r, const QString& text, bool primary, bool hovered) {
        p.setFont(fontAt(13, 400));
        if (primary) {
            p.setPen(Qt::NoPen);
            p.setBrush(hovered ? pal.c[kAccentSlot].darker(108) : pal.c[kAccentSlot]);
            p.drawRoundedRect(r, 8, 8);
            p.setPen(Qt::white);
        } else {
            p.setBrush(hovered ? QBrush(pal.c[kHoverFillSlot]) : QBrush(Qt::NoBrush));
            p.setPen(QPen(pal.c[kNeutralOutlineSlot], 1));
            p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
            p.setPen(pal.c[kSecondaryTextSlot]);
        }
        p.drawText(r, Qt::AlignCenter, text);
    };
    if (!url.isEmpty()) {
        button(m_layout.secondary, translate(u"关闭"), false, hoverSecondary);
        button(m_layout.primary, translate(u"查看详情"), true, hoverPrimary);
    } else {
        button(m_layout.primary, translate(u"我知道了"), true, hoverPrimary);
    }
}

void NoticeDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        setWindowTitle(translate(u"消息"));
    QWidget::changeEvent(event);
}
