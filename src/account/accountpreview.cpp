// The account cards of the screenshot mode.
#include "account/kickconfirmdialog.h"
#include "account/logindialog.h"
#include "account/sessionkickeddialog.h"
#include "app/lang.h"

#include <QDebug>
#include <QDir>

namespace {

void save(QWidget& dialog, const QString& path)
{
    if (!dialog.grab().save(path))
        qWarning() << "ui preview: cannot write" << path;
}

} // namespace

void previewKickDialogs(const QString& folder)
{
    if (!QDir().mkpath(folder))
        qWarning() << "ui preview: cannot create folder" << folder;
    const DeviceEntry a{QStringLiteral("LIN-STUDIO"), QStringLiteral("203.0.113.24"),
                        QStringLiteral("2026-10-31 15:42:07")};
    const DeviceEntry b{QStringLiteral("DESKTOP-7H3K2QF"), QStringLiteral("192.168.1.37"),
                        QStringLiteral("2026-10-30 09:12:44")};

    const struct {
        const char* file;
        QList<DeviceEntry> rows;
        int maxDevices;
    } confirmations[] = {
        {"/kick-confirm-1.png", {a}, 1},
        {"/kick-confirm-2.png", {a, b}, 1},
        {"/kick-confirm-unlimited.png", {a, b}, 0},
    };
    for (const auto& c : confirmations) {
        KickConfirmDialog dialog(c.rows, c.maxDevices);
        save(dialog, folder + QLatin1String(c.file));
    }

    const struct {
        const char* file;
        QString reason;
    } signedOut[] = {
        {"/kicked-elsewhere.png",
         QStringLiteral("账号已在其他设备登录（当前授权 1 台设备），本机已下线，如需多台电脑同时登录，可增加授权设备数")},
        {"/kicked-admin.png", translate(u"账号已被管理员强制下线，请重新登录")},
        {"/kicked-expired.png", QString()},
    };
    for (const auto& s : signedOut) {
        SessionKickedDialog dialog(s.reason);
        save(dialog, folder + QLatin1String(s.file));
    }
    qInfo() << "ui preview written to" << folder;
}

void previewSignInForm(const QString& folder)
{
    const int language = currentLanguage();
    for (const int lang : {0, 1}) {
        setLanguage(lang);
        const QString suffix = lang == 1 ? QStringLiteral("-en") : QString();
        {
            LoginDialog dialog;
            save(dialog, folder + QStringLiteral("/sign-in%1.png").arg(suffix));
        }
        {
            LoginDialog dialog;
            dialog.setCredentials(QStringLiteral("sample.user"), QStringLiteral("sample-password"), true);
            save(dialog, folder + QStringLiteral("/sign-in-filled%1.png").arg(suffix));
        }
    }
    setLanguage(language);
}
