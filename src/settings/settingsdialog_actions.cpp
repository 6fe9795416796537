// What the controls of the pages do: switches, segments, sliders, menus,
// pickers and the protection password. Every question goes through the
// prompts seam.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "model/panelmodel.h"
#include "protect/lockdialog.h"
#include "protect/passwordhash.h"
#include "settings/settingsiconfiles.h"
#include "settings/settingsprompts.h"
#include "settings/valuewidgets.h"

#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QRegion>

namespace {

constexpr int kSettingsButton = 1;
constexpr int kCornerRadiusSlider = 2;

bool loadsAsPicture(const QString& path) { return !QPixmap(path).isNull(); }

bool hasVideoSuffix(const QString& path)
{
    static const QStringList suffixes = {QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                         QStringLiteral("wmv"), QStringLiteral("avi"), QStringLiteral("mkv")};
    return suffixes.contains(QFileInfo(path).suffix().toLower());
}

// The colour-menu areas: mode field, custom RGB field, menu title and the
// colour "follow the theme" starts a custom pick from.
struct ColourArea {
    int AppSettings::*mode;
    int AppSettings::*rgb;
    const char16_t* title;
    int themeSlot;   // -1: the mode-0 preset
};

const ColourArea* colourArea(int area)
{
    static const ColourArea areas[] = {
        {&AppSettings::titleBarColor, &AppSettings::titleBarCustomRgb, u"标题栏颜色", -1},
        {&AppSettings::bottomBarColor, &AppSettings::bottomBarCustomRgb, u"底部栏颜色", -1},
        {&AppSettings::midColor, &AppSettings::midCustomRgb, u"中间板块颜色", -1},
        {&AppSettings::borderColor, &AppSettings::borderCustomRgb, u"边框颜色", 3},
        {nullptr, nullptr, nullptr, -1},
        {&AppSettings::textColor, &AppSettings::textCustomRgb, u"文字颜色", 16},
        {&AppSettings::dividerColor, &AppSettings::dividerCustomRgb, u"分界线颜色", 32},
        {&AppSettings::hoverColor, &AppSettings::hoverCustomRgb, u"悬停高亮颜色", 25},
    };
    if (area < 0 || area >= int(std::size(areas)) || !areas[area].mode)
        return nullptr;
    return &areas[area];
}

QStringList* buttonIconList(AppSettings& s, int cell)
{
    switch (cell) {
    case 1:
    case 2: return &s.btnIcons;
    case 3:
    case 5: return &s.btnIconsHover;
    case 4:
    case 6: return &s.btnIconsActive;
    case 7:
    case 8: return &s.btnIconsNight;
    default: return nullptr;
    }
}

const char16_t* buttonIconCaption(int cell)
{
    switch (cell) {
    case 1: return u"选择浅色模式图标（支持 PNG / JPG / JPEG / BMP / GIF / ICO，建议 16×16 或 32×32 像素）";
    case 3: return u"选择悬停效果图（支持 PNG / JPG / JPEG / BMP / GIF / ICO，建议 16×16 或 32×32 像素）";
    case 4: return u"选择按下效果图（支持 PNG / JPG / JPEG / BMP / GIF / ICO，建议 16×16 或 32×32 像素）";
    default:
        return u"选择深色模式图标（深色主题下按钮的正常态展示图，支持 PNG / JPG / JPEG / BMP / GIF / ICO，建议 16×16 或 32×32 像素）";
    }
}

} // namespace

QString backgroundFormatsHintHtml()
{
    return QStringLiteral("<div style=\"line-height:168%\"><b>%1</b><br>· %2<br>· %3<br>· %4<br><br><b>%5</b><br>· "
                          "%6<br>· %7<br><br>%8</div>")
        .arg(translate(u"背景支持格式"), translate(u"静态图：PNG / JPG / BMP"), translate(u"动图：GIF（自动循环播放）"),
             translate(u"视频：MP4 / M4V / MOV / WMV / AVI / MKV（静音循环播放）"),
             translate(u"建议尺寸比例"), translate(u"横屏面板 16:9（如 1920×1080）"),
             translate(u"竖屏面板 9:16（如 1080×1920）"),
             translate(u"比例不符时按「等比放大铺满」裁切显示；视频建议 1080p 以内，文件过大可能影响性能。可在卡片内调整背景不透明度。"));
}

