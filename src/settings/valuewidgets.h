#pragma once

#include <QComboBox>
#include <QWidget>

// The value controls the settings dialog embeds over its painted rows.

// A flat horizontal slider with a round knob and its value printed at the
// right. Programmatic changes are silent; pointer and keyboard input emit
// valueChanged on every step, also when the value stays the same, so that
// the owner previews what the user is doing.
class SliderWidget : public QWidget {
    Q_OBJECT
public:
    // How the value is printed, and the room kept for it at the right.
    enum Kind { NoText = 0, Pixels = 1, Percent = 2, Degrees = 3, Megabytes = 4, Seconds = 5, Fps = 6 };

    explicit SliderWidget(QWidget* parent = nullptr);

    void setRange(int min, int max);
    void setKind(int kind);
    void setValue(int v);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int value() const { return m_value; }
    int kind() const { return m_kind; }
    bool isDragging() const { return m_dragging; }
    bool isHovered() const { return m_hovered; }

    // Geometry of the groove, shared by painting and input.
    int textRoom() const;
    int grooveLength() const;
    int handleX() const;
    int valueFromX(int x) const;
    // The printed value, empty for kind 0.
    QString valueText() const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void valueChanged(int value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void takeValue(int v);

    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    bool m_dragging = false;
    bool m_hovered = false;
    int m_kind = NoText;
};

// A round dial for an angle in whole degrees, 0 pointing right and 90 down.
class AngleDial : public QWidget {
    Q_OBJECT
public:
    explicit AngleDial(QWidget* parent = nullptr);

    int angle() const { return m_angle; }
    void setAngle(int degrees);
    bool isDragging() const { return m_dragging; }

    // The angle a point of the widget points at, or -1 for the centre.
    int angleAt(const QPointF& pos) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void angleChanged(int value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void takeAngle(int degrees);

    bool m_dragging = false;
    int m_angle = 45;
};

// A combo box whose closed face shows its current text elided at the right;
// the full text lives in the dynamic property "fullText", set by the owner.
// The wheel never changes the choice: it goes on to the scrolling parent.
class ElideCombo : public QComboBox {
    Q_OBJECT
public:
    explicit ElideCombo(QWidget* parent = nullptr);

    void updateElidedText();
    // The width the text is elided to at the current size.
    int elideWidth() const;

    void showPopup() override;
    void hidePopup() override;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCurrentTextSilently(const QString& text);
    // Eliding rewrites the current item's text; the item whose text was
    // shortened gets its full text back when another one becomes current.
    void restoreElidedItem();

    int m_elidedIndex = -1;
    QString m_elidedFull;
};
