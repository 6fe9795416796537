#include "account/kickconfirmdialog.h"

#include "account/accountdialogpaint.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kWidth = 560;
constexpr int kRowHeight = 46;
constexpr int kMaxListedRows = 3;
constexpr int kMinNameWidth = 40;

QString warningText()
{
    return translate(u"继续登录后，上方列出的电脑将退出该账户，需要重新登录才能继续使用。");
}

const QImage& logoImage()
{
    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    return logo;
}

void paintMonitorGlyph(QPainter& p, const QColor& color, int x, int y)
{
    p.setPen(QPen(color, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(x + 0.5, y + 13.5, 14, 10), 2, 2);
    p.drawLine(QPointF(x + 7.5, y + 24.5), QPointF(x + 7.5, y + 27.5));
    p.drawLine(QPointF(x + 3.5, y + 28), QPointF(x + 11.5, y + 28));
}

} // namespace

KickConfirmDialog::KickConfirmDialog(const QList<DeviceEntry>& willKick, int maxDevices, QWidget* parent)
    : QDialog(parent)
    , m_rows(displayRows(willKick))
    , m_maxDevices(maxDevices)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(10, themeCornerRadius() + 2)); });
    setWindowModality(Qt::ApplicationModal);
    setModal(true);
    setMouseTracking(true);
    relayout();
}

QList<DeviceEntry> KickConfirmDialog::displayRows(const QList<DeviceEntry>& willKick)
{
    if (willKick.isEmpty())
        return {DeviceEntry{translate(u"另一台电脑"), QString(), QString()}};
    if (willKick.size() <= kMaxListedRows)
        return willKick;
    QList<DeviceEntry> rows = willKick.mid(0, kMaxListedRows);
    rows.append(DeviceEntry{translate(u"…另有 %1 台").arg(willKick.size() - kMaxListedRows), QString(), QString()});
    return rows;
}

QString KickConfirmDialog::badgeText() const
{
    return m_maxDevices < 1 ? translate(u"不限设备数") : translate(u"授权 %1 台设备").arg(m_maxDevices);
}

KickConfirmDialog::RowText KickConfirmDialog::rowText(const QRect& row, const QString& ip)
{
    const int right = row.x() + 471;
    const int tx = row.x() + 24;
    int available = right - tx;
    int ipWidth = 0;
    if (!ip.isEmpty()) {
        ipWidth = QFontMetrics(dialogFont(12, false)).horizontalAdvance(ip) + 8;
        available -= ipWidth;
    }
    available = qMax(available, kMinNameWidth);
    return {tx, available, tx + available, ipWidth};
}

void KickConfirmDialog::relayout()
{
    const int r = int(m_rows.size());
    const QFontMetrics small(dialogFont(11, false));
    const QFontMetrics body(dialogFont(13, false));
    const int b = small.horizontalAdvance(badgeText());

    Layout l;
    l.logo = QRect(28, 22, 28, 28);
    l.close = QRect(512, 20, 28, 28);
    l.badge = QRect(472 - b, 24, b + 26, 22);
    l.title = QRect(69, 20, qMax(391 - b, 140), 32);
    l.listPanel = QRect(28, 68, 504, kRowHeight * r + 20);
    for (int i = 0; i < r; ++i)
        l.rows.append(QRect(44, 76 + kRowHeight * i, 472, kRowHeight));
    const int textHeight = body.boundingRect(QRect(0, 0, 504, 400), Qt::TextWordWrap, warningText()).height();
    const int h = qMax(textHeight + 4, 20);
    l.warning = QRect(28, kRowHeight * r + 105, 504, h);
    const int d = qMax(body.horizontalAdvance(translate(u"增加授权设备数")) + 60, 150);
    const int c = qMax(body.horizontalAdvance(translate(u"继续登录")) + 56, 112);
    l.devicesButton = QRect(28, kRowHeight * r + 126 + h, d, 40);
    l.continueButton = QRect(532 - c, kRowHeight * r + 126 + h, c, 40);
    l.size = QSize(kWidth, kRowHeight * r + 188 + h);
    m_layout = l;
    setFixedSize(l.size);
}

int KickConfirmDialog::hitTest(const QPoint& pos) const
{
    if (m_layout.continueButton.contains(pos))
        return ContinueButton;
    if (m_layout.devicesButton.contains(pos))
        return DevicesButton;
    if (m_layout.close.contains(pos))
        return CloseButton;
    return None;
}

