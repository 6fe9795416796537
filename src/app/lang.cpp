#include "app/lang.h"

#include "app/translationtable.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <atomic>

namespace {

std::atomic<int> g_language{0};

std::function<void()>& languageChangedHandler()
{
    static std::function<void()> handler;
    return handler;
}

// Built on the first English lookup only; Chinese mode never pays for it.
const QHash<QString, QString>& lookupMap()
{
    static const QHash<QString, QString> map =
        buildTranslationMap(translationTable(), translationTableSize());
    return map;
}

// Qt's own texts (file dialogs, standard buttons) follow the interface
// language on every language notice. They are English by themselves; Chinese
// needs the catalogue installed with Qt.
void syncQtTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    static QPointer<QTranslator> installed;
    const bool wanted = !isEnglish();
    if (bool(installed) == wanted)
        return;
    if (installed) {
        app->removeTranslator(installed);
        delete installed;
        return;
    }
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"), folder)) {
        qWarning() << "[lang] no Chinese translation of Qt's own texts in" << folder;
        delete translator;
        return;
    }
    app->installTranslator(translator);
    installed = translator;
}

} // namespace

QHash<QString, QString> buildTranslationMap(const TranslationPair* pairs, int count)
{
    QHash<QString, QString> map;
    map.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString key = QString::fromUtf8(pairs[i].key);
        const QString value = QString::fromUtf8(pairs[i].value);
        if (map.contains(key)) {
            qWarning() << "[lang] duplicate translation key at index" << i << ":" << key;
            continue;
        }
        map.insert(key, value);
    }
    return map;
}

void setLanguage(int value) { g_language.store(value == 1 ? 1 : 0); }
int currentLanguage() { return g_language.load(); }
bool isEnglish() { return g_language.load() == 1; }

QString translate(const QString& text)
{
    if (!isEnglish() || text.isEmpty())
        return text;
    const QHash<QString, QString>& map = lookupMap();
    const auto it = map.constFind(text);
    if (it != map.constEnd())
        return *it;
    // Drive captions carry their letter: "本地磁盘 (C:)".
    static const QString drivePrefix = QStringLiteral("本地磁盘 (");
    if (text.startsWith(drivePrefix) && text.endsWith(QLatin1Char(')')))
        return QStringLiteral("Local Disk (") + text.mid(drivePrefix.size());
    return text;
}

QString translate(const char* utf8)
{
    return translate(QString::fromUtf8(utf8));
}

QString translate(const char16_t* utf16)
{
    return utf16 ? translate(QString::fromUtf16(utf16)) : QString();
}

void setLanguageChangedHandler(std::function<void()> handler)
{
    languageChangedHandler() = std::move(handler);
}

void notifyLanguageChanged()
{
    syncQtTranslations();
    // A copy, so that a handler may replace itself while it runs.
    const std::function<void()> handler = languageChangedHandler();
    if (handler)
        handler();
}
