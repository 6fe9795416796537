#include "protect/uilockoverlay.h"

#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "media/videobackground.h"
#include "model/appearancerules.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMovie>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace {

constexpr int kTickMs = 33;
constexpr int kHoldToMoveMs = 260;
constexpr int kMovieRescaleMs = 200;

} // namespace

LockCardLayout lockCardLayout(const LockCardInput& in)
{
    LockCardLayout l;
    const double W = in.size.width();
    const double H = in.size.height();
    const bool portrait = W < H;
    l.v = portrait ? qBound(0.74, W / 420.0, 1.1) : qBound(0.82, qMin(W / 900.0, H / 560.0), 1.3);
    const double v = l.v;
    const double t = 84 * v;
    const double u = 30 * v;
    const double q = 20 * v;
    const double w = qMin(320.0, W - 48);
    l.logo = t;

    const double head = t + u + u + 13 * v;
    // The foot is measured the way the entry panel is drawn: the gap under
    // the error row exists only with an error.
    const double foot = !in.inputVisible
        ? q
        : 40 + 10 * v + (in.hasError ? q + 8 * v : 0) + 42 + 12 * v + 22 * v;
    l.top = qMax(12 * v, (portrait ? 0.44 : 0.48) * H - (foot + head) / 2);
    l.cx = in.size.width() / 2;
    l.minimizeRect = QRectF(W - 80, 8, 34, 26);
    l.closeRect = QRectF(W - 44, 8, 34, 26);
    l.titleRect = QRectF(-1.5 * v, l.top + t + u, W, u);

    double y = l.top + t + u + u + 13 * v;
    if (!in.inputVisible) {
        l.hintRect = QRectF(-0.25 * v, y, W, q);
        return l;
    }
    const double ease = 1 - std::pow(1 - in.inputAppear, 3);
    y += (1 - ease) * 16 * v;
    l.editRect = QRectF(l.cx - w / 2, y, w, 40);
    y += 40 + 10 * v;
    if (in.hasError) {
        l.errorY = y;
        y += q + 8 * v;
    }
    l.submitRect = QRectF(l.cx - w / 2, y, w, 42);
    l.linksY = y + 42 + 12 * v;
    const double m = in.modeLinkWidth;
    const double n = in.forgotLinkWidth;
    const double G = 26 * v;
    if (!in.removeMode) {
        const double N = l.cx - (m + G + n) / 2;
        l.modeLinkRect = QRectF(N - 8 * v, l.linksY - 2 * v, m + 16 * v, 26 * v);
        l.forgotLinkRect = QRectF(N + m + G - 8 * v, l.linksY - 2 * v, n + 16 * v, 26 * v);
        l.pillRect = QRectF(l.modeLinkRect.topLeft(), QPointF(l.forgotLinkRect.right(), l.forgotLinkRect.bottom()));
    } else {
        const double N = l.cx - m / 2;
        l.modeLinkRect = QRectF(N - 8 * v, l.linksY - 2 * v, m + 16 * v, 26 * v);
        l.pillRect = l.modeLinkRect;
    }
    return l;
}

