#include "app/uipreview.h"

#include "app/uipreviewglyphs.h"

#include "account/sessionkickeddialog.h"
#include "app/theme.h"
#include "widgets/logviewerdialog.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QPlainTextEdit>
#include <QCoreApplication>

namespace {

// The log viewer in both themes, with the sample data root the other
// settings sheets use. The log is read off the GUI thread, so each picture
// waits (briefly) for the text to arrive.
void writeLogViewerSheets(const QString& folder)
{
    const bool wasDark = currentTheme().isDark;
    LogViewerDialog dialog(QStringLiteral("C:/Tarnavel/TarnavelPanel"));
    dialog.resize(900, 620);
    const auto shoot = [&](const QString& name) {
        const QDeadlineTimer deadline(5000);
        while (dialog.logViewWidget()->toPlainText().isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!dialog.grab().save(folder + name))
            qWarning() << "ui preview: cannot write" << folder + name;
    };
    shoot(QStringLiteral("/log-viewer.png"));
    setDarkTheme(true);
    dialog.applyTheme();
    dialog.logViewWidget()->clear();
    dialog.reload();
    shoot(QStringLiteral("/log-viewer-dark.png"));
    setDarkTheme(wasDark);
}

} // namespace

std::vector<UiPreviewSheet> uiPreviewSheets()
{
    // Each subsystem adds its renderer here, in the order the sheets are
    // made: sign-in kick dialogs, update dialog, lock dialogs, item menu,
    // lock screens, settings pages, backup dialogs, panel-button glyphs and
    // their checks, shortcut editor.
    return {
        {"sign-in kick dialogs", previewKickDialogs},
        {"log viewer", writeLogViewerSheets},
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
