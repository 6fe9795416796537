#include "backup/backupprogressdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"

#include <QCloseEvent>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kAnimIntervalMs = 28;
constexpr int kPhaseStep = 3;
constexpr qreal kSegmentShare = 0.35;
const QColor kGroove(0xEE, 0xEE, 0xEE);
const QColor kFill(0x00, 0x67, 0xC0);

} // namespace

std::pair<int, int> ProgressTrack::segmentSpan(int width, int phase)
{
    const int seg = int(width * kSegmentShare);
    const int x = (width + seg) * phase / 100 - seg;
    const int left = std::max(0, x);
    const int right = std::min(width, left + seg);
    return { left, right };
}

int ProgressTrack::fillWidth(int width, int value)
{
    return int(std::min(value, 100) * double(width) / 100.0);
}

void ProgressTrack::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const int w = width();
    const int h = height();
    p.setBrush(kGroove);
    p.drawRoundedRect(QRect(0, 0, w, h), 4, 4, Qt::AbsoluteSize);
    p.setBrush(kFill);
    if (value >= 0) {
        const int fill = fillWidth(w, value);
        if (fill > 0)
            p.drawRoundedRect(QRect(0, 0, fill, h), 4, 4, Qt::AbsoluteSize);
        return;
    }
    const auto [left, right] = segmentSpan(w, phase);
    if (right - left >= 1)
        p.drawRoundedRect(QRect(left, 0, right - left, h), 4, 4, Qt::AbsoluteSize);
}

BackupProgressDialog::BackupProgressDialog(QWidget* parent, const QString& text, std::function<void()> onCancel)
    : QDialog(parent), cancelCallback(std::move(onCancel))
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14); // room for the shadow

    auto* card = new QWidget(this);
    card->setObjectName(QStringLiteral("progCard"));
    card->setStyleSheet(QStringLiteral("#progCard{background:#FFFFFF;border:1px solid #D9D9D9;border-radius:8px;}"));
    auto* shadow = new QGraphicsDropShadowEffect(card);
    shadow->setBlurRadius(28);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(0, 0, 0, 70));
    card->setGraphicsEffect(shadow);
    outer->addWidget(card);
    WindowShape::installCard(this, outer, card, 8);

    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(24, 20, 24, 18);
    column->setSpacing(12);

    label = new QLabel(text, card);
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:#3A3A3A;"));
    column->addWidget(label);

    track = new ProgressTrack(card);
    track->setFixedHeight(8);
    track->setFixedWidth(320);
    column->addWidget(track, 0, Qt::AlignLeft);

    cancelButton = new QPushButton(translate("取消"), card);
    cancelButton->setCursor(Qt::PointingHandCursor);
    cancelButton->setFixedHeight(28);
    cancelButton->setMinimumWidth(86);
    cancelButton->setStyleSheet(QStringLiteral(
        "QPushButton{border:1px solid #DADADA;border-radius:2px;background:#F2F2F2;color:#1A1A1A;font-size:12px;padding:0 14px;}"
        "QPushButton:hover{background:#E5F1FB;border:1px solid #C9E4FB;}"
        "QPushButton:disabled{color:#9A9A9A;background:#F7F7F7;}"));
    column->addWidget(cancelButton, 0, Qt::AlignRight);
    if (!cancelCallback)
        cancelButton->hide();
    else
        connect(cancelButton, &QPushButton::clicked, this, &BackupProgressDialog::requestCancel);

    setFixedWidth(380);
    adjustSize();
    setFixedHeight(height());

    phase = 0;
    animTimer = new QTimer(this);
    connect(animTimer, &QTimer::timeout, this, &BackupProgressDialog::advanceAnimation);
    animTimer->start(kAnimIntervalMs);

    if (parent) {
        const QRect g = parent->geometry();
        move((g.left() + g.right()) / 2 - width() / 2, (g.top() + g.bottom()) / 2 - height() / 2);
    }
}

BackupProgressDialog::~BackupProgressDialog() = default;

bool BackupProgressDialog::isAnimating() const
{
    return animTimer->isActive();
}

void BackupProgressDialog::setProgress(int percent, const QString& text)
{
    if (cancelled)
        return;
    value = std::clamp(percent, 0, 100);
    label->setText(QStringLiteral("%1   %2%").arg(text).arg(value));
    track->value = value;
    track->update();
    animTimer->stop();
}

void BackupProgressDialog::requestCancel()
{
    if (cancelled)
        return;
    cancelled = true;
    cancelButton->setEnabled(false);
    const QString cancelling = translate("正在取消…");
    cancelButton->setText(cancelling);
    label->setText(cancelling);
    if (cancelCallback)
        cancelCallback();
}

void BackupProgressDialog::advanceAnimation()
{
    phase = (phase + kPhaseStep) % 100;
    track->phase = phase;
    track->update();
}

void BackupProgressDialog::keyPressEvent(QKeyEvent* event)
{
    // QDialog turns Esc into reject(), which would hide the card while the
    // operation it stands for goes on.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void BackupProgressDialog::closeEvent(QCloseEvent* event)
{
    // A close asked for by the window system (Alt+F4, a task bar) is refused;
    // the caller's own close() goes through.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
