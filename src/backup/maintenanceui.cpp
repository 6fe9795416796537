#include "backup/maintenanceui.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

bool MaintenanceUi::ask(QWidget* parent, const QString& title, const QString& text, bool defaultNo) const
{
    if (confirm)
        return confirm(parent, title, text, defaultNo);
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 defaultNo ? QMessageBox::No : QMessageBox::NoButton)
        == QMessageBox::Yes;
}

QString MaintenanceUi::askSavePath(QWidget* parent, const QString& caption, const QString& path,
                                   const QString& filter) const
{
    if (saveFileName)
        return saveFileName(parent, caption, path, filter);
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

QString MaintenanceUi::askOpenPath(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) const
{
    if (openFileName)
        return openFileName(parent, caption, dir, filter);
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

bool MaintenanceUi::start(const QString& program, const QStringList& arguments, const QString& workDir) const
{
    if (startDetached)
        return startDetached(program, arguments, workDir);
    return QProcess::startDetached(program, arguments, workDir);
}
