#include "main/uipreview.h"

#include "main/uipreviewglyphs.h"

#include "account/logindialog.h"
#include "account/sessionkickeddialog.h"
#include "app/lang.h"
#include "backup/backuppreview.h"
#include "panel/itemmenupreview.h"
#include "protect/lockpreview.h"
#include "settings/settingspreview.h"
#include "updater/updatedialog.h"
#include "widgets/shortcuteditdialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QPixmap>

namespace {

void writeUpdateDialogSheet(const QString& folder)
{
    UpdateDialog dialog;
    dialog.showUpdate(QStringLiteral("1.0.137"),
                      QStringLiteral("1. 设置窗口新增备份与恢复页面，可随时还原快照\n"
                                     "2. 锁屏支持图片、动图与视频背景\n"
                                     "3. 修复多显示器下面板位置偏移的问题\n"
                                     "4. 降低图标加载时的内存占用"),
                      QString());
    QCoreApplication::processEvents();
    dialog.grab().save(folder + QStringLiteral("/update-dialog.png"));
    dialog.hide();
}

void writeShortcutEditorSheets(const QString& folder)
{
    {
        ShortcutInfo info;
        info.target = QStringLiteral("/opt/demo/bin/demo");
        info.workingDir = QStringLiteral("/opt/demo");
        info.arguments = QStringLiteral("--start --minimized");
        info.runAsAdmin = true;
        ShortcutEditDialog dialog(QStringLiteral("/home/user/Desktop/demo.desktop"), QStringLiteral("Demo 应用"),
                                  QString(), true, info, QPixmap());
        dialog.grab().save(folder + QStringLiteral("/shortcut-edit-dialog.png"));
    }
    {
        ShortcutInfo info;
        info.target = QStringLiteral("/usr/bin/gedit");
        info.workingDir = QStringLiteral("/home/user");
        info.arguments = QStringLiteral("readme.txt");
        info.runAsAdmin = true;
        ShortcutEditDialog dialog(QStringLiteral("/usr/bin/gedit"), QStringLiteral("文本编辑器"),
                                  QString(), false, info, QPixmap());
        dialog.grab().save(folder + QStringLiteral("/shortcut-edit-dialog-nolnk.png"));
    }
}

} // namespace

std::vector<UiPreviewSheet> uiPreviewSheets()
{
    return {
        {"sign-in kick dialogs", previewKickDialogs},
        {"sign-in form", previewSignInForm},
        {"update dialog", writeUpdateDialogSheet},
        {"password dialogs", previewLockDialogs},
        {"item menu", previewItemMenu},
        {"lock screens", previewLockOverlays},
        {"settings: lock background", previewSettingsGeneral},
        {"settings: every page, log viewer", previewSettings258},
        {"settings: protection", previewSettingsProtect},
        {"settings: backup", previewSettingsBackup},
        {"backup dialogs", previewBackupDialogs},
        {"backup glyph candidates", previewBackupNavIcons},
        {"panel button glyphs", writeUiBtnGlyphSheets},
        {"shortcut editor", writeShortcutEditorSheets},
    };
}

int runUiPreview(const QString& folder)
{
    qInfo() << "ui preview: rendering into" << folder;
    if (!QDir().mkpath(folder))
        qWarning() << "ui preview: cannot create folder" << folder;
    for (const UiPreviewSheet& sheet : uiPreviewSheets()) {
        qInfo() << "ui preview:" << sheet.name;
        sheet.render(folder);
    }
    qInfo() << "ui preview: done";
    return 0;
}
