#pragma once

#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

// One panel item as a small free-standing tile above other windows, so that
// it can be opened without the panel. It only shows and reports; its owner
// launches the item and closes tiles.
class FloatIcon : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSide = 74;
    static constexpr int kPictureSide = 48;
    static constexpr int kDragThreshold = 4;

    // A position other than (0, 0) places the tile there (screen
    // coordinates); (0, 0) leaves it to the window system.
    FloatIcon(const QPixmap& pixmap, const QString& name, const QPoint& position, QWidget* parent = nullptr);

    QString name() const { return m_name; }
    const QPixmap& displayPixmap() const { return m_display; }
    qreal pixelRatio() const { return m_ratio; }
    bool isHovered() const { return m_hover; }
    bool isDragging() const { return m_dragging; }
    // Rebuilds the display picture for `ratio` (not positive: 1).
    void rescale(qreal ratio);
    // The item shown changed (relocated, edited).
    void setItem(const QPixmap& pixmap, const QString& name);
    // How many times the display picture was rebuilt.
    int rescaleCount() const { return m_rescales; }

Q_SIGNALS:
    void openRequested();
    void removeRequested();
    void removeAllRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPixmap m_source;
    QPixmap m_display;
    qreal m_ratio = 1;
    QString m_name;
    QPoint m_dragOffset;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_hover = false;
    int m_rescales = 0;
};
