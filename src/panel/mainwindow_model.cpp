// The settings record, the group list and their files.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "panel/defaultgroups.h"
#include "panel/layoutfile.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

void MainWindow::loadSettings()
{
    settingsPath = cachedAppDataDir() + QStringLiteral("/settings.json");
    QSize geometry(-1, -1);
    const SettingsLoadResult r = loadAppSettings(settingsPath, settings, &geometry);
    if (r.damaged() || r.partlyRead)
        damageNotice.report(ConfigDamageNotice::File::Settings, r.preserved, r.damage());
    if (r.status == SettingsLoadResult::Loaded)
        rememberedSize = geometry;
    // A restore or an import may bring another language; the windows that
    // are already open (the tray menu among them) must hear of it.
    if (r.languageChanged)
        notifyLanguageChanged();
}

bool MainWindow::saveSettings()
{
    if (settingsPath.isEmpty())
        settingsPath = cachedAppDataDir() + QStringLiteral("/settings.json");
    QString error;
    if (saveAppSettings(settingsPath, settings, size(), &error)) {
        // An open settings dialog shows what the panel changed meanwhile.
        if (settingsDialog)
            scheduleSettingsDialogRefresh();
        return true;
    }
    reportConfigSaveFailure(settingsPath, error);
    return false;
}

void MainWindow::reportConfigSaveFailure(const QString& path, const QString& message)
{
    saveFailureReporter.report(path, message);
}

bool MainWindow::loadLayout()
{
    static const QString dataRoot = cachedAppDataDir();
    layoutPath = dataRoot + QStringLiteral("/layout.json");

    LayoutRead r = readLayoutFile(layoutPath, translate("默认分组"));
    switch (r.state) {
    case LayoutFileState::Missing:
        return false;
    case LayoutFileState::Empty:
        // Nothing of the user's to keep: the defaults take its place.
        qInfo() << "layout file is empty:" << layoutPath;
        return false;
    case LayoutFileState::Unreadable:
    case LayoutFileState::Damaged:
    case LayoutFileState::NotObject:
    case LayoutFileState::NotRegular: {
        // Whatever is there may be the user's only copy of the panel: it is
        // set aside (or, failing that, never overwritten this run) and the
        // user is told, for every kind of damage.
        qWarning() << "layout file not usable:" << layoutPath << r.error;
        const bool preserved = preserveCorruptConfig(layoutPath);
        damageNotice.report(ConfigDamageNotice::File::Layout, preserved,
                            r.state == LayoutFileState::NotRegular
                                ? ConfigDamageNotice::Damage::NotRegular
                                : ConfigDamageNotice::Damage::Unusable);
        return false;
    }
    case LayoutFileState::Loaded:
        break;
    }
    clearConfigOverwriteBlock(layoutPath);
    if (r.partlyRead) {
        // The next save writes only what was understood; the original stays
        // in place until then and a copy of it is kept for good.
        qWarning() << "layout file read in part:" << layoutPath << r.error;
        const bool copied = keepCopyOfConfig(layoutPath, r.bytes);
        damageNotice.report(ConfigDamageNotice::File::Layout, copied,
                            ConfigDamageNotice::Damage::PartlyRead);
        r.bytes.clear();
    }
    groups = std::move(r.groups);
    if (currentGroupIndex >= groups.size())
        setCurrentGroupIndex(0);
    requestShownGroupIcons();
    return true;
}

bool MainWindow::saveLayout()
{
    if (layoutPath.isEmpty())
        layoutPath = cachedAppDataDir() + QStringLiteral("/layout.json");
    QDir().mkpath(QFileInfo(layoutPath).absolutePath());
    QString error;
    const bool saved = saveConfigFile(layoutPath, serializeLayout(groups), &error);
    if (!saved) {
        qWarning() << "saveLayout:" << layoutPath << error;
        reportConfigSaveFailure(layoutPath, translate("分组布局写入失败"));
    }
    refreshModelViews();
    return saved;
}

bool MainWindow::commitLayoutChange(const QString& successToast)
{
    const bool saved = saveLayout();
    if (saved && !successToast.isEmpty())
        showToast(successToast, 0);
    return saved;
}

void MainWindow::refreshModelViews()
{
    // An open settings dialog gets one queued refresh here once it exists.
    if (iconGrid) {
        iconGrid->relayout();
        iconGrid->update();
    }
    if (sidebar)
        sidebar->update();
    update();
}

void MainWindow::createDefaultGroups()
{
    groups = buildSystemDefaultGroups();
    setCurrentGroupIndex(0);
}

void MainWindow::setCurrentGroupIndex(int index)
{
    currentGroupIndex = groups.isEmpty() ? 0 : qBound(0, index, int(groups.size()) - 1);
    requestShownGroupIcons();
    if (iconGrid) {
        iconGrid->preloadCustomIcons();
        iconGrid->relayout();
    }
}

void MainWindow::onGroupSelected(int index)
{
    if (index < 0 || index >= groups.size())
        return;
    setCurrentGroupIndex(index);
    if (iconGrid) {
        iconGrid->resetScroll();
        iconGrid->update();
    }
    if (sidebar)
        sidebar->update();
    update();
}

int MainWindow::groupIndexByName(const QString& name, int except) const
{
    for (int i = 0; i < groups.size(); ++i) {
        if (i != except && groups[i].name == name)
            return i;
    }
    return -1;
}
