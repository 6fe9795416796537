#include "icons/shelldrop.h"

#include "app/lang.h"
#include "platform/shellplaces.h"

#include <QUrl>

namespace {
constexpr int kMaxDroppedUris = 4096;
}

QList<QPair<QString, QString>> parseShellIdListArray(const QByteArray& uriList)
{
    QList<QPair<QString, QString>> places;
    int count = 0;
    for (const QByteArray& rawLine : uriList.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        // Lines starting with '#' are comments in a URI list.
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (++count > kMaxDroppedUris)
            return {};
        const QUrl url(QString::fromUtf8(line), QUrl::StrictMode);
        if (!url.isValid())
            continue;
        if (const ShellPlace* place = shellPlaceForUrl(url))
            places.append({translate(place->displayName), place->parsingName});
    }
    return places;
}
