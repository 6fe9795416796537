#pragma once

#include <QString>
#include <QStringList>

// Uninstall and factory reset: the POSIX sh scripts that do the work after
// the panel has ended, and the guards that decide what they may delete.
// Every value goes into a script once, single-quoted; the panel's own
// process is awaited by its id and, if it outlives the wait, ended by that
// id only while it still runs this executable.

// A single-quoted sh word: every ' becomes '\''.
QString shQuote(const QString& value);

// Why a folder must not be deleted.
enum class RemovalVerdict {
    Allowed,
    NotAbsolute,
    RootOrHome,      // "/", the home folder or one of its ancestors
    TooShort,        // fewer than three components, the root counted ("/opt" is two)
    NotAFolder,
    NoInstallMarker, // a program folder without our install marker
    UnknownLocation, // a data root that is not where the data root belongs
    TooShortText,    // a data root of nine characters or fewer
    HoldsProgram,    // a linked data root leads to the program folder or above it
};

// The guard every deletion passes: an absolute path, not "/", not `home` or
// one of its ancestors, with at least three components. The path is taken
// as written (cleaned, not resolved), since that is what the script hands
// to rm.
RemovalVerdict checkRemovablePath(const QString& path, const QString& home);

// The install marker: a file in the program folder that says the folder is
// an installed copy of the panel and holds nothing but what came with it.
// Only then may the uninstall delete the folder.
inline constexpr char kInstallMarkerName[] = "TarnavelPanel.install";
QString installMarkerPath(const QString& programDir);

// An installed copy: not portable (no "portable.ini" beside it), in a folder
// of its own named after the program ("Quillory" or "TarnavelPanel", any
// case) that passes checkRemovablePath. A copy anywhere else never gets a
// marker, so a shared folder such as /usr/local/bin is never deleted.
bool isInstalledCopyFolder(const QString& programDir, const QString& home);

// The first run of an installed copy writes the marker. True when the
// folder holds one afterwards.
bool ensureInstallMarker(const QString& programDir, const QString& home);

// What the scripts act on.
struct MaintenanceContext {
    qint64 pid = 0;          // the panel's own process
    QString executable;      // its executable, restarted by the factory reset
    QString programDir;
    QString home;
    QString dataRoot;        // the data root to delete or empty
    QString knownDataRoot;   // where this copy's data root belongs
    QString desktopDir;      // "Quillory.desktop" there and in applicationsDir
    QString applicationsDir;
    QString autostartEntry;
    int waitTenths = 200;    // how long the script waits for the panel to end
};

struct UninstallPlan {
    QString programDir;      // deleted when not empty
    RemovalVerdict programVerdict = RemovalVerdict::NoInstallMarker;
    QString dataRoot;        // deleted when not empty (full mode only)
    QString dataTarget;      // the folder a linked data root leads to, deleted with it
    RemovalVerdict dataVerdict = RemovalVerdict::Allowed;
    QStringList shortcuts;   // "Quillory.desktop" on the desktop and in the menu
    QString autostartEntry;
};

// full: also the data root. The program folder is kept when it is refused,
// and in the keep-config mode when the data root lies inside it (portable).
UninstallPlan planUninstall(const MaintenanceContext& context, bool full);
QString uninstallScriptText(const MaintenanceContext& context, const UninstallPlan& plan);

// A data root reached through a link is the link plus the folder it leads
// to: removing the link alone would leave every file in place. That folder
// passes checkRemovablePath too and must not hold the program folder.

// The factory reset's guard of the data root: an existing folder of more
// than nine characters, at its known location, passing checkRemovablePath.
// The reset empties the folder the data root leads to and keeps the link.
RemovalVerdict checkFactoryResetRoot(const MaintenanceContext& context);
QString factoryResetScriptText(const MaintenanceContext& context);

// The scripts' names.
inline constexpr char kUninstallScriptName[] = "Quillory_uninstall.sh";
inline constexpr char kFactoryResetScriptName[] = "Quillory_factory_reset.sh";

enum class ScriptWrite { Ok, OpenFailed, Incomplete };
// Writes the script named `name` into a folder made for this run alone
// inside `base` (see makeRunFolder): a new file, never one that lay there
// before and never through a link. `path` receives the script's path when
// it is written. The scripts remove themselves and that folder when done;
// a script that is never started is removed with removeMaintenanceScript.
ScriptWrite writeMaintenanceScript(const QString& base, const QString& name, const QString& text, QString* path);
void removeMaintenanceScript(const QString& path);
