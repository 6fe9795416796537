// The settings dialog as the screenshot mode shows it: sample settings and
// groups, fixed scroll positions, both palettes and both languages.
#include "settings/settingspreview.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/theme.h"
#include "icons/iconservice.h"
#include "model/panelmodel.h"
#include "settings/settingsdialog.h"
#include "settings/settingsglyphs.h"
#include "settings/settingslayout.h"
#include "widgets/hintcarddialog.h"
#include "widgets/logviewerdialog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointingDevice>
#include <QWheelEvent>

#include <memory>

namespace {

// Shown where the dialog and the log viewer expect the data root. It names
// no folder of this machine and is never created.
const QString kSampleDataDir = QStringLiteral("/home/user/.local/share/Tarnavel/TarnavelPanel");

// Puts the palette and the language back as they were, whatever a shot
// function changed.
class LookGuard {
public:
    LookGuard() : m_dark(currentTheme().isDark), m_language(currentLanguage()) {}
    ~LookGuard()
    {
        setDarkTheme(m_dark);
        setLanguage(m_language);
    }
    LookGuard(const LookGuard&) = delete;
    LookGuard& operator=(const LookGuard&) = delete;

private:
    bool m_dark;
    int m_language;
};

QList<PanelGroup> fullGroups()
{
    QList<PanelGroup> groups;
    appendPreviewGroup(groups, QStringLiteral("常用"),
                       {QStringLiteral("/usr/bin/gedit"), QStringLiteral("/usr/bin/gimp"),
                        QStringLiteral("/usr/bin/gnome-calculator"), QStringLiteral("/usr/bin/xterm"),
                        QStringLiteral("/usr/bin/nautilus")});
    appendPreviewGroup(groups, QStringLiteral("工具"),
                       {QStringLiteral("/usr/bin/gnome-system-monitor"), QStringLiteral("/usr/bin/gnome-control-center"),
                        QStringLiteral("/usr/bin/htop")});
    appendPreviewGroup(groups, QStringLiteral("游戏"), {});
    return groups;
}

QList<PanelGroup> smallGroups()
{
    QList<PanelGroup> groups;
    appendPreviewGroup(groups, QStringLiteral("常用"),
                       {QStringLiteral("/usr/bin/gedit"), QStringLiteral("/usr/bin/gimp"),
                        QStringLiteral("/usr/bin/gnome-calculator")});
    appendPreviewGroup(groups, QStringLiteral("工具"), {QStringLiteral("/usr/bin/gnome-system-monitor")});
    appendPreviewGroup(groups, QStringLiteral("游戏"), {});
    return groups;
}

// Fills the icon cache for every item, so that the icon rows show pictures
// rather than waiting for answers no event loop would deliver in time.
void fetchIcons(const QList<PanelGroup>& groups)
{
    for (const PanelGroup& g : groups)
        for (const PanelItem& item : g.items)
            iconPixmapForPath(item.path);
}

std::unique_ptr<SettingsDialog> makeDialog(AppSettings* settings, QList<PanelGroup>* groups)
{
    const auto nothing = [] {};
    return std::make_unique<SettingsDialog>(
        settings, kSampleDataDir, nothing, [](const AppSettings&) {}, nothing, nothing, nothing, nothing,
        [](bool) {}, groups, nothing, [](const QString&) {}, [](const QString&, const QMap<QString, QString>&) {},
        nothing);
}

void scroll(SettingsDialog& dialog, int delta)
{
    const QPointF local(320, 400);
    QWheelEvent wheel(local, dialog.mapToGlobal(local), QPoint(0, 0), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false, Qt::MouseEventNotSynthesized, QPointingDevice::primaryPointingDevice());
    QCoreApplication::sendEvent(&dialog, &wheel);
}

void save(QWidget& widget, const QString& path) { widget.grab().save(path); }

// A page of a shown dialog, once its layout and children have settled.
void shootPage(SettingsDialog& dialog, int page, const QString& path)
{
    dialog.setCurrentPage(page);
    QCoreApplication::processEvents();
    save(dialog, path);
}

// The log viewer reads the log off the GUI thread; each picture waits
// (briefly) for the text to arrive.
void shootLogViewer(LogViewerDialog& dialog, const QString& path)
{
    const QDeadlineTimer deadline(5000);
    QCoreApplication::processEvents();
    while (dialog.logViewWidget()->toPlainText().isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    save(dialog, path);
}

int monitorSectionTop(const SettingsDialog& dialog)
{
    const QList<SettingsSection>& model = dialog.pageModel();
    for (int i = 0; i < model.size() && i < dialog.pageLayout().sectionTops.size(); ++i) {
        if (QString::fromUtf16(model.at(i).title) == QStringLiteral("屏幕监控"))
            return dialog.pageLayout().sectionTops.at(i) - settingsgeom::kContentTop;
    }
    return 0;
}

// A day of sample log lines under `root`, so that the log viewer's sheets
// show what a log looks like and nothing of this machine's own log.
QString writeSampleLog(const QString& root)
{
    const QString day = root + QStringLiteral("/2026-11-06");
    QDir().mkpath(day);
    QFile file(day + QStringLiteral("/app.log"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write("2026-11-06 13:15:02.114 [info] Quillory 1.0.136 starting, data root "
                   "/home/user/.local/share/Tarnavel/TarnavelPanel\n"
                   "2026-11-06 13:15:02.187 [info] layout loaded: 3 groups, 8 items\n"
                   "2026-11-06 13:15:02.203 [info] settings loaded\n"
                   "2026-11-06 13:15:02.388 [info] tray icon shown\n"
                   "2026-11-06 13:15:04.702 [info] automatic backup: snapshot "
                   "Quillory-Auto-20261106-131504.zip written (1.1 MiB)\n"
                   "2026-11-06 13:16:11.950 [info] opened /usr/bin/gedit\n"
                   "2026-11-06 13:16:40.031 [warning] icon of /opt/demo/bin/demo not found, using the theme icon\n"
                   "2026-11-06 13:18:27.466 [info] settings saved\n");
    }
    return root;
}

void writeSampleSnapshots(const QString& dir)
{
    QDir().mkpath(dir);
    for (const PreviewSnapshot& s : previewSnapshots()) {
        QFile file(dir + QLatin1Char('/') + QLatin1String(s.fileName));
        if (!file.open(QIODevice::WriteOnly))
            continue;
        file.write(QByteArray(qsizetype(s.kib) * 1024, '\0'));
    }
}

} // namespace

QList<PreviewSnapshot> previewSnapshots()
{
    return {
        {"Quillory-PreRestore-20261106-131626.zip", 1240}, {"Quillory-Auto-20261106-131544.zip", 1180},
        {"Quillory-Auto-20261106-131514.zip", 1160},       {"Quillory-Auto-20261106-111421.zip", 1150},
        {"Quillory-PreRestore-20261106-102330.zip", 1140}, {"Quillory-PreRestore-20261106-102042.zip", 1130},
        {"Quillory-Auto-20261106-101919.zip", 1120},       {"Quillory-Auto-20261106-101909.zip", 1110},
        {"Quillory-Auto-20261106-101817.zip", 1100},
    };
}

void appendPreviewGroup(QList<PanelGroup>& groups, const QString& name, const QStringList& paths)
{
    PanelGroup group;
    group.name = translate(name);
    for (const QString& path : paths) {
        PanelItem item;
        item.path = path;
        item.name = QFileInfo(path).completeBaseName();
        group.items.append(item);
    }
    groups.append(group);
}

void previewHintCards(QWidget* parent, const QString& path)
{
    HintCardDialog card(translate(u"选择背景"), backgroundFormatsHintHtml(), translate(u"选择文件"), translate(u"取消"),
                        parent);
    card.show();
    QCoreApplication::processEvents();
    save(card, path);
    card.hide();
}

void previewSettingsGeneral(const QString& folder)
{
    const LookGuard look;
    const auto shot = [&folder](const QString& name, const QString& lockBackground) {
        AppSettings settings;
        settings.lockBgPath = lockBackground;
        const std::unique_ptr<SettingsDialog> dialog = makeDialog(&settings, nullptr);
        dialog->setCurrentPage(settingspage::kGeneral);
        scroll(*dialog, -1920);
        save(*dialog, folder + QLatin1Char('/') + name);
    };
    shot(QStringLiteral("settings-lock-default.png"), QString());
    shot(QStringLiteral("settings-lock-custom.png"), QStringLiteral("/home/user/Videos/lock-demo.mp4"));
}

void previewSettings258(const QString& folder)
{
    const LookGuard look;
    AppSettings settings;
    QList<PanelGroup> groups = fullGroups();
    fetchIcons(groups);

    // Deleted later, as the panel deletes a closed settings window: its
    // children may still have events queued.
    SettingsDialog* dialog = makeDialog(&settings, &groups).release();
    dialog->setCurrentPage(settingspage::kAppearance);
    dialog->show();
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-appearance-top.png"));
    scroll(*dialog, -960);
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-appearance-half.png"));
    scroll(*dialog, -1920);
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-appearance-mid.png"));

    shootPage(*dialog, settingspage::kGeneral, folder + QStringLiteral("/settings-general.png"));
    shootPage(*dialog, settingspage::kIcons, folder + QStringLiteral("/settings-icons-groups.png"));
    // The screen recorder's settings lead the protection page.
    dialog->setCurrentPage(settingspage::kProtect);
    dialog->setScrollOffset(monitorSectionTop(*dialog));
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-monitor.png"));
    shootPage(*dialog, settingspage::kProtect, folder + QStringLiteral("/settings-protect.png"));

    // The panel's groups change while the dialog is open: the last item of
    // the last group that has any moves to the end of the first group.
    for (qsizetype g = groups.size() - 1; g >= 0; --g) {
        if (groups[g].items.isEmpty())
            continue;
        const PanelItem moved = groups[g].items.takeLast();
        groups[0].items.append(moved);
        break;
    }
    for (int i = 0; i < 20; ++i) {
        dialog->repaint();
        QCoreApplication::processEvents();
    }
    dialog->resetPointerState();
    for (int i = 0; i < 10; ++i) {
        dialog->repaint();
        QCoreApplication::processEvents();
    }
    save(*dialog, folder + QStringLiteral("/settings-protect-model-moved.png"));

    shootPage(*dialog, settingspage::kAbout, folder + QStringLiteral("/settings-about.png"));
    scroll(*dialog, -1920);
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-about-bottom.png"));

    setDarkTheme(true);
    dialog->applyStyle();
    dialog->repaint();
    const struct {
        const char* key;
        int page;
    } darkPages[] = {
        {"appearance-top", settingspage::kAppearance},
        {"general", settingspage::kGeneral},
        {"icons", settingspage::kIcons},
        {"about", settingspage::kAbout},
    };
    for (const auto& d : darkPages)
        shootPage(*dialog, d.page, folder + QStringLiteral("/settings-%1-dark.png").arg(QLatin1String(d.key)));
    setDarkTheme(false);
    dialog->applyStyle();
    dialog->close();
    dialog->deleteLater();

    LogViewerDialog logViewer(kSampleDataDir, nullptr, writeSampleLog(folder + QStringLiteral("/_log_preview")));
    logViewer.resize(900, 620);
    shootLogViewer(logViewer, folder + QStringLiteral("/log-viewer.png"));
    setDarkTheme(true);
    logViewer.applyTheme();
    logViewer.logViewWidget()->clear();
    logViewer.reload();
    shootLogViewer(logViewer, folder + QStringLiteral("/log-viewer-dark.png"));
    setDarkTheme(false);
    // The dialog deleted later goes before the groups it points at.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void previewSettingsProtect(const QString& folder)
{
    const LookGuard look;
    AppSettings settings;
    QList<PanelGroup> groups = smallGroups();
    fetchIcons(groups);

    const std::unique_ptr<SettingsDialog> dialog = makeDialog(&settings, &groups);
    dialog->setCurrentPage(settingspage::kProtect);
    dialog->show();
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-protect.png"));

    dialog->setCurrentPage(settingspage::kGeneral);
    scroll(*dialog, -6400);
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-general-bottom.png"));

    setLanguage(1);
    shootPage(*dialog, settingspage::kProtect, folder + QStringLiteral("/settings-protect-en.png"));

    setLanguage(0);
    dialog->setCurrentPage(settingspage::kAppearance);
    scroll(*dialog, -1088);
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-appearance-bg.png"));

    previewHintCards(dialog.get(), folder + QStringLiteral("/hint-bg.png"));
    dialog->hide();
}

void previewSettingsBackup(const QString& folder)
{
    const LookGuard look;
    const QString snapshots = folder + QStringLiteral("/_backup_preview");
    writeSampleSnapshots(snapshots);

    AppSettings settings;
    settings.backupAuto = true;
    settings.backupIntervalDays = 1;
    settings.backupRetain = 10;
    settings.backupDir = snapshots;
    const std::unique_ptr<SettingsDialog> dialog = makeDialog(&settings, nullptr);
    dialog->setCurrentPage(settingspage::kBackup);
    dialog->show();
    QCoreApplication::processEvents();
    save(*dialog, folder + QStringLiteral("/settings-backup.png"));

    setLanguage(1);
    shootPage(*dialog, settingspage::kBackup, folder + QStringLiteral("/settings-backup-en.png"));
    setLanguage(0);
    dialog->hide();
}

void previewBackupNavIcons(const QString& folder)
{
    QPixmap sheet(420, 150);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        p.setRenderHint(QPainter::Antialiasing);
        QFont font(QStringLiteral("Microsoft YaHei UI"));
        font.setPixelSize(13);
        font.setWeight(QFont::DemiBold);
        p.setFont(font);
        p.setPen(QColor(26, 26, 26));
        p.drawText(16, 26, translate(u"备份图标候选（二选一）"));
        paintBackupGlyph(p, 0, QPointF(70, 80), QColor(51, 51, 51));
        paintBackupGlyph(p, 1, QPointF(280, 80), QColor(51, 51, 51));
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(QColor(58, 58, 58));
        p.drawText(16, 124, translate(u"① 云 + 向下箭头（默认）"));
        p.drawText(226, 124, translate(u"② 数据库鼓"));
    }
    sheet.save(folder + QStringLiteral("/backup-nav-icons.png"));
}
