#include "protect/lockdialog.h"

#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "protect/passwordguard.h"
#include "protect/passwordhash.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTimer>

#include <cmath>

namespace {

constexpr int kTickMs = 33;
constexpr double kFadeInStep = 0.18333333333333335;
constexpr double kShakeStep = 0.09166666666666667;
constexpr double kFadeOutStep = 0.20625;
constexpr double kRevealStep = 0.22;
constexpr double kGlowStep = 0.0165;
constexpr int kRiseDistance = 14;

QRect inclusive(int l, int t, int r, int b)
{
    return QRect(QPoint(l, t), QPoint(r, b));
}

QFont dialogFont(int pixelSize, int weight = 400)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

struct ModeTexts {
    const char* title;
    const char* firstPlaceholder;
    const char* secondPlaceholder;   // nullptr: one field
    int height;
    const char* okLabel;
    const char* hint;                // nullptr: the links instead
};

const ModeTexts& textsOf(int mode)
{
    static const ModeTexts kModes[] = {
        { "设置保护密码", "请输入密码（4~32 位）", "再次输入密码", 346, "确  定", "4~32 位密码，用于解锁程序与保护设置" },
        { "验证程序保护密码", "请输入密码", nullptr, 300, "解  锁", nullptr },
        { "修改保护密码", "请输入旧密码", "输入新密码（留空 = 清除密码）", 346, "保  存", "新密码留空表示清除保护密码" },
        { "移除程序保护密码", "请输入密码", nullptr, 292, "确  定", "新密码留空表示清除保护密码" },
    };
    return kModes[qBound(0, mode, 3)];
}

bool lengthAllowed(const QString& text)
{
    return text.size() >= 4 && text.size() <= 32;
}

} // namespace

LockDialogLayout lockDialogLayout(int mode, int removeWidth, int forgotWidth)
{
    const ModeTexts& t = textsOf(mode);
    const bool two = t.secondPlaceholder != nullptr;
    LockDialogLayout l;
    l.size = QSize(340, t.height);
    l.firstField = inclusive(28, 120, 311, 161);
    if (two)
        l.secondField = inclusive(28, 174, 311, 215);
    l.errorTop = two ? 228 : 174;
    const int bottom = two ? 295 : 241;
    l.okButton = inclusive(28, l.errorTop + 26, 311, bottom);
    l.closeButton = inclusive(304, 12, 327, 35);
    if (mode == LockDialog::Verify) {
        const int a = removeWidth;
        const int f = forgotWidth;
        const int g = (314 - a - f) / 2;
        l.removeLink = inclusive(g - 4, bottom + 17, a + g + 3, bottom + 38);
        l.forgotLink = inclusive(a + g + 22, bottom + 17, a + f + g + 29, bottom + 38);
        l.linkDot = inclusive(a + g + 2, bottom + 17, a + g + 23, bottom + 38);
    } else {
        l.hint = inclusive(0, bottom + 12, 339, bottom + 29);
    }
    return l;
}

LockDialog::LockDialog(int mode, QWidget* parent)
    : QDialog(parent)
    , m_mode(qBound(0, mode, 3))
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(themeCornerRadius() <= 4 ? 4 : themeCornerRadius()); });
    setModal(true);
    setMouseTracking(true);

    const ThemePalette& p = currentTheme();
    const QString fieldBg = p.isDark ? p.c[31].name() : QStringLiteral("#ffffff");
    const QString style =
        QStringLiteral("QLineEdit{border:1px solid %1;border-radius:8px;padding:4px 14px;background:%2;color:%3;"
                       "font-size:14px;font-family:'Microsoft YaHei UI';selection-background-color:%4;"
                       "selection-color:#FFFFFF;}QLineEdit:focus{border:1px solid %5;background:%6;}")
            .arg(p.c[32].name(), fieldBg, p.c[16].name(), p.c[28].name(), p.c[28].name(), fieldBg);

    const ModeTexts& t = textsOf(m_mode);
    auto makeField = [&](const char* placeholder) {
        auto* field = new QLineEdit(this);
        field->setEchoMode(QLineEdit::Password);
        field->setStyleSheet(style);
        field->installEventFilter(this);
        field->setPlaceholderText(translate(placeholder));
        connect(field, &QLineEdit::returnPressed, this, [this] { tryAccept(false); });
        return field;
    };
    m_first = makeField(t.firstPlaceholder);
    if (t.secondPlaceholder)
        m_second = makeField(t.secondPlaceholder);

    m_title = translate(t.title);
    setFixedSize(340, t.height);
    m_first->setFocus(Qt::OtherFocusReason);
    relayout();
}

