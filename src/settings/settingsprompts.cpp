#include "settings/settingsprompts.h"

#include "app/lang.h"
#include "platform/launcher.h"
#include "protect/lockdialog.h"
#include "widgets/hintcarddialog.h"
#include "widgets/logviewerdialog.h"
#include "widgets/menustyle.h"
#include "widgets/msgdialog.h"

#include <QAction>
#include <QColorDialog>
#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

SettingsPrompts::~SettingsPrompts() = default;

int SettingsPrompts::ask(QWidget* parent, const QString& title, const QString& text)
{
    return MsgDialog::ask(parent, title, text);
}

void SettingsPrompts::warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

void SettingsPrompts::information(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::information(parent, title, text);
}

bool SettingsPrompts::hintCard(QWidget* parent, const QString& title, const QString& html, const QString& primary,
                               const QString& secondary)
{
    HintCardDialog card(title, html, primary, secondary, parent);
    return card.exec() == QDialog::Accepted;
}

int SettingsPrompts::menu(QWidget* parent, const QList<PromptMenuEntry>& entries, const QPoint& globalPos)
{
    QMenu menu(parent);
    styleMenu(&menu);
    for (const PromptMenuEntry& e : entries) {
        if (e.separator) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(e.text);
        a->setCheckable(true);
        a->setChecked(e.checked);
        a->setData(e.value);
    }
    QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : -1;
}

QString SettingsPrompts::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString SettingsPrompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString SettingsPrompts::existingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir, QFileDialog::ShowDirsOnly);
}

QColor SettingsPrompts::colour(QWidget* parent, const QColor& initial, const QString& title)
{
    return QColorDialog::getColor(initial, parent, title);
}

LockPromptAnswer SettingsPrompts::lockDialog(QWidget* parent, const LockPrompt& prompt)
{
    LockDialog dialog(prompt.mode, parent);
    if (!prompt.storedHash.isEmpty())
        dialog.setStoredHash(prompt.storedHash);
    dialog.verifiedHook = prompt.verifiedHook;
    dialog.removeHook = prompt.removeHook;
    LockPromptAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted;
    if (answer.accepted) {
        answer.password = dialog.password();
        answer.newPassword = dialog.newPassword();
    }
    return answer;
}

void SettingsPrompts::openFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void SettingsPrompts::openUrl(const QUrl& url)
{
    QString error;
    if (!launcher().openUrl(url, &error))
        qWarning().noquote() << "settings: cannot open" << url.toString() << "-" << error;
}

void SettingsPrompts::showLogViewer(QWidget* parent, const QString& dataDir)
{
    LogViewerDialog viewer(dataDir, parent);
    viewer.exec();
}

void SettingsPrompts::message(QWidget* parent, int kind, const QString& title, const QString& text,
                              const QString& button)
{
    MsgDialog dialog(parent, kind, title, text, { button.isEmpty() ? translate(u"确定") : button }, 0);
    dialog.exec();
}

namespace {

std::shared_ptr<SettingsPrompts>& installed()
{
    static std::shared_ptr<SettingsPrompts> prompts;
    return prompts;
}

} // namespace

std::shared_ptr<SettingsPrompts> settingsPrompts()
{
    std::shared_ptr<SettingsPrompts>& p = installed();
    if (!p)
        p = std::make_shared<SettingsPrompts>();
    return p;
}

void setSettingsPrompts(std::shared_ptr<SettingsPrompts> prompts) { installed() = std::move(prompts); }
