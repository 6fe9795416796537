// The help and about page: identity, update channel, run information,
// uninstall and the legal texts. It keeps nothing but its rectangles; every
// paint reads the working copy, the data root and the memory of the moment.
#include "settings/settingsdialog.h"

#include "app/buildinfo.h"
#include "app/lang.h"
#include "app/theme.h"
#include "platform/processmemory.h"
#include "settings/settingsglyphs.h"
#include "settings/settingsprompts.h"
#include "settings/settingsstyle.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>

namespace {

using namespace settingsslot;

// Callbacks are called through a copy: the main window may close and delete
// the dialog from inside one (uninstall, factory reset).
template <typename F, typename... Args>
void callIfSet(F f, Args... args)
{
    if (f)
        f(args...);
}

// The channel switch's track.
constexpr int kTrack = 33;

QFont aboutFont(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("Microsoft YaHei UI"));
    f.setPixelSize(pixelSize);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

QColor aboutCardColour(bool dark) { return dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xFC, 0xFC, 0xFE); }

QColor raisedFill(const ThemePalette& pal) { return pal.isDark ? pal.c[kControl] : QColor(Qt::white); }

void drawText(QPainter& p, const QRect& r, const QFont& font, const QColor& colour, const QString& text,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter, Qt::TextElideMode elide = Qt::ElideRight)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, align, QFontMetrics(font).elidedText(text, elide, std::max(0, r.width())));
}

// Glyph and title at the head of a card.
void paintCardHeader(QPainter& p, const ThemePalette& pal, const QRect& card, int glyph, const QString& title)
{
    paintSectionGlyph(p, QPointF(card.left() + 20, card.top() + 29), pal.c[kAccent], glyph);
    drawText(p, settingsRect(card.left() + 34, card.top() + 19, card.right() - 12, card.top() + 38), aboutFont(13, true),
             pal.c[kBodyText], title);
}

// The page glyph of a legal link: a sheet with two lines of text.
void paintPageGlyph(QPainter& p, const QRectF& sheet, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, 1.1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(sheet, 1.5, 1.5);
    const double x0 = sheet.left() + 2.5;
    const double x1 = sheet.right() - 2.5;
    p.drawLine(QPointF(x0, sheet.top() + 4), QPointF(x1, sheet.top() + 4));
    p.drawLine(QPointF(x0, sheet.top() + 7), QPointF(x1, sheet.top() + 7));
    p.restore();
}

} // namespace

void SettingsDialog::layoutAboutPage(int w)
{
    const QFontMetrics fm(aboutFont(11));
    int widths[3];
    for (int i = 0; i < 3; ++i)
        widths[i] = fm.horizontalAdvance(translate(aboutLegalLabel(i)));
    int buttonWidth = 100;
    for (const char16_t* label : {u"访问官网", u"加入社区", u"检查更新", u"立即回收", u"清理缓存", u"打开目录",
                                  u"导出日志", u"查看日志..."})
        buttonWidth = std::max(buttonWidth, settingsFont13Metrics().horizontalAdvance(translate(label)) + 24);
    const int channelLabelWidth = QFontMetrics(aboutFont(12)).horizontalAdvance(translate(u"更新通道"));
    m_about = layoutAboutRects(w, widths, buttonWidth, channelLabelWidth);
    const AboutPageLayout& a = m_about;
    const std::pair<QRect, int> targets[] = {
        {a.visitSite, aboutid::kVisitSite},
        {a.joinCommunity, aboutid::kJoinCommunity},
        {a.stableHalf, aboutid::kStableChannel},
        {a.testHalf, aboutid::kTestChannel},
        {a.checkUpdate, aboutid::kCheckUpdate},
        {a.trimMemory, aboutid::kTrimMemory},
        {a.clearIconCache, aboutid::kClearIconCache},
        {a.openDataDir, aboutid::kOpenDataDir},
        {a.viewLog, aboutid::kViewLog},
        {a.exportLogs, aboutid::kExportLogs},
        {a.uninstall[0], aboutid::kUninstallKeepData},
        {a.uninstall[1], aboutid::kUninstallWithData},
        {a.uninstall[2], aboutid::kFactoryReset},
        {a.legal[0], aboutid::kUserAgreement},
        {a.legal[1], aboutid::kPrivacyPolicy},
        {a.legal[2], aboutid::kLicence},
    };
    for (const auto& [rect, id] : targets) {
        HitRect h;
        h.rect = rect;
        h.kind = settingshit::kButton;
        h.id = id;
        h.content = true;
        m_layout.hits.append(h);
    }
    m_layout.contentHeight = a.contentHeight;
}

