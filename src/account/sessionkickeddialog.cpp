#include "account/sessionkickeddialog.h"

#include "account/accountdialogpaint.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

constexpr int kWidth = 560;
constexpr int kTextWidth = 504;

const QImage& logoImage()
{
    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    return logo;
}

int wrappedHeight(const QFont& font, int width, const QString& text)
{
    return QFontMetrics(font).boundingRect(QRect(0, 0, width, 400), Qt::TextWordWrap, text).height();
}

} // namespace

KickReason classifyKickReason(const QString& reason)
{
    if (reason.contains(QStringLiteral("管理员")))
        return KickReason::Admin;
    if (reason.contains(QStringLiteral("其他设备")) || reason.contains(QStringLiteral("其他电脑"))
        || reason.contains(QStringLiteral("别处")))
        return KickReason::Elsewhere;
    return KickReason::Expired;
}

SessionKickedDialog::SessionKickedDialog(const QString& reason, QWidget* parent)
    : QDialog(parent)
    , m_kind(classifyKickReason(reason))
    , m_reason(reason)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(themeCornerRadius() + 2, 10)); });
    setModal(false);
    setMouseTracking(true);
    relayout();
}

QString SessionKickedDialog::titleText() const
{
    switch (m_kind) {
    case KickReason::Elsewhere:
        return translate(u"账户已在别处登录");
    case KickReason::Admin:
        return translate(u"账户已被强制下线");
    case KickReason::Expired:
        break;
    }
    return translate(u"登录状态已失效");
}

QString SessionKickedDialog::bodyText() const
{
    switch (m_kind) {
    case KickReason::Elsewhere:
        return translate(u"您的账户已在其他电脑登录，本机已退出该账户。");
    case KickReason::Admin:
        return translate(u"管理员已结束本机的登录状态，本机已退出该账户。");
    case KickReason::Expired:
        break;
    }
    return translate(u"本机的登录状态已失效，需要重新登录。");
}

QString SessionKickedDialog::warningText() const
{
    switch (m_kind) {
    case KickReason::Elsewhere:
        return translate(u"如果不是您本人操作，请立即登录官网修改密码。");
    case KickReason::Admin:
        return translate(u"如需继续使用请重新登录，有疑问请联系客服。");
    case KickReason::Expired:
        break;
    }
    return QString();
}

QString SessionKickedDialog::actionText() const
{
    return m_kind == KickReason::Elsewhere ? translate(u"去官网改密码") : translate(u"我知道了");
}

QString SessionKickedDialog::statusText() const
{
    return m_reason.isEmpty() ? QString() : translate(u"服务端提示：%1").arg(m_reason);
}

void SessionKickedDialog::relayout()
{
    Layout l;
    l.logo = QRect(258, 26, 44, 44);
    l.close = QRect(512, 18, 28, 28);
    l.title = QRect(28, 83, kTextWidth, 30);
    const int b = qMax(wrappedHeight(dialogFont(14, false), kTextWidth, bodyText()) + 4, 22);
    l.body = QRect(28, 122, kTextWidth, b);
    int e = 0;
    const QString warning = warningText();
    if (!warning.isEmpty()) {
        const int t = wrappedHeight(dialogFont(14, true), 464, warning);
        l.warning = QRect(28, l.body.bottom() + 16, kTextWidth, t + 26);
        e = l.warning.bottom() + 14;
    } else {
        e = l.body.bottom() + 16;
    }
    const QString status = statusText();
    if (!status.isEmpty()) {
        const int s = wrappedHeight(dialogFont(12, false), 464, status);
        l.status = QRect(48, e, 464, s + 2);
        e = l.status.bottom() + 16;
    }
    const QFontMetrics button(dialogFont(13, false));
    const int fd = qMax(button.horizontalAdvance(translate(u"增加授权设备数")) + 60, 150);
    const int fa = qMax(button.horizontalAdvance(actionText()) + 56, 130);
    const int left = (kWidth - (fd + fa + 12)) / 2;
    l.devicesButton = QRect(left, e + 4, fd, 40);
    l.actionButton = QRect(left + fd + 12, e + 4, fa, 40);
    l.size = QSize(kWidth, e + 68);
    m_layout = l;
    setFixedSize(l.size);
}

