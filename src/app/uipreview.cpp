#include "app/uipreview.h"

#include "app/uipreviewglyphs.h"

#include <QDebug>
#include <QDir>

std::vector<UiPreviewSheet> uiPreviewSheets()
{
    // Each subsystem adds its renderer here, in the order the sheets are
    // made: sign-in kick dialogs, update dialog, lock dialogs, item menu,
    // lock screens, settings pages, backup dialogs, panel-button glyphs and
    // their checks, shortcut editor.
    return {
        {"panel button glyphs", writeUiBtnGlyphSheets},
    };
}

int runUiPreview(const QString& folder)
{
    qInfo() << "ui preview: rendering into" << folder;
    if (!QDir().mkpath(folder))
        qWarning() << "ui preview: cannot create folder" << folder;
    for (const UiPreviewSheet& sheet : uiPreviewSheets()) {
        qInfo() << "ui preview:" << sheet.name;
        sheet.render(folder);
    }
    qInfo() << "ui preview: done";
    return 0;
}
