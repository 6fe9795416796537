#include "app/fontaliases.h"

#include "app/asynctask.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

void installFontAliases()
{
    const QStringList cjkSans = {
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
    };
    const QStringList mono = {
        QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
        QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("Noto Sans Mono"),
    };
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei UI"), cjkSans);
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"), cjkSans);
    QFont::insertSubstitutions(QStringLiteral("Consolas"), mono);
}

void prepareInterfaceFonts()
{
    AsyncTask::pool()->start([] {
        QFontDatabase::families();
        QFont font(QStringLiteral("Microsoft YaHei UI"));
        font.setPixelSize(12);
        // Latin and Han text: the fallbacks are worked out per script.
        QFontMetrics(font).horizontalAdvance(QStringLiteral("Aa \u5e38\u7528"));
    });
}
