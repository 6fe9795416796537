#pragma once

#include "settings/settingsprompts.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

// Answers the settings dialog's questions from queues a test fills, and
// records what was asked. An empty queue answers "cancelled".
class FakePrompts : public SettingsPrompts {
public:
    QList<int> askAnswers;
    QList<int> menuAnswers;           // the value to choose, -1 for none
    QStringList fileAnswers;          // open, save and folder pickers share it
    QList<QColor> colourAnswers;
    QList<bool> hintAnswers;
    QList<LockPromptAnswer> lockAnswers;
    // Runs inside lockDialog before the answer is given (to call the hooks).
    std::function<void(const LockPrompt&)> onLock;

    QStringList asked;                // "kind: title/caption"
    QList<QList<PromptMenuEntry>> menus;
    QStringList warnings;
    QStringList openedFolders;
    QList<QUrl> openedUrls;
    QStringList logViewers;           // the data root each viewer was given
    QList<int> lockModes;
    QStringList pickerDirs;           // the start folder or proposed name of every file or folder picker
    QStringList informations;         // "title|text"

    int ask(QWidget*, const QString& title, const QString&) override
    {
        asked << QStringLiteral("ask: ") + title;
        return askAnswers.isEmpty() ? -1 : askAnswers.takeFirst();
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        warnings << title + QLatin1Char('|') + text;
    }
    void information(QWidget*, const QString& title, const QString& text) override
    {
        asked << QStringLiteral("info: ") + title;
        informations << title + QLatin1Char('|') + text;
    }
    bool hintCard(QWidget*, const QString& title, const QString&, const QString&, const QString&) override
    {
        asked << QStringLiteral("hint: ") + title;
        return hintAnswers.isEmpty() ? false : hintAnswers.takeFirst();
    }
    int menu(QWidget*, const QList<PromptMenuEntry>& entries, const QPoint&) override
    {
        menus << entries;
        return menuAnswers.isEmpty() ? -1 : menuAnswers.takeFirst();
    }
    QString openFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override
    {
        pickerDirs << dir;
        asked << QStringLiteral("open: ") + caption;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override
    {
        pickerDirs << dir;
        asked << QStringLiteral("save: ") + caption;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString existingDirectory(QWidget*, const QString& caption, const QString& dir) override
    {
        pickerDirs << dir;
        asked << QStringLiteral("folder: ") + caption;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QColor colour(QWidget*, const QColor&, const QString& title) override
    {
        asked << QStringLiteral("colour: ") + title;
        return colourAnswers.isEmpty() ? QColor() : colourAnswers.takeFirst();
    }
    LockPromptAnswer lockDialog(QWidget*, const LockPrompt& prompt) override
    {
        lockModes << prompt.mode;
        if (onLock)
            onLock(prompt);
        return lockAnswers.isEmpty() ? LockPromptAnswer() : lockAnswers.takeFirst();
    }
    void openFolder(const QString& path) override { openedFolders << path; }
    void openUrl(const QUrl& url) override { openedUrls << url; }
    void showLogViewer(QWidget*, const QString& dataDir) override { logViewers << dataDir; }
    // The message cards, as "kind|title|text".
    QStringList messages;
    void message(QWidget*, int kind, const QString& title, const QString& text, const QString&) override
    {
        messages << QString::number(kind) + QLatin1Char('|') + title + QLatin1Char('|') + text;
    }
};

// Installs fake prompts for new settings dialogs while it lives.
class FakePromptsScope {
public:
    FakePromptsScope()
        : prompts(std::make_shared<FakePrompts>())
    {
        setSettingsPrompts(prompts);
    }
    ~FakePromptsScope() { setSettingsPrompts(nullptr); }
    FakePromptsScope(const FakePromptsScope&) = delete;
    FakePromptsScope& operator=(const FakePromptsScope&) = delete;
    FakePrompts* operator->() const { return prompts.get(); }

    std::shared_ptr<FakePrompts> prompts;
};
