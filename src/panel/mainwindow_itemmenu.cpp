// The item context menu: its entries and enable rules, and what each does.
#include "panel/mainwindow.h"

#include "app/asynctask.h"
#include "app/lang.h"
#include "app/theme.h"
#include "icons/iconservice.h"
#include "panel/desktopshortcut.h"
#include "platform/filemanager.h"
#include "platform/launcher.h"
#include "platform/volumes.h"
#include "widgets/floaticon.h"
#include "widgets/icongrid.h"
#include "widgets/lineglyphs.h"
#include "widgets/menustyle.h"
#include "widgets/msgdialog.h"
#include "widgets/shortcuteditdialog.h"
#include "widgets/sidebar.h"

#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QStandardPaths>

namespace {

struct ItemState {
    bool shell = false;
    bool exists = false;
    bool folder = false;
    bool missing = false;
};

ItemState stateOf(const PanelItem& item)
{
    ItemState s;
    s.shell = item.path.startsWith(QLatin1String("::"));
    if (!s.shell) {
        const QFileInfo info(item.path);
        s.exists = info.exists();
        s.folder = s.exists && info.isDir();
    }
    s.missing = item.isMissing();
    return s;
}

QPixmap itemPicture(const PanelItem& item)
{
    QPixmap picture;
    if (!item.customIcon.isEmpty())
        picture = QPixmap(item.customIcon);
    if (picture.isNull())
        picture = iconPixmapForPath(item.path);
    return picture;
}

} // namespace

void MainWindow::fillItemMenu(QMenu* menu, int itemIndex)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size())
        return;
    const PanelGroup& group = groups.at(currentGroupIndex);
    if (itemIndex < 0 || itemIndex >= group.items.size())
        return;
    const PanelItem item = group.items.at(itemIndex);
    const ItemState st = stateOf(item);
    const bool reachable = st.shell || st.exists;
    int missingCount = 0;
    if (st.missing) {
        // The last background check answers for the other items; the
        // clicked one was just looked at.
        for (const PanelGroup& g : groups) {
            for (const PanelItem& it : g.items)
                missingCount += missingKeys.contains(it.key) || it.key == item.key ? 1 : 0;
        }
    }

    const bool dark = currentTheme().isDark;
    const QColor normal = dark ? QColor(0xC7, 0xCE, 0xDB) : QColor(0x4A, 0x51, 0x5E);
    const QColor muted = dark ? QColor(0x9A, 0xA2, 0xB2) : QColor(0x6C, 0x75, 0x84);
    const QColor red(0xD9, 0x53, 0x4F);
    auto add = [&](QMenu* m, int id, LineGlyph glyph, const QColor& colour, const char16_t* text, bool enabled) {
        QAction* a = m->addAction(makeGlyphIcon(int(glyph), colour), translate(text));
        a->setData(id);
        a->setEnabled(enabled);
        return a;
    };
    add(menu, Open, LineGlyph::Triangle, normal, u"打开", reachable);
    add(menu, RunAsAdmin, LineGlyph::Shield, normal, u"以管理员身份运行", st.exists && !st.folder);
    add(menu, ShowInFolder, LineGlyph::Folder, normal, u"打开所在位置", st.exists);
    menu->addSeparator();
    add(menu, Edit, LineGlyph::Pencil, normal, u"编辑...", st.exists);
    add(menu, Relocate, LineGlyph::Folder, normal, u"重新定位...", !st.shell);
    add(menu, RestoreIcon, LineGlyph::Picture, muted, u"恢复默认图标", !item.customIcon.isEmpty());
    add(menu, CopyPath, LineGlyph::Squares, normal, u"复制完整路径", true);
    add(menu, DesktopShortcut, LineGlyph::Export, normal, u"创建桌面快捷方式", st.exists);
    menu->addSeparator();
    QMenu* move = menu->addMenu(makeGlyphIcon(int(LineGlyph::Tiles), normal), translate(u"移动到分组"));
    styleMenu(move);
    for (int g = 0; g < groups.size(); ++g) {
        QAction* a = move->addAction(groups.at(g).name);
        a->setData(kMoveToGroupBase + g);
        bool holds = false;
        for (const PanelItem& it : groups.at(g).items)
            holds = holds || it.path == item.path;
        a->setEnabled(g != currentGroupIndex && !holds);
    }
    add(menu, Float, LineGlyph::Windows, normal, u"悬浮", true);
    menu->addSeparator();
    add(menu, Remove, LineGlyph::Bin, red, u"从面板移除", true);
    if (st.missing && missingCount > 0) {
        menu->addSeparator();
        QAction* a = menu->addAction(makeGlyphIcon(int(LineGlyph::Bin), red),
                                     QStringLiteral("%1 (%2)").arg(translate(u"清除所有失效图标")).arg(missingCount));
        a->setData(int(ClearMissing));
    }
}

