#include "widgets/shortcuteditdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "icons/iconservice.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr int kWidth = 520;
constexpr int kHeightWithBanner = 584;
constexpr int kBannerShift = 54;
constexpr int kBorderSlot = 32, kTextSlot = 16, kAccentSlot = 28, kAccentHoverSlot = 29;
constexpr int kButtonSlot = 31, kButtonHoverSlot = 13, kButtonPressedSlot = 14;
constexpr int kCardBorderSlot = 3, kTitleSlot = 17, kLabelSlot = 18;

QString slot(int n)
{
    return currentTheme().c[n].name();
}

} // namespace

ShortcutEditLayout shortcutEditLayout(bool bannerShown)
{
    const int d = bannerShown ? 0 : kBannerShift;
    const int h = kHeightWithBanner - d;
    ShortcutEditLayout l;
    l.size = QSize(kWidth, h);
    l.title = QRect(20, 14, 480, 26);
    l.closeButton = QRect(480, 8, 30, 28);
    if (bannerShown) {
        l.banner = QRect(20, 56, 480, 40);
        l.bannerClose = QRect(473, 65, 22, 22);
    }
    l.iconFrame = QRect(20, 114 - d, 48, 48);
    l.nameEdit = QRect(82, 121 - d, 418, 34);
    l.changeIcon = QRect(82, 170 - d, 203, 30);
    l.restoreIcon = QRect(297, 170 - d, 203, 30);
    l.targetLabel = QPoint(20, 228 - d);
    l.browseTarget = QRect(416, 216 - d, 84, 34);
    l.targetEdit = QRect(20, 258 - d, 480, 34);
    l.workDirLabel = QPoint(20, 316 - d);
    l.browseWorkDir = QRect(416, 304 - d, 84, 34);
    l.workDirEdit = QRect(20, 346 - d, 480, 34);
    l.argsLabel = QPoint(20, 404 - d);
    l.argsEdit = QRect(20, 434 - d, 480, 34);
    l.adminCheck = QRect(20, 480 - d, 480, 28);
    l.ok = QRect(312, h - 52, 88, 36);
    l.cancel = QRect(412, h - 52, 88, 36);
    return l;
}

ShortcutEditDialog::ShortcutEditDialog(const QString& itemPath, const QString& name, const QString& currentIconPath,
                                       bool isShortcutFile, const ShortcutInfo& info, const QPixmap& preview,
                                       QWidget* parent)
    : QDialog(parent),
      m_itemPath(itemPath),
      m_currentIconPath(currentIconPath),
      m_isShortcutFile(isShortcutFile),
      m_info(info),
      m_preview(preview),
      m_notice(translate(u"请通过应用库添加应用，而非手动编辑快捷方式。"))
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::Dialog);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(4, themeCornerRadius())); });
    setModal(true);

    auto button = [this](const char16_t* text) { return new QPushButton(translate(text), this); };
    m_name = new QLineEdit(name, this);
    m_name->selectAll();
    m_changeIcon = button(u"更改图标");
    m_restoreIcon = button(u"还原图标");
    m_browseTarget = button(u"选择文件");
    m_browseWorkDir = button(u"选择文件夹");
    m_target = new QLineEdit(isShortcutFile ? info.target : itemPath, this);
    m_workDir = new QLineEdit(info.workingDir, this);
    m_args = new QLineEdit(info.arguments, this);
    for (QLineEdit* e : {m_workDir, m_args})
        e->setPlaceholderText(translate(u"可选，如无需要留空即可。"));
    m_admin = new QCheckBox(translate(u"优先以管理员权限运行"), this);
    m_admin->setChecked(info.runAsAdmin);
    m_ok = button(u"确定");
    m_cancel = button(u"取消");
    m_close = new QPushButton(QStringLiteral("×"), this);
    m_bannerClose = new QPushButton(QStringLiteral("×"), this);
    for (QPushButton* b : {m_close, m_bannerClose})
        b->setCursor(Qt::PointingHandCursor);
    m_ok->setDefault(true);

    connect(m_changeIcon, &QPushButton::clicked, this, &ShortcutEditDialog::chooseIcon);
    connect(m_restoreIcon, &QPushButton::clicked, this, &ShortcutEditDialog::restoreIcon);
    connect(m_browseTarget, &QPushButton::clicked, this, &ShortcutEditDialog::browseTarget);
    connect(m_browseWorkDir, &QPushButton::clicked, this, &ShortcutEditDialog::browseWorkingDir);
    connect(m_ok, &QPushButton::clicked, this, &ShortcutEditDialog::tryAccept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_bannerClose, &QPushButton::clicked, this, &ShortcutEditDialog::dismissNotice);

    if (m_preview.isNull())
        m_preview = iconPixmapForPath(itemPath);
    setFixedSize(shortcutEditLayout(!m_bannerDismissed).size);
    applyTheme();
}

QString ShortcutEditDialog::displayName() const
{
    return m_name->text().trimmed();
}

