// Sample pictures of the backup page's message cards and progress card.
#include "backup/backuppreview.h"

#include "app/lang.h"
#include "backup/backupprogressdialog.h"
#include "widgets/msgdialog.h"

#include <QPixmap>

void previewBackupDialogs(const QString& folder)
{
    const struct {
        const char* file;
        int kind;
        const char16_t* title;
        const char16_t* text;
        QList<const char16_t*> buttons;
        int primary;
    } messages[] = {
        {"/msg-info.png", 0, u"备份与恢复", u"已创建备份快照。", {u"确定"}, 0},
        {"/msg-question.png", 1, u"还原快照", u"还原将覆盖当前所有设置，确定继续吗？", {u"否", u"是"}, 1},
        {"/msg-warning.png", 2, u"删除快照", u"该备份快照将被永久删除，无法恢复。", {u"取消", u"删除"}, 1},
    };
    for (const auto& m : messages) {
        QStringList buttons;
        for (const char16_t* b : m.buttons)
            buttons << translate(b);
        MsgDialog dialog(nullptr, m.kind, translate(m.title), translate(m.text), buttons, m.primary);
        dialog.grab().save(folder + QLatin1String(m.file));
    }

    const QString text = translate(u"正在创建备份快照…");
    BackupProgressDialog progress(nullptr, text, [] {});
    progress.grab().save(folder + QStringLiteral("/progress-backup.png"));
    progress.setProgress(45, text);
    progress.grab().save(folder + QStringLiteral("/progress-backup-45.png"));
}