void MainWindow::showItemMenu(int itemIndex, QPoint globalPos)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size() || itemIndex < 0
        || itemIndex >= groups.at(currentGroupIndex).items.size())
        return;
    const quint64 key = groups.at(currentGroupIndex).items.at(itemIndex).key;
    QMenu menu(this);
    styleMenu(&menu);
    fillItemMenu(&menu, itemIndex);
    const QAction* chosen = menu.exec(globalPos);
    if (!chosen)
        return;
    // The modal menu let anything happen meanwhile (the clearing of missing
    // items removes entries): the item is looked up again, never by index.
    const int now = currentItemIndexByKey(key);
    if (now < 0) {
        refuseGoneItem();
        return;
    }
    runItemMenuAction(chosen->data().toInt(), now);
}

int MainWindow::currentItemIndexByKey(quint64 key) const
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size())
        return -1;
    const QList<PanelItem>& items = groups.at(currentGroupIndex).items;
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).key == key)
            return i;
    }
    return -1;
}

void MainWindow::refuseGoneItem()
{
    qInfo() << "item menu: the item was removed while its menu or dialog was open";
    showToast(translate(u"该项目已不在面板中"), 1);
}

void MainWindow::runItemMenuAction(int action, int itemIndex)
{
    // The modal menu let anything happen meanwhile.
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size() || itemIndex < 0
        || itemIndex >= groups.at(currentGroupIndex).items.size())
        return;
    const PanelItem item = groups.at(currentGroupIndex).items.at(itemIndex);

    if (action >= kMoveToGroupBase) {
        const int to = action - kMoveToGroupBase;
        if (to < 0 || to >= groups.size() || to == currentGroupIndex)
            return;
        for (const PanelItem& it : groups.at(to).items) {
            if (it.path == item.path)
                return;
        }
        groups[to].items.append(groups[currentGroupIndex].items.takeAt(itemIndex));
        saveLayout();
        return;
    }

    switch (action) {
    case Open:
        launchTarget(item.path, item.workDir, item.args, item.runAsAdmin);
        break;
    case RunAsAdmin: {
        Launcher::Request request;
        request.verb = Launcher::Verb::RunAs;
        request.target = QDir::toNativeSeparators(item.path);
        launcher().launch(request);
        break;
    }
    case ShowInFolder:
        FileManager::showItem(QDir::toNativeSeparators(item.path), this);
        break;
    case Edit: {
        ItemEdit edit;
        const bool shortcut = isShortcutFilePath(item.path);
        if (shortcut) {
            QString error;
            edit.readOk = readShortcut(item.path, &edit.start, &error);
            if (!edit.readOk)
                showToast(error, 1);
        } else {
            edit.start.target = item.path;
            edit.start.workingDir = item.workDir;
            edit.start.arguments = item.args;
            edit.start.runAsAdmin = item.runAsAdmin;
        }
        const QPointer<ShortcutEditDialog> dialog =
            new ShortcutEditDialog(item.path, item.name, item.customIcon, shortcut, edit.start, itemPicture(item), this);
        const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
        if (accepted) {
            edit.name = dialog->displayName();
            edit.values = dialog->values();
            edit.iconChange = dialog->iconChange();
            edit.chosenIconPath = dialog->chosenIconPath();
        }
        delete dialog.data();
        if (!accepted)
            return;
        const int now = currentItemIndexByKey(item.key);
        if (now < 0 || groups.at(currentGroupIndex).items.at(now).path != item.path) {
            refuseGoneItem();
            return;
        }
        applyItemEdit(now, edit);
        break;
    }
    case Relocate: {
        const QString file = chooseRelocation ? chooseRelocation()
                                              : QFileDialog::getOpenFileName(this, translate(u"选择新的文件位置"),
                                                                             QString(), translate(u"所有文件 (*.*)"));
        if (file.isEmpty())
            break;
        const int now = currentItemIndexByKey(item.key);
        if (now < 0) {
            refuseGoneItem();
            return;
        }
        relocateItem(now, file);
        break;
    }
    case RestoreIcon: {
        const QString former = item.customIcon;
        groups[currentGroupIndex].items[itemIndex].customIcon.clear();
        saveLayout();
        if (iconGrid) {
            iconGrid->refreshIcon(former);
            iconGrid->update();
        }
        showToast(translate(u"已恢复默认图标"), 0);
        break;
    }
    case CopyPath:
        QGuiApplication::clipboard()->setText(item.path.startsWith(QLatin1String("::"))
                                                  ? item.path
                                                  : QDir::toNativeSeparators(item.path));
        break;
    case DesktopShortcut:
        createItemDesktopShortcut(itemIndex);
        break;
    case Float:
        addFloatIcon(itemIndex);
        break;
    case Remove:
        groups[currentGroupIndex].items.removeAt(itemIndex);
        saveLayout();
        refreshMissingItems();
        break;
    case ClearMissing:
        clearMissingItems();
        break;
    default:
        break;
    }
}