QImage scaleImageToCover(const QImage& image, const QSize& size)
{
    if (image.isNull() || size.width() < 1 || size.height() < 1)
        return QImage();
    const double imageAspect = double(image.width()) / qMax(1, image.height());
    const double targetAspect = double(size.width()) / qMax(1, size.height());
    QRect crop = image.rect();
    if (imageAspect > targetAspect) {
        const int w = int(std::lround(image.height() * targetAspect));
        crop = QRect(int(std::lround((image.width() - w) / 2.0)), 0, w, image.height());
    } else {
        const int h = int(std::lround(image.width() / targetAspect));
        crop = QRect(0, int(std::lround((image.height() - h) / 2.0)), image.width(), h);
    }
    return image.copy(crop).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

UiLockOverlay::UiLockOverlay(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

UiLockOverlay::~UiLockOverlay()
{
    if (m_video)
        m_video->stop();
}

void UiLockOverlay::dropBackground()
{
    m_backgroundImage = QImage();
    m_scaledBackground = QImage();
    m_videoFrame = QImage();
    m_scaledSize = QSize(-1, -1);
    m_videoFrameStamp = 0;
    if (m_movie) {
        m_movie->stop();
        m_movie->deleteLater();
        m_movie = nullptr;
    }
    if (m_video) {
        m_video->stop();
        m_video->deleteLater();
        m_video = nullptr;
    }
}

QSize UiLockOverlay::devicePixelSize() const
{
    const qreal dpr = devicePixelRatioF();
    return QSize(int(std::lround(width() * dpr)), int(std::lround(height() * dpr)));
}

void UiLockOverlay::setBackgroundImage(const QString& path)
{
    if (path == m_backgroundPath)
        return;
    m_backgroundPath = path;
    dropBackground();
    if (!path.isEmpty() && QFileInfo::exists(path)) {
        if (isVideoFile(path)) {
            m_video = new VideoBackground(this);
            m_video->setTargetSize(devicePixelSize());
            m_video->start(path);
        } else if (path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
            m_movie = new QMovie(path, "gif", this);
            m_movie->setCacheMode(isGifSizeAcceptable(path) ? QMovie::CacheAll : QMovie::CacheNone);
            m_movie->setScaledSize(devicePixelSize());
            connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
            m_movie->start();
        }
    }
    updateAnimationTimer();
    update();
}

void UiLockOverlay::showPasswordInput(bool removeMode)
{
    if (!m_passwordEdit) {
        m_passwordEdit = new QLineEdit(this);
        m_passwordEdit->setEchoMode(QLineEdit::Password);
        m_passwordEdit->setStyleSheet(
            QStringLiteral("QLineEdit{border:1px solid #D3D8E2;border-radius:10px;padding:4px 14px;background:white;"
                           "color:#39404C;font-size:14px;font-family:'%1';selection-background-color:#4C7DF0;}"
                           "QLineEdit:focus{border:1px solid #4C7DF0;background:#FBFCFF;}")
                .arg(uiFontFamily()));
        m_passwordEdit->installEventFilter(this);
        connect(m_passwordEdit, &QLineEdit::returnPressed, this, &UiLockOverlay::submitPassword);
        connect(m_passwordEdit, &QLineEdit::textChanged, this, [this] {
            if (!m_errorText.isEmpty()) {
                m_errorText.clear();
                update();
            }
        });
    }
    m_inputVisible = true;
    m_removeMode = removeMode;
    m_errorText.clear();
    m_inputAppear = 0.0;
    m_passwordEdit->clear();
    m_passwordEdit->setPlaceholderText(removeMode ? translate("输入密码以确认移除") : translate("请输入密码"));
    m_passwordEdit->show();
    m_passwordEdit->setFocus(Qt::OtherFocusReason);
    updateAnimationTimer();
    update();
}

void UiLockOverlay::submitPassword()
{
    if (m_fadingOut || m_checking)
        return;
    // Without anyone to check against, nothing opens.
    if (!checkPassword) {
        onCheckAnswered(PasswordCheckOutcome());
        return;
    }
    m_checking = true;
    m_checkRemoveMode = m_removeMode;
    setCursor(Qt::WaitCursor);
    if (m_passwordEdit)
        m_passwordEdit->setReadOnly(true);
    const QPointer<UiLockOverlay> self(this);
    checkPassword(m_passwordEdit ? m_passwordEdit->text() : QString(), [self](const PasswordCheckOutcome& outcome) {
        if (self)
            self->onCheckAnswered(outcome);
    });
}

void UiLockOverlay::onCheckAnswered(const PasswordCheckOutcome& outcome)
{
    if (m_checking) {
        m_checking = false;
        unsetCursor();
        if (m_passwordEdit)
            m_passwordEdit->setReadOnly(false);
    }
    if (m_fadingOut)
        return;
    if (outcome.verdict != PasswordCheckOutcome::Accepted) {
        if (!m_inputVisible)
            return;
        m_errorText = outcome.verdict == PasswordCheckOutcome::Wait ? passwordWaitText(outcome.waitMs)
                                                                    : translate("密码错误，请重试");
        m_shake = 1.0;
        if (m_passwordEdit) {
            m_passwordEdit->selectAll();
            m_passwordEdit->setFocus(Qt::OtherFocusReason);
        }
        updateAnimationTimer();
        update();
        return;
    }
    // The answer belongs to the entry it was asked from: switching between
    // unlock and remove meanwhile does not turn an unlock into a removal.
    const bool removing = m_checkRemoveMode;
    beginFadeOut();
    if (removing) {
        if (onRemovePassword)
            onRemovePassword();
    } else if (onUnlocked) {
        onUnlocked();
    }
}

void UiLockOverlay::beginFadeOut()
{
    if (m_fadingOut)
        return;
    m_fadingOut = true;
    if (m_passwordEdit)
        m_passwordEdit->hide();
    updateAnimationTimer();
    update();
}

void UiLockOverlay::settleEntryAnimation()
{
    m_inputAppear = 1.0;
    m_shake = 0.0;
    m_fadeOut = 0.0;
    update();
}

void UiLockOverlay::cancelInput()
{
    m_inputVisible = false;
    m_removeMode = false;
    m_errorText.clear();
    m_shake = 0.0;
    m_modeLinkRect = QRectF();
    m_submitRect = QRectF();
    m_hoverItem = m_pressedItem = 0;
    m_inputAppear = 1.0;
    if (m_passwordEdit)
        m_passwordEdit->hide();
    update();
}

bool UiLockOverlay::isAnimating() const
{
    return m_animTimer && m_animTimer->isActive();
}

void UiLockOverlay::updateAnimationTimer()
{
    const bool still = !m_backgroundPath.isEmpty() && !m_video && !m_inputVisible && !m_fadingOut && m_inputAppear >= 1.0;
    if (!isVisible() || still) {
        if (m_animTimer)
            m_animTimer->stop();
        return;
    }
    if (!m_animTimer) {
        m_animTimer = new QTimer(this);
        m_animTimer->setInterval(kTickMs);
        connect(m_animTimer, &QTimer::timeout, this, &UiLockOverlay::animationStep);
    }
    if (!m_animTimer->isActive())
        m_animTimer->start();
}

void UiLockOverlay::animationStep()
{
    m_phase += 0.033;
    if (m_phase > 1000000.0)
        m_phase = 0.0;
    if (m_inputAppear < 1.0)
        m_inputAppear = qMin(1.0, m_inputAppear + 0.165);
    if (m_shake > 0.0)
        m_shake = qMax(0.0, m_shake - 11.0 / 120.0);
    if (m_fadingOut) {
        m_fadeOut += 0.1375;
        if (m_fadeOut >= 1.0) {
            m_inputAppear = 1.0;
            m_fadingOut = false;
            m_fadeOut = 0.0;
            hide();
            updateAnimationTimer();
            if (onHidden)
                onHidden();
            return;
        }
    }
    if (m_video) {
        quint64 stamp = 0;
        const QImage frame = m_video->latestFrame(&stamp);
        if (!frame.isNull() && stamp != m_videoFrameStamp) {
            m_videoFrame = frame;
            m_videoFrameStamp = stamp;
        }
    }
    update();
}

bool UiLockOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_passwordEdit && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelInput();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void UiLockOverlay::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (!m_inputVisible)
            showPasswordInput(false);
        return;
    }
    if (key == Qt::Key_Escape && m_inputVisible) {
        cancelInput();
        return;
    }
    QWidget::keyPressEvent(event);
}

