// Pointer, wheel and key input of the settings dialog and the dispatch of a
// click to the action of the element under the pointer.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "settings/settingsprompts.h"
#include "settings/settingsstyle.h"
#include "settings/valuewidgets.h"

#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QPointer>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kTitleAreaHeight = 45;
constexpr int kWheelStepPx = 44;

bool isButtonCardCell(int cell) { return cell == 1 || cell == 7; }

} // namespace

int SettingsDialog::thumbLength() const
{
    return m_layout.scrollThumb.isNull() ? 0 : m_layout.scrollThumb.height();
}

void SettingsDialog::endThumbDrag()
{
    if (!m_thumbDragging)
        return;
    m_thumbDragging = false;
    if (mouseGrabber() == this)
        releaseMouse();
}

void SettingsDialog::dropHint()
{
    m_hintText.clear();
    m_hintAnchor = QRect();
    m_hintOwnerId = -1;
}

void SettingsDialog::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        if (m_currentPage == settingspage::kIcons)
            iconListRightPress(pos);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;

    if (m_layout.close.adjusted(-4, -4, 4, 4).contains(pos)) {
        reject();
        return;
    }
    if (pos.y() < kTitleAreaHeight) {
        // The window manager moves the window when it can; without one, or
        // when it refuses, the dialog moves itself.
        QWindow* w = windowHandle();
        if (!w || !w->startSystemMove()) {
            m_windowDragging = true;
            m_windowDragOffset = event->globalPosition().toPoint() - this->pos();
        }
        return;
    }
    if (!m_layout.scrollThumb.isNull()) {
        if (m_layout.scrollThumb.contains(pos)) {
            m_thumbDragging = true;
            m_dragStartY = pos.y();
            m_dragStartScroll = m_scroll;
            grabMouse();
            update();
            return;
        }
        if (m_layout.scrollTrack.contains(pos)) {
            if (m_layout.maxScroll > 0) {
                const int length = thumbLength();
                const int divisor = std::max(1, m_dialogHeight - length - 120);
                const int target = int(std::lround(double(pos.y() - length / 2 - 58) * m_layout.maxScroll / divisor));
                m_scroll = std::clamp(target, 0, m_layout.maxScroll);
                placeChildWidgets();
            }
            update();
            return;
        }
    }
    if (m_currentPage == settingspage::kIcons) {
        // The clear dot of a custom icon acts on the press.
        const HitRect* hit = settingsHitAt(m_layout, pos, m_scroll);
        if (hit && hit->id >= settingsid::kIconRowBase
            && (hit->id - settingsid::kIconRowBase) % settingsid::kIconRowStride == 2) {
            const int row = (hit->id - settingsid::kIconRowBase) / settingsid::kIconRowStride;
            if (row < m_iconRows.size() && !m_iconRows.at(row).iconLight.isEmpty()) {
                editItemCell(row, 2);
                return;
            }
        }
    }

    if (m_layout.restoreDefaults.contains(pos))
        m_pressedId = settingsid::kRestoreDefaults;
    else if (m_layout.cancel.contains(pos))
        m_pressedId = settingsid::kCancel;
    else if (m_layout.ok.contains(pos))
        m_pressedId = settingsid::kOk;
    else if (const HitRect* hit = settingsHitAt(m_layout, pos, m_scroll))
        m_pressedId = hit->id;
    else
        m_pressedId = settingsid::kNone;
    update();
}

void SettingsDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_windowDragging) {
        move(event->globalPosition().toPoint() - m_windowDragOffset);
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (m_thumbDragging) {
        if (m_layout.maxScroll > 0) {
            const int divisor = std::max(1, m_dialogHeight - thumbLength() - 120);
            const int target =
                m_dragStartScroll + int(std::lround(double(pos.y() - m_dragStartY) * m_layout.maxScroll / divisor));
            m_scroll = std::clamp(target, 0, m_layout.maxScroll);
            placeChildWidgets();
        }
        update();
        return;
    }
    updateHover(pos);
}

void SettingsDialog::updateHover(const QPoint& pos)
{
    m_closeHovered = m_layout.close.contains(pos);
    const HitRect* hit = settingsHitAt(m_layout, pos, m_scroll);
    const int hover = hit && hit->kind >= settingshit::kNavigation && hit->kind <= settingshit::kButton ? hit->id
                                                                                                      : settingsid::kNone;
    QString hint;
    QRect anchor;
    if (m_currentPage == settingspage::kAppearance && hit && hover >= settingsid::kIconRowBase) {
        const int cell = (hover - settingsid::kIconRowBase) % settingsid::kIconRowStride;
        if (isButtonCardCell(cell)) {
            hint = (cell == 1 ? translate(u"点击上传浅色模式图标（浅色主题正常态）")
                              : translate(u"点击上传深色模式图标（深色主题正常态）"))
                 + QLatin1Char('\n') + translate(u"支持格式：PNG / JPG / JPEG / BMP / GIF / ICO") + QLatin1Char('\n')
                 + translate(u"建议尺寸：16×16 或 32×32 像素（超出会自动缩放）");
            anchor = hit->rect.translated(0, -m_scroll);
        }
    }
    QString whole;
    for (const auto& [rect, text] : std::as_const(m_shortenedTexts)) {
        if (rect.contains(pos))
            whole = text;
    }
    if (toolTip() != whole)
        setToolTip(whole);
    bool repaint = false;
    if (hint != m_hintText || anchor != m_hintAnchor) {
        m_hintText = hint;
        m_hintAnchor = anchor;
        repaint = true;
    }
    m_hintOwnerId = hint.isEmpty() ? settingsid::kNone : hover;
    if (hover != m_hoverId || m_closeHovered) {
        m_hoverId = hover;
        repaint = true;
    }
    if (repaint)
        update();
}

void SettingsDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (std::exchange(m_windowDragging, false))
        return;
    const QPoint pos = event->position().toPoint();
    if (m_thumbDragging) {
        endThumbDrag();
        update();
        return;
    }
    const int pressed = std::exchange(m_pressedId, settingsid::kNone);
    if (m_layout.ok.contains(pos)) {
        commitAndAccept();
        return;
    }
    if (m_layout.cancel.contains(pos)) {
        reject();
        return;
    }
    if (m_layout.restoreDefaults.contains(pos)) {
        restoreDefaults();
        return;
    }
    if (pressed == settingsid::kNone || !hitTest(pos, pressed)) {
        update();
        return;
    }
    dispatchClick(pressed, event->globalPosition().toPoint());
}

void SettingsDialog::dispatchClick(int id, const QPoint& globalPos)
{
    using namespace settingsid;
    const QPointer<SettingsDialog> self(this);
    if (id >= kIconRowBase && (m_currentPage == settingspage::kAppearance || m_currentPage == settingspage::kIcons)) {
        const int row = (id - kIconRowBase) / kIconRowStride;
        const int cell = (id - kIconRowBase) % kIconRowStride;
        if (row < std::min(m_iconRows.size(), m_layout.iconRows.size())) {
            if (m_currentPage == settingspage::kAppearance)
                editButtonCell(row, cell);
            else
                editItemCell(row, cell);
        }
    } else if (id >= kProtectRowBase && m_currentPage == settingspage::kProtect) {
        const int row = (id - kProtectRowBase) / 2;
        if (row < std::min(m_protectRows.size(), m_protectLayout.tiles.size()))
            pickObfuscationTarget(row, id % 2);
    } else if (m_currentPage == settingspage::kBackup && backupPageClick(id, globalPos)) {
        // Handled by the backup page.
    } else if (id >= kAboutFirst && id <= kAboutLast && m_currentPage == settingspage::kAbout) {
        runAboutAction(id);
    } else if (id >= kNavBase && id <= kNavBase + settingspage::kCount - 1) {
        const int page = id - kNavBase;
        if (page != settingspage::kProtect || m_protectUnlocked || ensureProtectAccess()) {
            if (self)
                switchPage(page, false);
        }
    } else if (id >= kSwitchBase && id <= kSwitchBase + 16) {
        toggleSwitch(id - kSwitchBase);
    } else if (id >= kSegmentBase && id <= kSegmentBase + 2 * settingssegment::kCount - 1) {
        setSegment((id - kSegmentBase) / 2, id % 2);
    } else {
        switch (id) {
        case kRevealMethod: showRevealMenu(globalPos); break;
        case kTitleBarColour: showColourMenu(0, globalPos); break;
        case kBottomBarColour: showColourMenu(1, globalPos); break;
        case kMidColour: showColourMenu(2, globalPos); break;
        case kBorderColour: showColourMenu(3, globalPos); break;
        case kTextColour: showColourMenu(5, globalPos); break;
        case kDividerColour: showColourMenu(6, globalPos); break;
        case kHoverColour: showColourMenu(7, globalPos); break;
        case kHotkeyRow: m_hotkeyEdit->setFocus(Qt::OtherFocusReason); break;
        case kLogoChoose: chooseLogo(); break;
        case kLogoRestore:
        case kLogoClear:
            // A file edited in place and chosen again must not show the
            // picture it had before.
            if (id == kLogoClear)
                for (const QSize size : {QSize(24, 24), QSize(36, 36)})
                    QPixmapCache::remove(scaledPixmapKey(QStringLiteral("logothumb"), m_working.customLogoPath, size,
                                                         settingsPixelRatio()));
            m_working.customLogoPath.clear();
            preview();
            relayout();
            break;
        case kBackgroundChoose: chooseBackground(false); break;
        case kBackgroundClear: clearBackground(false); break;
        case kPortraitBackgroundChoose: chooseBackground(true); break;
        case kPortraitBackgroundClear: clearBackground(true); break;
        case kLockBackgroundChoose: chooseLockBackground(); break;
        case kLockBackgroundRestore: restoreLockBackground(); break;
        case kMonitorDirChoose: chooseMonitorDir(); break;
        case kMonitorDirOpen: openMonitorDir(); break;
        case kMonitorTrigger: showTriggerMenu(globalPos); break;
        case kProtectPassword: editProtectPassword(); break;
        default: break;
        }
    }
    if (self)
        update();
}

void SettingsDialog::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (m_layout.maxScroll <= 0 || delta == 0) {
        event->accept();
        return;
    }
    const int sign = delta > 0 ? 1 : -1;
    const int steps = std::abs(delta) < 240 ? sign : sign * (std::abs(delta) / 120);
    m_scroll = std::clamp(m_scroll - kWheelStepPx * steps, 0, m_layout.maxScroll);
    if (!m_thumbDragging)
        m_pressedId = settingsid::kNone;
    placeChildWidgets();
    if (!m_hintText.isEmpty())
        dropHint();
    update();
    event->accept();
}

void SettingsDialog::leaveEvent(QEvent* event)
{
    QDialog::leaveEvent(event);
    m_closeHovered = false;
    m_hoverId = settingsid::kNone;
    if (!m_thumbDragging)
        m_pressedId = settingsid::kNone;
    dropHint();
    update();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_hotkeyEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Escape || key == Qt::Key_Backspace || key == Qt::Key_Delete)
            && !m_hotkeyEdit->keySequence().isEmpty()) {
            m_hotkeyEdit->setKeySequence(QKeySequence());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
