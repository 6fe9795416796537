#include "widgets/namedialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

namespace {

QFont uiFont(const QFont& base, int pixelSize, int weight = -1)
{
    QFont f(base);
    f.setFamily(uiFontFamily());
    f.setPixelSize(pixelSize);
    if (weight > 0)
        f.setWeight(QFont::Weight(weight));
    return f;
}

} // namespace

NameDialog::NameDialog(bool rename, QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(std::max(themeCornerRadius(), 4)); });
    setModal(true);
    setFixedSize(300, 168);
    setMouseTracking(true);

    m_title = rename ? translate("重命名分组") : translate("新建分组");

    m_edit = new QLineEdit(this);
    m_edit->setStyleSheet(
        QStringLiteral("QLineEdit{border:1px solid #C9CDD8;border-radius:8px;padding:4px 10px;"
                       "background:white;color:#39404C;font-size:13px;font-family:'%1';"
                       "selection-background-color:#4C7DF0;}QLineEdit:focus{border:1px solid #4C7DF0;}")
            .arg(uiFontFamily()));
    m_edit->setMaxLength(kMaxLength);
    m_edit->installEventFilter(this);
    // Enter takes whatever is typed; the caller drops an empty name.
    connect(m_edit, &QLineEdit::returnPressed, this, &QDialog::accept);
    layoutChildren();
    m_edit->setFocus(Qt::OtherFocusReason);
}

void NameDialog::setText(const QString& text)
{
    m_edit->setText(text);
    m_edit->selectAll();
}

QString NameDialog::text() const
{
    return m_edit->text().trimmed();
}

void NameDialog::layoutChildren()
{
    m_edit->setGeometry(24, 62, 252, 34);
    m_okRect = QRect(24, 112, 120, 34);
    m_cancelRect = QRect(156, 112, 120, 34);
}

int NameDialog::buttonAt(const QPoint& pos) const
{
    if (m_okRect.contains(pos))
        return Ok;
    if (m_cancelRect.contains(pos))
        return Cancel;
    return None;
}

bool NameDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void NameDialog::mouseMoveEvent(QMouseEvent* event)
{
    const int hover = buttonAt(event->position().toPoint());
    if (hover != m_hoverButton) {
        m_hoverButton = hover;
        update();
    }
    QDialog::mouseMoveEvent(event);
}

void NameDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const int hit = buttonAt(event->position().toPoint());
    m_hoverButton = hit;
    m_pressedButton = hit;
    if (hit != None)
        update();
    event->accept();
}

void NameDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        m_pressedButton = None;
        update();
        return;
    }
    const int pressed = m_pressedButton;
    m_pressedButton = None;
    update();
    // A button acts only when the press and the release were both on it.
    m_hoverButton = buttonAt(event->position().toPoint());
    if (pressed == None || pressed != m_hoverButton)
        return;
    if (pressed == Cancel) {
        reject();
    } else if (!text().isEmpty()) {
        accept();
    } else {
        m_edit->setFocus(Qt::OtherFocusReason);
    }
}

void NameDialog::paintEvent(QPaintEvent*)
{
    layoutChildren();
    const ThemePalette& pal = currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal radius = std::max(themeCornerRadius(), 4);
    p.setPen(QPen(pal.c[3], 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(pal.isDark ? QColor(QStringLiteral("#2A2E38")) : QColor(Qt::white));
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);

    p.setFont(uiFont(font(), 15, 700));
    p.setPen(pal.c[17]);
    p.drawText(QRect(24, 22, 252, 26), Qt::AlignLeft | Qt::AlignVCenter, m_title);

    p.setFont(uiFont(font(), 13));
    QColor okFill = pal.c[28];
    if (m_pressedButton == Ok)
        okFill = okFill.darker(115);
    else if (m_hoverButton == Ok)
        okFill = okFill.lighter(110);
    p.setPen(Qt::NoPen);
    p.setBrush(okFill);
    p.drawRoundedRect(m_okRect, 8, 8);
    p.setPen(Qt::white);
    p.drawText(m_okRect, Qt::AlignCenter, translate("确 定"));

    p.setPen(QPen(pal.c[32], 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(m_pressedButton == Cancel ? pal.c[14] : pal.c[13]);
    p.drawRoundedRect(m_cancelRect, 8, 8);
    p.setPen(pal.c[16]);
    p.drawText(m_cancelRect, Qt::AlignCenter, translate("取 消"));
}
