#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <utility>

class QLabel;
class QPushButton;
class QTimer;

// The bar of the progress card: a percentage, or, while `value` is
// negative, a segment that keeps moving with `phase` (0..99).
class ProgressTrack : public QWidget {
public:
    explicit ProgressTrack(QWidget* parent = nullptr) : QWidget(parent) {}
    ~ProgressTrack() override = default;

    int phase = 0;
    int value = -1;

    // The moving segment's span [left, right) in a track `width` wide at
    // `phase`; empty (right - left < 1) when nothing is drawn.
    static std::pair<int, int> segmentSpan(int width, int phase);
    // Width of the filled part for `value` percent.
    static int fillWidth(int width, int value);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The small modal card shown while a long backup operation runs. It knows
// nothing of the operation: the caller feeds it progress on the GUI thread,
// and closes and deletes it once the operation has stopped. The cancel
// callback (empty: no cancel button) runs at most once.
//
// Neither Esc nor a close request of the window system hides the card: a
// running restore would otherwise go on without its window and without a
// way to cancel it. Only the caller closes it (hide, close or delete).
class BackupProgressDialog : public QDialog {
public:
    BackupProgressDialog(QWidget* parent, const QString& text, std::function<void()> onCancel);
    ~BackupProgressDialog() override;

    // GUI thread only. Ignored once cancelled.
    void setProgress(int percent, const QString& text);

    bool isCancelled() const { return cancelled; }
    QLabel* statusLabel() const { return label; }
    ProgressTrack* progressTrack() const { return track; }
    QPushButton* cancelButtonWidget() const { return cancelButton; }
    bool isAnimating() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void requestCancel();
    void advanceAnimation();

    QLabel* label = nullptr;
    ProgressTrack* track = nullptr;
    QPushButton* cancelButton = nullptr;
    int phase = 0;
    int value = -1;
    bool cancelled = false;
    QTimer* animTimer = nullptr;
    std::function<void()> cancelCallback;
};
