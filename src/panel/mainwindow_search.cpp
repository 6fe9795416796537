// The search panel: a line edit over a result list, filtering the items of
// all groups by name.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/theme.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

#include <functional>

namespace {

constexpr int kMaxResults = 200;
const QString kRowSeparator = QStringLiteral("\u3000\u00B7\u3000");

// Enter in the result list opens the current row (the list's own
// "activated" also fires on clicks, whose rule is the open-on setting's).
class SearchEnterFilter : public QObject {
public:
    SearchEnterFilter(std::function<void()> onEnter, QObject* parent) : QObject(parent), m_onEnter(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_onEnter();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onEnter;
};

} // namespace

void MainWindow::buildSearchPanel()
{
    searchPanel = new QWidget(this);
    searchPanel->setObjectName(QStringLiteral("searchPanel"));
    searchPanel->setAttribute(Qt::WA_StyledBackground);
    searchPanel->hide();
    searchEdit = new QLineEdit(searchPanel);
    searchEdit->setClearButtonEnabled(true);
    searchEdit->setPlaceholderText(translate(u"搜索面板内的项目…（Esc 关闭）"));
    searchList = new QListWidget(searchPanel);
    searchList->setIconSize(QSize(24, 24));
    searchList->setSpacing(2);
    // Every row is one line of text: the list need not measure each.
    searchList->setUniformItemSizes(true);
    searchTimer = new QTimer(this);
    searchTimer->setInterval(150);
    searchTimer->setSingleShot(true);
    connect(searchEdit, &QLineEdit::textChanged, searchTimer, qOverload<>(&QTimer::start));
    connect(searchTimer, &QTimer::timeout, this, [this] { refreshSearch(searchEdit->text()); });
    // Results open like the grid's items: on a single or a double click as
    // the setting says, and on Enter in the field or in the list.
    connect(searchList, &QListWidget::itemClicked, this, [this](QListWidgetItem* row) {
        if (settings.singleClickOpen)
            onSearchItemActivated(row);
    });
    connect(searchList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* row) {
        if (!settings.singleClickOpen)
            onSearchItemActivated(row);
    });
    connect(searchEdit, &QLineEdit::returnPressed, this, [this] {
        // The results of the text as typed, not of a moment ago.
        if (searchTimer->isActive()) {
            searchTimer->stop();
            refreshSearch(searchEdit->text());
        }
        runSearchResult(searchList->currentRow());
    });
    searchList->installEventFilter(new SearchEnterFilter([this] { onSearchItemActivated(searchList->currentItem()); },
                                                         searchList));
}

void MainWindow::layoutSearchPanel()
{
    if (!searchPanel)
        return;
    const int panelWidth = qMin(width() - 59, 460);
    searchPanel->setGeometry((width() - panelWidth + 1) / 2, 64, panelWidth, 320);
    searchEdit->setGeometry(10, 10, panelWidth - 20, 30);
    searchList->setGeometry(10, 48, panelWidth - 20, 262);
}

void MainWindow::ensureSearchPanel()
{
    // Made on first use: its line edit and list cost the start of the
    // panel a few milliseconds that most sessions never need.
    if (searchPanel)
        return;
    buildSearchPanel();
    searchPanel->setEnabled(iconGrid ? iconGrid->isEnabled() : true);
}