void SettingsDialog::paintAboutPage(QPainter& p)
{
    const ThemePalette& pal = dialogPalette();
    const AboutPageLayout& a = m_about;
    const int w = m_dialogWidth - 200;
    const QColor raised = raisedFill(pal);
    const PageButtonPainter button{p, pal, m_hoverId, m_pressedId, raised, settingsFont13()};
    const QFont font11 = aboutFont(11);
    const QFont font12 = aboutFont(12);

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const QRect& card : a.cards) {
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(aboutCardColour(pal.isDark));
        p.drawRoundedRect(settingsOutlineRect(card), 8, 8);
    }

    // Identity.
    const QRect& c1 = a.cards[0];
    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    if (!logo.isNull()) {
        p.save();
        QPainterPath clip;
        clip.addRoundedRect(QRectF(a.logo), 10, 10);
        p.setClipPath(clip);
        p.drawImage(QRectF(a.logo), logo);
        p.restore();
    } else {
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(pal.c[kTrack]);
        p.drawRoundedRect(settingsOutlineRect(a.logo), 10, 10);
    }
    const int textRight = w + 60 - 9;
    drawText(p, settingsRect(c1.left() + 100, c1.top() + 12, textRight, c1.top() + 33), aboutFont(15, true),
             pal.c[kTitleText], translate(u"Quillory"));
    drawText(p, settingsRect(c1.left() + 100, c1.top() + 34, textRight, c1.top() + 49), font11, pal.c[kSecondaryText],
             translate(u"Quillory · Linux 桌面图标面板"));
    const QString facts[5][2] = {
        {translate(u"版本"), QStringLiteral("v") + fileVersionString()},
        {translate(u"构建日期"), buildDateString()},
        {translate(u"发布厂商"), translate(publisherCredit())},
        {translate(u"官方网站"), aboutWebUrl(aboutid::kVisitSite).toString()},
        {translate(u"官方社区"), aboutWebUrl(aboutid::kJoinCommunity).toString()},
    };
    const int lineHeight = std::clamp(QFontMetrics(font12).height() + 2, 22, 28);
    // The label columns take their widest label (English ones are longer),
    // so the values move right instead of the labels being cut.
    const QFontMetrics labelMetrics(font12);
    int factLabelWidth = 76;
    for (const auto& fact : facts)
        factLabelWidth = std::max(factLabelWidth, labelMetrics.horizontalAdvance(fact[0]) + 2);
    const int factValueLeft = c1.left() + 16 + factLabelWidth + 8;
    for (int i = 0; i < 5; ++i) {
        const int top = c1.top() + 58 + 28 * i;
        drawText(p, QRect(c1.left() + 16, top, factLabelWidth, lineHeight), font12, pal.c[kSecondaryText],
                 facts[i][0]);
        drawText(p, settingsRect(factValueLeft, top, textRight, top + lineHeight - 1), font12, pal.c[kBodyText],
                 facts[i][1]);
    }
    button.about(a.visitSite, translate(u"访问官网"), aboutid::kVisitSite);
    button.about(a.joinCommunity, translate(u"加入社区"), aboutid::kJoinCommunity);

    // Update channel.
    const QRect& c2 = a.cards[1];
    paintCardHeader(p, pal, c2, 7, translate(u"检测更新"));
    drawText(p, settingsRect(c2.left() + 16, c2.top() + 58, a.channelSwitch.left() - 10, c2.top() + 85), font12,
             pal.c[kSecondaryText], translate(u"更新通道"));
    p.setPen(Qt::NoPen);
    p.setBrush(pal.c[kTrack]);
    p.drawRoundedRect(QRectF(a.channelSwitch), 8, 8);
    const int channel = m_working.updateChannel == 1 ? 1 : 0;
    const QRect halves[2] = {a.stableHalf, a.testHalf};
    const char16_t* channelLabels[2] = {u"稳定版", u"测试版"};
    for (int i = 0; i < 2; ++i) {
        if (i == channel) {
            p.setPen(Qt::NoPen);
            p.setBrush(raised);
            p.drawRoundedRect(QRectF(halves[i]).adjusted(2, 2, -2, -2), 6, 6);
        }
        drawText(p, halves[i], font11, i == channel ? pal.c[kBodyText] : pal.c[kSecondaryText],
                 translate(channelLabels[i]), Qt::AlignCenter);
    }
    button.about(a.checkUpdate, translate(u"检查更新"), aboutid::kCheckUpdate);

    // Run information.
    const QRect& c3 = a.cards[2];
    paintCardHeader(p, pal, c3, 8, translate(u"运行信息"));
    const char16_t* runLabels[4] = {u"当前占用", u"缓存目录", u"数据目录", u"运行日志"};
    const QRect lineButtons[4] = {a.trimMemory, a.clearIconCache, a.openDataDir, a.viewLog};
    const QFontMetrics fm12(font12);
    int runLabelWidth = 68;
    for (const char16_t* label : runLabels)
        runLabelWidth = std::max(runLabelWidth, fm12.horizontalAdvance(translate(label)) + 2);
    const int runValueLeft = c3.left() + 16 + std::max(96, runLabelWidth + 12);
    for (int i = 0; i < 4; ++i) {
        const int top = c3.top() + 58 + 40 * i;
        const QRect line = settingsRect(c3.left(), top, c3.right(), top + 27);
        drawText(p, QRect(c3.left() + 16, top, runLabelWidth, 28), font12, pal.c[kSecondaryText],
                 translate(runLabels[i]));
        const QRect value = settingsRect(runValueLeft, top, lineButtons[i].left() - 10, top + 27);
        const int folderWidth = lineButtons[i].left() - runValueLeft - 8;
        p.save();
        p.setClipRect(line);
        if (i == 0)
            drawText(p, value, font12, pal.c[kBodyText], aboutMemoryText());
        else if (i == 1)
            drawText(p, value, font12, pal.c[kBodyText],
                     aboutFolderText(m_dataDir + QStringLiteral("/cache"), fm12, folderWidth),
                     Qt::AlignLeft | Qt::AlignVCenter, Qt::ElideNone);
        else if (i == 2)
            drawText(p, value, font12, pal.c[kBodyText], aboutFolderText(m_dataDir, fm12, folderWidth),
                     Qt::AlignLeft | Qt::AlignVCenter, Qt::ElideNone);
        p.restore();
    }
    button.about(a.trimMemory, translate(u"立即回收"), aboutid::kTrimMemory);
    button.about(a.clearIconCache, translate(u"清理缓存"), aboutid::kClearIconCache);
    button.about(a.openDataDir, translate(u"打开目录"), aboutid::kOpenDataDir);
    button.about(a.viewLog, translate(u"查看日志..."), aboutid::kViewLog);
    button.about(a.exportLogs, translate(u"导出日志"), aboutid::kExportLogs);

    // Uninstall and factory reset.
    const QRect& c4 = a.cards[3];
    paintCardHeader(p, pal, c4, 2, translate(u"卸载程序"));
    button.about(a.uninstall[0], translate(u"保留配置卸载"), aboutid::kUninstallKeepData);
    button.about(a.uninstall[1], translate(u"无残留卸载"), aboutid::kUninstallWithData);
    button.about(a.uninstall[2], translate(u"完全初始化程序"), aboutid::kFactoryReset);
    const char16_t* notes[3] = {
        u"「保留配置卸载」只删除程序，保留分组、设置与日志，重装后自动读回；",
        u"「无残留卸载」会把设置与分组一并清除。换机迁移请用「备份与恢复」页导出/还原。",
        u"「完全初始化程序」会清空全部数据并自动重启，回到首次安装状态（不可恢复）。",
    };
    const int noteTops[3] = {96, 113, 130};
    for (int i = 0; i < 3; ++i)
        drawText(p, settingsRect(c4.left() + 16, c4.top() + noteTops[i], c4.right() - 16, c4.top() + noteTops[i] + 14),
                 font11, pal.c[kSecondaryText], translate(notes[i]));

    // Legal texts.
    const QRect& c5 = a.cards[4];
    const QString legalTitle = translate(u"协议与声明");
    paintCardHeader(p, pal, c5, 8, legalTitle);
    const int subtitleLeft = c5.left() + 34 + QFontMetrics(aboutFont(13, true)).horizontalAdvance(legalTitle) + 10;
    drawText(p, settingsRect(subtitleLeft, c5.top() + 19, c5.right() - 12, c5.top() + 38), font11, pal.c[kSecondaryText],
             translate(u"官方条款与开源许可，点击在浏览器中查看最新版本"));
    const int legalIds[3] = {aboutid::kUserAgreement, aboutid::kPrivacyPolicy, aboutid::kLicence};
    for (int i = 0; i < 3; ++i) {
        const QRect& r = a.legal[i];
        const bool pressed = m_pressedId == legalIds[i];
        const bool hot = pressed || m_hoverId == legalIds[i];
        p.setPen(QPen(hot ? pal.c[kAccentHover] : pal.c[kControlBorder], 1));
        p.setBrush(hot ? pal.c[kAccentTint] : raised);
        p.drawRoundedRect(settingsOutlineRect(r), 6, 6);
        const double cy = (r.top() + r.bottom() + 1) / 2.0;
        paintPageGlyph(p, QRectF(r.left() + 14, cy - 6, 10, 12), hot ? pal.c[kAccentHover] : pal.c[kSecondaryText]);
        QColor text = pal.c[kBodyText];
        if (pressed)
            text = pal.c[kAccent].darker(115);
        else if (hot)
            text = pal.c[kAccent];
        drawText(p, settingsRect(r.left() + 34, r.top(), r.right() - 8, r.bottom()), font11, text,
                 translate(aboutLegalLabel(i)));
    }
    p.restore();
}

void SettingsDialog::runAboutAction(int id)
{
    using namespace aboutid;
    const QUrl web = aboutWebUrl(id);
    if (web.isValid()) {
        m_prompts->openUrl(web);
        return;
    }
    switch (id) {
    case kStableChannel:
    case kTestChannel:
        // The working copy only: OK makes it live, but the manual check of
        // an open dialog already follows it.
        m_working.updateChannel = id == kTestChannel ? 1 : 0;
        break;
    case kCheckUpdate: callIfSet(m_onCheckUpdate); break;
    case kTrimMemory: processMemory().trim(); break;
    case kClearIconCache: callIfSet(m_onClearIconCache); break;
    case kOpenDataDir: m_prompts->openFolder(m_dataDir); break;
    case kViewLog: {
        // The prompts object outlives a dialog that closes under the viewer.
        const std::shared_ptr<SettingsPrompts> prompts = m_prompts;
        prompts->showLogViewer(this, m_dataDir);
        break;
    }
    case kExportLogs: callIfSet(m_onExportLogs); break;
    case kUninstallKeepData:
    case kUninstallWithData: callIfSet(m_onUninstall, id == kUninstallWithData); break;
    case kFactoryReset: callIfSet(m_onFactoryReset); break;
    default: break;
    }
}
