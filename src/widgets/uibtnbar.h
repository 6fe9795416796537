#pragma once

#include "widgets/uibtnbarlayout.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QDrag;
class QPainter;

// What the title strip and the bottom bar share: the button layout with its
// visibility flags and pictures, the lit states, the long-press drag, drops
// of buttons and the three animation timers. Each timer runs only while its
// glyph moves and the bar is on screen, so an idle panel repaints nothing.
class UiBtnBar : public QWidget {
    Q_OBJECT
public:
    // Ids in order, eleven visibility flags and eleven normal pictures.
    // Nothing happens when all of them equal the current ones.
    void setButtonLayout(const QList<int>& ids, const QList<bool>& visible, const QStringList& normalIcons);
    // Eleven pictures each for hover, lit and dark theme.
    void setButtonIcons(const QStringList& hover, const QStringList& active, const QStringList& night);
    // The lit state of a button (ids 0..10).
    void setButtonActive(int id, bool on);
    // Insert position among the shown buttons for a drop at x.
    int insertIndexAt(int x) const { return buttonGeometry().insertIndexAt(x); }
    // Runs a drag of button `id` out of this bar (move action only).
    void startButtonDrag(int id);

    // The geometry at the current size (a hidden widget gets its resize
    // event only when shown, so it is brought up to date here too).
    const UiBtnBarLayout& buttonGeometry() const;
    QList<int> buttonLayout() const { return m_ids; }
    bool isButtonActive(int id) const { return isUiBtnId(id) && m_lit[id]; }
    int hoveredButton() const { return m_hovered; }
    int pressedButton() const { return m_pressed; }
    int dropInsertIndex() const { return m_insertIndex; }
    bool isBlinkRunning() const { return m_blinkTimer.isActive(); }
    bool isObfuscationAnimating() const { return m_obfuscationTimer.isActive(); }
    bool isHoverAnimating() const { return m_hoverTimer.isActive(); }
    bool anyTimerRunning() const;

    static constexpr int kPressMs = 450;
    static constexpr int kBlinkMs = 500;
    static constexpr int kObfuscationMs = 50;
    static constexpr int kHoverMs = 40;

Q_SIGNALS:
    // A button was dropped here; toArea is this bar's area.
    void uibtnDropped(int ub, int toArea, int insertIndex);

protected:
    UiBtnBar(int area, QWidget* parent);

    // The geometry for the current state; called by relayout().
    virtual UiBtnBarLayout computeLayout() const = 0;
    // Hit-test margins of a button.
    virtual QPoint hitGrowth() const = 0;
    // A press and release on the same button.
    virtual void buttonClicked(int id) = 0;
    // The hovered id changed from `old` (already stored).
    virtual void hoverChanged(int old) = 0;
    // Runs a started drag; tests replace it.
    virtual Qt::DropAction execDrag(QDrag* drag);

    void relayout();
    void updateTimers();
    int buttonAt(const QPoint& pt) const;
    bool isShown(int id) const { return isUiBtnId(id) && !buttonGeometry().rects[size_t(id)].isNull(); }
    void repaintButton(int id, int grow);
    // The picture path for a button, or empty for its glyph. `pressCountsAsLit`:
    // the title strip shows the lit picture while pressed.
    QString imagePathFor(int id, bool pressCountsAsLit) const;
    // The glyph's on and animate flags by the rules both bars share.
    void glyphState(int id, bool* on, bool* animate) const;
    // Draws button `id`'s custom picture (size `iconSize`) or its glyph in
    // `colour`, scaled by 1.25 about the rectangle's centre.
    void paintButton(QPainter& p, int id, int iconSize, bool pressCountsAsLit, const QColor& colour) const;
    void paintDropBar(QPainter& p) const;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    const int m_area;
    QList<int> m_ids;
    QList<bool> m_visible;
    QStringList m_icons[4]; // normal, hover, active, night
    bool m_lit[kUiBtnCount] = {};
    mutable UiBtnBarLayout m_geom;
    int m_hovered = -1;
    int m_pressed = -1;
    bool m_dragActive = false;
    int m_insertIndex = -1;
    bool m_inRelayout = false;
    // The title strip takes the size its layout computes.
    bool m_sizesItself = false;

    QTimer m_pressTimer;
    QTimer m_blinkTimer;
    QTimer m_obfuscationTimer;
    QTimer m_hoverTimer;

private:
    void onPressTimer();
    void tick(QTimer& timer, int id, bool stillRunning);
    bool blinkWanted() const;
    bool obfuscationWanted() const;
    bool hoverWanted() const;
    void setDropIndex(int index);
};
