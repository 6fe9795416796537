#pragma once

#include <QString>

// The screenshot mode's pictures of the backup page's messages and progress
// card: "msg-info.png", "msg-question.png", "msg-warning.png",
// "progress-backup.png" and "progress-backup-45.png" in `folder`.
void previewBackupDialogs(const QString& folder);
