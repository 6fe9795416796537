#include "updater/updatedialog.h"

#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kStartWidth = 440;
constexpr int kStartHeight = 236;
constexpr int kMinWidth = 320;
constexpr int kMinHeight = 300;
constexpr int kNotesTop = 108;
constexpr int kChromeHeight = 224;
constexpr int kSideMargin = 24;
constexpr int kLineGap = 4;
constexpr int kNoScreenMaxHeight = 840;

} // namespace

UpdateDialog::Areas UpdateDialog::areasFor(const QSize& size)
{
    const int w = size.width();
    const int h = size.height();
    Areas a;
    a.update = QRect(QPoint(w - 112, h - 48), QPoint(w - 25, h - 19));
    a.later = QRect(QPoint(w - 192, h - 48), QPoint(w - 121, h - 19));
    a.close = QRect(QPoint(w - 36, 14), QPoint(w - 15, 35));
    a.minimize = QRect(QPoint(w - 64, 14), QPoint(w - 43, 35));
    a.siteLink = QRect(QPoint(24, h - 48), QPoint(103, h - 19));
    return a;
}

QStringList UpdateDialog::normaliseNotes(const QString& notes)
{
    QString text = notes;
    for (char16_t mark = 0x2460; mark <= 0x2473; ++mark) {
        const int at = int(text.indexOf(QChar(mark)));
        if (at > 0)
            text.insert(at, QLatin1Char('\n'));
    }
    static const QString trailing = QStringLiteral(u"；;，,");
    QStringList lines;
    const QStringList pieces = text.split(QLatin1Char('\n'));
    for (const QString& piece : pieces) {
        QString line = piece.trimmed();
        if (line.isEmpty())
            continue;
        while (!line.isEmpty() && trailing.contains(line.back()))
            line.chop(1);
        lines.append(line);
    }
    return lines;
}

UpdateDialog::UpdateDialog(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(4, themeCornerRadius())); });
    setMouseTracking(true);
    setWindowTitle(translate(u"版本更新"));
    setFixedSize(kStartWidth, kStartHeight);
}

QString UpdateDialog::heading() const
{
    return title.isEmpty() ? translate(u"发现新版本 v%1").arg(version) : title;
}

QStringList UpdateDialog::shownLines() const
{
    if (!noteLines.isEmpty())
        return noteLines;
    return {translate(u"本次更新包含新功能与问题修复，建议立即升级。")};
}

void UpdateDialog::showUpdate(const QString& newVersion, const QString& newNotes, const QString& newTitle)
{
    version = newVersion;
    notes = newNotes;
    title = newTitle.trimmed();
    noteLines = normaliseNotes(notes);
    statusText.clear();
    progress = -1;
    updateLayout();
    setWindowModality(Qt::ApplicationModal);
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void UpdateDialog::setStatusText(const QString& text)
{
    statusText = text;
    update();
}

void UpdateDialog::setProgress(int percent)
{
    progress = percent;
    statusText = translate(u"正在下载更新… %1%").arg(percent);
    update();
}

UpdateDialog::UpdateArea UpdateDialog::hitTest(const QPoint& pos) const
{
    const Areas a = areasFor(size());
    const std::pair<QRect, UpdateArea> order[] = {
        {a.update, UpdateArea::UpdateButton}, {a.later, UpdateArea::LaterButton},
        {a.close, UpdateArea::CloseButton},   {a.siteLink, UpdateArea::SiteLink},
        {a.minimize, UpdateArea::MinimizeButton}};
    for (const auto& [rect, area] : order) {
        if (rect.contains(pos))
            return area;
    }
    return UpdateArea::None;
}

void UpdateDialog::updateLayout()
{
    QFont font(uiFontFamily());
    font.setPixelSize(12);
    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    int w = kStartWidth;
    int maxHeight = kNoScreenMaxHeight;
    if (scr) {
        const QRect avail = scr->availableGeometry();
        w = qMax(kMinWidth, qMin(kStartWidth, avail.width() - 40));
        maxHeight = avail.height() - 60;
    }
    const QFontMetrics fm(font);
    int total = 0;
    for (const QString& line : shownLines()) {
        const int lh = fm.boundingRect(QRect(0, 0, w - 2 * kSideMargin, 10000),
                                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, line).height();
        total += lh + kLineGap;
    }
    notesHeight = total - kLineGap;
    const int h = maxHeight <= kMinHeight ? kMinHeight : qBound(kMinHeight, notesHeight + kChromeHeight, maxHeight);
    setFixedSize(w, h);
    update();
}

void UpdateDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressedArea = hitTest(event->position().toPoint());
    update();
}

void UpdateDialog::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(hitTest(event->position().toPoint()));
}

void UpdateDialog::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    setHovered(UpdateArea::None);
}

void UpdateDialog::setHovered(UpdateArea area)
{
    // The site link is not shown while a download runs.
    const bool clickable = area != UpdateArea::None && !(area == UpdateArea::SiteLink && !statusText.isEmpty());
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (area == hoveredArea)
        return;
    hoveredArea = area;
    update();
}

void UpdateDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const UpdateArea area = hitTest(event->position().toPoint());
    const UpdateArea pressed = std::exchange(pressedArea, UpdateArea::None);
    update();
    if (area == UpdateArea::None || area != pressed)
        return;
    switch (area) {
    case UpdateArea::LaterButton:
    case UpdateArea::CloseButton:
        Q_EMIT dismissed();
        break;
    case UpdateArea::MinimizeButton:
        // Hidden first: a modal window stays modal while minimised and would
        // keep the panel blocked behind it.
        hide();
        showMinimized();
        Q_EMIT minimized();
        break;
    case UpdateArea::SiteLink:
        // The busy look shows no link.
        if (!statusText.isEmpty())
            return;
        launcher().openUrl(serviceUrl(QStringLiteral("/")));
        break;
    case UpdateArea::UpdateButton:
        if (!statusText.isEmpty())
            return;
        repaint();
        // Emitted from the event loop so that the pressed look is on screen
        // before the main window starts its work.
        QTimer::singleShot(0, this, [this] { Q_EMIT updateClicked(); });
        break;
    case UpdateArea::None:
        break;
    }
}

void UpdateDialog::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    setWindowModality(Qt::NonModal);
}