QString defaultFontItemText()
{
    // The interface asks for a family by name; fontconfig decides what is
    // drawn, and that is what the user should read here.
    const QString drawn = QFontInfo(QFont(uiFontFamily())).family();
    return translate(u"默认（%1）").arg(drawn);
}

bool isVideoBackground(const QString& path)
{
    const QString lower = path.toLower();
    for (const char* suffix : {".mp4", ".m4v", ".mov", ".wmv", ".avi", ".mkv", ".webm"})
        if (lower.endsWith(QLatin1String(suffix)))
            return true;
    return false;
}

void SettingsDialog::toggleSwitch(int n)
{
    bool* flag = settingsSwitchFlag(m_working, n);
    if (!flag)
        return;
    *flag = !*flag;
    preview();
}

void SettingsDialog::setSegment(int row, int value)
{
    switch (row) {
    case settingssegment::kTheme:
        m_working.darkTheme = value != 0;
        preview();
        applyStyle();
        break;
    case settingssegment::kGroupLayout:
        m_working.horizontalGroups = value != 0;
        preview();
        break;
    case settingssegment::kOpenMode:
        m_working.singleClickOpen = value != 0;
        preview();
        break;
    case settingssegment::kHoverMode:
        m_working.hoverMode = value;
        preview();
        relayout();
        break;
    case settingssegment::kLanguage:
        m_working.language = value;
        setLanguage(value);
        notifyLanguageChanged();
        setWindowTitle(translate(u"设置"));
        m_titleEdit->setPlaceholderText(translate(u"Quillory"));
        if (m_fontCombo->count() > 0) {
            const QSignalBlocker blocker(m_fontCombo);
            m_fontCombo->setItemText(0, defaultFontItemText());
            if (m_fontCombo->currentIndex() == 0) {
                m_fontCombo->setProperty("fullText", m_fontCombo->itemText(0));
                m_fontCombo->updateElidedText();
            }
        }
        relayout();
        break;
    case settingssegment::kMonitorFormat:
        m_working.monitorFormat = value;
        preview();
        break;
    default: break;
    }
}

void SettingsDialog::onSliderChanged(int number, int value)
{
    int* field = sliderField(m_working, number);
    if (!field)
        return;
    *field = value;
    if (sliderSpec(number).preview)
        preview();
    // The slider paints its own value; of the dialog's painting only the
    // card's corners follow a slider, and only they are repainted.
    if (number == kCornerRadiusSlider) {
        const int side = 26;
        QRegion corners;
        corners += QRect(0, 0, side, side);
        corners += QRect(width() - side, 0, side, side);
        corners += QRect(0, height() - side, side, side);
        corners += QRect(width() - side, height() - side, side, side);
        update(corners);
        WindowShape::refresh(this);
    }
}

void SettingsDialog::showRevealMenu(const QPoint& globalPos)
{
    QList<PromptMenuEntry> entries;
    for (int v = 1; v <= 4; ++v)
        entries.append(PromptMenuEntry{translate(revealMethodMenuLabel(v)), v, m_working.revealMethod == v, false});
    const QPointer<SettingsDialog> self(this);
    const int chosen = m_prompts->menu(this, entries, globalPos);
    if (!self || chosen < 1)
        return;
    m_working.revealMethod = chosen;
    update();
}

void SettingsDialog::showColourMenu(int area, const QPoint& globalPos)
{
    const ColourArea* a = colourArea(area);
    if (!a)
        return;
    const int mode = m_working.*(a->mode);
    QList<PromptMenuEntry> entries;
    for (int v = 0; v <= 5; ++v)
        entries.append(PromptMenuEntry{translate(colourModeLabel(v)), v, mode == v, false});
    entries.append(PromptMenuEntry{QString(), -1, false, true});
    entries.append(PromptMenuEntry{translate(u"自定义颜色…"), 6, mode == 6, false});
    const QPointer<SettingsDialog> self(this);
    const int chosen = m_prompts->menu(this, entries, globalPos);
    if (!self || chosen < 0)
        return;
    if (chosen <= 5) {
        m_working.*(a->mode) = chosen;
    } else {
        QColor start;
        if (mode == 6)
            start = QColor::fromRgb(QRgb(m_working.*(a->rgb)) & 0xFFFFFF);
        else if (mode >= 1 && mode <= 5)
            start = presetColor(mode);
        else
            start = a->themeSlot < 0 ? presetColor(0) : currentTheme().c[a->themeSlot];
        const QColor picked = m_prompts->colour(this, start, translate(a->title));
        if (!self || !picked.isValid())
            return;
        m_working.*(a->mode) = 6;
        m_working.*(a->rgb) = int(picked.rgb() & 0xFFFFFF);
    }
    preview();
    update();
}

