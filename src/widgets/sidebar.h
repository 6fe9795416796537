#pragma once

#include "model/panelmodel.h"
#include "widgets/sidebarlayout.h"
#include "widgets/wheelnotches.h"

#include <QFont>
#include <QList>
#include <QUrl>
#include <QWidget>

#include <utility>

class QDrag;
class QMimeData;

// The list of the panel's groups: a column of rows with a new-group button
// (normal layout) or a strip of tabs with an overflow menu and a plus button
// (compact layout). It reads the group list and the current index through
// pointers and reports what the user does by signals; the owner changes the
// model. GUI thread only.
class Sidebar : public QWidget {
    Q_OBJECT
public:
    explicit Sidebar(QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(172, 400); }

    void setModel(QList<PanelGroup>* groups, int* currentGroup);
    void setCompact(bool compact);
    void setPlainStyle(bool plain);
    void setCornerRadius(int radius);
    void setShowNewGroupButton(bool show);
    // Whether a picture (the panel's background image, animation or video)
    // shows through behind the list: names then get a halo to stay readable.
    void setOverPicture(bool over) { m_overPicture = over; }
    bool overPicture() const { return m_overPicture; }

    // Text width of tab i in the 13 px font, capped at six "中".
    int tabWidth(int i) const;
    int groupAt(const QPoint& viewPos) const;
    int maxScroll() const;
    // Runs a drag of group `index`; the groups move live while it passes
    // over other rows.
    void startGroupDrag(int index);

    // The one layout of the current state.
    SidebarLayout layoutNow() const;

    bool isCompact() const { return m_compact; }
    int scrollY() const { return m_scrollY; }
    int hoverRow() const { return m_hoverRow; }
    int dropTarget() const { return m_dropTarget; }
    bool isGroupDragActive() const { return m_groupDragActive; }
    int draggedGroup() const { return m_draggedGroup; }

    static constexpr int kDragDistance = 6;

Q_SIGNALS:
    void groupSelected(int index);
    void groupCreated(QString name);
    void groupRenamed(int index, QString name);
    void groupDeleted(int index);
    void groupCleared(int index);
    void groupDragDisplace(int from, int to);
    void groupDragFinished();
    void urlsDropped(int groupIndex, QList<QUrl> urls);
    void shellItemsDropped(int groupIndex, QList<std::pair<QString, QString>> items);
    void itemMoved(int fromGroup, int itemIndex, int toGroup);
    void desktopSyncRequested();
    // Declared for the owner's connection; group order changes travel by
    // groupDragDisplace.
    void groupsReordered(int from, int to);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Runs a started drag until it ends; drag events for this widget arrive
    // meanwhile.
    virtual Qt::DropAction execDrag(QDrag* drag);

private:
    int groupCount() const { return m_groups ? int(m_groups->size()) : 0; }
    QString groupName(int i) const;
    void askNewGroup();
    void askRename(int index);
    void showOverflowMenu(const QRect& button);
    void repaintRow(int row);
    // A drop on group `target`, in the order the payloads are examined.
    void dropOnGroup(QDropEvent* event, const QMimeData* mime, int target);
    // Which of the small buttons the cursor is over: 0 none, 1 new group or
    // plus, 2 overflow.
    int buttonUnder(const QPoint& viewPos) const;
    void paintNormal(QPainter& p, const SidebarLayout& l);
    void paintCompact(QPainter& p, const SidebarLayout& l);

    QList<PanelGroup>* m_groups = nullptr;
    int* m_currentGroup = nullptr;
    bool m_compact = false;
    bool m_showNewGroupButton = true;
    bool m_plainStyle = false;
    bool m_overPicture = false;
    int m_cornerRadius = 12;
    int m_hoverRow = -1;
    int m_dropTarget = -1;
    int m_scrollY = 0;
    int m_pressIndex = -1;
    QPoint m_pressPoint;
    bool m_pressed = false;
    bool m_groupDragActive = false;
    int m_draggedGroup = -1;
    bool m_dragMoved = false;
    // Wheel angle not yet turned into whole rows.
    WheelNotches m_wheelNotches;
    int m_hoverButton = 0;
    QFont m_nameFont;
};
