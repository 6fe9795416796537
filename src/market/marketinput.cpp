// Mouse input of the market window: hover, press-release on the painted
// areas, the header drag and scrolling.
#include "market/appmarketdialog.h"

#include "market/marketcatalogue.h"
#include "market/packagecache.h"
#include "platform/launcher.h"

#include <QMouseEvent>
#include <QNetworkReply>
#include <QWheelEvent>
#include <QWindow>

#include <cmath>
#include <utility>

namespace {

QPoint roundedPos(const QPointF& p)
{
    return QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
}

} // namespace

void AppMarketDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (windowDragging) {
        move(event->globalPosition().toPoint() - windowDragOffset);
        return;
    }
    const int id = hitTest(roundedPos(event->position()));
    if (id != hoverId) {
        hoverId = id;
        update();
    }
    setCursor(id >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void AppMarketDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = roundedPos(event->position());
    const int id = hitTest(pos);
    if (id >= 0) {
        pressId = id;
        return;
    }
    pressId = -1;
    // The window manager moves the window when it can; without one, or when
    // it refuses, the dialog moves itself.
    if (pos.y() <= 44 && (!windowHandle() || !windowHandle()->startSystemMove())) {
        windowDragging = true;
        windowDragOffset = event->globalPosition().toPoint() - this->pos();
    }
}

void AppMarketDialog::wheelEvent(QWheelEvent* event)
{
    scrollOffset -= event->angleDelta().y() / 2;
    const int limit = qMax(0, ((visibleCount + 1) / 2) * 86 - windowHeight + 124);
    scrollOffset = qBound(0, scrollOffset, limit);
    update();
    event->accept();
}

void AppMarketDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (std::exchange(windowDragging, false))
        return;
    const int id = hitTest(roundedPos(event->position()));
    const int pressed = std::exchange(pressId, -1);
    if (id < 0 || id != pressed)
        return;
    if (id == kCloseId) {
        close();
        return;
    }
    if (id >= kTabIdBase && id < kTabIdBase + kTabCount) {
        currentTab = id - kTabIdBase;
        scrollOffset = 0;
        update();
        return;
    }
    const int rowIndex = id / kRowIdStride;
    if (rowIndex >= rows.size())
        return;
    switch (id % kRowIdStride) {
    case kActionButton:
        onActionButton(rowIndex);
        break;
    case kMenuButton:
        if (!rows[rowIndex].downloading && !rows[rowIndex].installing)
            showRowMenu(rows[rowIndex]);
        break;
    case kPauseButton:
        onPauseButton(rowIndex);
        break;
    case kCancelButton:
        onCancelButton(rowIndex);
        break;
    default:
        break;
    }
}

void AppMarketDialog::onActionButton(int rowIndex)
{
    AppRow& row = rows[rowIndex];
    if (row.downloading || row.installing)
        return;
    if (row.isWeb) {
        if (isHttpUrl(QUrl(row.webUrl)))
            launcher().openUrl(QUrl(row.webUrl));
        return;
    }
    // A row that failed shows "retry", whatever its installed state.
    if (row.error.isEmpty() && row.upToDate()) {
        launchApp(row.id);
        return;
    }
    if (token.isEmpty()) {
        // Only a download needs the account; the sign-in may run a dialog
        // of its own, during which the rows can be replaced.
        const QString id = row.id;
        Q_EMIT loginRequested();
        AppRow* again = findRow(id);
        if (token.isEmpty() || !again || again->downloading || again->installing)
            return;
        fetchManifest(*again);
        return;
    }
    fetchManifest(row);
}

void AppMarketDialog::onPauseButton(int rowIndex)
{
    AppRow& row = rows[rowIndex];
    if (row.paused) {
        startDownload(row);
        return;
    }
    if (row.downloading && row.reply) {
        ++row.generation;
        row.downloading = false;
        row.paused = true;
        row.errorBody.clear();
        row.reply->abort();
        update();
    }
}

void AppMarketDialog::onCancelButton(int rowIndex)
{
    AppRow& row = rows[rowIndex];
    ++row.generation;
    if (row.reply) {
        row.cancelRequested = true;
        row.reply->abort();
        row.installing = row.downloading = row.paused = false;
    } else {
        removeFileLogged(appsRootDir() + QStringLiteral("/%1.package.zip.part").arg(row.id), "cancel-part");
        row.downloading = row.paused = row.cancelRequested = row.installing = false;
    }
    row.received = row.total = 0;
    row.errorBody.clear();
    row.resumeRetried = row.rangeMismatch = false;
    if (row.extracting)
        row.installing = true;
    row.error.clear();
    update();
}
