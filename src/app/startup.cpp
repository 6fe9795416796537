#include "app/startup.h"

#include "app/paths.h"

#include <QApplication>
#include <QWidget>

int qMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    QApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
    cachedAppDataDir();
    QWidget w;
    w.setWindowTitle(QStringLiteral("Quillory"));
    w.resize(800, 560);
    w.show();
    return app.exec();
}
