// The backup page of the settings dialog: the automatic-backup settings of
// the working copy and the snapshot list of the backup folder, whose create,
// restore and export run one at a time behind a progress card.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "backup/autobackup.h"
#include "backup/backupoperation.h"
#include "backup/snapshotfiles.h"
#include "settings/settingsprompts.h"
#include "settings/settingsstyle.h"
#include "settings/valuewidgets.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>

#include <algorithm>

namespace {

using namespace settingsslot;

constexpr int kTop = settingsgeom::kContentTop;
// An unforced refresh (every relayout of the page) lists the folder at most
// this often.
constexpr qint64 kRefreshIntervalMs = 1500;
constexpr qint64 kStalePartSecs = 21600;
// Restore and delete ids of the rows must not run into each other.
constexpr int kMaxEntries = settingsid::kSnapshotDeleteBase - settingsid::kSnapshotRestoreBase;
constexpr int kEntryPitch = 64;
constexpr int kMessageInfo = 0;
constexpr int kMessageWarning = 2;

// The information card with one button (an empty text: "确定").
void showInfoMessage(SettingsPrompts& prompts, QWidget* parent, const QString& title, const QString& text,
                     const QString& buttonText = QString())
{
    prompts.message(parent, kMessageInfo, title, text, buttonText);
}

QString snapshotTimeText(const QDateTime& time) { return time.toString(QStringLiteral("yyyy/M/d h:mm")); }

QFont pageFont(int pixels, bool bold)
{
    QFont f(QStringLiteral("Microsoft YaHei UI"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void drawLine(QPainter& p, const QRect& r, const QFont& font, const QColor& colour, const QString& text,
              Qt::TextElideMode elide = Qt::ElideRight)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(font).elidedText(text, elide, r.width()));
}

} // namespace

QString backupIntervalText(int days)
{
    switch (days) {
    case 1: return translate(u"每天");
    case 3: return translate(u"每 3 天");
    case 7: return translate(u"每周");
    case 30: return translate(u"每月");
    default: return QString::number(days) + translate(u" 天");
    }
}

QString backupRetainText(int count) { return QString::number(count) + translate(u" 份"); }

BackupPageGeometry backupPageGeometry(int width, int entries)
{
    BackupPageGeometry g;
    const int t = kTop;
    const int R = width - 200 + 155;
    const int cardRight = R + 20;
    const int subtitleRight = std::max(R, 439);
    const auto card = [&](int index, int top, int bottom) {
        BackupCardGeometry& c = g.cards[index];
        c.card = settingsRect(176, top, cardRight, bottom);
        c.glyphCentre = QPointF(202, top + 23);
        c.titleRect = settingsRect(222, top + 13, 391, top + 32);
        c.subtitleRect = settingsRect(400, top + 15, subtitleRight, top + 30);
        c.separatorY = top + 46;
    };
    card(0, t, t + 345);

    // The first three rows keep their text clear of the controls at the right.
    const int textRight = R - 160;
    const int rowTops[4] = { 66, 128, 190, 252 };
    for (int i = 0; i < 4; ++i) {
        const int right = i == 3 ? R : textRight;
        g.rowTitles[i] = settingsRect(196, t + rowTops[i], right, t + rowTops[i] + 19);
        g.rowDescriptions[i] = settingsRect(196, t + rowTops[i] + 22, right, t + rowTops[i] + 37);
    }
    g.autoSwitch = settingsRect(R - 43, t + 77, R, t + 98);
    g.interval = settingsRect(R - 149, t + 134, R, t + 165);
    g.retain = settingsRect(R - 149, t + 196, R, t + 227);
    // The folder buttons fit their texts; the path box takes the rest.
    const QFontMetrics buttonMetrics(pageFont(12, false));
    const auto folderButtonWidth = [&buttonMetrics](const char16_t* text) {
        return std::max(108, buttonMetrics.horizontalAdvance(translate(text)) + 24);
    };
    const int defaultWidth = folderButtonWidth(u"恢复默认目录");
    const int openWidth = folderButtonWidth(u"打开目录");
    const int changeWidth = folderButtonWidth(u"更改目录");
    g.defaultDir = QRect(R + 1 - defaultWidth, t + 294, defaultWidth, 32);
    g.openDir = QRect(g.defaultDir.left() - 10 - openWidth, t + 294, openWidth, 32);
    g.changeDir = QRect(g.openDir.left() - 10 - changeWidth, t + 294, changeWidth, 32);
    g.pathBox = settingsRect(196, t + 294, std::max(196 + 80, g.changeDir.left() - 12), t + 325);

    const int n = std::clamp(entries, 0, kMaxEntries);
    card(1, t + 361, n > 0 ? t + 507 + kEntryPitch * n + 19 : t + 586);
    const int buttonWidth = std::max(1, (R - 196 + 1 - 20) / 3);
    g.exportNewest = QRect(196, t + 423, buttonWidth, 34);
    g.backupNow = QRect(196 + buttonWidth + 10, t + 423, buttonWidth, 34);
    g.refresh = QRect(196 + 2 * (buttonWidth + 10), t + 423, buttonWidth, 34);
    g.summary = settingsRect(196, t + 473, R, t + 492);
    for (int i = 0; i < n; ++i) {
        const int top = t + 507 + kEntryPitch * i;
        BackupEntryGeometry e;
        e.box = settingsRect(196, top, R, top + 53);
        e.remove = settingsRect(R - 78, top + 12, R - 15, top + 41);
        e.restore = e.remove.translated(-72, 0);
        e.title = settingsRect(210, top + 8, e.restore.left() - 10, top + 25);
        e.detail = settingsRect(210, top + 29, e.restore.left() - 10, top + 44);
        g.entries.append(e);
    }
    if (n == 0)
        g.emptyState = settingsRect(196, t + 507, R, t + 566);
    g.contentHeight = g.cards[1].card.bottom() + 12;
    return g;
}

QString SettingsDialog::backupDirectory() const
{
    return backupFolderFor(m_working.backupDir, m_dataDir);
}

bool SettingsDialog::isBackupBusy() const { return m_backupRunner && m_backupRunner->isBusy(); }

void SettingsDialog::refreshSnapshotList(bool force)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!force && m_lastSnapshotRefreshMs > 0 && now - m_lastSnapshotRefreshMs < kRefreshIntervalMs)
        return;
    const QString dir = backupDirectory();
    QDir().mkpath(dir);
    if (force)
        BackupEngine::removeStaleParts(dir, kStalePartSecs);
    m_snapshots = BackupEngine::listSnapshots(dir);
    m_snapshotTotalBytes = 0;
    for (const BackupEngine::SnapshotInfo& s : std::as_const(m_snapshots))
        m_snapshotTotalBytes += s.size;
    m_snapshotSummary = translate(u"共 %1 个快照，占用 %2")
                            .arg(QString::number(m_snapshots.size()), formatSize(m_snapshotTotalBytes));
    if (!m_snapshots.isEmpty() && m_snapshots.first().time.isValid())
        m_snapshotSummary += translate(u"；最近一份：%1").arg(snapshotTimeText(m_snapshots.first().time));
    m_lastSnapshotRefreshMs = now;
}

