#pragma once

#include "model/panelmodel.h"
#include "widgets/icongridlayout.h"
#include "widgets/wheelnotches.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <utility>

class QVariantAnimation;

// The items of the current group as a grid of icons with optional names.
// It owns no model data: it reads the panel's group list and current index
// through pointers and reports what the user does by signals; the owner
// changes the model and calls relayout(). GUI thread only.
class IconGrid : public QWidget {
    Q_OBJECT
public:
    explicit IconGrid(QWidget* parent = nullptr);
    ~IconGrid() override;

    // --- model and appearance ---
    void setModel(QList<PanelGroup>* groups, int* currentGroup);
    // The shared path -> pixmap map the icons are painted from (not owned).
    void setPixmapCache(const QMap<QString, QPixmap>* cache);
    // The items (by PanelItem::key) drawn as missing.
    void setMissingItems(const QSet<quint64>& keys);
    void setIconSize(int px);
    void setShowNames(bool show);
    void setSingleClickOpen(bool on);
    void setCornerRadius(int radius);
    // mode > 0 zooms the hovered icon; else a static fill in `color` (an
    // invalid colour means the palette's hover colour) at `opacityPercent`.
    void setHoverEffect(int mode, const QColor& color, int opacityPercent);
    void setPlainMode(bool plain);
    // 0 lays out automatically, 1..8 fixes the column count.
    void setColumns(int n);
    // The model changed: rebuild the visible list on next use.
    void relayout();
    // Back to the top, and load the custom icons of the group now shown.
    void resetScroll();

    // --- icon caches ---
    void clearIconCache();
    // Drops the scaled icon of an item path so the next paint scales the
    // shared icon again. Custom icons are not touched.
    void forgetIcon(const QString& path);
    // Forgets one custom icon so that it is loaded again.
    void refreshIcon(const QString& customPath);
    void preloadCustomIcons();
    void preloadCustomIcon(const QString& path);
    void cacheCustomIcon(const QString& path, const QPixmap& pixmap);

    // --- geometry ---
    int cellWidth() const;
    int cellHeight() const;
    QRect itemRect(int pos) const;
    int itemAt(const QPoint& viewPos) const;
    int insertIndexAt(const QPoint& viewPos) const;
    QRect itemGlobalRect(int itemIndex) const;
    QPoint snapToCell(const QPoint& globalPos) const;
    int maxScroll() const;
    // The one layout of the current state; everything above reads it.
    GridGeometry geometryNow() const;

    // --- state, read-only ---
    QList<int> visibleItems() const;
    int scrollY() const { return m_scrollY; }
    int focusPos() const { return m_focusPos; }
    int hoverPos() const { return m_hoverPos; }
    int dropPos() const { return m_dropPos; }
    int iconSize() const { return m_iconSize; }
    int columns() const { return m_columns; }
    bool isDragging() const { return m_dragOver; }
    bool isLongPressPending() const { return m_pressTimer.isActive(); }
    bool hasCustomIcon(const QString& path) const { return m_customIcons.contains(path); }
    QPixmap customIconPixmap(const QString& path) const { return m_customIcons.value(path); }
    bool isCustomIconPending(const QString& path) const { return m_customPending.contains(path); }
    bool hasCustomIconFailed(const QString& path) const { return m_customFailed.contains(path); }
    int pendingCustomIconCount() const { return int(m_customPending.size()); }
    int cachedCustomIconCount() const { return int(m_customIcons.size()); }
    bool hasScaledIcon(const QString& key) const { return m_scaledCache.contains(key); }
    int scaledIconCount() const { return int(m_scaledCache.size()); }

    // Name font: the widget font at 12 px.
    QFont nameFont() const { return m_nameFont; }

    // Starts a drag of the item at a visible position.
    void startItemDrag(int position);