void MainWindow::relocateItem(int itemIndex, const QString& newPath)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size()
        || itemIndex < 0 || itemIndex >= groups.at(currentGroupIndex).items.size())
        return;
    const QString native = QDir::toNativeSeparators(newPath);
    QList<PanelItem>& items = groups[currentGroupIndex].items;
    for (int i = 0; i < items.size(); ++i) {
        if (i != itemIndex && items.at(i).path.compare(native, Qt::CaseInsensitive) == 0) {
            showToast(translate(u"该路径已在当前分组中"), 1);
            return;
        }
    }
    items[itemIndex].path = native;
    saveLayout();
    requestItemIcon(items.at(itemIndex));
    refreshFloatIconsOf(items.at(itemIndex));
    refreshMissingItems();
    showToast(translate(u"已重新定位"), 0);
}

void MainWindow::applyItemEdit(int itemIndex, const ItemEdit& edit)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size()
        || itemIndex < 0 || itemIndex >= groups.at(currentGroupIndex).items.size())
        return;
    PanelItem& item = groups[currentGroupIndex].items[itemIndex];
    const PanelItem before = item;
    bool changed = false;
    if (!edit.name.isEmpty() && edit.name != item.name) {
        item.name = edit.name;
        changed = true;
    }
    ShortcutInfo values = edit.values;
    if (edit.iconChange == 1) {
        values.iconPath = edit.chosenIconPath;
        values.iconIndex = 0;
    } else if (edit.iconChange == 2) {
        values.iconPath.clear();
        values.iconIndex = 0;
    }

    if (isShortcutFilePath(item.path)) {
        const bool fieldsSame = values.target.trimmed() == edit.start.target.trimmed()
            && values.workingDir.trimmed() == edit.start.workingDir.trimmed()
            && values.arguments == edit.start.arguments && values.runAsAdmin == edit.start.runAsAdmin;
        if (!edit.readOk) {
            // What the editor showed was not the file's content: writing it
            // would replace the shortcut with empty fields.
            if (!fieldsSame || edit.iconChange == 1 || edit.iconChange == 2)
                showToast(translate(u"快捷方式写入失败"), 1);
        } else if (!fieldsSame || edit.iconChange == 1 || edit.iconChange == 2) {
            QString error;
            if (writeShortcut(item.path, values, &error)) {
                if (!item.customIcon.isEmpty())
                    item.customIcon.clear();
                changed = true;
            } else {
                showToast(error.isEmpty() ? translate(u"快捷方式写入失败") : error, 1);
            }
        }
    } else {
        const QString target = values.target.trimmed();
        if (!target.isEmpty() && target != item.path.trimmed()) {
            forgetIconPixmap(item.path);
            if (iconGrid)
                iconGrid->forgetIcon(item.path);
            item.path = QDir::fromNativeSeparators(target);
            changed = true;
        }
        if (values.workingDir.trimmed() != item.workDir.trimmed()) {
            item.workDir = values.workingDir.trimmed();
            changed = true;
        }
        if (values.arguments != item.args) {
            item.args = values.arguments;
            changed = true;
        }
        if (values.runAsAdmin != item.runAsAdmin) {
            item.runAsAdmin = values.runAsAdmin;
            changed = true;
        }
        if (edit.iconChange == 1) {
            item.customIcon = edit.chosenIconPath;
            changed = true;
        } else if (edit.iconChange == 2 && !item.customIcon.isEmpty()) {
            item.customIcon.clear();
            changed = true;
        }
    }
    if (!changed)
        return;
    const PanelItem now = item;
    saveLayout();
    refreshFloatIconsOf(now);
    if (iconGrid) {
        if (!now.customIcon.isEmpty()) {
            iconGrid->refreshIcon(now.customIcon);
        } else {
            forgetIconPixmap(before.path);
            iconGrid->forgetIcon(before.path);
        }
        if (!before.customIcon.isEmpty() && before.customIcon != now.customIcon)
            iconGrid->refreshIcon(before.customIcon);
        iconGrid->preloadCustomIcons();
        iconGrid->update();
    }
    requestItemIcon(now);
    showToast(translate(u"已保存更改"), 0);
}

