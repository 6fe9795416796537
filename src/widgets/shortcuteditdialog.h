#pragma once

#include "widgets/shortcutfile.h"

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QRect>

class QCheckBox;
class QLineEdit;
class QPushButton;

// Where everything of the shortcut editor lies; painting, the children's
// geometry and the tests read the same rectangles.
struct ShortcutEditLayout {
    QSize size;
    QRect title, closeButton, banner, bannerClose, iconFrame, nameEdit, changeIcon, restoreIcon;
    QPoint targetLabel, workDirLabel, argsLabel; // baselines
    QRect browseTarget, targetEdit, browseWorkDir, workDirEdit, argsEdit, adminCheck, ok, cancel;
};
ShortcutEditLayout shortcutEditLayout(bool bannerShown);

// The editor of an item's name and icon and, for a shortcut file, of the
// target, working folder, arguments and administrator flag. Frameless,
// modal, painted by itself; the caller reads the results after accept().
class ShortcutEditDialog : public QDialog {
    Q_OBJECT
public:
    ShortcutEditDialog(const QString& itemPath, const QString& name, const QString& currentIconPath,
                       bool isShortcutFile, const ShortcutInfo& info, const QPixmap& preview,
                       QWidget* parent = nullptr);

    QString displayName() const;
    ShortcutInfo values() const;
    // 0 icon untouched, 1 a new icon file (chosenIconPath), 2 back to the default.
    int iconChange() const { return m_iconChange; }
    QString chosenIconPath() const { return m_chosenIconPath; }
    bool bannerDismissed() const { return m_bannerDismissed; }
    const QPixmap& previewPixmap() const { return m_preview; }

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* targetEdit() const { return m_target; }
    QLineEdit* workDirEdit() const { return m_workDir; }
    QLineEdit* argumentsEdit() const { return m_args; }
    QCheckBox* adminCheck() const { return m_admin; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* bannerCloseButton() const { return m_bannerClose; }

public Q_SLOTS:
    void browseTarget();
    void browseWorkingDir();
    void chooseIcon();
    void restoreIcon();
    void setIconPreview(const QString& path);
    void applyTheme();
    void dismissNotice();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void tryAccept();

    QString m_itemPath;
    QString m_currentIconPath;
    bool m_isShortcutFile = false;
    ShortcutInfo m_info;
    QPixmap m_preview;
    int m_iconChange = 0;
    QString m_chosenIconPath;
    QString m_notice;
    bool m_bannerDismissed = false;
    bool m_dragging = false;
    QPoint m_dragOffset;

    QLineEdit* m_name = nullptr;
    QLineEdit* m_target = nullptr;
    QLineEdit* m_workDir = nullptr;
    QLineEdit* m_args = nullptr;
    QCheckBox* m_admin = nullptr;
    QPushButton* m_changeIcon = nullptr;
    QPushButton* m_restoreIcon = nullptr;
    QPushButton* m_browseTarget = nullptr;
    QPushButton* m_browseWorkDir = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_bannerClose = nullptr;
};