SessionKickedDialog* SessionKickedDialog::showKicked(const QString& reason, QWidget* parent)
{
    qInfo() << "session kicked dialog: reason =" << reason;
    QElapsedTimer clock;
    clock.start();
    auto* dialog = new SessionKickedDialog(reason, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const qint64 constructed = clock.elapsed();
    // Another modal dialog would keep a non-modal card from taking input.
    dialog->setWindowModality(QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal);
    dialog->show();

    QRect anchor;
    if (parent)
        anchor = parent->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        anchor = screen->availableGeometry();
    if (!anchor.isNull()) {
        const int x = (anchor.left() + anchor.right()) / 2 - dialog->width() / 2;
        const int d = anchor.height() - dialog->height();
        const int y = d <= 121 ? anchor.top() + 60 : anchor.top() + d / 2;
        dialog->move(x, y);
    }
    dialog->raise();
    dialog->activateWindow();
    qInfo() << "session kicked dialog timing: ctor" << constructed << "show" << clock.elapsed() - constructed << "ms";
    return dialog;
}

int SessionKickedDialog::hitTest(const QPoint& pos) const
{
    if (m_layout.actionButton.contains(pos))
        return ActionButton;
    if (m_layout.devicesButton.contains(pos))
        return DevicesButton;
    if (m_layout.close.contains(pos))
        return CloseButton;
    return None;
}

void SessionKickedDialog::mouseMoveEvent(QMouseEvent* event)
{
    const int hit = hitTest(event->position().toPoint());
    if (hit != m_hover) {
        m_hover = hit;
        update();
    }
    setCursor(hit != None ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void SessionKickedDialog::leaveEvent(QEvent* event)
{
    if (m_hover != None) {
        m_hover = None;
        update();
    }
    QDialog::leaveEvent(event);
}

void SessionKickedDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_hover = m_pressed = hitTest(event->position().toPoint());
    update();
}

void SessionKickedDialog::mouseReleaseEvent(QMouseEvent* event)
{
    const int pressed = m_pressed;
    m_pressed = None;
    update();
    if (event->button() != Qt::LeftButton || pressed == None || pressed != m_hover)
        return;
    switch (pressed) {
    case ActionButton:
        if (m_kind == KickReason::Elsewhere)
            launcher().openUrl(serviceUrl(QStringLiteral("/uc.html#security")));
        accept();
        break;
    case DevicesButton:
        launcher().openUrl(serviceUrl(QStringLiteral("/#devices")));
        break;
    case CloseButton:
        accept();
        break;
    default:
        break;
    }
}

void SessionKickedDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    const bool dark = pal.isDark;
    const Layout& l = m_layout;
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);

    const int radius = qMax(themeCornerRadius() + 2, 10);
    p.setPen(QPen(pal.c[kAccountBorderSlot], 1));
    p.setBrush(dark ? QColor(0x2A, 0x2E, 0x38) : QColor(Qt::white));
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);

    if (!logoImage().isNull())
        p.drawImage(l.logo, logoImage());

    p.setFont(dialogFont(18, true));
    p.setPen(pal.c[kAccountTitleSlot]);
    p.drawText(l.title, Qt::AlignCenter, titleText());

    p.setFont(dialogFont(14, false));
    p.setPen(pal.c[kAccountTextSlot]);
    p.drawText(l.body, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, bodyText());

    if (!l.warning.isNull()) {
        p.setPen(QPen(dark ? QColor(0x5A, 0x3A, 0x40) : QColor(0xF6, 0xCF, 0xCF), 1));
        p.setBrush(dark ? QColor(0x3B, 0x2C, 0x31) : QColor(0xFD, 0xED, 0xED));
        p.drawRoundedRect(l.warning, 10, 10);
        p.setFont(dialogFont(14, true));
        p.setPen(accountWarningRed());
        p.drawText(l.warning.adjusted(20, 0, -20, 0), Qt::AlignCenter | Qt::TextWordWrap, warningText());
    }

    if (!l.status.isNull()) {
        p.setFont(dialogFont(12, false));
        p.setPen(pal.c[kAccountSecondarySlot]);
        p.drawText(l.status, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, statusText());
    }

    paintDialogButton(p, pal, l.devicesButton, translate(u"增加授权设备数"), false, m_hover == DevicesButton,
                      m_pressed == DevicesButton, true);
    paintDialogButton(p, pal, l.actionButton, actionText(), true, m_hover == ActionButton,
                      m_pressed == ActionButton, false);
    paintDialogCloseButton(p, pal, l.close, m_hover == CloseButton);
}