void SettingsDialog::layoutBackupPage()
{
    refreshSnapshotList(false);
    BackupPageGeometry& g = m_backupGeometry;
    g = backupPageGeometry(m_dialogWidth, int(m_snapshots.size()));
    const auto add = [this](const QRect& r, int kind, int id) { m_layout.hits.append(HitRect{ r, kind, id, true }); };
    using namespace settingsid;
    add(g.autoSwitch, settingshit::kSwitch, 308);
    add(g.interval, settingshit::kButton, 300);
    add(g.retain, settingshit::kButton, 301);
    add(g.changeDir, settingshit::kButton, 302);
    add(g.openDir, settingshit::kButton, 306);
    add(g.defaultDir, settingshit::kButton, 303);
    add(g.exportNewest, settingshit::kButton, 305);
    add(g.backupNow, settingshit::kButton, 304);
    add(g.refresh, settingshit::kButton, 307);
    for (int i = 0; i < g.entries.size(); ++i) {
        add(g.entries.at(i).restore, settingshit::kButton, kSnapshotRestoreBase + i);
        add(g.entries.at(i).remove, settingshit::kButton, kSnapshotDeleteBase + i);
    }
    m_layout.contentHeight = g.contentHeight;
}

bool SettingsDialog::backupPageClick(int id, const QPoint& globalPos)
{
    using namespace settingsid;
    const int rows = int(std::min(m_snapshots.size(), qsizetype(m_backupGeometry.entries.size())));
    if (id >= kSnapshotRestoreBase && id < kSnapshotRestoreBase + rows) {
        confirmRestore(id - kSnapshotRestoreBase);
        return true;
    }
    if (id >= kSnapshotDeleteBase && id < kSnapshotDeleteBase + rows) {
        deleteSnapshot(id - kSnapshotDeleteBase);
        return true;
    }
    switch (id) {
    case 308:
        m_working.backupAuto = !m_working.backupAuto;
        preview();
        update();
        return true;
    case 300: showIntervalMenu(globalPos); return true;
    case 301: showRetainMenu(globalPos); return true;
    case 302: chooseBackupDir(); return true;
    case 303:
        m_working.backupDir.clear();
        refreshSnapshotList(true);
        relayout();
        return true;
    case 306: m_prompts->openFolder(backupDirectory()); return true;
    case 304: runBackupOp(int(BackupOp::Create), QString(), QString()); return true;
    case 305: exportNewestSnapshot(); return true;
    case 307:
        refreshSnapshotList(true);
        relayout();
        return true;
    default: return false;
    }
}