LockDialog::~LockDialog() = default;

QString LockDialog::password() const
{
    return m_first->text();
}

QString LockDialog::newPassword() const
{
    return m_second ? m_second->text() : QString();
}

void LockDialog::relayout()
{
    const QFontMetrics fm(dialogFont(12));
    m_layout = lockDialogLayout(m_mode, fm.horizontalAdvance(translate("移除密码")),
                                fm.horizontalAdvance(translate("忘记密码")));
    m_first->setGeometry(m_layout.firstField);
    if (m_second)
        m_second->setGeometry(m_layout.secondField);
}

int LockDialog::elementAt(const QPoint& pos) const
{
    if (m_layout.okButton.contains(pos))
        return OkButton;
    if (m_layout.closeButton.contains(pos))
        return CloseButton;
    if (m_mode == Verify) {
        if (m_layout.removeLink.contains(pos))
            return RemoveLink;
        if (m_layout.forgotLink.contains(pos))
            return ForgotLink;
    }
    return None;
}

void LockDialog::setError(const QString& text)
{
    m_error = text;
    if (text.isEmpty()) {
        m_errorReveal = 1.0;
    } else {
        m_errorReveal = 0.0;
        ensureTimer();
    }
    update();
}

void LockDialog::showFieldError(const QString& text, QLineEdit* field, bool select)
{
    setError(text);
    m_shake = 1.0;
    ensureTimer();
    if (select)
        field->selectAll();
    field->setFocus(Qt::OtherFocusReason);
}

bool LockDialog::tryAccept(bool alreadyVerified)
{
    if (m_closing || m_busy)
        return false;
    if (!alreadyVerified && m_mode != Set) {
        if (m_storedHash.isEmpty()) {
            showFieldError(translate("校验器未初始化，操作被拒绝"), m_first, true);
            return false;
        }
        startCheck();
        return false;
    }
    if (m_mode == Verify || m_mode == Remove) {
        done(Accepted);
        return true;
    }
    if (m_mode == Change) {
        const QString next = m_second->text();
        if (next.isEmpty() || lengthAllowed(next)) {
            done(Accepted);
            return true;
        }
        showFieldError(translate("密码长度需在 4~32 位之间"), m_second, true);
        return false;
    }
    const QString first = m_first->text();
    if (first.isEmpty()) {
        showFieldError(translate("密码不能为空"), m_first, false);
        return false;
    }
    if (!lengthAllowed(first)) {
        showFieldError(translate("密码长度需在 4~32 位之间"), m_first, true);
        return false;
    }
    if (m_second->text() != first) {
        showFieldError(translate("两次输入的密码不一致"), m_second, true);
        return false;
    }
    done(Accepted);
    return true;
}

void LockDialog::startCheck()
{
    m_busy = true;
    setCursor(Qt::WaitCursor);
    m_first->setEnabled(false);
    if (m_second)
        m_second->setEnabled(false);
    checkProtectionPassword(m_storedHash, m_first->text(), this,
                            [this](const PasswordCheckOutcome& outcome) { onCheckFinished(outcome); });
}

void LockDialog::onCheckFinished(const PasswordCheckOutcome& outcome)
{
    m_busy = false;
    if (m_closing)
        return;
    unsetCursor();
    m_first->setEnabled(true);
    if (m_second)
        m_second->setEnabled(true);
    if (outcome.verdict == PasswordCheckOutcome::Accepted) {
        m_renewedHash = outcome.renewedHash;
        if (verifiedHook)
            verifiedHook(m_first->text());
        tryAccept(true);
        return;
    }
    if (outcome.verdict == PasswordCheckOutcome::Wait) {
        showFieldError(passwordWaitText(outcome.waitMs), m_first, true);
        return;
    }
    const char* text = m_mode == Remove ? "密码错误，无法移除"
        : m_mode == Change              ? "旧密码错误，请重试"
                                        : "密码错误，请重试";
    showFieldError(translate(text), m_first, true);
}

