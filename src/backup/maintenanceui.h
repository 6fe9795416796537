#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The questions, file dialogs and the detached start that the maintenance
// actions of the main window go through. Each member may be empty: the
// functions below then use the standard dialogs and QProcess. Tests answer
// them instead of a user.
struct MaintenanceUi {
    // Yes/No question; `defaultNo` makes No the default button.
    std::function<bool(QWidget* parent, const QString& title, const QString& text, bool defaultNo)> confirm;
    std::function<QString(QWidget* parent, const QString& caption, const QString& path, const QString& filter)> saveFileName;
    std::function<QString(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)> openFileName;
    std::function<bool(const QString& program, const QStringList& arguments, const QString& workDir)> startDetached;

    bool ask(QWidget* parent, const QString& title, const QString& text, bool defaultNo) const;
    QString askSavePath(QWidget* parent, const QString& caption, const QString& path, const QString& filter) const;
    QString askOpenPath(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) const;
    bool start(const QString& program, const QStringList& arguments, const QString& workDir) const;
};
