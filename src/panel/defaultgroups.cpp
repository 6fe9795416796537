#include "panel/defaultgroups.h"

#include "app/lang.h"
#include "platform/applicationfinder.h"
#include "platform/shellplaces.h"
#include "platform/volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const char* const kThisPc = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

// A system tool: the names of the desktop entries that can stand for it,
// most common first. The rows follow the order of the tool table of the
// panel on its first platform; tools without a counterpart here are gone.
struct DefaultToolEntry {
    const char* name; // Chinese; translated when the item is built
    QStringList desktopIds;
    const char* shellPlace = nullptr; // set for a place that is always added
};

QList<DefaultToolEntry> toolTable()
{
    auto ids = [](std::initializer_list<const char*> list) {
        QStringList out;
        for (const char* s : list)
            out << QString::fromLatin1(s);
        return out;
    };
    return {
        {"事件查看器", ids({"org.gnome.Logs.desktop", "gnome-logs.desktop", "org.kde.ksystemlog.desktop"})},
        {"任务管理器", ids({"org.gnome.SystemMonitor.desktop", "gnome-system-monitor.desktop",
                            "org.kde.plasma-systemmonitor.desktop", "org.kde.ksysguard.desktop",
                            "xfce4-taskmanager.desktop", "mate-system-monitor.desktop", "lxtask.desktop",
                            "qps.desktop", "htop.desktop"})},
        {"写字板", ids({"libreoffice-writer.desktop", "abiword.desktop", "org.kde.calligrawords.desktop"})},
        {"命令提示符", ids({"org.gnome.Terminal.desktop", "org.gnome.Console.desktop", "org.kde.konsole.desktop",
                            "xfce4-terminal.desktop", "mate-terminal.desktop", "lxterminal.desktop",
                            "qterminal.desktop", "com.gexperts.Tilix.desktop", "debian-xterm.desktop",
                            "xterm.desktop"})},
        {"字符映射表", ids({"gucharmap.desktop", "org.gnome.Characters.desktop", "org.kde.kcharselect.desktop"})},
        {"截图工具", ids({"org.gnome.Screenshot.desktop", "gnome-screenshot.desktop", "org.kde.spectacle.desktop",
                          "xfce4-screenshooter.desktop", "org.flameshot.Flameshot.desktop"})},
        {"打印管理", ids({"system-config-printer.desktop", "gnome-printers-panel.desktop"})},
        {"控制面板", ids({"gnome-control-center.desktop", "org.gnome.Settings.desktop", "systemsettings.desktop",
                          "xfce-settings-manager.desktop", "mate-control-center.desktop", "lxqt-config.desktop"})},
        {"文件资源管理器", ids({"org.gnome.Nautilus.desktop", "org.kde.dolphin.desktop", "thunar.desktop",
                                "nemo.desktop", "caja-browser.desktop", "pcmanfm.desktop", "pcmanfm-qt.desktop"})},
        {"此电脑", {}, kThisPc},
        {"注册表编辑器", ids({"ca.desrt.dconf-editor.desktop"})},
        {"画图", ids({"com.github.PintaProject.Pinta.desktop", "pinta.desktop", "org.kde.kolourpaint.desktop",
                      "com.github.maoschanz.drawing.desktop"})},
        {"磁盘清理", ids({"org.bleachbit.BleachBit.desktop", "bleachbit.desktop", "org.gnome.baobab.desktop",
                          "org.kde.filelight.desktop"})},
        {"系统信息", ids({"hardinfo.desktop", "org.kde.kinfocenter.desktop", "gnome-info-overview-panel.desktop"})},
        {"记事本", ids({"org.gnome.TextEditor.desktop", "org.gnome.gedit.desktop", "org.kde.kate.desktop",
                        "org.kde.kwrite.desktop", "org.xfce.mousepad.desktop", "mousepad.desktop", "pluma.desktop",
                        "xed.desktop", "featherpad.desktop", "l3afpad.desktop"})},
        {"远程桌面连接", ids({"org.remmina.Remmina.desktop", "org.kde.krdc.desktop", "org.gnome.Connections.desktop",
                              "vinagre.desktop"})},
    };
}