void LockDialog::openRemoveDialog()
{
    LockDialog nested(Remove, this);
    nested.setStoredHash(m_storedHash);
    if (nested.exec() != Accepted)
        return;
    if (removeHook)
        removeHook();
    if (!m_closing)
        done(Accepted);
}

void LockDialog::done(int result)
{
    if (m_closing)
        return;
    finish(result);
}

void LockDialog::finish(int code)
{
    m_pendingResult = code;
    m_closing = true;
    m_first->setEnabled(false);
    if (m_second)
        m_second->setEnabled(false);
    if (m_fadeIn >= 1.0 && isVisible()) {
        m_fadeOut = 0.0;
        ensureTimer();
        return;
    }
    // Still rising into place: skip the fade-out rather than play two
    // animations against each other.
    setWindowOpacity(1.0);
    if (isVisible())
        move(m_home);
    if (m_timer)
        m_timer->stop();
    QDialog::done(code);
}

void LockDialog::ensureTimer()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(kTickMs);
        connect(m_timer, &QTimer::timeout, this, &LockDialog::tick);
    }
    if (!m_timer->isActive())
        m_timer->start();
}

void LockDialog::tick()
{
    if (m_errorReveal < 1.0) {
        m_errorReveal = qMin(1.0, m_errorReveal + kRevealStep);
        update();
    }
    if (m_fadeIn < 1.0) {
        m_fadeIn = qMin(1.0, m_fadeIn + kFadeInStep);
        if (m_fadeIn >= 1.0) {
            setWindowOpacity(1.0);
            move(m_home);
        } else {
            const double opacity = 1.0 - std::pow(1.0 - m_fadeIn, 3);
            setWindowOpacity(opacity);
            move(m_home + QPoint(0, int(std::lround((1.0 - opacity) * kRiseDistance))));
        }
        update();
    } else if (m_shake > 0.0) {
        m_shake = qMax(0.0, m_shake - kShakeStep);
        if (m_shake <= 0.0)
            move(m_home);
        else
            move(m_home + QPoint(int(std::lround(std::sin((1.0 - m_shake) * 12.5663706) * 6.0 * m_shake)), 0));
    }
    if (m_closing) {
        m_fadeOut = qMin(1.0, m_fadeOut + kFadeOutStep);
        setWindowOpacity(1.0 - m_fadeOut);
        if (m_fadeOut >= 1.0) {
            m_timer->stop();
            QDialog::done(m_pendingResult);
        }
        return;
    }
    m_glow += kGlowStep;
    if (m_glow >= 1.0)
        m_glow -= 1.0;
    update();
}

void LockDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    relayout();
    m_home = pos();
    m_fadeIn = 0.0;
    setWindowOpacity(0.0);
    move(m_home + QPoint(0, kRiseDistance));
    ensureTimer();
}

bool LockDialog::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_first || watched == m_second) && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (!m_closing)
            done(Rejected);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void LockDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_closing)
        return;
    const int hit = elementAt(event->position().toPoint());
    if (hit != m_hovered) {
        m_hovered = hit;
        update();
    }
}

void LockDialog::mousePressEvent(QMouseEvent* event)
{
    if (m_closing || event->button() != Qt::LeftButton)
        return;
    const int hit = elementAt(event->position().toPoint());
    if (hit != None) {
        m_hovered = m_pressed = hit;
        update();
    } else {
        m_hovered = m_pressed = None;
    }
}

void LockDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_closing)
        return;
    const int pressed = m_pressed;
    m_pressed = None;
    update();
    if (event->button() != Qt::LeftButton || pressed == None || pressed != m_hovered)
        return;
    switch (pressed) {
    case OkButton:
        tryAccept(false);
        break;
    case CloseButton:
        done(Rejected);
        break;
    case RemoveLink:
        openRemoveDialog();
        break;
    case ForgotLink:
        QDesktopServices::openUrl(serviceUrl(QStringLiteral("/forgot-lock.html")));
        break;
    default:
        break;
    }
}

void LockDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& p = currentTheme();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const int radius = themeCornerRadius() <= 4 ? 4 : themeCornerRadius();
    painter.setPen(QPen(p.c[3], 1));
    painter.setBrush(p.isDark ? QColor(0x2A, 0x2E, 0x38) : QColor(Qt::white));
    painter.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);

    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    const QColor accent = p.c[28];
    if (!logo.isNull()) {
        const double s = std::sin(m_glow * 2.0 * M_PI);
        const QPointF centre(170, 41 + 1.5 * s);
        QRadialGradient glow(centre, 30 + 3 * s);
        QColor inner = accent;
        inner.setAlpha(int(std::lround(30 + 22 * (0.5 * s + 0.5))));
        QColor outer = accent;
        outer.setAlpha(0);
        glow.setColorAt(0, inner);
        glow.setColorAt(1, outer);
        painter.setPen(Qt::NoPen);
        painter.setBrush(glow);
        painter.drawEllipse(centre, 30 + 3 * s, 30 + 3 * s);
        painter.drawImage(QRectF(centre.x() - 21, centre.y() - 21, 42, 42),
                          logo.scaled(42, 42, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    const double e = (1.0 - std::pow(1.0 - m_fadeIn, 3)) * 114.0;
    if (e > 0) {
        QLinearGradient line(170 - e, 0, 170 + e, 0);
        QColor c0 = accent;
        c0.setAlpha(0);
        QColor c1 = accent;
        c1.setAlpha(170);
        line.setColorAt(0, c0);
        line.setColorAt(0.5, c1);
        line.setColorAt(1, c0);
        painter.setPen(QPen(QBrush(line), 2));
        painter.drawLine(QPointF(170 - e, 68), QPointF(170 + e, 68));
    }

    painter.setFont(dialogFont(15, 700));
    painter.setPen(p.c[17]);
    painter.drawText(QRectF(-1.5, 72, 340, 28), Qt::AlignCenter, m_title);

    const QRect& close = m_layout.closeButton;
    if (m_hovered == CloseButton) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xE8, 0x11, 0x23));
        painter.drawRoundedRect(close, 4, 4);
    }
    QPen cross(m_hovered == CloseButton ? QColor(Qt::white) : p.c[18], 1.5);
    cross.setCapStyle(Qt::FlatCap);
    painter.setPen(cross);
    const QRect inner = close.adjusted(7, 7, -7, -7);
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomLeft());

    if (!m_error.isEmpty()) {
        painter.save();
        painter.setOpacity(m_errorReveal);
        painter.setFont(dialogFont(12));
        const int w = painter.fontMetrics().horizontalAdvance(m_error);
        const int x0 = (width() - 1 - w - 13) / 2;
        const int top = m_layout.errorTop;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xD9, 0x30, 0x25));
        painter.drawEllipse(QPointF(x0 + 3, top + 13), 3, 3);
        painter.setPen(QColor(0xD9, 0x30, 0x25));
        painter.drawText(inclusive(x0 + 14, top, x0 + w + 15, top + 25), Qt::AlignLeft | Qt::AlignVCenter, m_error);
        painter.restore();
    }

    QColor fill = accent;
    if (m_pressed == OkButton)
        fill = fill.darker(115);
    else if (m_hovered == OkButton)
        fill = fill.lighter(110);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(m_layout.okButton, 8, 8);
    painter.setFont(dialogFont(14));
    painter.setPen(Qt::white);
    painter.drawText(m_layout.okButton, Qt::AlignCenter, translate(textsOf(m_mode).okLabel));

    painter.setFont(dialogFont(12));
    if (m_mode == Verify) {
        painter.setPen(m_hovered == RemoveLink ? accent : p.c[18]);
        painter.drawText(m_layout.removeLink, Qt::AlignCenter, translate("移除密码"));
        painter.setPen(p.c[18]);
        painter.drawText(m_layout.linkDot, Qt::AlignCenter, QStringLiteral("·"));
        painter.setPen(m_hovered == ForgotLink ? accent : p.c[18]);
        painter.drawText(m_layout.forgotLink, Qt::AlignCenter, translate("忘记密码"));
    } else {
        painter.setPen(p.c[18]);
        painter.drawText(m_layout.hint, Qt::AlignCenter, translate(textsOf(m_mode).hint));
    }
}