void SettingsDialog::showIntervalMenu(const QPoint& globalPos)
{
    QList<PromptMenuEntry> entries;
    for (int days : { 1, 3, 7, 30 })
        entries.append({ backupIntervalText(days), days, days == m_working.backupIntervalDays, false });
    const QPointer<SettingsDialog> self(this);
    const int chosen = m_prompts->menu(this, entries, globalPos);
    if (!self || chosen <= 0)
        return;
    m_working.backupIntervalDays = chosen;
    relayout();
}

void SettingsDialog::showRetainMenu(const QPoint& globalPos)
{
    QList<PromptMenuEntry> entries;
    for (int count : { 10, 20, 30, 50, 100 })
        entries.append({ backupRetainText(count), count, count == m_working.backupRetain, false });
    const QPointer<SettingsDialog> self(this);
    const int chosen = m_prompts->menu(this, entries, globalPos);
    if (!self || chosen <= 0)
        return;
    m_working.backupRetain = chosen;
    relayout();
}

void SettingsDialog::chooseBackupDir()
{
    const QPointer<SettingsDialog> self(this);
    const QString dir = m_prompts->existingDirectory(this, translate(u"选择备份目录"), backupDirectory());
    if (!self || dir.isEmpty())
        return;
    m_working.backupDir = QDir::toNativeSeparators(dir);
    refreshSnapshotList(true);
    relayout();
}

void SettingsDialog::exportNewestSnapshot()
{
    const QString title = translate(u"导出备份");
    if (m_snapshots.isEmpty()) {
        showInfoMessage(*m_prompts, this, title, translate(u"当前没有可导出的快照。"));
        return;
    }
    const BackupEngine::SnapshotInfo newest = m_snapshots.first();
    const QPointer<SettingsDialog> self(this);
    const QString target = m_prompts->saveFileName(this, title, QDir::homePath() + QLatin1Char('/') + newest.fileName,
                                                   translate(u"ZIP 压缩包 (*.zip)"));
    if (!self || target.isEmpty())
        return;
    runBackupOp(int(BackupOp::Export), newest.path, QDir::toNativeSeparators(target));
}

void SettingsDialog::deleteSnapshot(int row)
{
    if (row < 0 || row >= m_snapshots.size())
        return;
    // The list may be refreshed while the question is open.
    const QString path = m_snapshots.at(row).path;
    const QPointer<SettingsDialog> self(this);
    const int answer = m_prompts->ask(this, translate(u"删除快照"), translate(u"确定删除该快照？此操作不可撤销。"));
    if (!self || answer != 1)
        return;
    if (!QFile::remove(path))
        qWarning().noquote() << "delete snapshot failed:" << path;
    refreshSnapshotList(true);
    relayout();
}

void SettingsDialog::confirmRestore(int row)
{
    if (row < 0 || row >= m_snapshots.size())
        return;
    const QString path = m_snapshots.at(row).path;
    const QPointer<SettingsDialog> self(this);
    const int answer = m_prompts->ask(
        this, translate(u"还原快照"),
        translate(u"还原将用该快照覆盖当前设置与数据，并自动生成一个「还原前快照」以便撤销。确定继续？"));
    if (!self || answer != 1)
        return;
    runBackupOp(int(BackupOp::Restore), path, QString());
}