QString cleanPath(const QString& p)
{
    return p.isEmpty() ? p : QDir::cleanPath(p);
}

} // namespace

UserFolders UserFolders::fromSystem()
{
    // Without the XDG user folders (a fresh or minimal home) the standard
    // locations still name ~/Music, ~/Videos and so on; items for them would
    // show as missing on the very first start.
    auto existing = [](QStandardPaths::StandardLocation location) {
        const QString path = QStandardPaths::writableLocation(location);
        return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
    };
    UserFolders f;
    f.home = QDir::homePath();
    f.desktop = existing(QStandardPaths::DesktopLocation);
    f.download = existing(QStandardPaths::DownloadLocation);
    f.documents = existing(QStandardPaths::DocumentsLocation);
    f.pictures = existing(QStandardPaths::PicturesLocation);
    f.music = existing(QStandardPaths::MusicLocation);
    f.movies = existing(QStandardPaths::MoviesLocation);
    return f;
}

QString localVolumeName(const QString& mountPoint)
{
    QString tmpl = translate("本地磁盘 (%1:)");
    // The colon belongs to a drive letter; a mount point needs none.
    tmpl.replace(QLatin1String("%1:"), QLatin1String("%1"));
    return tmpl.arg(mountPoint);
}

QList<PanelGroup> buildDefaultGroups(const UserFolders& folders, const VolumeLister& volumes,
                                     const ApplicationFinder& apps)
{
    PanelGroup common;
    common.name = translate("常用");
    appendPanelItem(common, QString::fromLatin1(kThisPc), translate("此电脑"));
    appendPanelItem(common, QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"), translate("回收站"));

    // An unset user folder resolves to the home folder itself; an item for
    // it would be a second, misnamed home.
    const QString home = cleanPath(folders.home);
    const std::pair<const QString*, const char*> userFolders[] = {
        {&folders.desktop, "桌面"}, {&folders.download, "下载"}, {&folders.documents, "文档"},
        {&folders.pictures, "图片"}, {&folders.music, "音乐"}, {&folders.movies, "视频"},
    };
    for (const auto& [path, name] : userFolders) {
        if (path->isEmpty() || cleanPath(*path) == home)
            continue;
        appendPanelItem(common, *path, translate(name));
    }

    appendPanelItem(common, QStringLiteral("::{208D2C60-3AEA-1069-A2D7-08002B30309D}"), translate("网络"));
    // Places opened by a settings program only: an item nothing here can
    // open would do nothing when clicked.
    for (const auto& [id, name] : {std::pair{"::{7007ACC7-3202-11D1-AAD2-00805FC1270E}", "网络连接"},
                                   std::pair{"::{2227A280-3AEA-1069-A2DE-08002B30309D}", "打印机"}}) {
        const ShellPlace* place = findShellPlace(QString::fromLatin1(id));
        if (place && resolveShellPlaceLaunch(*place, [&apps](const QString& p) { return apps.findProgram(p); }).ok)
            appendPanelItem(common, QString::fromLatin1(id), translate(name));
    }
    for (const LocalVolume& v : volumes.localVolumes())
        appendPanelItem(common, v.mountPoint, localVolumeName(v.mountPoint));

    PanelGroup system;
    system.name = translate("系统");
    for (const DefaultToolEntry& row : toolTable()) {
        if (row.shellPlace) {
            appendPanelItem(system, QString::fromLatin1(row.shellPlace), translate(row.name));
            continue;
        }
        const QString entry = apps.findDesktopEntry(row.desktopIds);
        if (!entry.isEmpty())
            appendPanelItem(system, entry, translate(row.name));
    }
    return {common, system};
}

QList<PanelGroup> buildSystemDefaultGroups()
{
    const SystemVolumeLister volumes;
    const XdgApplicationFinder apps;
    return buildDefaultGroups(UserFolders::fromSystem(), volumes, apps);
}
