#pragma once

#include "protect/passwordguard.h"

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QWidget>

#include <functional>

class QLineEdit;
class QMovie;
class QTimer;
class VideoBackground;

// Where the lock card puts everything for one widget size and entry state.
// Painting stores these as the hit rectangles and places the edit; tests read
// them directly.
struct LockCardLayout {
    double v = 1.0;          // scale
    double top = 0;          // top of the logo
    int cx = 0;
    double logo = 0;         // side of the logo square
    QRectF minimizeRect;
    QRectF closeRect;
    QRectF titleRect;
    QRectF hintRect;         // entry closed only
    // Entry open only:
    QRectF editRect;
    double errorY = -1;      // top of the error row, -1 without one
    QRectF submitRect;
    QRectF modeLinkRect;
    QRectF forgotLinkRect;   // empty in remove mode
    QRectF pillRect;
    double linksY = 0;
};

struct LockCardInput {
    QSize size;
    bool inputVisible = false;
    bool removeMode = false;
    bool hasError = false;
    double inputAppear = 1.0;
    int modeLinkWidth = 0;   // in the link font
    int forgotLinkWidth = 0;
};

LockCardLayout lockCardLayout(const LockCardInput& in);

// Crops the centre of `image` to the aspect of `size` and scales it there;
// null for a null image or a size with a side below 1.
QImage scaleImageToCover(const QImage& image, const QSize& size);

// The full-window lock screen laid over the panel while it is locked. It
// decides nothing about passwords: its owner answers through the callbacks.
class UiLockOverlay : public QWidget {
public:
    explicit UiLockOverlay(QWidget* parent);
    ~UiLockOverlay() override;

    // Checks an entered password. The owner calls `answer` once, at once or
    // later from the GUI thread's event loop; until then the entry waits and
    // takes no second submission. Unset, every password is refused.
    using CheckAnswer = std::function<void(const PasswordCheckOutcome&)>;
    std::function<void(const QString& password, CheckAnswer answer)> checkPassword;
    std::function<void()> onUnlocked;
    std::function<void()> onRemovePassword;
    std::function<void()> onHidden;

    void setBackgroundImage(const QString& path);
    void showPasswordInput(bool removeMode);
    void submitPassword();
    void beginFadeOut();
    // Ends the entry's fade-in, shake and fade-out at once: a still picture
    // of the open entry without running the animation timer.
    void settleEntryAnimation();

    // Read by tests and the screenshot mode.
    bool isInputVisible() const { return m_inputVisible; }
    bool isRemoveMode() const { return m_removeMode; }
    bool isFadingOut() const { return m_fadingOut; }
    bool isChecking() const { return m_checking; }
    bool isMovingWindow() const { return m_movingWindow; }
    QString errorText() const { return m_errorText; }
    QLineEdit* passwordEdit() const { return m_passwordEdit; }
    QString backgroundPath() const { return m_backgroundPath; }
    QMovie* movie() const { return m_movie; }
    bool isAnimating() const;
    QRectF submitRect() const { return m_submitRect; }
    QRectF modeLinkRect() const { return m_modeLinkRect; }
    QRectF forgotLinkRect() const { return m_forgotLinkRect; }
    QRectF minimizeRect() const { return m_minimizeRect; }
    QRectF closeRect() const { return m_closeRect; }
    double shake() const { return m_shake; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void cancelInput();
    void onCheckAnswered(const PasswordCheckOutcome& outcome);
    void updateAnimationTimer();
    void animationStep();
    QSize devicePixelSize() const;
    QSize coverTargetSize() const;
    QImage renderBackdrop();
    void drawDefaultBackdrop(QPainter& p);
    void drawLockCard(QPainter& p, bool onImage);
    void drawWindowButton(QPainter& p, const QRectF& r, int id, bool onImage);
    void dropBackground();

    QString m_backgroundPath;
    QLineEdit* m_passwordEdit = nullptr;
    bool m_inputVisible = false;
    bool m_removeMode = false;
    bool m_checking = false;
    bool m_checkRemoveMode = false;
    QString m_errorText;
    QRectF m_submitRect;
    int m_hoverItem = 0;
    int m_pressedItem = 0;
    QRectF m_modeLinkRect;
    QRectF m_forgotLinkRect;
    QRectF m_minimizeRect;
    QRectF m_closeRect;
    int m_hoverWindowButton = 0;
    int m_pressedWindowButton = 0;
    QTimer* m_moveTimer = nullptr;
    QTimer* m_resizeTimer = nullptr;
    QPoint m_pressPos;
    bool m_movingWindow = false;
    double m_inputAppear = 1.0;
    double m_shake = 0.0;
    double m_fadeOut = 0.0;
    bool m_fadingOut = false;
    QImage m_backgroundImage;
    QImage m_scaledBackground;
    QSize m_scaledSize { -1, -1 };
    QMovie* m_movie = nullptr;
    VideoBackground* m_video = nullptr;
    QImage m_videoFrame;
    quint64 m_videoFrameStamp = 0;
    QTimer* m_animTimer = nullptr;
    double m_phase = 0.0;
};

// The colour of the wrong-password line: at least 4.5:1 against the plain
// backdrop of either theme; over a picture a light red on its own shadow.
QColor lockErrorTextColour(bool onImage, bool dark);
