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

namespace {

// A prompt is a child of the window that asked. When that window is closed
// and deleted from inside the prompt's own event loop, the prompt goes with
// it: it therefore lives on the heap and is released here only when it is
// still there, never twice.
template <typename Window> class OwnedPrompt {
public:
    explicit OwnedPrompt(Window* window) : m_window(window) {}
    ~OwnedPrompt() { delete m_window.data(); }
    OwnedPrompt(const OwnedPrompt&) = delete;
    OwnedPrompt& operator=(const OwnedPrompt&) = delete;
    Window* operator->() const { return m_window.data(); }
    Window* get() const { return m_window.data(); }
    // exec(), and Rejected when the window was deleted meanwhile.
    int exec() { return m_window ? m_window->exec() : QDialog::Rejected; }
    bool alive() const { return !m_window.isNull(); }

private:
    QPointer<Window> m_window;
};

} // namespace

SettingsPrompts::~SettingsPrompts() = default;

int SettingsPrompts::ask(QWidget* parent, const QString& title, const QString& text)
{
    return MsgDialog::ask(parent, title, text);
}

void SettingsPrompts::warning(QWidget* parent, const QString& title, const QString& text)
{
    OwnedPrompt<QMessageBox> box(new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent));
    box.exec();
}

void SettingsPrompts::information(QWidget* parent, const QString& title, const QString& text)
{
    OwnedPrompt<QMessageBox> box(new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, parent));
    box.exec();
}

bool SettingsPrompts::hintCard(QWidget* parent, const QString& title, const QString& html, const QString& primary,
                               const QString& secondary)
{
    OwnedPrompt<HintCardDialog> card(new HintCardDialog(title, html, primary, secondary, parent));
    return card.exec() == QDialog::Accepted && card.alive();
}

int SettingsPrompts::menu(QWidget* parent, const QList<PromptMenuEntry>& entries, const QPoint& globalPos)
{
    OwnedPrompt<QMenu> menu(new QMenu(parent));
    styleMenu(menu.get());
    for (const PromptMenuEntry& e : entries) {
        if (e.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(e.text);
        a->setCheckable(true);
        a->setChecked(e.checked);
        a->setData(e.value);
    }
    QAction* chosen = menu->exec(globalPos);
    // The actions are the menu's children: nothing was chosen when it went.
    return chosen && menu.alive() ? chosen->data().toInt() : -1;
}

namespace {

QString pickFile(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                 QFileDialog::FileMode mode, QFileDialog::AcceptMode accept)
{
    OwnedPrompt<QFileDialog> dialog(new QFileDialog(parent, caption, dir, filter));
    dialog->setFileMode(mode);
    dialog->setAcceptMode(accept);
    if (mode == QFileDialog::Directory)
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || !dialog.alive())
        return QString();
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

} // namespace

QString SettingsPrompts::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter)
{
    return pickFile(parent, caption, dir, filter, QFileDialog::ExistingFile, QFileDialog::AcceptOpen);
}

QString SettingsPrompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter)
{
    return pickFile(parent, caption, dir, filter, QFileDialog::AnyFile, QFileDialog::AcceptSave);
}

QString SettingsPrompts::existingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    return pickFile(parent, caption, dir, QString(), QFileDialog::Directory, QFileDialog::AcceptOpen);
}

QColor SettingsPrompts::colour(QWidget* parent, const QColor& initial, const QString& title)
{
    OwnedPrompt<QColorDialog> dialog(new QColorDialog(initial, parent));
    dialog->setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted || !dialog.alive())
        return QColor();
    return dialog->selectedColor();
}

LockPromptAnswer SettingsPrompts::lockDialog(QWidget* parent, const LockPrompt& prompt)
{
    OwnedPrompt<LockDialog> dialog(new LockDialog(prompt.mode, parent));
    if (!prompt.storedHash.isEmpty())
        dialog->setStoredHash(prompt.storedHash);
    dialog->verifiedHook = prompt.verifiedHook;
    dialog->removeHook = prompt.removeHook;
    LockPromptAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted && dialog.alive();
    if (answer.accepted) {
        answer.password = dialog->password();
        answer.newPassword = dialog->newPassword();
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
    OwnedPrompt<LogViewerDialog> viewer(new LogViewerDialog(dataDir, parent));
    viewer.exec();
}

void SettingsPrompts::message(QWidget* parent, int kind, const QString& title, const QString& text,
                              const QString& button)
{
    OwnedPrompt<MsgDialog> dialog(
        new MsgDialog(parent, kind, title, text, { button.isEmpty() ? translate(u"确定") : button }, 0));
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