void SettingsDialog::chooseLogo()
{
    const QPointer<SettingsDialog> self(this);
    const QString path = m_prompts->openFileName(this, translate(u"选择 LOGO 图片"), QString(),
                                                 translate(u"图片文件 (*.png *.jpg *.jpeg *.bmp *.ico)"));
    if (!self || path.isEmpty())
        return;
    if (!loadsAsPicture(path)) {
        m_prompts->warning(this, translate(u"自定义 LOGO"),
                           translate(u"无法读取该图片文件，请选择有效的 PNG / JPG / BMP / ICO。"));
        return;
    }
    m_working.customLogoPath = path;
    relayout();
    preview();
}

void SettingsDialog::chooseBackground(bool portrait)
{
    const QPointer<SettingsDialog> self(this);
    if (!m_prompts->hintCard(this, translate(u"选择背景"), backgroundFormatsHintHtml(), translate(u"选择文件"),
                             translate(u"取消"))
        || !self)
        return;
    const QString path = m_prompts->openFileName(
        this, portrait ? translate(u"选择竖屏背景（图片 / 动图 / 视频）") : translate(u"选择背景（图片 / 动图 / 视频）"),
        QString(),
        translate(u"支持的背景文件 (*.png *.jpg *.jpeg *.bmp *.gif *.mp4 *.m4v *.mov *.wmv *.avi *.mkv);;图片与动图 (*.png *.jpg *.jpeg *.bmp *.gif);;视频 (*.mp4 *.m4v *.mov *.wmv *.avi *.mkv);;所有文件 (*.*)"));
    if (!self || path.isEmpty())
        return;
    if (!hasVideoSuffix(path) && !loadsAsPicture(path)) {
        m_prompts->warning(this, translate(u"背景图片"),
                           translate(u"无法读取该图片文件，请选择有效的 PNG / JPG / BMP / GIF。"));
        return;
    }
    (portrait ? m_working.bgImagePortrait : m_working.bgImagePath) = path;
    relayout();
    preview();
}

void SettingsDialog::clearBackground(bool portrait)
{
    (portrait ? m_working.bgImagePortrait : m_working.bgImagePath).clear();
    relayout();
    preview();
}

void SettingsDialog::chooseLockBackground()
{
    const QPointer<SettingsDialog> self(this);
    const QString path = m_prompts->openFileName(
        this, QStringLiteral("选择锁屏背景（图片 / 动图 / 视频）"), QString(),
        QStringLiteral("支持的锁屏背景 (*.png *.jpg *.jpeg *.bmp *.gif *.mp4 *.m4v *.mov *.wmv *.avi *.mkv);;图片与动图 "
                       "(*.png *.jpg *.jpeg *.bmp *.gif);;视频 (*.mp4 *.m4v *.mov *.wmv *.avi *.mkv);;所有文件 (*.*)"));
    if (!self)
        return;
    m_hoverId = settingsid::kNone;
    m_pressedId = settingsid::kNone;
    if (path.isEmpty())
        return;
    m_working.lockBgPath = path;
    if (m_onLockBackground)
        m_onLockBackground(path);
    relayout();
}

void SettingsDialog::restoreLockBackground()
{
    m_working.lockBgPath.clear();
    if (m_onLockBackground)
        m_onLockBackground(QString());
    relayout();
}

void SettingsDialog::chooseMonitorDir()
{
    const QPointer<SettingsDialog> self(this);
    const QString path = m_prompts->existingDirectory(this, translate(u"选择录屏存储目录"),
                                                      m_working.monitorDir.isEmpty() ? m_dataDir : m_working.monitorDir);
    if (!self || path.isEmpty())
        return;
    m_working.monitorDir = path;
    if (m_settings)
        m_settings->monitorDir = path;
}