void MainWindow::createItemDesktopShortcut(int itemIndex)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size()
        || itemIndex < 0 || itemIndex >= groups.at(currentGroupIndex).items.size())
        return;
    const QString path = groups.at(currentGroupIndex).items.at(itemIndex).path;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QString written, error;
    if (createDesktopShortcut(desktop, path, &written, &error))
        showToast(translate(u"已在桌面创建快捷方式"), 0);
    else
        showToast(error, 1);
}

void MainWindow::clearMissingItems()
{
    PathExistsProbe exists = pathExists;
    if (!exists)
        exists = [](const QString& p) { return QFileInfo::exists(p); };
    std::function<bool(const QString&)> absent = absentVolumeProbe;
    if (!absent)
        absent = [](const QString& p) { return liesOnAbsentVolume(p); };
    // Each item is judged by itself (a working custom icon keeps it) and
    // removed as itself: never because another item has the same path.
    struct Found {
        QSet<quint64> missing;
        QSet<quint64> offline;
    };
    AsyncTask::runThenCallback(
        [items = groups, exists, absent] {
            Found f;
            QHash<QString, bool> offlinePaths;
            for (const PanelGroup& g : items) {
                for (const PanelItem& it : g.items) {
                    if (!it.isMissing(exists))
                        continue;
                    f.missing.insert(it.key);
                    auto known = offlinePaths.constFind(it.path);
                    if (known == offlinePaths.cend())
                        known = offlinePaths.insert(it.path, absent(QDir::fromNativeSeparators(it.path)));
                    if (known.value())
                        f.offline.insert(it.key);
                }
            }
            return f;
        },
        this, [this](const Found& f) {
            QSet<quint64> remove = f.missing;
            if (!f.offline.isEmpty()) {
                const int answer = askRemoveOffline
                    ? askRemoveOffline(int(f.offline.size()))
                    : MsgDialog::ask(this, translate(u"清除所有失效图标"),
                                     translate(u"其中 %1 个图标位于当前未连接的磁盘上，连接后即可恢复。也清除这些图标吗？")
                                         .arg(f.offline.size()),
                                     translate(u"全部清除"), translate(u"保留它们"));
                if (answer < 0)
                    return;
                if (answer == 0)
                    remove -= f.offline;
            }
            int removed = 0;
            for (PanelGroup& g : groups) {
                for (int i = int(g.items.size()) - 1; i >= 0; --i) {
                    if (remove.contains(g.items.at(i).key)) {
                        g.items.removeAt(i);
                        ++removed;
                    }
                }
            }
            if (removed == 0)
                return;
            saveLayout();
            refreshMissingItems();
            qInfo() << "cleared invalid icon entries:" << removed;
            showToast(translate(u"已清除 %1 个失效图标").arg(removed), 0);
        });
}