ShortcutInfo ShortcutEditDialog::values() const
{
    ShortcutInfo v = m_info;
    v.target = m_target->text().trimmed();
    v.workingDir = m_workDir->text().trimmed();
    v.arguments = m_args->text();
    v.runAsAdmin = m_admin->isChecked();
    return v;
}

void ShortcutEditDialog::tryAccept()
{
    if (displayName().isEmpty()) {
        m_name->setFocus();
        return;
    }
    accept();
}

void ShortcutEditDialog::browseTarget()
{
    const QString file = QFileDialog::getOpenFileName(this, translate(u"选择文件"), QString(),
                                                      translate(u"所有文件 (*.*)"));
    if (!file.isEmpty())
        m_target->setText(QDir::toNativeSeparators(file));
}

void ShortcutEditDialog::browseWorkingDir()
{
    const QString dir = QFileDialog::getExistingDirectory(this, translate(u"选择文件夹..."), QString(),
                                                          QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        m_workDir->setText(QDir::toNativeSeparators(dir));
}

void ShortcutEditDialog::chooseIcon()
{
    const QString file = QFileDialog::getOpenFileName(
        this, translate(u"选择图标图片"), QString(),
        translate(u"图标图片 (*.png *.jpg *.jpeg *.bmp *.gif *.ico *.webp);;可执行文件 (*.exe *.dll);;所有文件 (*.*)"));
    if (file.isEmpty())
        return;
    setIconPreview(file);
    m_iconChange = 1;
    m_chosenIconPath = QDir::toNativeSeparators(file);
}

void ShortcutEditDialog::setIconPreview(const QString& path)
{
    QPixmap p;
    QImage image(path);
    if (!image.isNull())
        p = QPixmap::fromImage(image);
    else
        p = iconPixmapForPath(path);
    if (!p.isNull()) {
        m_preview = p;
        update();
    }
}

void ShortcutEditDialog::restoreIcon()
{
    m_preview = iconPixmapForPath(m_itemPath);
    update();
    m_iconChange = 2;
    m_chosenIconPath.clear();
}

void ShortcutEditDialog::dismissNotice()
{
    if (m_bannerDismissed)
        return;
    m_bannerDismissed = true;
    setFixedSize(shortcutEditLayout(false).size);
    applyTheme();
}

void ShortcutEditDialog::applyTheme()
{
    const ShortcutEditLayout l = shortcutEditLayout(!m_bannerDismissed);
    const bool dark = currentTheme().isDark;
    const QString font = uiFontFamily();
    const QString edit =
        QStringLiteral("QLineEdit{border:1px solid %1;border-radius:6px;padding:4px 10px;background:white;color:%2;"
                       "font-size:13px;font-family:'%3';selection-background-color:%4;}"
                       "QLineEdit:focus{border:1px solid %5;}")
            .arg(slot(kBorderSlot), slot(kTextSlot), font, slot(kAccentSlot), slot(kAccentSlot));
    const QString secondary =
        QStringLiteral("QPushButton{border:1px solid %1;border-radius:6px;background:%2;color:%3;font-size:12px;"
                       "font-family:'%4';padding:0 8px;}QPushButton:hover{background:%5;border:1px solid %6;}"
                       "QPushButton:pressed{background:%7;}")
            .arg(slot(kBorderSlot), slot(kButtonSlot), slot(kTextSlot), font, slot(kButtonHoverSlot),
                 slot(kAccentSlot), slot(kButtonPressedSlot));
    const QString primary =
        QStringLiteral("QPushButton{border:none;border-radius:6px;background:%1;color:#FFFFFF;font-size:13px;"
                       "font-family:'%2';padding:0 10px;}QPushButton:hover{background:%3;}"
                       "QPushButton:pressed{background:%4;}")
            .arg(slot(kAccentSlot), font, slot(kAccentHoverSlot), currentTheme().c[kAccentSlot].darker(112).name());
    const QString check =
        QStringLiteral("QCheckBox{color:%1;font-size:13px;font-family:'%2';spacing:8px;}"
                       "QCheckBox::indicator{width:16px;height:16px;}"
                       "QCheckBox::indicator:checked{background:%3;border-radius:3px;}"
                       "QCheckBox::indicator:unchecked{background:%4;border:1px solid %5;border-radius:3px;}")
            .arg(slot(kTextSlot), font, slot(kAccentSlot), slot(kButtonSlot), slot(kBorderSlot));
    const QString close = QStringLiteral("QPushButton{border:none;background:transparent;color:%1;font-size:18px;"
                                         "font-family:'%2';}QPushButton:hover{color:#E81123;}")
                              .arg(dark ? QStringLiteral("#C8CCD4") : QStringLiteral("#5A5A5A"), font);
    const QString bannerClose =
        QStringLiteral("QPushButton{border:none;background:transparent;color:%1;font-size:16px;font-family:'%2';}"
                       "QPushButton:hover{color:%3;}")
            .arg(dark ? QStringLiteral("#9DC1FF") : QStringLiteral("#1A5FB4"), font,
                 dark ? QStringLiteral("#CDE3FF") : QStringLiteral("#0B4A8F"));

    for (QLineEdit* e : {m_name, m_target, m_workDir, m_args})
        e->setStyleSheet(edit);
    for (QPushButton* b : {m_changeIcon, m_restoreIcon, m_browseTarget, m_browseWorkDir, m_cancel})
        b->setStyleSheet(secondary);
    m_ok->setStyleSheet(primary);
    m_admin->setStyleSheet(check);
    m_close->setStyleSheet(close);
    m_bannerClose->setStyleSheet(bannerClose);

    m_close->setGeometry(l.closeButton);
    m_bannerClose->setVisible(!m_bannerDismissed);
    if (!m_bannerDismissed)
        m_bannerClose->setGeometry(l.bannerClose);
    m_name->setGeometry(l.nameEdit);
    m_changeIcon->setGeometry(l.changeIcon);
    m_restoreIcon->setGeometry(l.restoreIcon);
    m_browseTarget->setGeometry(l.browseTarget);
    m_target->setGeometry(l.targetEdit);
    m_browseWorkDir->setGeometry(l.browseWorkDir);
    m_workDir->setGeometry(l.workDirEdit);
    m_args->setGeometry(l.argsEdit);
    m_admin->setGeometry(l.adminCheck);
    m_ok->setGeometry(l.ok);
    m_cancel->setGeometry(l.cancel);
    update();
}

void ShortcutEditDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    applyTheme();
}

void ShortcutEditDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyTheme();
}

void ShortcutEditDialog::paintEvent(QPaintEvent*)
{
    const ShortcutEditLayout l = shortcutEditLayout(!m_bannerDismissed);
    const ThemePalette& pal = currentTheme();
    const bool dark = pal.isDark;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal radius = qMax(4, themeCornerRadius());
    p.setPen(QPen(pal.c[kCardBorderSlot], 1));
    p.setBrush(dark ? QColor(0x2A, 0x2E, 0x38) : QColor(Qt::white));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    QFont titleFont(uiFontFamily());
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::Bold);
    p.setFont(titleFont);
    p.setPen(pal.c[kTitleSlot]);
    p.drawText(l.title, Qt::AlignLeft | Qt::AlignVCenter, translate(u"编辑快捷方式"));

    if (!m_bannerDismissed) {
        const QColor glyph = dark ? QColor(0x9D, 0xC1, 0xFF) : QColor(0x1A, 0x5F, 0xB4);
        p.setPen(QPen(dark ? QColor(0x2E, 0x5A, 0x8C) : QColor(0xC9, 0xE4, 0xFB), 1));
        p.setBrush(dark ? QColor(0x1E, 0x3A, 0x5F) : QColor(0xEA, 0xF2, 0xFC));
        p.drawRoundedRect(QRectF(l.banner), 8, 8);
        const qreal cy = l.banner.center().y() + 0.5;
        const qreal left = l.banner.left();
        p.setPen(QPen(glyph, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(left + 11, cy - 9, 17, 17));
        p.setPen(Qt::NoPen);
        p.setBrush(glyph);
        p.drawEllipse(QPointF(left + 20, cy - 4.5), 1.5, 1.5);
        p.setPen(QPen(glyph, 2));
        p.drawLine(QPointF(left + 20, cy - 0.9), QPointF(left + 20, cy + 4.5));
        QFont small(uiFontFamily());
        small.setPixelSize(12);
        p.setFont(small);
        p.setPen(glyph);
        p.drawText(QRect(l.banner.left() + 40, l.banner.top(), l.banner.width() - 68, l.banner.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, m_notice);
    }

    QPainterPath frame;
    frame.addRoundedRect(QRectF(l.iconFrame), 8, 8);
    p.save();
    p.setClipPath(frame);
    p.fillRect(l.iconFrame, dark ? QColor(0x33, 0x38, 0x44) : QColor(0xF2, 0xF4, 0xF8));
    if (!m_preview.isNull()) {
        const QPixmap scaled = m_preview.scaled(QSize(40, 40) * devicePixelRatioF(), Qt::KeepAspectRatio,
                                                Qt::SmoothTransformation);
        const QSizeF shown = QSizeF(scaled.size()) / devicePixelRatioF();
        const QRectF target(QPointF(l.iconFrame.center()) + QPointF(0.5, 0.5) - QPointF(shown.width(), shown.height()) / 2,
                            shown);
        p.drawPixmap(target, scaled, QRectF(scaled.rect()));
    }
    p.restore();
    p.setPen(QPen(pal.c[kBorderSlot], 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(l.iconFrame).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    QFont labelFont(uiFontFamily());
    labelFont.setPixelSize(12);
    p.setFont(labelFont);
    p.setPen(pal.c[kLabelSlot]);
    p.drawText(l.targetLabel, translate(u"目标"));
    p.drawText(l.workDirLabel, translate(u"工作目录"));
    p.drawText(l.argsLabel, translate(u"参数"));
}

void ShortcutEditDialog::mousePressEvent(QMouseEvent* event)
{
    m_dragging = false;
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) {
        QDialog::mousePressEvent(event);
        return;
    }
    QWindow* handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void ShortcutEditDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        QDialog::mouseMoveEvent(event);
}

void ShortcutEditDialog::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}
