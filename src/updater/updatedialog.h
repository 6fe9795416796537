#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

// The small painted window that offers a new version of the panel: logo,
// heading, release notes as lines, "立即更新", "稍后再说", the link to the
// site, a minimise dash and a close cross. While the installer downloads it
// shows a status line and a progress bar. It only paints and reports; the
// main window fills it and acts on its signals.
class UpdateDialog : public QWidget {
    Q_OBJECT
public:
    enum class UpdateArea { None = 0, UpdateButton = 1, LaterButton = 2, CloseButton = 3, SiteLink = 4,
                            MinimizeButton = 5 };

    // The clickable areas of a window of `size`.
    struct Areas {
        QRect update;
        QRect later;
        QRect close;
        QRect minimize;
        QRect siteLink;
    };
    static Areas areasFor(const QSize& size);

    // The note lines shown for `notes`: a circled number ①..⑳ (its first
    // occurrence) starts a new line, lines are trimmed, blank ones dropped
    // and trailing ";", "；", ",", "，" removed.
    static QStringList normaliseNotes(const QString& notes);

    explicit UpdateDialog(QWidget* parent = nullptr);

    // Fills, sizes and shows the dialog (modal for the application), leaving
    // the busy look of an earlier download.
    void showUpdate(const QString& version, const QString& notes, const QString& title);
    // The status line; any text puts the dialog in its busy look.
    void setStatusText(const QString& text);
    // Download progress in percent, with the matching status line.
    void setProgress(int percent);
    UpdateArea hitTest(const QPoint& pos) const;
    // Sizes the window for the notes and its screen.
    void updateLayout();

    QString versionText() const { return version; }
    QString heading() const;
    const QStringList& lines() const { return noteLines; }
    int notesBlockHeight() const { return notesHeight; }
    QString status() const { return statusText; }
    int progressPercent() const { return progress; }

Q_SIGNALS:
    void updateClicked();
    void dismissed();
    void minimized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QStringList shownLines() const;
    void setHovered(UpdateArea area);

    QString version;
    QString title;
    QString notes;
    QStringList noteLines;
    int notesHeight = 52;
    QString statusText;
    int progress = -1;
    QRect updateButtonRect;
    QRect laterButtonRect;
    QRect closeButtonRect;
    QRect minimizeButtonRect;
    QRect siteLinkRect;
    UpdateArea pressedArea = UpdateArea::None;
    UpdateArea hoveredArea = UpdateArea::None;
};
