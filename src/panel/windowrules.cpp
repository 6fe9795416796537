#include "panel/windowrules.h"

#include <QtGlobal>

namespace {

constexpr int kMinWidth = 680;
constexpr int kMinHeight = 460;
constexpr int kDefaultHeight = 496;
constexpr int kMaxRememberedWidth = 1400;
constexpr int kMaxRememberedHeight = 1000;

int fitSide(int remembered, int screen, int minimum, int maximum)
{
    if (screen <= minimum)
        return screen;
    return qBound(minimum, remembered, qMin(screen, maximum));
}

// Inside `area` as far as it goes; the left and top edges win when the
// rectangle is larger than the area.
QPoint clampInto(QPoint p, const QSize& size, const QRect& area)
{
    const int x = qMax(area.left(), qMin(p.x(), area.right() - size.width() + 1));
    const int y = qMax(area.top(), qMin(p.y(), area.bottom() - size.height() + 1));
    return QPoint(x, y);
}

qint64 overlapArea(const QRect& a, const QRect& b)
{
    const QRect i = a.intersected(b);
    return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}

} // namespace

QSize minimumWindowSize(const QRect& available)
{
    if (!available.isValid())
        return QSize(kMinWidth, kMinHeight);
    return QSize(qMin(kMinWidth, available.width()), qMin(kMinHeight, available.height()));
}

QSize initialWindowSize(bool rememberGeometry, const QSize& remembered, const QRect& available)
{
    if (!rememberGeometry || remembered.width() < 0 || remembered.height() < 0)
        return QSize(kMinWidth, kDefaultHeight);
    const QSize s = available.isValid() ? available.size() : QSize(1366, 690);
    return QSize(fitSide(remembered.width(), s.width(), kMinWidth, kMaxRememberedWidth),
                 fitSide(remembered.height(), s.height(), kMinHeight, kMaxRememberedHeight));
}

int tokenHeartbeatSeconds(const QByteArray& value)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok, 10);
    return ok && n >= 1 ? n : 60;
}

UiButtonAction uiButtonAction(int ub, bool uiLocked, bool revealedBySummon)
{
    if (ub < 0 || ub > 10)
        return UiButtonAction::None;
    if (uiLocked && ub != 3 && ub != 4)
        return UiButtonAction::ShowLockScreen;
    switch (ub) {
    case 0: return UiButtonAction::ToggleOrientation;
    case 1: return UiButtonAction::OpenSettings;
    case 2: return UiButtonAction::TogglePinned;
    case 3: return revealedBySummon ? UiButtonAction::CollapseToEdge : UiButtonAction::Minimize;
    case 4: return revealedBySummon ? UiButtonAction::CollapseToEdge : UiButtonAction::Close;
    case 5: return UiButtonAction::AppMarket;
    case 6: return UiButtonAction::ToggleTheme;
    case 7: return UiButtonAction::SupportChat;
    case 8: return UiButtonAction::LockInterface;
    case 9: return UiButtonAction::ToggleScreenMonitor;
    case 10: return UiButtonAction::ToggleObfuscation;
    }
    return UiButtonAction::None;
}

bool moveUiButtonInLayouts(QList<int>& title, QList<int>& bottom, const QList<bool>& visible, int ub, int toArea,
                           int insertIndex)
{
    if (ub < 0 || ub > 10)
        return false;
    QList<int>* source = title.contains(ub) ? &title : bottom.contains(ub) ? &bottom : nullptr;
    if (!source)
        return false;
    QList<int>* target = toArea != 0 ? &bottom : &title;

    // The list index of the shown button at `insertIndex`, the list's end
    // when there are fewer shown buttons.
    auto shown = [&visible](int id) { return id >= 0 && id <= 10 && (id >= visible.size() || visible.at(id)); };
    int at = int(target->size());
    int seen = 0;
    for (int i = 0; i < target->size(); ++i) {
        if (!shown(target->at(i)))
            continue;
        if (seen == insertIndex) {
            at = i;
            break;
        }
        ++seen;
    }
    if (insertIndex < 0)
        at = 0;

    const int from = int(source->indexOf(ub));
    source->removeAt(from);
    if (target == source && from < at)
        --at;
    target->insert(qBound(0, at, int(target->size())), ub);
    return true;
}

QPoint settingsDialogPosition(const QRect& frame, const QRect& available, const QSize& dialog)
{
    const QRect v = frame.intersected(available);
    const QPoint candidates[] = {
        QPoint(v.right() + 8, v.top()),
        QPoint(v.left() - dialog.width() - 8, v.top()),
        QPoint(v.left(), v.bottom() + 8),
    };
    QPoint best;
    qint64 bestOverlap = -1;
    for (const QPoint& c : candidates) {
        const QPoint p = clampInto(c, dialog, available);
        const qint64 o = overlapArea(QRect(p, dialog), v);
        if (bestOverlap < 0 || o < bestOverlap) {
            best = p;
            bestOverlap = o;
        }
    }
    return best;
}
