#include "app/fontaliases.h"

#include <QFont>
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
