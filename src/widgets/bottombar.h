#pragma once

#include "widgets/uibtnbar.h"

#include <QPainterPath>

// The 28 px strip along the bottom of the panel: its own background with
// rounded lower corners, a divider at its top, the bottom-bar buttons
// right-aligned and an unread-message badge on the feedback button.
class BottomBar : public UiBtnBar {
    Q_OBJECT
public:
    explicit BottomBar(QWidget* parent = nullptr);

    // Clamped to 0..24.
    void setCornerRadius(int radius);
    int cornerRadius() const { return m_radius; }
    // Negative counts show no badge.
    void setBadgeCount(int count);
    int badgeCount() const { return m_badge; }
    // The badge's text for a count above 0: the count, "99+" above 99.
    static QString badgeText(int count);
    // The badge circle for the feedback button's rectangle.
    static QRectF badgeRect(const QRect& feedbackButton);
    // The background outline for a bar of this size and corner radius.
    static QPainterPath backgroundPath(QSize size, int cornerRadius);

Q_SIGNALS:
    // A click on any button, the settings button included.
    void buttonActivated(int ub);

protected:
    UiBtnBarLayout computeLayout() const override;
    QPoint hitGrowth() const override { return QPoint(5, 4); }
    void buttonClicked(int id) override { Q_EMIT buttonActivated(id); }
    void hoverChanged(int old) override;
    void paintEvent(QPaintEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_radius = 12;
    int m_badge = 0;
};
