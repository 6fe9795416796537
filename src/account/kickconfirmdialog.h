#pragma once

#include "account/authmanager.h"

#include <QDialog>
#include <QList>
#include <QRect>

// Asks before a sign-in signs other PCs out of the account: lists them (at
// most three, plus a row counting the rest) under the account's device limit.
// Accepted means "continue"; the caller repeats its request with the confirm
// flag. The card itself sends nothing.
class KickConfirmDialog : public QDialog {
    Q_OBJECT
public:
    enum Element { None = 0, ContinueButton = 1, DevicesButton = 2, CloseButton = 3 };

    struct Layout {
        QRect logo, close, badge, title, listPanel, warning, devicesButton, continueButton;
        QList<QRect> rows;
        QSize size;
    };

    // maxDevices below 1 means the account has no limit.
    KickConfirmDialog(const QList<DeviceEntry>& willKick, int maxDevices, QWidget* parent = nullptr);

    const QList<DeviceEntry>& rows() const { return m_rows; }
    const Layout& layout() const { return m_layout; }
    QString badgeText() const;

    // The rows shown for a list: a stand-in row for an empty list, three and
    // a row counting the rest for a longer one.
    static QList<DeviceEntry> displayRows(const QList<DeviceEntry>& willKick);
    // How the name and the ip share a row's text column (x and width of each;
    // the ip's width is 0 without an ip).
    struct RowText {
        int nameX, nameWidth, ipX, ipWidth;
    };
    static RowText rowText(const QRect& row, const QString& ip);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    int hitTest(const QPoint& pos) const;

    QList<DeviceEntry> m_rows;
    int m_maxDevices = 1;
    Layout m_layout;
    int m_hover = None;
    int m_pressed = None;
};
