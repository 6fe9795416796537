#pragma once

#include <QDialog>
#include <QPoint>

// A frameless hint card in the dialog palette (light or dark): logo, title,
// a rich-text body and one or two buttons. exec() returns Accepted only
// through the primary button; the close cross and the secondary button
// reject. The card is dragged by its header.
class HintCardDialog : public QDialog {
public:
    HintCardDialog(const QString& title, const QString& richText, const QString& primaryText,
                   const QString& secondaryText = QString(), QWidget* parent = nullptr);

    // Height of the strip under the top edge that drags the card.
    static constexpr int kDragStripHeight = 64;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Set while the card follows the mouse itself because no window manager
    // took the move.
    bool m_ownDrag = false;
    QPoint m_dragOffset;
};
