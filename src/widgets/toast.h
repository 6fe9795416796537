#pragma once

#include <QColor>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

// Where the parts of a bubble of a given size go.
struct ToastLayout {
    QRectF pill;
    qreal radius = 0;
    QPointF dotCentre;
    qreal dotDiameter = 7;
    QRect textRect;
};

// The short-lived message bubble over the panel: a dark pill with a coloured
// dot, centred 38 px below the top of its parent window. It replaces its
// message at once, follows the parent while shown, fades out by itself and
// never takes the focus or the mouse. Colours and font follow the current
// theme.
class Toast : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 38;
    static constexpr int kTopOffset = 38;
    static constexpr int kShowMs = 2200;
    static constexpr int kFadeMs = 280;
    static constexpr int kRecentreMs = 250;

    explicit Toast(QWidget* parent = nullptr);

    // failure: 1 for a failed operation (red dot), 0 otherwise.
    void showMessage(const QString& text, int failure);

    QString text() const { return m_text; }
    bool isFailure() const { return m_failure; }

    // Width for a text of `textAdvance` px under a parent `parentWidth` px
    // wide (negative: no parent).
    static int widthFor(int textAdvance, int parentWidth);
    static ToastLayout layoutFor(QSize size, int textAdvance);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont messageFont() const;
    void recentre();
    void startFade();

    QString m_text;
    bool m_failure = false;
    QTimer m_hideTimer;
    QTimer m_recentreTimer;
    QVariantAnimation m_fade;
};