void SettingsDialog::openMonitorDir()
{
    const QString folder = m_working.monitorDir.isEmpty() ? m_dataDir : m_working.monitorDir;
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    m_prompts->openFolder(folder);
}

void SettingsDialog::showTriggerMenu(const QPoint& globalPos)
{
    QList<PromptMenuEntry> entries;
    for (int v = 0; v <= 2; ++v)
        entries.append(PromptMenuEntry{translate(monitorTriggerLabel(v)), v, m_working.monitorTrigger == v, false});
    const QPointer<SettingsDialog> self(this);
    const int chosen = m_prompts->menu(this, entries, globalPos);
    if (!self || chosen < 0)
        return;
    m_working.monitorTrigger = chosen;
    if (m_settings)
        m_settings->monitorTrigger = chosen;
}

void SettingsDialog::notifyProtection()
{
    if (m_onProtectionChanged)
        m_onProtectionChanged(m_working.protectPasswordHash, m_working.obfuscateMap);
}

void SettingsDialog::syncProtectionHash()
{
    // The panel sets and removes the password too (the obfuscation button,
    // the lock screen) while the dialog is open: whether to set or to check
    // one is decided from the live record, never from the opening copy.
    if (m_settings)
        m_working.protectPasswordHash = m_settings->protectPasswordHash;
}

bool SettingsDialog::ensureProtectAccess()
{
    syncProtectionHash();
    const QPointer<SettingsDialog> self(this);
    LockPrompt prompt;
    if (!m_working.protectPasswordHash.isEmpty()) {
        prompt.mode = LockDialog::Verify;
        prompt.storedHash = m_working.protectPasswordHash;
        prompt.verifiedHook = [self](const QString& password) {
            if (!self || !passwordNeedsRehash(self->m_working.protectPasswordHash))
                return;
            self->m_working.protectPasswordHash = hashPassword(password);
            self->notifyProtection();
        };
        prompt.removeHook = [self] {
            if (!self)
                return;
            if (!self->m_working.protectPasswordHash.isEmpty()) {
                self->m_working.protectPasswordHash.clear();
                self->notifyProtection();
            }
            self->m_protectUnlocked = true;
        };
        const LockPromptAnswer answer = m_prompts->lockDialog(this, prompt);
        if (!self || !answer.accepted)
            return false;
        m_protectUnlocked = true;
        return true;
    }
    prompt.mode = LockDialog::Set;
    const LockPromptAnswer answer = m_prompts->lockDialog(this, prompt);
    if (!self || !answer.accepted || answer.password.isEmpty())
        return false;
    m_working.protectPasswordHash = hashPassword(answer.password);
    notifyProtection();
    m_protectUnlocked = true;
    return true;
}

void SettingsDialog::editProtectPassword()
{
    syncProtectionHash();
    const QPointer<SettingsDialog> self(this);
    LockPrompt prompt;
    const bool change = !m_working.protectPasswordHash.isEmpty();
    prompt.mode = change ? LockDialog::Change : LockDialog::Set;
    if (change)
        prompt.storedHash = m_working.protectPasswordHash;
    const LockPromptAnswer answer = m_prompts->lockDialog(this, prompt);
    if (!self || !answer.accepted)
        return;
    const QString text = change ? answer.newPassword : answer.password;
    m_working.protectPasswordHash = text.isEmpty() ? QString() : hashPassword(text);
    notifyProtection();
    if (m_working.protectPasswordHash.isEmpty())
        m_protectUnlocked = false;
    relayout();
}

