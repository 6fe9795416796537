#pragma once

#include <QDialog>
#include <QRect>

class QLineEdit;

// The one-line entry with which groups are created and renamed. Painted by
// itself: a card with a title, the edit and two buttons. Accepted means
// "use text()"; the caller ignores a name it cannot use.
class NameDialog : public QDialog {
    Q_OBJECT
public:
    explicit NameDialog(bool rename, QWidget* parent = nullptr);

    // Puts the text into the edit with all of it selected.
    void setText(const QString& text);
    // The entry without white space at either end.
    QString text() const;

    QLineEdit* lineEdit() const { return m_edit; }
    QString title() const { return m_title; }
    QRect okRect() const { return m_okRect; }
    QRect cancelRect() const { return m_cancelRect; }

    static constexpr int kMaxLength = 24;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    enum Button { None = 0, Ok = 1, Cancel = 2 };

    // Places the edit and the two buttons; painting and the mouse handling
    // both read the rectangles it sets.
    void layoutChildren();
    int buttonAt(const QPoint& pos) const;

    QLineEdit* m_edit = nullptr;
    QString m_title;
    QRect m_okRect;
    QRect m_cancelRect;
    int m_hoverButton = None;
    int m_pressedButton = None;
};