    static constexpr int kLongPressMs = 450;
    static constexpr int kDragDistance = 8;
    static constexpr int kScaledCacheLimit = 64;
    static constexpr int kCustomCacheLimit = 256;
    static constexpr int kCustomStartsPerPass = 64;
    static constexpr int kCustomIconMaxSide = 192;
    static constexpr int kElideCacheLimit = 512;
    static constexpr int kNameCacheLimit = 1024;

Q_SIGNALS:
    void itemActivated(int itemIndex);
    void itemReordered(int from, int to);
    void itemMoved(int fromGroup, int itemIndex, int toGroup);
    void itemMenuRequested(int itemIndex, QPoint globalPos);
    void urlsDropped(QList<QUrl> urls);
    void shellItemsDropped(QList<std::pair<QString, QString>> items);
    void blankDoubleClicked();
    // Painting found no entry for `path` in the shared icon map (never
    // loaded, or evicted by the map's size limit): the owner queues a load.
    // Asked once until the map is seen holding the path again.
    void iconWanted(const QString& path);
    // Declared for the owner's connection; the grid itself never emits it.
    void itemRemoveRequested(int itemIndex);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A name as painted under its icon: one or two lines, laid out once and
    // drawn once into a picture, since shaping and drawing text is the
    // dearest part of a frame.
    struct NameLines {
        int width = -1;
        bool fixed = false;
        QString first;
        QString second;
        int firstX = 0;   // offsets that centre each line in the box
        int secondX = 0;
        QPixmap image;    // both lines, in imageColor at imageDpr
        QRgb imageColor = 0;
        qreal imageDpr = 0;
    };

    const PanelGroup* currentGroupPtr() const;
    void ensureLayout() const;
    void clampScroll();
    int itemIndexAt(int pos) const;
    void onLongPress();
    void updateHover(const QPoint& viewPos);
    void repaintCell(int pos);
    void animateHoverIn(int pos);
    void animateHoverOut(int pos, double start);
    void ensureAnimations();
    void deliverCustomIcon(const QString& path, quint64 generation, quint64 token, const QImage& image);

    // Painting helpers (icongridpaint.cpp).
    QPixmap scaledIcon(const PanelItem& item, qreal dpr);
    void paintCell(QPainter& p, const GridGeometry& g, int pos, const PanelItem& item, qreal dpr);
    void paintName(QPainter& p, const GridGeometry& g, const QRect& cell, const QString& name, bool missing);
    NameLines& nameLines(const QString& name, int width, bool fixed);
    const QPixmap& nameImage(NameLines& lines, const QColor& color, qreal dpr);
    QString fixedName(const QString& name, int width);
    QPainterPath backgroundPath() const;

    // Visible list (mutable: rebuilt lazily by const queries).
    mutable QList<int> m_visible;
    mutable quint64 m_layoutSignature = 0;
    mutable int m_layoutGroup = -1;
    mutable bool m_layoutValid = false;
    mutable bool m_layoutDirty = true;

    QList<PanelGroup>* m_groups = nullptr;
    int* m_currentGroup = nullptr;
    const QMap<QString, QPixmap>* m_pixmapCache = nullptr;
    QSet<quint64> m_missingKeys;

    QHash<QString, QPixmap> m_scaledCache;
    QStringList m_scaledKeys;
    int m_scaledIconSize = -1;
    qreal m_scaledDpr = 1.0;
    // At least kScaledCacheLimit, and never fewer than the cells one frame
    // paints: a smaller cache would scale every icon again on every frame.
    int m_scaledLimit = kScaledCacheLimit;

    QHash<QString, QPixmap> m_customIcons;
    QStringList m_customKeys;
    QHash<QString, quint64> m_customPending;
    QSet<QString> m_customFailed;
    QSet<QString> m_iconsWanted;
    QHash<QString, quint64> m_customTokens;
    quint64 m_customGeneration = 0;
    int m_preloadGroup = -1;
    int m_preloadCount = -1;
    quint64 m_preloadHash = 0;

    QHash<QString, QString> m_elideCache;
    // Laid-out names by the text shown.
    QHash<QString, NameLines> m_nameCache;

    int m_hoverPos = -1;
    int m_focusPos = -1;
    bool m_hoverAnimated = false;
    QColor m_hoverColor;
    int m_hoverOpacity = 100;
    QVariantAnimation* m_hoverInAnim = nullptr;
    QVariantAnimation* m_hoverOutAnim = nullptr;
    int m_hoverInPos = -1;
    int m_hoverOutPos = -1;
    double m_hoverInProgress = 0.0;
    double m_hoverOutProgress = 0.0;

    bool m_dragOver = false;
    int m_dropPos = -1;
    bool m_plainMode = false;

    QPoint m_pressPoint;
    bool m_pressed = false;
    bool m_dragStarted = false;
    QTimer m_pressTimer;
    int m_pressPosIndex = -1;

    int m_iconSize = 48;
    bool m_showNames = true;
    bool m_singleClickOpen = false;
    int m_cornerRadius = 12;
    int m_columns = 0;
    int m_scrollY = 0;
    // Wheel angle not yet turned into whole rows (high-resolution wheels and
    // touchpads send fractions of a notch).
    WheelNotches m_wheelNotches;

    QFont m_nameFont;
    int m_nameLineHeight = 16;
};