void SettingsDialog::editButtonCell(int row, int cell)
{
    if (row < 0 || row >= m_iconRows.size() || m_iconRows.at(row).btnId < 0)
        return;
    m_hoverId = settingsid::kNone;
    m_pressedId = settingsid::kNone;
    const int id = m_iconRows.at(row).btnId;
    const QPointer<SettingsDialog> self(this);
    if (cell == 0) {
        if (id != kSettingsButton && id < m_working.btnVisible.size())
            m_working.btnVisible[id] = !m_working.btnVisible.at(id);
    } else if (cell == 1 || cell == 3 || cell == 4 || cell == 7) {
        const QString path = m_prompts->openFileName(
            this, QString::fromUtf16(buttonIconCaption(cell)), QString(),
            translate(u"图片文件 (*.png *.jpg *.jpeg *.bmp *.gif *.ico);;所有文件 (*.*)"));
        if (!self || path.isEmpty())
            return;
        if (!loadsAsPicture(path)) {
            m_prompts->warning(this, translate(u"图标自定义"),
                               translate(u"无法读取该图片文件，请选择有效的 PNG/JPG/BMP/GIF/ICO。"));
            if (!self)
                return;
        } else if (QStringList* list = buttonIconList(m_working, cell); list && id < list->size()) {
            (*list)[id] = QDir::toNativeSeparators(path);
        }
    } else if (QStringList* list = buttonIconList(m_working, cell); list && id < list->size()) {
        (*list)[id].clear();
    }
    preview();
    relayout();
    update();
}

void SettingsDialog::editItemCell(int row, int cell)
{
    if (row < 0 || row >= m_iconRows.size())
        return;
    m_hoverId = settingsid::kNone;
    m_pressedId = settingsid::kNone;
    const IconRow r = m_iconRows.at(row);
    if (r.btnId >= 0) {
        editButtonCell(row, cell);
        return;
    }
    auto item = [this, &r]() -> PanelItem* {
        if (!m_groups || r.groupIndex < 0 || r.groupIndex >= m_groups->size())
            return nullptr;
        QList<PanelItem>& items = (*m_groups)[r.groupIndex].items;
        // The panel may have moved or removed items since the row was laid
        // out: indices that now address another item are refused.
        if (r.itemIndex < 0 || r.itemIndex >= items.size() || items.at(r.itemIndex).path != r.path)
            return nullptr;
        return &items[r.itemIndex];
    };
    if (!item())
        return;
    const QPointer<SettingsDialog> self(this);
    if (cell == 0) {
        item()->hidden = !item()->hidden;
    } else if (cell == 1) {
        const QString path = m_prompts->openFileName(
            this, translate(u"选择图标图片"), QString(),
            translate(u"图片 (*.png *.jpg *.jpeg *.bmp *.gif *.ico);;所有文件 (*.*)"));
        // The group list may have changed while the picker was open.
        if (!self || path.isEmpty() || !item())
            return;
        if (!loadsAsPicture(path)) {
            m_prompts->warning(this, translate(u"图标自定义"),
                               translate(u"无法读取该图片文件，请选择有效的 PNG/JPG/BMP/GIF/ICO。"));
            if (!self)
                return;
        } else {
            item()->customIcon = QDir::toNativeSeparators(path);
        }
    } else if (cell == 2) {
        item()->customIcon.clear();
    }
    if (m_onLayoutChanged)
        m_onLayoutChanged();
    if (!self)
        return;
    relayout();
    update();
}

void SettingsDialog::iconListRightPress(const QPoint& pos)
{
    if (!settingsgeom::contentViewport(m_dialogWidth, m_dialogHeight).contains(pos))
        return;
    const QPoint at = pos + QPoint(0, m_scroll);
    const int rows = int(std::min(m_iconRows.size(), m_layout.iconRows.size()));
    for (int i = 0; i < rows; ++i) {
        const QRect& r = m_layout.iconRows.at(i);
        const QRect square(r.left() + 8, r.top() + (r.height() - 46) / 2, 46, 46);
        if (square.contains(at)) {
            const IconRow row = m_iconRows.at(i);
            exportDefaultIcon(this, row, *m_prompts);
            return;
        }
    }
    const HitRect* hit = settingsHitAt(m_layout, pos, m_scroll);
    if (!hit || hit->id < settingsid::kIconRowBase)
        return;
    const int row = (hit->id - settingsid::kIconRowBase) / settingsid::kIconRowStride;
    const int cell = (hit->id - settingsid::kIconRowBase) % settingsid::kIconRowStride;
    if ((cell == 1 || cell == 2) && row < rows && !m_iconRows.at(row).iconLight.isEmpty()) {
        const QString source = m_iconRows.at(row).iconLight;
        saveIconAs(this, source, *m_prompts);
    }
}