void SettingsDialog::runBackupOp(int op, const QString& a, const QString& b)
{
    if (!m_backupRunner) {
        auto runnerCell = std::make_shared<QPointer<BackupOperationRunner>>();
        m_backupRunner = std::make_unique<BackupOperationRunner>(
            [self = QPointer<SettingsDialog>(this), reload = m_onRestoreFinished,
             runnerCell](const BackupResult& result) {
                if (self) {
                    self->onBackupOpFinished(result);
                    return;
                }
                // The dialog went while a restore ran: the restored files
                // still have to reach the panel, whose reload lifts the hold
                // on saving; without a panel nothing in memory is stale.
                if (result.restoreOp && result.ok) {
                    if (reload)
                        reload();
                    else
                        BackupEngine::releaseSaves();
                }
                if (*runnerCell)
                    (*runnerCell)->deleteLater();
            });
        *runnerCell = m_backupRunner.get();
    }
    if (m_backupRunner->isBusy())
        return;
    BackupOpRequest request;
    request.op = op;
    request.dataDir = m_dataDir;
    request.backupDir = backupDirectory();
    request.source = a;
    request.target = b;
    request.retain = m_working.backupRetain;
    request.opFailText = translate(u"未知操作");
    m_backupRunner->start(std::move(request), this);
    update();
}

void SettingsDialog::onBackupOpFinished(const BackupResult& result)
{
    // The runner is idle again and its progress card gone.
    const QPointer<SettingsDialog> self(this);
    if (result.restoreOp && result.ok) {
        if (m_onRestoreFinished)
            m_onRestoreFinished();
        if (!self)
            return;
        if (m_settings) {
            m_working = *m_settings;
            // The reloaded record is what later edits are measured against.
            m_opened = m_working;
            WindowShape::refresh(this);
        }
        {
            const QSignalBlocker blocker(m_hotkeyEdit);
            m_hotkeyEdit->setKeySequence(QKeySequence(m_working.summonHotkey, QKeySequence::NativeText));
        }
        {
            const QSignalBlocker blocker(m_titleEdit);
            m_titleEdit->setText(m_working.customTitle);
        }
        if (m_fontListFilled)
            syncFontCombo();
        for (int n = 0; n < m_sliders.size(); ++n) {
            const QSignalBlocker blocker(m_sliders.at(n));
            m_sliders.at(n)->setValue(sliderFieldValue(m_working, n));
        }
    }
    // Listed after the reload: the restored settings may name another folder.
    refreshSnapshotList(true);
    relayout();
    update();

    const QString title = translate(u"备份与恢复");
    if (result.cancelled) {
        showInfoMessage(*m_prompts, this, title, translate(u"已取消。"));
    } else if (result.ok) {
        const char16_t* text = result.restoreOp ? u"已恢复快照，设置与分组布局已重新加载。"
                               : m_backupRunner->lastOp() == int(BackupOp::Create) ? u"已创建备份快照。"
                                                                                    : u"已导出备份文件。";
        const QString notice = result.notice.isEmpty() ? QString() : QStringLiteral("\n\n") + result.notice;
        showInfoMessage(*m_prompts, this, title, translate(text) + notice);
    } else {
        const QString text = result.message.isEmpty() ? translate(u"操作失败，请稍后重试。") : translate(result.message);
        m_prompts->message(this, kMessageWarning, title, text, translate(u"确定"));
    }
}

void SettingsDialog::stopBackupWorker(int budgetMs)
{
    if (m_backupRunner)
        m_backupRunner->stop(budgetMs);
}

