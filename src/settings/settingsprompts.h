#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QString>

#include <functional>
#include <memory>

class QUrl;
class QWidget;

// Everything the settings dialog asks the user in a window of its own —
// questions, warnings, menus, file, folder and colour pickers, the password
// dialog — and the few things it hands to the desktop. Each of these runs
// its own event loop or leaves the program, so the dialog reaches them only
// through this seam: a test puts in answers of its own and drives every
// action of the pages without a person clicking.

struct PromptMenuEntry {
    QString text;          // shown as given (already translated)
    int value = -1;
    bool checked = false;
    bool separator = false;
};

struct LockPrompt {
    int mode = 0;          // LockDialog::Mode
    QString storedHash;
    std::function<void(const QString& password)> verifiedHook;
    std::function<void()> removeHook;
};

struct LockPromptAnswer {
    bool accepted = false;
    QString password;
    QString newPassword;
};

class SettingsPrompts {
public:
    virtual ~SettingsPrompts();

    // MsgDialog::ask: 1 yes, 0 no, -1 closed.
    virtual int ask(QWidget* parent, const QString& title, const QString& text);
    virtual void warning(QWidget* parent, const QString& title, const QString& text);
    virtual void information(QWidget* parent, const QString& title, const QString& text);
    // The hint card; true when its primary button was pressed.
    virtual bool hintCard(QWidget* parent, const QString& title, const QString& html, const QString& primary,
                          const QString& secondary);
    // A menu at a global position; the chosen entry's value, or -1.
    virtual int menu(QWidget* parent, const QList<PromptMenuEntry>& entries, const QPoint& globalPos);
    // Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    virtual QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    // Invalid when cancelled.
    virtual QColor colour(QWidget* parent, const QColor& initial, const QString& title);
    virtual LockPromptAnswer lockDialog(QWidget* parent, const LockPrompt& prompt);
    // Opens a folder in the file manager.
    virtual void openFolder(const QString& path);
    // Opens a web page in the user's browser.
    virtual void openUrl(const QUrl& url);
    // The modal log viewer over the data root's logs.
    virtual void showLogViewer(QWidget* parent, const QString& dataDir);
    // The themed message card with one button: kind 0 information, 2
    // warning; an empty button text becomes the translated "确定".
    virtual void message(QWidget* parent, int kind, const QString& title, const QString& text,
                         const QString& button);
};

// The prompts new settings dialogs use; the real windows unless a test set
// others. Never null.
std::shared_ptr<SettingsPrompts> settingsPrompts();
// Null puts the real windows back.
void setSettingsPrompts(std::shared_ptr<SettingsPrompts> prompts);
