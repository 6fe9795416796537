// The item context menu as the screenshot mode shows it: the entries of the
// real menu for an ordinary program, without a main window behind it.
#include "panel/itemmenupreview.h"

#include "app/lang.h"
#include "app/theme.h"
#include "widgets/lineglyphs.h"
#include "widgets/menustyle.h"

#include <QCoreApplication>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

void previewItemMenu(const QString& folder)
{
    const bool dark = currentTheme().isDark;
    const QColor normal = dark ? QColor(199, 206, 219) : QColor(74, 81, 94);
    const QColor muted = dark ? QColor(154, 162, 178) : QColor(108, 117, 132);
    const QColor red(217, 83, 79);

    QMenu menu;
    styleMenu(&menu);
    const auto add = [](QMenu* m, LineGlyph glyph, const QColor& colour, const char16_t* text, bool enabled = true) {
        QAction* a = m->addAction(makeGlyphIcon(int(glyph), colour), translate(text));
        a->setEnabled(enabled);
        return a;
    };
    add(&menu, LineGlyph::Triangle, normal, u"打开");
    add(&menu, LineGlyph::Shield, normal, u"以管理员身份运行", false);
    add(&menu, LineGlyph::Folder, normal, u"打开所在位置");
    menu.addSeparator();
    add(&menu, LineGlyph::Pencil, normal, u"编辑...");
    add(&menu, LineGlyph::Folder, normal, u"重新定位...");
    add(&menu, LineGlyph::Picture, muted, u"恢复默认图标", false);
    add(&menu, LineGlyph::Squares, normal, u"复制完整路径");
    add(&menu, LineGlyph::Export, normal, u"创建桌面快捷方式");
    menu.addSeparator();
    QMenu* move = menu.addMenu(makeGlyphIcon(int(LineGlyph::Tiles), normal), translate(u"移动到分组"));
    styleMenu(move);
    move->addAction(translate(u"常用"));
    QAction* floating = add(&menu, LineGlyph::Windows, normal, u"悬浮");
    menu.addSeparator();
    add(&menu, LineGlyph::Bin, red, u"从面板移除");

    menu.setActiveAction(floating);
    menu.ensurePolished();
    menu.adjustSize();
    menu.show();
    QCoreApplication::processEvents();
    const QPixmap grabbed = menu.grab();
    menu.hide();

    // The menu's rounded corners are transparent; on white they look as
    // they do over a light desktop.
    QImage sheet(grabbed.size(), QImage::Format_ARGB32);
    sheet.setDevicePixelRatio(grabbed.devicePixelRatio());
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        p.drawPixmap(0, 0, grabbed);
    }
    sheet.save(folder + QStringLiteral("/item-menu.png"));
}
