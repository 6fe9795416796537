#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

class QFontMetricsF;

// The body of a notice broken into display lines: paragraphs at "\n", long
// ones cut to the line width (at a space near the cut when there is one),
// and no more lines than `maxLines` (the last kept one then ends in " …").
QStringList wrapNoticeBody(const QString& body, const QFontMetricsF& fm, int lineWidth, int maxLines);

// Where the notice card's parts sit, in widget pixels. One function computes
// it; painting and hit-testing both read it.
struct NoticeLayout {
    QSize size;
    QRect closeHit;      // the close icon's hit area
    QRect primary;       // "查看详情" with a link, "我知道了" without
    QRect secondary;     // "关闭", only with a link
    int bodyTop = 70;
    int bodyLeft = 25;
    int lineWidth = 420;
};

NoticeLayout noticeLayout(int height, bool hasLink);

// One notice as a frameless card that stays on top. It reports to the web
// service when it was delivered, when its link was opened and when it was
// closed; any dismissal emits dismissed() and the card deletes itself.
class NoticeDialog : public QWidget {
    Q_OBJECT
public:
    enum Element { None = 0, CloseIcon = 1, Primary = 2, Secondary = 3 };

    NoticeDialog(qint64 id, const QString& title, const QString& body, const QString& url,
                 const QString& titleColor, QWidget* parent = nullptr);

    // Centres the card on the primary screen and shows it.
    void popup();
    // "delivered", "opened" or "closed"; nothing for an id of 0 or below.
    void reportAction(const QString& action);
    void dismiss();
    void openLink();

    // Read by tests.
    qint64 noticeId() const { return id; }
    const QStringList& bodyLines() const { return lines; }
    const NoticeLayout& layout() const { return m_layout; }
    QString linkUrl() const { return url; }
    int elementAt(const QPoint& pos) const;
    // The card's height for `lineCount` body lines of `lineStep` pixels.
    static int heightFor(int lineStep, int lineCount);

Q_SIGNALS:
    void dismissed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QFont fontAt(int pixelSize, int weight) const;
    bool isDarkCard() const;

    qint64 id;
    QString title;
    QString body;
    QString url;
    QString titleColor;
    bool hoverClose = false;
    bool hoverPrimary = false;
    bool hoverSecondary = false;
    bool dragging = false;
    QPoint dragOffset;
    QStringList lines;
    bool deliveredSent = false;
    int lineStep = 1;
    int m_pressed = None;
    NoticeLayout m_layout;
};
