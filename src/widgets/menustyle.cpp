#include "widgets/menustyle.h"

#include "app/theme.h"
#include "app/windowshape.h"

#include <QMenu>

void styleMenu(QMenu* menu)
{
    if (!menu)
        return;
    menu->setWindowFlags(menu->windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    menu->setAttribute(Qt::WA_TranslucentBackground);
    if (!menu->findChild<WindowShape*>(QString(), Qt::FindDirectChildrenOnly))
        WindowShape::install(menu, [] { return 10.0; });
    const bool dark = currentTheme().isDark;
    const QString sheet =
        QStringLiteral("QMenu{background:%1;border:1px solid %2;border-radius:10px;padding:5px;"
                       "font-family:'%8';font-size:13px;color:%3;}"
                       "QMenu::item{padding:3px 14px 3px 6px;border-radius:7px;background:transparent;}"
                       "QMenu::item:selected{background:%4;color:%5;}"
                       "QMenu::item:disabled{color:%6;}"
                       "QMenu::separator{height:1px;background:%7;margin:3px 9px;}"
                       "QMenu::icon{padding-left:9px;}"
                       "QMenu::right-arrow{width:10px;height:10px;}")
            .arg(dark ? QStringLiteral("#2A2F3A") : QStringLiteral("#FFFFFF"),
                 dark ? QStringLiteral("#3A404D") : QStringLiteral("#DCE1EB"),
                 dark ? QStringLiteral("#E6E9F0") : QStringLiteral("#2E3440"),
                 dark ? QStringLiteral("#333D52") : QStringLiteral("#EDF2FE"),
                 dark ? QStringLiteral("#9FBEFF") : QStringLiteral("#2B5FD9"),
                 dark ? QStringLiteral("#6B7280") : QStringLiteral("#A8AFBC"),
                 dark ? QStringLiteral("#3A404D") : QStringLiteral("#E8ECF3"), uiFontFamily());
    menu->setStyleSheet(sheet);
}
