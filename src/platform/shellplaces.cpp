#include "platform/shellplaces.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QList<ShellPlace> buildPlaces()
{
    const QStringList networkSettings[] = {
        {QStringLiteral("nm-connection-editor")},
        {QStringLiteral("gnome-control-center"), QStringLiteral("network")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_networkmanagement")},
    };
    QList<ShellPlace> places;
    places.append({QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"), QStringLiteral("此电脑"),
                   {QStringLiteral("computer"), QStringLiteral("drive-harddisk")},
                   QUrl(QStringLiteral("computer:///")),
                   {{QStringLiteral("xdg-open"), QDir::rootPath()}}});
    places.append({QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"), QStringLiteral("回收站"),
                   {QStringLiteral("user-trash"), QStringLiteral("user-trash-full")},
                   QUrl(QStringLiteral("trash:///")), {}});
    // Two class ids name the network place: the older one of network
    // neighbourhood and the newer network folder.
    for (const char* id : {"::{208D2C60-3AEA-1069-A2D7-08002B30309D}", "::{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}"})
        places.append({QString::fromLatin1(id), QStringLiteral("网络"),
                       {QStringLiteral("network-workgroup"), QStringLiteral("network-server"), QStringLiteral("folder-remote")},
                       QUrl(QStringLiteral("network:///")), {}});
    places.append({QStringLiteral("::{7007ACC7-3202-11D1-AAD2-00805FC1270E}"), QStringLiteral("网络连接"),
                   {QStringLiteral("preferences-system-network"), QStringLiteral("network-wired"), QStringLiteral("network-idle")},
                   QUrl(), {networkSettings[0], networkSettings[1], networkSettings[2]}});
    places.append({QStringLiteral("::{2227A280-3AEA-1069-A2DE-08002B30309D}"), QStringLiteral("打印机"),
                   {QStringLiteral("printer"), QStringLiteral("printer-network")},
                   QUrl(),
                   {{QStringLiteral("system-config-printer")},
                    {QStringLiteral("gnome-control-center"), QStringLiteral("printers")},
                    {QStringLiteral("systemsettings"), QStringLiteral("kcm_printer_manager")}}});
    places.append({QStringLiteral("::{5399E694-6CE5-4D6C-8FCE-1D8870FDCBA0}"), QStringLiteral("控制面板"),
                   {QStringLiteral("preferences-system"), QStringLiteral("preferences-desktop")},
                   QUrl(),
                   {{QStringLiteral("gnome-control-center")}, {QStringLiteral("systemsettings")},
                    {QStringLiteral("xfce4-settings-manager")}, {QStringLiteral("mate-control-center")},
                    {QStringLiteral("cinnamon-settings")}, {QStringLiteral("lxqt-config")}}});
    // The user's own files: the home folder.
    places.append({QStringLiteral("::{59031A47-3F72-44A7-89C5-5595FE6B30EE}"), QStringLiteral("用户"),
                   {QStringLiteral("user-home"), QStringLiteral("folder-home")},
                   QUrl::fromLocalFile(QDir::homePath()), {}});
    return places;
}

} // namespace

const QList<ShellPlace>& knownShellPlaces()
{
    static const QList<ShellPlace> places = buildPlaces();
    return places;
}

const ShellPlace* findShellPlace(const QString& parsingName)
{
    if (!parsingName.startsWith(QLatin1String("::{")))
        return nullptr;
    for (const ShellPlace& place : knownShellPlaces()) {
        if (place.parsingName.compare(parsingName, Qt::CaseInsensitive) == 0)
            return &place;
    }
    return nullptr;
}

const ShellPlace* shellPlaceForUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() || scheme == QLatin1String("file"))
        return nullptr;
    // Only the root of a place stands for the place; trash:///a.txt is a
    // file in it.
    const QString path = url.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        return nullptr;
    for (const ShellPlace& place : knownShellPlaces()) {
        if (!place.url.isLocalFile() && place.url.scheme() == scheme)
            return &place;
    }
    return nullptr;
}

ShellPlaceLaunch resolveShellPlaceLaunch(const ShellPlace& place)
{
    return resolveShellPlaceLaunch(place, [](const QString& name) { return QStandardPaths::findExecutable(name); });
}

ShellPlaceLaunch resolveShellPlaceLaunch(const ShellPlace& place,
                                         const std::function<QString(const QString&)>& findProgram)
{
    ShellPlaceLaunch launch;
    if (place.url.isValid() && !place.url.isEmpty()) {
        launch.ok = true;
        launch.url = place.url;
        return launch;
    }
    for (const QStringList& command : place.programs) {
        if (command.isEmpty())
            continue;
        const QString program = findProgram(command.first());
        if (program.isEmpty())
            continue;
        launch.ok = true;
        launch.program = program;
        launch.arguments = command.mid(1);
        return launch;
    }
    return launch;
}
