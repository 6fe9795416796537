#pragma once

#include "widgets/uibtnbar.h"

class GearMenuPopup;

// The strip of panel buttons at the right of the panel's title bar. It
// paints no background. Hovering the settings button opens the gear menu.
class TitleBarActions : public UiBtnBar {
    Q_OBJECT
public:
    explicit TitleBarActions(QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(117, 36); }

    // Opens the gear menu below the settings button (nothing while that
    // button is not shown).
    void showGearMenu();
    // The gear menu, null until first opened.
    GearMenuPopup* gearMenu() const { return m_gearMenu; }
    bool isGearMenuOpen() const;

    static constexpr int kGearCloseMs = 320;

public Q_SLOTS:
    // Hides the gear menu once the cursor is off both the menu and the
    // settings button.
    void maybeCloseGearMenu();

Q_SIGNALS:
    // A click on any button but the settings button.
    void actionTriggered(int ub);
    // Row `action` of the gear menu was chosen.
    void gearMenuAction(int action);
    void gearMenuAboutToShow();

protected:
    UiBtnBarLayout computeLayout() const override;
    QPoint hitGrowth() const override { return QPoint(5, 12); }
    void buttonClicked(int id) override;
    void hoverChanged(int old) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    GearMenuPopup* m_gearMenu = nullptr;
    QTimer m_gearCloseTimer;
};
