#pragma once

#include <QString>
#include <QUrl>

// Starting what a panel item names: a program, a desktop entry, a document,
// a folder, a web address or a shell place. Nothing goes through a shell;
// every start is detached (the panel never waits for what it started) and
// is logged with its outcome.
class Launcher {
public:
    enum class Verb {
        Open,   // as the user
        RunAs,  // with administrator rights, after the system asks for them
    };

    struct Request {
        Verb verb = Verb::Open;
        // A local path, a URL with a scheme, or a "::{GUID}" shell place.
        QString target;
        // One text as the user typed it; split into words like a command
        // line (blanks separate, double quotes group). Given to programs
        // and desktop entries; documents and folders ignore it.
        QString arguments;
        // Empty: the program's own (a desktop entry's Path) or the panel's.
        QString workDir;
    };

    virtual ~Launcher() = default;

    // Starts the target. Returns false and fills `error` (English, for the
    // log) when nothing could be started: the target is missing, nothing
    // can open it, or the start itself failed. True means a process was
    // started, not that the user saw the target (a refused elevation prompt
    // still counts as started).
    virtual bool launch(const Request& request, QString* error = nullptr) = 0;

    // Opens a URL the way the desktop does: a local file or folder as
    // launch() opens it without arguments, anything else with the user's
    // handler for its scheme.
    virtual bool openUrl(const QUrl& url, QString* error = nullptr) = 0;
};

// The process's launcher: starts programs and the desktop's openers
// (xdg-open, pkexec) found on PATH.
Launcher& launcher();

// Replaces what launcher() returns (tests); nullptr restores the default.
void setLauncherOverride(Launcher* override);