void MainWindow::toggleSearch()
{
    ensureSearchPanel();
    if (searchPanel->isVisible()) {
        searchPanel->hide();
        return;
    }
    const bool light = currentTheme().c[1].lightness() > 127;
    if (light) {
        searchPanel->setStyleSheet(
            QStringLiteral("QWidget#searchPanel{background:#FFFFFF;border:1px solid #DDE2EB;border-radius:10px;}"));
        searchEdit->setStyleSheet(
            QStringLiteral("QLineEdit{background:#F4F6FA;color:#39404C;border:1px solid #E2E6EE;border-radius:8px;"
                           "padding:0 10px;font-size:13px;}"));
        searchList->setStyleSheet(
            QStringLiteral("QListWidget{background:transparent;border:none;color:#39404C;font-size:13px;}"
                           "QListWidget::item{padding:6px 8px;border-radius:6px;}"
                           "QListWidget::item:selected{background:#2C6BE0;color:#FFFFFF;}"));
    } else {
        searchPanel->setStyleSheet(
            QStringLiteral("QWidget#searchPanel{background:#252A34;border:1px solid #3A4152;border-radius:10px;}"));
        searchEdit->setStyleSheet(
            QStringLiteral("QLineEdit{background:#2F353F;color:#D5D8E2;border:1px solid #414857;border-radius:8px;"
                           "padding:0 10px;font-size:13px;}"));
        searchList->setStyleSheet(
            QStringLiteral("QListWidget{background:transparent;border:none;color:#D5D8E2;font-size:13px;}"
                           "QListWidget::item{padding:6px 8px;border-radius:6px;}"
                           "QListWidget::item:selected{background:#2C6BE0;color:#FFFFFF;}"));
    }
    layoutSearchPanel();
    searchPanel->raise();
    searchPanel->show();
    searchEdit->setFocus();
    searchEdit->selectAll();
    refreshSearch(searchEdit->text());
}

void MainWindow::refreshSearch(QString key)
{
    ensureSearchPanel();
    searchList->clear();
    searchResults.clear();
    bool truncated = false;
    searchResults = searchPanelItems(groups, key, kMaxResults, &truncated);
    // Rows are made in one go: the list lays itself out once.
    searchList->setUpdatesEnabled(false);
    for (const SearchHit& hit : std::as_const(searchResults)) {
        auto* row = new QListWidgetItem(hit.displayName + kRowSeparator + groups.at(hit.group).name);
        row->setData(Qt::UserRole, hit.displayName);
        searchList->addItem(row);
    }
    if (truncated) {
        auto* more = new QListWidgetItem(translate(u"（结果过多，仅显示前 %1 条）").arg(kMaxResults));
        more->setFlags(Qt::NoItemFlags);
        searchList->addItem(more);
    }
    if (searchResults.isEmpty() && !key.trimmed().isEmpty()) {
        auto* none = new QListWidgetItem(translate(u"没有匹配的项目"));
        none->setFlags(Qt::NoItemFlags);
        searchList->addItem(none);
    }
    searchList->setUpdatesEnabled(true);
    if (searchList->count() > 0)
        searchList->setCurrentRow(0);
}

void MainWindow::onSearchItemActivated(QListWidgetItem* activated)
{
    int row = searchList->currentRow();
    if (searchTimer->isActive() && activated) {
        const QString text = activated->text();
        const QString data = activated->data(Qt::UserRole).toString();
        searchTimer->stop();
        refreshSearch(searchEdit->text());
        for (int i = 0; i < searchList->count(); ++i) {
            const QListWidgetItem* r = searchList->item(i);
            if (data.isEmpty() ? r->text() == text : r->data(Qt::UserRole).toString() == data) {
                row = i;
                break;
            }
        }
    }
    runSearchResult(row);
}

void MainWindow::runSearchResult(int row)
{
    if (!searchPanel || row < 0 || row >= searchResults.size())
        return;
    activateSearchResult(row);
}

void MainWindow::activateSearchResult(int row)
{
    const SearchHit shown = searchResults.at(row);
    searchPanel->hide();
    // The list may be older than the model (an item removed or moved since):
    // the item the row showed is launched, or nothing.
    const SearchHit now = locateSearchHit(groups, shown);
    if (now.group < 0)
        return;
    setCurrentGroupIndex(now.group);
    if (sidebar)
        sidebar->update();
    if (iconGrid)
        iconGrid->update();
    onItemActivated(now.item);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Keys the lock screen lets through reach no panel shortcut.
    if (lockOverlay) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_F && (event->modifiers() & Qt::ControlModifier)) {
        toggleSearch();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && searchPanel && searchPanel->isVisible()) {
        searchPanel->hide();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