void UiLockOverlay::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

void UiLockOverlay::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_hoverWindowButton || m_hoverItem) {
        m_hoverWindowButton = m_hoverItem = 0;
        update();
    }
}

void UiLockOverlay::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    if (m_movingWindow && !(event->buttons() & Qt::LeftButton))
        m_movingWindow = false;
    if (m_moveTimer && m_moveTimer->isActive()
        && (qAbs(pos.toPoint().x() - m_pressPos.x()) + qAbs(pos.toPoint().y() - m_pressPos.y())) > 4)
        m_moveTimer->stop();
    const int windowButton = m_closeRect.contains(pos) ? 2 : m_minimizeRect.contains(pos) ? 1 : 0;
    int item = 0;
    if (m_inputVisible) {
        if (m_submitRect.contains(pos))
            item = 1;
        else if (!m_modeLinkRect.isEmpty() && m_modeLinkRect.contains(pos))
            item = 2;
        else if (!m_forgotLinkRect.isEmpty() && m_forgotLinkRect.contains(pos))
            item = 3;
    }
    if (windowButton != m_hoverWindowButton || item != m_hoverItem) {
        m_hoverWindowButton = windowButton;
        m_hoverItem = item;
        update();
    }
}

void UiLockOverlay::mousePressEvent(QMouseEvent* event)
{
    if (m_fadingOut || event->button() != Qt::LeftButton)
        return;
    const QPointF pos = event->position();
    if (m_closeRect.contains(pos) || m_minimizeRect.contains(pos)) {
        m_pressedWindowButton = m_closeRect.contains(pos) ? 2 : 1;
        update();
        return;
    }
    if (m_inputVisible) {
        int item = 0;
        if (m_submitRect.contains(pos))
            item = 1;
        else if (!m_modeLinkRect.isEmpty() && m_modeLinkRect.contains(pos))
            item = 2;
        else if (!m_forgotLinkRect.isEmpty() && m_forgotLinkRect.contains(pos))
            item = 3;
        m_pressedItem = item;
        if (item) {
            update();
            return;
        }
    }
    m_pressPos = pos.toPoint();
    m_movingWindow = false;
    if (!m_moveTimer) {
        m_moveTimer = new QTimer(this);
        m_moveTimer->setSingleShot(true);
        m_moveTimer->setInterval(kHoldToMoveMs);
        connect(m_moveTimer, &QTimer::timeout, this, [this] {
            m_movingWindow = true;
            if (QWindow* w = window()->windowHandle())
                w->startSystemMove();
        });
    }
    m_moveTimer->start();
}

void UiLockOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_moveTimer)
        m_moveTimer->stop();
    const QPointF pos = event->position();
    if (m_pressedWindowButton) {
        const int pressed = m_pressedWindowButton;
        m_pressedWindowButton = 0;
        update();
        if (pressed == 2 && m_closeRect.contains(pos))
            window()->close();
        else if (pressed == 1 && m_minimizeRect.contains(pos))
            window()->showMinimized();
        return;
    }
    if (m_movingWindow) {
        m_movingWindow = false;
        return;
    }
    if (m_inputVisible) {
        const int pressed = m_pressedItem;
        m_pressedItem = 0;
        if (event->button() != Qt::LeftButton)
            return;
        update();
        if (pressed == 0 || pressed != m_hoverItem)
            return;
        if (pressed == 1)
            submitPassword();
        else if (pressed == 2)
            showPasswordInput(!m_removeMode);
        else if (pressed == 3)
            QDesktopServices::openUrl(serviceUrl(QStringLiteral("/forgot-lock.html")));
        return;
    }
    if (event->button() == Qt::LeftButton && !m_fadingOut)
        showPasswordInput(false);
}

void UiLockOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_video)
        m_video->setTargetSize(devicePixelSize());
    if (m_movie) {
        if (!m_resizeTimer) {
            m_resizeTimer = new QTimer(this);
            m_resizeTimer->setSingleShot(true);
            m_resizeTimer->setInterval(kMovieRescaleMs);
            connect(m_resizeTimer, &QTimer::timeout, this, [this] {
                if (m_movie && m_movie->scaledSize() != devicePixelSize()) {
                    m_movie->stop();
                    m_movie->setScaledSize(devicePixelSize());
                    m_movie->start();
                }
            });
        }
        m_resizeTimer->start();
    }
    m_scaledSize = QSize(-1, -1);
}

void UiLockOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateAnimationTimer();
}

void UiLockOverlay::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateAnimationTimer();
}
