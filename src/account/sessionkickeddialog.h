#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

// Why the panel lost its sign-in, as told by the service's message.
enum class KickReason {
    Elsewhere = 0,  // the account signed in on another PC
    Admin = 1,      // an administrator ended the sign-in
    Expired = 2,    // anything else, an empty message too
};

KickReason classifyKickReason(const QString& reason);

// Tells the user that this PC was signed out: a title and explanation by
// kind, the service's own message, a button to the account's devices page
// and one that closes the card (for a sign-in elsewhere it first opens the
// account-security page). Not modal; it deletes itself when closed.
class SessionKickedDialog : public QDialog {
    Q_OBJECT
public:
    enum Element { None = 0, ActionButton = 1, DevicesButton = 2, CloseButton = 3 };

    struct Layout {
        QRect logo, close, title, body, warning, status, devicesButton, actionButton;
        QSize size;
    };

    SessionKickedDialog(const QString& reason, QWidget* parent = nullptr);

    // Creates, places over the parent's window (or the primary screen) and
    // shows the card; the caller keeps a guarded pointer so that one is open
    // at a time.
    static SessionKickedDialog* showKicked(const QString& reason, QWidget* parent);

    KickReason kind() const { return m_kind; }
    const QString& reason() const { return m_reason; }
    const Layout& layout() const { return m_layout; }
    QString titleText() const;
    QString bodyText() const;
    QString warningText() const;   // empty for the expired kind
    QString actionText() const;
    QString statusText() const;    // empty without a reason

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    int hitTest(const QPoint& pos) const;

    KickReason m_kind = KickReason::Expired;
    QString m_reason;
    Layout m_layout;
    int m_hover = None;
    int m_pressed = None;
};

// The screenshot sheets of the account cards: the device-limit card with one
// and two PCs and without a limit, and the signed-out card of each kind.
void previewKickDialogs(const QString& folder);
