#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Showing a file selected in the user's file manager.
namespace FileManager {

enum class Outcome {
    Service,      // the file manager service took the request
    ParentFolder, // no service answered: the parent folder was opened instead
    Failed,       // neither worked (logged)
};

// Asks the session bus's "org.freedesktop.FileManager1" service to show
// `path` selected; when there is no bus, no such service, or it answers with
// an error or not within `timeoutMs`, the parent folder is opened through
// the launcher instead. Returns at once; `done` (may be empty) runs later on
// the thread of `context` while `context` lives.
void showItem(const QString& path, QObject* context, std::function<void(Outcome)> done = {},
              int timeoutMs = 3000);

} // namespace FileManager
