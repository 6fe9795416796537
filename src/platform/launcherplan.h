#pragma once

#include "platform/launcher.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

// How a launch request becomes one program started with its arguments: the
// decisions of the launcher, kept apart from starting processes so that
// they can be checked without starting anything.

struct LaunchCommand {
    QString program;        // absolute path
    QStringList arguments;
    QString workDir;        // empty: the panel's own
};

struct LaunchPlan {
    bool ok = false;
    QString error;
    LaunchCommand command;
};

// What the planner may look at besides the file system.
struct LaunchTools {
    // Absolute path of a program on PATH, empty when there is none.
    std::function<QString(const QString& name)> findProgram;
    // Where the display variables (DISPLAY, XAUTHORITY, WAYLAND_DISPLAY)
    // for an elevated program come from.
    QProcessEnvironment environment;
    // Home folder, for the default X authority file.
    QString homeDir;

    // PATH, the process environment and the real home folder.
    static LaunchTools system();
};

// Plans a request:
// - "::{GUID}" shell places: their URL through xdg-open, or their program;
// - text with a URL scheme ("https:", "mailto:"): xdg-open;
// - folders: xdg-open;
// - desktop entries (".desktop"): an Application's Exec with the field codes
//   dropped and the request's arguments appended, in the entry's Path unless
//   the request names a folder, inside a terminal emulator when Terminal is
//   set; a Link's URL through xdg-open;
// - executable files (x bit and an ELF or "#!" header): the file itself with
//   the request's arguments;
// - any other file: xdg-open.
// RunAs wraps the planned command in pkexec, which runs
// `/usr/bin/env [--chdir=DIR] DISPLAY=… XAUTHORITY=… WAYLAND_DISPLAY=… program args`,
// because pkexec itself clears the environment and the working directory;
// env is never looked up on PATH.
LaunchPlan planLaunch(const Launcher::Request& request, const LaunchTools& tools);

// The words of an argument text: blanks separate, double quotes group, and
// three double quotes in a row stand for one literal quote.
QStringList splitArguments(const QString& text);
