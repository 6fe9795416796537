#pragma once

#include <QString>
#include <QStringList>

// Finds installed programs by their desktop entries (the menu entries of
// the desktop), the way a menu would.
class ApplicationFinder {
public:
    virtual ~ApplicationFinder() = default;

    // The absolute path of the desktop entry of the first of `desktopIds`
    // (file names such as "org.gnome.Terminal.desktop") that is installed
    // and usable, else an empty text. An entry hidden by the user (Hidden),
    // one that is not an application, and one whose TryExec program cannot
    // be found count as not installed.
    virtual QString findDesktopEntry(const QStringList& desktopIds) const = 0;

    // The absolute path of the program `name` on PATH, else an empty text.
    virtual QString findProgram(const QString& name) const;
};

// Looks in the XDG application folders, the user's first: an entry there
// overrides (or hides) the system's entry of the same id.
class XdgApplicationFinder : public ApplicationFinder {
public:
    // `applicationDirs` in order of precedence; empty means the standard
    // folders ($XDG_DATA_HOME and each of $XDG_DATA_DIRS, plus "/applications").
    explicit XdgApplicationFinder(const QStringList& applicationDirs = QStringList());
    QString findDesktopEntry(const QStringList& desktopIds) const override;

private:
    QStringList m_dirs;
};
