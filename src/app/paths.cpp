#include "app/paths.h"

#include "app/buildinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

QString appDataDir()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    QString root;
    // Only the presence counts: a folder named "portable.ini" selects it too.
    if (!exeDir.isEmpty() && QFileInfo::exists(exeDir + QStringLiteral("/portable.ini")))
        root = exeDir + QStringLiteral("/data");
    else
        root = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    root = QDir::fromNativeSeparators(root);
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    if (!QDir().mkpath(root))
        std::fprintf(stderr, "appDataDir: mkpath failed: %s\n", root.toUtf8().constData());
    // Settings hold the lock password's hash, the account its token: no
    // other user may enter the data root (what lies below is tightened at
    // start, see tightenTree).
    else if (!QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        std::fprintf(stderr, "appDataDir: cannot make private: %s\n", root.toUtf8().constData());
    return root;
}

QString cachedAppDataDir()
{
    static const QString root = appDataDir();
    return root;
}

QString appVersionString() { return fileVersionString(); }
