#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProcess;
class QPushButton;

// The in-program viewer of the program's own logs: a frameless, painted
// modal dialog with an information card, a button row, the newest day's
// log under a diagnostic header, and a status line. It reads the log files
// and never changes them; reading and the archive export run off the GUI
// thread.
class LogViewerDialog : public QDialog {
    Q_OBJECT
public:
    // `logFolder`: where the day folders of the logs lie; empty for the
    // program's own log folder.
    explicit LogViewerDialog(const QString& dataDir, QWidget* parent = nullptr, const QString& logFolder = QString());

    // Sets every style sheet from the current palette.
    void applyTheme();
    // Rebuilds the information card and, once read, the text.
    void reload();

    // The program that writes the archive; a missing one fails the export
    // with the hint to copy the log folder by hand.
    static QString archiveProgram();
    // Longest an archive export may run before it is stopped as failed.
    static constexpr int kExportWatchdogMs = 120000;

    // The close button's area for a dialog `width` wide.
    static QRect closeRectFor(int width);

    // The parts a test or a caller looks at.
    QPlainTextEdit* logViewWidget() const { return logView; }
    QString statusText() const;

    // The export actions with the target already chosen (the dialogs that
    // ask for it come first in exportText() and exportZip()).
    void exportTextTo(const QString& path);
    void exportZipTo(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void copyLog();
    void openLogFolder();
    void exportText();
    void exportZip();
    void updateInfoLine();
    void showExportResult(bool success);
    QFrame* makeSeparator();

    QString dataDir;
    QString logFolder;
    QPlainTextEdit* logView = nullptr;
    QCheckBox* autoScrollBox = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QLabel* versionValue = nullptr;
    QLabel* osValue = nullptr;
    QLabel* logFileValue = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* versionCaption = nullptr;
    QLabel* osCaption = nullptr;
    QLabel* logFileCaption = nullptr;
    QPushButton* refreshButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* folderButton = nullptr;
    QPushButton* exportTextButton = nullptr;
    QPushButton* exportZipButton = nullptr;
    QRect closeRect;
    bool closeHovered = false;
    bool exporting = false;
    bool dragging = false;
    QPoint dragOffset;

    // The running archive export and its one-result flag.
    QProcess* exportProcess = nullptr;
    QString exportPath;
    std::shared_ptr<bool> exportDone;
};
