// The search panel: matching, the result cap, the separator row text, and
// activation of rows that are older than the text or the model.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "panel/layoutfile.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

namespace {

QString files() { return testsupport::testRoot() + QStringLiteral("/items"); }

PanelItem item(const QString& file, const QString& name)
{
    PanelItem it;
    it.path = files() + QLatin1Char('/') + file;
    it.name = name;
    return it;
}

void writeGroups(const QList<PanelGroup>& groups)
{
    QVERIFY(testsupport::writeFile(cachedAppDataDir() + QStringLiteral("/layout.json"), serializeLayout(groups)));
}

PanelGroup group(const QString& name, const QList<PanelItem>& items)
{
    PanelGroup g;
    g.name = name;
    g.items = items;
    return g;
}

QStringList rows(MainWindow& w)
{
    QStringList out;
    for (int i = 0; i < w.searchResultList()->count(); ++i)
        out << w.searchResultList()->item(i)->text();
    return out;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        for (const char* f : {"word.exe", "notes.txt", "excel.exe", "Budget 2024.xlsx"})
            QVERIFY(testsupport::writeFile(files() + QLatin1Char('/') + QString::fromUtf8(f), "x"));
        setLanguage(0);
    }

    void matches_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("expected");
        const QString sep = QStringLiteral("\u3000\u00B7\u3000");
        QTest::newRow("blanks only") << QStringLiteral("   ") << QStringList{};
        QTest::newRow("case-insensitive substring") << QStringLiteral(" WORD ")
                                                    << QStringList{QStringLiteral("Word 2016") + sep + QStringLiteral("常用")};
        QTest::newRow("empty name: file base name") << QStringLiteral("budget")
                                                    << QStringList{QStringLiteral("Budget 2024") + sep + QStringLiteral("办公")};
        QTest::newRow("across groups in order") << QStringLiteral("e")
                                                << QStringList{QStringLiteral("Notes") + sep + QStringLiteral("常用"),
                                                               QStringLiteral("Excel") + sep + QStringLiteral("办公"),
                                                               QStringLiteral("Budget 2024") + sep + QStringLiteral("办公")};
    }
    void matches()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, expected);
        PanelItem hidden = item(QStringLiteral("notes.txt"), QStringLiteral("Notes"));
        hidden.hidden = true;
        writeGroups({group(QStringLiteral("常用"), {item(QStringLiteral("word.exe"), QStringLiteral("Word 2016")), hidden}),
                     group(QStringLiteral("办公"), {item(QStringLiteral("excel.exe"), QStringLiteral("Excel")),
                                                    item(QStringLiteral("Budget 2024.xlsx"), QString())})});
        MainWindow w;
        w.refreshSearch(key);
        QCOMPARE(rows(w), expected);
        QCOMPARE(w.searchResultList()->currentRow(), expected.isEmpty() ? -1 : 0);
    }

    void capsAtTwoHundred()
    {
        QList<PanelItem> many;
        for (int i = 0; i < 250; ++i)
            many << item(QStringLiteral("x%1").arg(i), QStringLiteral("Item %1").arg(i));
        writeGroups({group(QStringLiteral("G"), many)});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.refreshSearch(QStringLiteral("item"));
        QCOMPARE(w.searchResultList()->count(), 201);
        QCOMPARE(w.searchHits().size(), 200);
        const QListWidgetItem* last = w.searchResultList()->item(200);
        QCOMPARE(last->text(), QStringLiteral("（结果过多，仅显示前 200 条）"));
        QCOMPARE(last->flags(), Qt::NoItemFlags);
        w.runSearchResult(200);
        QVERIFY(rec.calls.isEmpty());

        // Exactly 200 matches: no "too many" row.
        many.resize(200);
        many << item(QStringLiteral("other"), QStringLiteral("Other"));
        writeGroups({group(QStringLiteral("G"), many)});
        MainWindow exact;
        exact.refreshSearch(QStringLiteral("item"));
        QCOMPARE(exact.searchResultList()->count(), 200);
    }

    void activationLaunchesTheRowsItem()
    {
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("notes.txt"), QStringLiteral("Notes"))}),
                     group(QStringLiteral("B"), {item(QStringLiteral("word.exe"), QStringLiteral("Word")),
                                                 item(QStringLiteral("excel.exe"), QStringLiteral("Excel"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.toggleSearch();
        QVERIFY(!w.searchPanelWidget()->isHidden());
        w.refreshSearch(QStringLiteral("excel"));
        QCOMPARE(w.searchHits().size(), 1);
        // The model changes under the list: the row still means Excel.
        w.onItemRemoveRequested(0); // current group A: removes Notes
        w.onGroupSelected(1);
        w.onItemRemoveRequested(0); // removes Word; Excel moves up
        w.runSearchResult(0);
        QVERIFY(w.searchPanelWidget()->isHidden());
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url.toLocalFile(), files() + QStringLiteral("/excel.exe"));
        QCOMPARE(w.currentGroup(), 1);
    }

    void activationOfGoneItemDoesNothing()
    {
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("word.exe"), QStringLiteral("Word")),
                                                 item(QStringLiteral("excel.exe"), QStringLiteral("Excel"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.refreshSearch(QStringLiteral("word"));
        w.onItemRemoveRequested(0);
        w.runSearchResult(0);
        QVERIFY(rec.calls.isEmpty()); // never the neighbour that took its place
    }

    void activationBeforeDebounceUsesFreshList()
    {
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("word.exe"), QStringLiteral("Word")),
                                                 item(QStringLiteral("excel.exe"), QStringLiteral("Excel Reader"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.show();
        w.toggleSearch();
        w.searchLineEdit()->setText(QStringLiteral("r")); // both match after the debounce
        QTRY_COMPARE(w.searchResultList()->count(), 2);
        w.searchResultList()->setCurrentRow(1); // Excel
        w.searchLineEdit()->setText(QStringLiteral("ex"));
        // Within the debounce: the list still shows both rows.
        QListWidgetItem* excel = w.searchResultList()->item(1);
        Q_EMIT w.searchResultList()->itemClicked(excel);
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url.toLocalFile(), files() + QStringLiteral("/excel.exe"));
    }

    // Results open the way the grid's items do: on one click or on two, as
    // the open-on setting says.
    void clicksFollowTheOpenOnSetting_data()
    {
        QTest::addColumn<bool>("singleClick");
        QTest::newRow("single click opens") << true;
        QTest::newRow("double click opens") << false;
    }
    void clicksFollowTheOpenOnSetting()
    {
        QFETCH(bool, singleClick);
        AppSettings s;
        s.singleClickOpen = singleClick;
        QString error;
        QVERIFY(saveAppSettings(cachedAppDataDir() + QStringLiteral("/settings.json"), s, QSize(800, 500), &error));
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("word.exe"), QStringLiteral("Word"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.toggleSearch();
        w.refreshSearch(QStringLiteral("word"));
        QListWidget* list = w.searchResultList();
        const QPoint at = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(rec.calls.size(), singleClick ? 1 : 0);
        QCOMPARE(w.searchPanelWidget()->isHidden(), singleClick);
        if (!singleClick) {
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(rec.calls.size(), 1);
            QVERIFY(w.searchPanelWidget()->isHidden());
        }
        QFile::remove(cachedAppDataDir() + QStringLiteral("/settings.json"));
    }

    // Enter opens the first result for the text as typed (even before the
    // list caught up with it), and the current row in the list.
    void enterOpensAResult()
    {
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("word.exe"), QStringLiteral("Word Reader")),
                                                 item(QStringLiteral("excel.exe"), QStringLiteral("Excel Reader"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.toggleSearch();
        QTest::keyClicks(w.searchLineEdit(), QStringLiteral("exc"));
        QTest::keyClick(w.searchLineEdit(), Qt::Key_Return);
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url.toLocalFile(), files() + QStringLiteral("/excel.exe"));
        QVERIFY(w.searchPanelWidget()->isHidden());

        w.toggleSearch();
        w.searchLineEdit()->setText(QStringLiteral("reader"));
        w.refreshSearch(QStringLiteral("reader"));
        QListWidget* list = w.searchResultList();
        QCOMPARE(list->count(), 2);
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 1);
        const SearchHit second = w.searchHits().value(1);
        QTest::keyClick(list, Qt::Key_Enter);
        QCOMPARE(rec.calls.size(), 2);
        QCOMPARE(rec.calls.last().url.toLocalFile(), w.panelGroups().at(second.group).items.at(second.item).path);
    }

    // A text that matches nothing says so; the row opens nothing.
    void noMatchIsSaid()
    {
        writeGroups({group(QStringLiteral("A"), {item(QStringLiteral("word.exe"), QStringLiteral("Word"))})});
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.toggleSearch();
        w.refreshSearch(QStringLiteral("zzz"));
        QCOMPARE(rows(w), QStringList{QStringLiteral("没有匹配的项目")});
        QCOMPARE(w.searchResultList()->item(0)->flags(), Qt::NoItemFlags);
        w.runSearchResult(0);
        QVERIFY(rec.calls.isEmpty());
        w.refreshSearch(QString());
        QVERIFY(rows(w).isEmpty()); // nothing asked, nothing said
    }

    void keys()
    {
        writeGroups({group(QStringLiteral("A"), {})});
        MainWindow w;
        w.show();
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w.searchPanelWidget()->isVisible());
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.searchPanelWidget()->isVisible());
        QCOMPARE(w.searchLineEdit()->placeholderText(), QStringLiteral("搜索面板内的项目…（Esc 关闭）"));
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
