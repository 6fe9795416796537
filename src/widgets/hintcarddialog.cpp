#include "widgets/hintcarddialog.h"

#include "app/theme.h"
#include "app/windowshape.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QFont uiFont(int pixelSize, int weight = -1)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    if (weight > 0)
        f.setWeight(QFont::Weight(weight));
    return f;
}

QString hex(const QColor& c) { return c.name(QColor::HexRgb); }

} // namespace

HintCardDialog::HintCardDialog(const QString& title, const QString& richText,
                               const QString& primaryText, const QString& secondaryText,
                               QWidget* parent)
    : QDialog(parent)
{
    const ThemePalette& pal = dialogPalette();
    const bool dark = pal.isDark;

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 16);
    auto* card = new QWidget(this);
    card->setObjectName(QStringLiteral("hintCard"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(QStringLiteral("#hintCard{background:%1;border:1px solid %2;border-radius:14px;}")
                            .arg(dark ? QStringLiteral("#252A33") : QStringLiteral("#FFFFFF"),
                                 hex(pal.c[32])));
    auto* shadow = new QGraphicsDropShadowEffect(card);
    shadow->setBlurRadius(30);
    shadow->setOffset(0, 8);
    shadow->setColor(QColor(0, 0, 0, dark ? 130 : 60));
    card->setGraphicsEffect(shadow);
    outer->addWidget(card);
    WindowShape::installCard(this, outer, card, 14);

    auto* body = new QVBoxLayout(card);
    body->setContentsMargins(24, 20, 24, 18);
    body->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    auto* logo = new QLabel(card);
    logo->setFixedSize(28, 28);
    const QPixmap logoPm(QStringLiteral(":/res/resources/logo.png"));
    if (!logoPm.isNull())
        logo->setPixmap(logoPm.scaled(28, 28, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    header->addWidget(logo);
    auto* titleLabel = new QLabel(title, card);
    titleLabel->setObjectName(QStringLiteral("hintTitle"));
    titleLabel->setFont(uiFont(16, 600));
    titleLabel->setStyleSheet(QStringLiteral("color:%1;").arg(hex(pal.c[16])));
    header->addWidget(titleLabel, 1);
    auto* close = new QPushButton(QStringLiteral("✕"), card);
    close->setObjectName(QStringLiteral("hintClose"));
    close->setCursor(Qt::PointingHandCursor);
    close->setFixedSize(24, 24);
    close->setFlat(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setStyleSheet(QStringLiteral("QPushButton{border:none;background:transparent;color:%1;"
                                        "font-size:13px;}QPushButton:hover{color:%2;}")
                             .arg(hex(pal.c[18]), hex(pal.c[28])));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    header->addWidget(close);
    body->addLayout(header);

    auto* text = new QLabel(card);
    text->setObjectName(QStringLiteral("hintBody"));
    text->setTextFormat(Qt::RichText);
    text->setText(richText);
    text->setWordWrap(true);
    text->setFont(uiFont(12));
    text->setStyleSheet(QStringLiteral("color:%1;").arg(hex(pal.c[18])));
    body->addWidget(text);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch();
    if (!secondaryText.isEmpty()) {
        auto* second = new QPushButton(secondaryText, card);
        second->setObjectName(QStringLiteral("hintSecondary"));
        second->setCursor(Qt::PointingHandCursor);
        second->setFixedHeight(32);
        second->setMinimumWidth(88);
        second->setStyleSheet(
            QStringLiteral("QPushButton{border:1px solid %1;border-radius:6px;background:%2;color:%3;"
                           "font-size:12px;padding:0 16px;}QPushButton:hover{background:%4;}")
                .arg(hex(pal.c[32]), dark ? QStringLiteral("#2A2F38") : QStringLiteral("#F7F7F9"),
                     hex(pal.c[16]), hex(pal.c[13])));
        connect(second, &QPushButton::clicked, this, &QDialog::reject);
        row->addWidget(second);
    }
    auto* primary = new QPushButton(primaryText, card);
    primary->setObjectName(QStringLiteral("hintPrimary"));
    primary->setCursor(Qt::PointingHandCursor);
    primary->setFixedHeight(32);
    primary->setMinimumWidth(96);
    primary->setStyleSheet(
        QStringLiteral("QPushButton{border:none;border-radius:6px;background:%1;color:#FFFFFF;"
                       "font-size:12px;padding:0 16px;}QPushButton:hover{background:%2;}"
                       "QPushButton:pressed{background:%3;}")
            .arg(hex(pal.c[28]), hex(pal.c[29]), hex(pal.c[28].darker(112))));
    primary->setDefault(true);
    connect(primary, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(primary);
    body->addLayout(row);

    setFixedWidth(476);
    // adjustSize() would stop at two thirds of the screen and cut the last
    // paragraph; the card takes the height its text needs, within the screen.
    int need = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
    if (const QScreen* s = screen())
        need = qMin(need, s->availableGeometry().height());
    resize(width(), need);
}

void HintCardDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && event->position().y() < kDragStripHeight) {
        QWindow* handle = windowHandle();
        // Without a window manager that takes the move (or on a platform
        // without one) the card follows the mouse itself.
        if (!handle || !handle->startSystemMove()) {
            m_ownDrag = true;
            m_dragOffset = event->globalPosition().toPoint() - pos();
        }
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

void HintCardDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_ownDrag && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void HintCardDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_ownDrag && event->button() == Qt::LeftButton) {
        m_ownDrag = false;
        event->accept();
        return;
    }
    QDialog::mouseReleaseEvent(event);
}