void KickConfirmDialog::mouseMoveEvent(QMouseEvent* event)
{
    const int hit = hitTest(event->position().toPoint());
    if (hit != m_hover) {
        m_hover = hit;
        update();
    }
    setCursor(hit != None ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void KickConfirmDialog::leaveEvent(QEvent* event)
{
    if (m_hover != None) {
        m_hover = None;
        update();
    }
    QDialog::leaveEvent(event);
}

void KickConfirmDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int hit = hitTest(event->position().toPoint());
    if (hit != None) {
        m_hover = m_pressed = hit;
        update();
    } else {
        m_hover = m_pressed = None;
    }
}

void KickConfirmDialog::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = m_pressed;
    m_pressed = None;
    update();
    if (event->button() != Qt::LeftButton || pressed == None || pressed != m_hover)
        return;
    switch (pressed) {
    case ContinueButton:
        accept();
        break;
    case DevicesButton:
        launcher().openUrl(serviceUrl(QStringLiteral("/#devices")));
        break;
    case CloseButton:
        reject();
        break;
    default:
        break;
    }
}

void KickConfirmDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    const bool dark = pal.isDark;
    const Layout& l = m_layout;
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);

    const int radius = qMax(10, themeCornerRadius() + 2);
    p.setPen(QPen(pal.c[kAccountBorderSlot], 1));
    p.setBrush(dark ? QColor(0x2A, 0x2E, 0x38) : QColor(Qt::white));
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);

    if (!logoImage().isNull())
        p.drawImage(l.logo, logoImage());

    const QFont titleFont = dialogFont(17, true);
    p.setFont(titleFont);
    p.setPen(pal.c[kAccountTitleSlot]);
    p.drawText(l.title, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(titleFont).elidedText(translate(u"该账户已在其他电脑登录"), Qt::ElideRight, l.title.width()));

    p.setPen(Qt::NoPen);
    p.setBrush(dark ? QColor(0x3B, 0x2C, 0x31) : QColor(0xFD, 0xED, 0xED));
    p.drawRoundedRect(l.badge, 11, 11);
    p.setFont(dialogFont(11, false));
    p.setPen(accountWarningRed());
    p.drawText(l.badge, Qt::AlignCenter, badgeText());

    paintDialogCloseButton(p, pal, l.close, m_hover == CloseButton);

    const QColor line = dark ? QColor(0x3E, 0x44, 0x52) : QColor(0xE6, 0xEB, 0xF2);
    p.setPen(QPen(line, 1));
    p.setBrush(dark ? QColor(0x33, 0x38, 0x44) : QColor(0xF6, 0xF8, 0xFB));
    p.drawRoundedRect(l.listPanel, 10, 10);

    const QFont nameFont = dialogFont(13, true);
    const QFont ipFont = dialogFont(12, false);
    const QFont seenFont = dialogFont(11, false);
    for (int i = 0; i < l.rows.size() && i < m_rows.size(); ++i) {
        const QRect& row = l.rows.at(i);
        const DeviceEntry& e = m_rows.at(i);
        const int x = row.x();
        const int y = row.y();
        const int right = x + 471;
        if (i > 0) {
            p.setPen(QPen(line, 1));
            p.drawLine(x + 26, y, right, y);
        }
        paintMonitorGlyph(p, pal.c[kAccountSecondarySlot], x, y);
        const RowText t = rowText(row, e.ip);
        p.setFont(nameFont);
        p.setPen(pal.c[kAccountTextSlot]);
        p.drawText(QRect(t.nameX, y + 5, t.nameWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(nameFont).elidedText(e.name, Qt::ElideRight, t.nameWidth));
        p.setPen(pal.c[kAccountSecondarySlot]);
        if (!e.ip.isEmpty()) {
            p.setFont(ipFont);
            p.drawText(QRect(t.ipX, y + 5, t.ipWidth, 20), Qt::AlignLeft | Qt::AlignVCenter, e.ip);
        }
        if (!e.lastSeen.isEmpty()) {
            p.setFont(seenFont);
            p.drawText(QRect(QPoint(t.nameX, y + 23), QPoint(right - 1, y + 39)), Qt::AlignLeft | Qt::AlignVCenter,
                       translate(u"最后活跃 %1").arg(e.lastSeen));
        }
    }

    p.setFont(dialogFont(13, false));
    p.setPen(pal.c[kAccountSecondarySlot]);
    p.drawText(l.warning, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, warningText());

    paintDialogButton(p, pal, l.devicesButton, translate(u"增加授权设备数"), false, m_hover == DevicesButton,
                      m_pressed == DevicesButton, true);

    QColor red = accountWarningRed();
    if (m_pressed == ContinueButton)
        red = red.darker(112);
    else if (m_hover == ContinueButton)
        red = red.lighter(110);
    p.setPen(QPen(red, 1));
    p.setBrush(red);
    p.drawRoundedRect(l.continueButton, 10, 10);
    p.setFont(dialogFont(13, false));
    p.setPen(Qt::white);
    p.drawText(l.continueButton, Qt::AlignCenter, translate(u"继续登录"));
}
