#pragma once

#include <QColor>
#include <QWidget>

// The outline of the panel and the divider under its title strip, drawn
// above every child: a child covering the whole window that lets every
// mouse event through.
class BorderFrame : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTitleHeight = 28;

    explicit BorderFrame(QWidget* parent);

    int radius = 12;
    // -100 while the lock screen covers the window: the divider moves out
    // of sight.
    int titleHeight = kTitleHeight;
    // Invalid until the border colour is applied; invalid means theme slot 3.
    QColor color;

protected:
    void paintEvent(QPaintEvent* event) override;
};
