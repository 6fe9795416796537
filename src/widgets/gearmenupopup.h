#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <array>

// The small menu under the title bar's settings button: sign in (or the
// user's name), settings, web site, update check, sign out.
class GearMenuPopup : public QWidget {
    Q_OBJECT
public:
    enum Row { SignIn = 0, OpenSettings = 1, VisitWebsite = 2, CheckUpdates = 3, SignOut = 4 };
    static constexpr int kRows = 5;

    explicit GearMenuPopup(QWidget* parent = nullptr);

    // The name shown in row 0 instead of "登录"; empty when signed out.
    void setUserName(const QString& name) { m_userName = name; }
    QString userName() const { return m_userName; }

    QRect rowRect(int row) const { return m_rows[size_t(row)]; }
    int hoveredRow() const { return m_hovered; }
    // The text row 0 shows at the current width.
    QString rowText(int row) const;

    // Width for rows whose widest translated text is `widestText` px at 12 px.
    static int widthFor(int widestText) { return qMax(94, widestText + 48); }

Q_SIGNALS:
    void actionRequested(int action);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int rowAt(const QPoint& pt) const;
    QFont menuFont() const;

    std::array<QRect, kRows> m_rows;
    int m_hovered = -1;
    QString m_userName;
};
