#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

#include <functional>

class QLineEdit;
class QTimer;
struct PasswordCheckOutcome;

// Where every element of the password dialog sits, in dialog pixels. One
// function computes it; painting, hit-testing and the fields all read it.
struct LockDialogLayout {
    QSize size;
    QRect firstField;
    QRect secondField;   // null when the mode has one field
    int errorTop = 0;
    QRect okButton;
    QRect closeButton;
    QRect removeLink;    // mode 1 only
    QRect forgotLink;    // mode 1 only
    QRect linkDot;       // mode 1 only
    QRect hint;          // modes 0, 2, 3
};

// removeWidth/forgotWidth: widths of the two link texts in the 12 px font.
LockDialogLayout lockDialogLayout(int mode, int removeWidth, int forgotWidth);

// The small modal dialog that sets (mode 0), checks (1), changes (2) or
// removes (3) the protection password. It never writes the settings: it
// checks against the hash handed in and reports through its result, its
// fields and the hooks. The check runs on the task pool, through the
// password guard that slows repeated guessing down, so the window keeps
// animating through 100,000 PBKDF2 rounds.
class LockDialog : public QDialog {
    Q_OBJECT
public:
    enum Mode { Set = 0, Verify = 1, Change = 2, Remove = 3 };
    enum Element { None = 0, OkButton = 1, CloseButton = 3, RemoveLink = 4, ForgotLink = 5 };

    LockDialog(int mode, QWidget* parent = nullptr);
    ~LockDialog() override;

    void setStoredHash(const QString& hash) { m_storedHash = hash; }
    QString password() const;
    QString newPassword() const;
    // After an accepted check against a stored text in an older form: the
    // password in the current form, for the caller to store; else empty.
    QString renewedHash() const { return m_renewedHash; }
    void setError(const QString& text);
    bool tryAccept(bool alreadyVerified);

    std::function<void(const QString&)> verifiedHook;
    std::function<void()> removeHook;

    // Read by tests and the screenshot mode.
    int mode() const { return m_mode; }
    QString title() const { return m_title; }
    QString errorText() const { return m_error; }
    const LockDialogLayout& layout() const { return m_layout; }
    bool isBusy() const { return m_busy; }
    bool isClosing() const { return m_closing; }
    QLineEdit* firstField() const { return m_first; }
    QLineEdit* secondField() const { return m_second; }
    QPoint homePosition() const { return m_home; }
    double shakeAmount() const { return m_shake; }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void relayout();
    int elementAt(const QPoint& pos) const;
    void showFieldError(const QString& text, QLineEdit* field, bool select);
    void startCheck();
    void onCheckFinished(const PasswordCheckOutcome& outcome);
    void openRemoveDialog();
    void finish(int code);
    void ensureTimer();
    void tick();

    int m_mode;
    QLineEdit* m_first = nullptr;
    QLineEdit* m_second = nullptr;
    QString m_title;
    QString m_error;
    LockDialogLayout m_layout;
    int m_hovered = None;
    int m_pressed = None;
    QString m_storedHash;
    QString m_renewedHash;
    QTimer* m_timer = nullptr;
    double m_fadeIn = 1.0;
    double m_shake = 0.0;
    bool m_closing = false;
    bool m_busy = false;
    double m_fadeOut = 0.0;
    int m_pendingResult = Rejected;
    QPoint m_home;
    double m_errorReveal = 1.0;
    double m_glow = 0.0;
};
