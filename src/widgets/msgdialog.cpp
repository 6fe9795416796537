#include "widgets/msgdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char kDefaultButtonStyle[] =
    "QPushButton{border:1px solid #0067C0;border-radius:2px;background:#0067C0;color:#FFFFFF;"
    "font-size:12px;padding:0 14px;}QPushButton:hover{background:#2E8BE0;}"
    "QPushButton:pressed{background:#005AA6;}";
const char kButtonStyle[] =
    "QPushButton{border:1px solid #DADADA;border-radius:2px;background:#F2F2F2;color:#1A1A1A;"
    "font-size:12px;padding:0 14px;}QPushButton:hover{background:#E5F1FB;border:1px solid #C9E4FB;}"
    "QPushButton:pressed{background:#CCE4F7;}";

QFont uiFont(int pixelSize, int weight = -1)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    if (weight > 0)
        f.setWeight(QFont::Weight(weight));
    return f;
}

} // namespace

MsgDialog::MsgDialog(QWidget* parent, int kind, const QString& title, const QString& text,
                     const QStringList& buttons, int defaultIndex)
    : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setModal(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    auto* card = new QWidget(this);
    card->setObjectName(QStringLiteral("msgCard"));
    card->setAttribute(Qt::WA_StyledBackground);
    card->setStyleSheet(QStringLiteral(
        "#msgCard{background:#FFFFFF;border:1px solid #D9D9D9;border-radius:8px;}"));
    auto* shadow = new QGraphicsDropShadowEffect(card);
    shadow->setBlurRadius(28);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(0, 0, 0, 70));
    card->setGraphicsEffect(shadow);
    outer->addWidget(card);
    WindowShape::installCard(this, outer, card, 8);

    auto* body = new QVBoxLayout(card);
    body->setContentsMargins(24, 22, 24, 20);
    body->setSpacing(14);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->setAlignment(Qt::AlignTop);
    auto* icon = new QLabel(card);
    icon->setObjectName(QStringLiteral("msgIcon"));
    icon->setFixedSize(36, 36);
    icon->setPixmap(iconPixmap(kind));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    auto* titleLabel = new QLabel(title, card);
    titleLabel->setObjectName(QStringLiteral("msgTitle"));
    titleLabel->setFont(uiFont(14, 600));
    titleLabel->setStyleSheet(QStringLiteral("color:#1A1A1A;"));
    auto* textLabel = new QLabel(text, card);
    textLabel->setObjectName(QStringLiteral("msgText"));
    textLabel->setFont(uiFont(12));
    textLabel->setWordWrap(true);
    textLabel->setStyleSheet(QStringLiteral("color:#3A3A3A;"));
    column->addWidget(titleLabel);
    column->addWidget(textLabel);
    top->addLayout(column, 1);
    body->addLayout(top);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addStretch();
    for (int i = 0; i < buttons.size(); ++i) {
        auto* b = new QPushButton(buttons.at(i), card);
        b->setCursor(Qt::PointingHandCursor);
        b->setFixedHeight(32);
        b->setMinimumWidth(86);
        b->setStyleSheet(QLatin1String(i == defaultIndex ? kDefaultButtonStyle : kButtonStyle));
        if (i == defaultIndex)
            b->setDefault(true);
        connect(b, &QPushButton::clicked, this, [this, i] {
            m_chosenIndex = i;
            accept();
        });
        row->addWidget(b);
    }
    body->addLayout(row);

    setFixedWidth(420);
    adjustSize();
    if (parent) {
        const QRect pg = parent->geometry();
        move(pg.center() - QPoint(width() / 2, height() / 2));
    }
}

int MsgDialog::ask(QWidget* parent, const QString& title, const QString& text,
                   const QString& yesText, const QString& noText)
{
    const QString yes = yesText.isEmpty() ? translate("是") : yesText;
    const QString no = noText.isEmpty() ? translate("否") : noText;
    // On the heap: a parent deleted from inside exec() takes the card with
    // it, which must then not be deleted a second time.
    QPointer<MsgDialog> dlg = new MsgDialog(parent, 1, title, text, {no, yes}, 1);
    const int result = dlg->exec();
    if (!dlg)
        return -1;
    const int chosen = dlg->chosenIndex();
    delete dlg.data();
    return result == QDialog::Accepted ? chosen : -1;
}

QPixmap MsgDialog::iconPixmap(int kind)
{
    QPixmap pm(36, 36);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(18, 18);
    if (kind == 2) {
        QPainterPath tri;
        tri.moveTo(0, -13);
        tri.lineTo(14, 11);
        tri.lineTo(-14, 11);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(QStringLiteral("#F2C811")));
        p.drawPath(tri);
        p.setPen(QPen(QColor(QStringLiteral("#333333")), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(0, -4), QPointF(0, 4));
        p.drawPoint(QPointF(0, 8));
        return pm;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(QStringLiteral("#0067C0")));
    p.drawEllipse(QRectF(-13, -13, 26, 26));
    const QPen white(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
    p.setPen(white);
    p.setBrush(Qt::white);
    if (kind == 1) {
        p.setFont(uiFont(16, 700));
        p.drawText(QRectF(-10, -12, 20, 22), Qt::AlignCenter, QStringLiteral("?"));
    } else {
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(-1.5, -7, 3, 3));
        p.setPen(white);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(0, -2.5), QPointF(0, 6));
    }
    return pm;
}