void SettingsDialog::paintBackupPage(QPainter& p, const QColor& cardColour)
{
    const ThemePalette& pal = dialogPalette();
    const bool dark = pal.isDark;
    const BackupPageGeometry& g = m_backupGeometry;
    const QFont titleFont = pageFont(13, true);
    const QFont rowFont = pageFont(13, false);
    const QFont smallFont = pageFont(11, false);
    const QColor separator = dark ? QColor(0x3A, 0x3A, 0x3A) : QColor(0xEC, 0xEE, 0xF2);
    const PageButtonPainter button{ p, pal, m_hoverId, m_pressedId, pal.c[kControl], pageFont(12, false) };

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);

    paintBackupCard(p, pal, g.cards[0], cardColour, separator, titleFont, smallFont, QStringLiteral("自动备份"), 9,
                    QStringLiteral("按计划自动创建设置与应用数据的本地快照"));
    static const char16_t* const rowTitles[4] = { u"启用自动备份", u"备份间隔", u"保留快照份数", u"备份目录" };
    static const char16_t* const rowDescriptions[4] = { u"开启后按下方间隔定时创建快照", u"多久创建一份新的自动快照",
                                                        u"达到上限后自动删除最旧的快照",
                                                        u"自动快照保存位置，留空时使用默认目录" };
    for (int i = 0; i < 4; ++i) {
        drawLine(p, g.rowTitles[i], rowFont, pal.c[kBodyText], translate(rowTitles[i]));
        drawLine(p, g.rowDescriptions[i], smallFont, pal.c[kSecondaryText], translate(rowDescriptions[i]));
    }
    paintSettingsSwitch(p, g.autoSwitch, m_working.backupAuto);
    button.backup(g.interval, backupIntervalText(m_working.backupIntervalDays), 300, false);
    button.backup(g.retain, backupRetainText(m_working.backupRetain), 301, false);

    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(dark ? QColor(0x22, 0x22, 0x22) : QColor(0xF3, 0xF4, 0xF6));
    p.drawRoundedRect(settingsOutlineRect(g.pathBox), 6, 6);
    const QRect pathText = g.pathBox.adjusted(10, 0, -10, 0);
    p.setFont(smallFont);
    p.setPen(pal.c[kSecondaryText]);
    p.drawText(pathText, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(smallFont).elidedText(backupDirectory(), Qt::ElideMiddle, g.pathBox.width() - 20));
    button.backup(g.changeDir, translate(u"更改目录"), 302, false);
    button.backup(g.openDir, translate(u"打开目录"), 306, false);
    button.backup(g.defaultDir, translate(u"恢复默认目录"), 303, false);

    paintBackupCard(p, pal, g.cards[1], cardColour, separator, titleFont, smallFont, QStringLiteral("本机快照"), 10,
                    QStringLiteral("自动快照用于故障恢复，还原前快照用于撤消最近一次还原"));
    button.backup(g.exportNewest, translate(u"导出备份"), 305, false);
    button.backup(g.backupNow, translate(u"立即备份"), 304, true);
    button.backup(g.refresh, translate(u"刷新"), 307, false);
    drawLine(p, g.summary, smallFont, pal.c[kSecondaryText], m_snapshotSummary);

    const QColor entryFill = dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xF7, 0xF8, 0xFA);
    const QString restoreText = translate(u"还原");
    const QString deleteText = translate(u"删除");
    for (int i = 0; i < g.entries.size() && i < m_snapshots.size(); ++i) {
        const BackupEntryGeometry& e = g.entries.at(i);
        if (!m_paintArea.isNull() && !m_paintArea.intersects(e.box))
            continue;
        const BackupEngine::SnapshotInfo& s = m_snapshots.at(i);
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(entryFill);
        p.drawRoundedRect(settingsOutlineRect(e.box), 8, 8);
        const QString kind = s.preRestore ? translate(u"还原前快照") : translate(u"自动快照");
        const QString when = s.time.isValid() ? snapshotTimeText(s.time) : QStringLiteral("—");
        drawLine(p, e.title, rowFont, pal.c[kBodyText], kind + QStringLiteral(" · ") + when);
        drawLine(p, e.detail, smallFont, pal.c[kSecondaryText],
                 s.fileName + QStringLiteral("  ·  ") + formatSize(s.size), Qt::ElideMiddle);
        button.backup(e.restore, restoreText, settingsid::kSnapshotRestoreBase + i, false);
        button.backup(e.remove, deleteText, settingsid::kSnapshotDeleteBase + i, false);
    }
    if (!g.emptyState.isNull()) {
        p.setPen(QPen(separator, 1));
        p.setBrush(dark ? QColor(0x28, 0x28, 0x28) : QColor(0xFA, 0xFB, 0xFC));
        p.drawRoundedRect(settingsOutlineRect(g.emptyState), 8, 8);
        p.setFont(smallFont);
        p.setPen(pal.c[kSecondaryText]);
        p.drawText(g.emptyState, Qt::AlignCenter, translate(u"暂无快照，点击「立即备份」创建第一份。"));
    }
    p.restore();
}
