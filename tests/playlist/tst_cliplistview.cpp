// The list view both windows use: columns, collection access, keys, selection by pointer
// and keys, hit test, sorting, bulk deletion against the one-at-a-time rule, and the
// drag data it produces and accepts.

#include "playlisttest.h"

#include <QDir>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

void fill(ClipListView& view, const QStringList& names) {
    for (const QString& n : names)
        view.ListItems()
            .Add(view.ListItems().Count() + 1, n)
            .setSubItems(7, "/music/" + n + ".mp3");
}

void showView(ClipListView& view) {
    view.resize(700, 400);
    view.setupColumns();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

} // namespace

class TestClipListView : public QObject {
    Q_OBJECT
private slots:
    void columnsHaveTextsTagsAndWidths() {
        ClipListView view;
        view.setupColumns();
        const QStringList expected = {"Title", "Length",  "Artist",   "Cd",   "Year",
                                      "Genre", "Comment", "Location", "Azar", "TotLength"};
        QCOMPARE(view.header()->count(), 10);
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(view.clipModel().headerData(c, Qt::Horizontal).toString(), expected[c]);
            QCOMPARE(view.clipModel().headerData(c, Qt::Horizontal, Qt::UserRole).toString(),
                     QString::number(11000 + c));
        }
        QCOMPARE(view.columnTag(7), QString("11007"));
        // Twips at 15 per pixel; clearing the rows (a model reset) keeps the column layout.
        for (int pass = 0; pass < 2; ++pass) {
            QList<int> widths;
            for (int c : {0, 1, 4, 6, 8})
                widths << view.header()->sectionSize(c);
            QCOMPARE(widths, QList<int>({2500 / 15, 700 / 15, 300 / 15, 1900 / 15,
                                         view.header()->defaultSectionSize()}));
            QCOMPARE(view.header()->count(), 10);
            view.ListItems().Add(1, "a");
            view.ListItems().Clear();
        }
    }

    void collectionAccessAndKeys() {
        ClipListView view;
        auto items = view.ListItems();
        QVERIFY(!items.Add(2, "too far"));
        QVERIFY(!items.Add(0, "zero"));
        QVERIFY(items.Add(1, "b") && items.Add(1, "a") && items.Add(3, "d"));
        QCOMPARE(items.Add(3, "c").Index(), 3);
        QCOMPARE(column(view.clipModel()), QStringList({"a", "b", "c", "d"}));
        QVERIFY(!items.Item(5));
        QVERIFY(!items.Item(0));
        // Keys are unique and findable.
        QVERIFY(!items.Item("kelpo"));
        QVERIFY(items.Item(2).setKey("kelpo"));
        QVERIFY(!items.Item(3).setKey("kelpo"));
        QVERIFY(!items.Add(1, "x", "kelpo")); // a second row with the key is refused
        QCOMPARE(items.Item("kelpo").Text(), QString("b"));
        items.Remove(1);
        QCOMPARE(items.Item("kelpo").Index(), 1);
        QVERIFY(items.Item(1).setKey(""));
        QVERIFY(!items.Item("kelpo"));
        items.Remove(9); // nothing there
        QCOMPARE(column(view.clipModel()), QStringList({"b", "c", "d"}));
        // Sub-items out of range are ignored.
        ListItem item = items.Item(1);
        item.setSubItems(9, "215");
        item.setSubItems(10, "nope");
        item.setSubItems(0, "nope");
        QCOMPARE(item.SubItems(10), QString());
        QCOMPARE(item.Text(), QString("b"));
        QCOMPARE(view.clipModel().data(view.clipModel().index(0, 9)).toString(), QString("215"));
        items.Clear();
        QCOMPARE(items.Count(), 0);
    }

    void hugeTextsAreShownShortened() {
        ClipListView view;
        const QString huge(2 * 1024 * 1024, u'z');
        view.ListItems().Add(1, huge).setSubItems(7, huge);
        const ClipListModel& m = view.clipModel();
        // The row keeps the whole text (it is the song's identity); the view draws a prefix.
        QCOMPARE(view.ListItems().Item(1).SubItems(7), huge);
        const QString shown = m.data(m.index(0, 7)).toString();
        QCOMPARE(shown.size(), ClipListModel::MaxShownChars + 1);
        QVERIFY(huge.startsWith(shown.chopped(1)));
        QCOMPARE(m.data(m.index(0, 0), Qt::EditRole).toString(), huge);
        view.ListItems().Item(1).setText("short");
        QCOMPARE(m.data(m.index(0, 0)).toString(), QString("short"));
        view.resize(600, 300);
        view.show();
        QVERIFY(!view.grab().isNull()); // drawing it finishes
    }

    void selectedItemAndMultiSelect() {
        ClipListView view;
        fill(view, {"a", "b", "c", "d"});
        QCOMPARE(view.SelectedItem(), 0);
        view.setSelectedItem(2);
        view.setSelectedItem(4);
        QCOMPARE(view.SelectedItem(), 4);
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 4}));
        view.setMultiSelect(false); // narrows to the focus row
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({4}));
        view.setMultiSelect(true);
        view.ListItems().Item(1).setSelected(true);
        view.ListItems().Item(4).setSelected(false);
        QCOMPARE(view.SelectedItem(), 1); // focus row no longer selected: first selected row
        view.ListItems().Item(1).setSelected(false);
        QCOMPARE(view.SelectedItem(), 0);
    }

    void pointerKeysAndHitTest() {
        ClipListView view;
        showView(view);
        QCOMPARE(view.HitTest(QPoint(10, 10)), 0);
        fill(view, {"a", "b", "c", "d", "e"});
        QCOMPARE(view.HitTest(centreOf(view, 3)), 3);
        QCOMPARE(view.HitTest(belowRows(view)), 0);
        view.setDropHighlight(2);
        QCOMPARE(view.DropHighlight(), 2);
        view.setDropHighlight(7);
        QCOMPARE(view.DropHighlight(), 0);
        QWidget* vp = view.viewport();
        const auto click = [&](Qt::KeyboardModifiers mods, const QPoint& at) {
            QTest::mouseClick(vp, Qt::LeftButton, mods, at);
        };
        click({}, centreOf(view, 2));
        QCOMPARE(view.SelectedItem(), 2);
        click(Qt::ControlModifier, centreOf(view, 4));
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 4}));
        QCOMPARE(view.SelectedItem(), 4);
        click(Qt::ShiftModifier, centreOf(view, 1));
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({1, 2, 3, 4}));
        click({}, centreOf(view, 3)); // a plain click on a selected row narrows to it
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({3}));
        click({}, belowRows(view)); // below the rows: nothing selected
        QCOMPARE(view.SelectedItem(), 0);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Home);
        QTest::keyClick(&view, Qt::Key_Down);
        QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 3}));
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({5}));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view.clipModel().selectedCount(), 5);
        QTest::keyClick(&view, Qt::Key_Home);
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({1}));
        view.setMultiSelect(false);
        click(Qt::ControlModifier, centreOf(view, 5));
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({5}));
    }

    void pointerAndKeyEventsBecomeSignals() {
        ClipListView view;
        fill(view, {"a", "b"});
        showView(view);
        QSignalSpy dbl(&view, &ClipListView::itemDblClick);
        QSignalSpy enter(&view, &ClipListView::enterPressed);
        QSignalSpy right(&view, &ClipListView::rightButtonReleased);
        QSignalSpy header(&view, &ClipListView::columnClick);
        // A real double click: press and release, then the double-click press.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 2));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, centreOf(view, 2));
        QCOMPARE(dbl.count(), 1);
        QCOMPARE(view.SelectedItem(), 2);
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClick(&view, Qt::Key_Enter);
        QCOMPARE(enter.count(), 2);
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, centreOf(view, 1));
        QCOMPARE(right.count(), 1);
        QCOMPARE(view.SelectedItem(), 1);
        QTest::mouseClick(view.viewport(), Qt::MiddleButton, {}, centreOf(view, 1));
        QCOMPARE(right.count(), 1);
        const int x = view.header()->sectionViewportPosition(2) + 5;
        QTest::mouseClick(view.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QCOMPARE(header.count(), 1);
        QCOMPARE(header.at(0).at(0).toInt(), 3); // headers count from 1
    }

    void sortingByColumnText() {
        ClipListView view;
        int16_t currentIndex = 0;
        view.setCurrentIndexField(&currentIndex);
        fill(view, {"b", "B2", "a", "c", "A"});
        view.setSortKey(0);
        view.setSortOrder(0);
        view.setSorted(true);
        // Case is ignored; equal texts keep their order ("a" came before "A").
        QCOMPARE(column(view.clipModel()), QStringList({"a", "A", "b", "B2", "c"}));
        view.setSorted(false);
        view.setSortOrder(1);
        view.setSorted(true);
        QCOMPARE(column(view.clipModel()), QStringList({"c", "B2", "b", "a", "A"}));
        QVERIFY(view.Sorted());
        view.setSortKey(12); // out of range: unchanged
        QCOMPARE(view.SortKey(), 0);
        view.setSorted(false);
        // A one-off sort keeps the playing song, the selection and the focus.
        currentIndex = 1; // "c"
        view.setSelectedItem(2);
        view.setSortOrder(0);
        view.clipModel().sortNow();
        QCOMPARE(column(view.clipModel()), QStringList({"a", "A", "b", "B2", "c"}));
        QCOMPARE(currentIndex, int16_t(5));
        QCOMPARE(view.SelectedItem(), 4);
        QCOMPARE(view.ListItems().Item(4).Text(), QString("B2"));
        QCOMPARE(view.currentIndex().row(), 3);
        // Rows added afterwards keep the position they are given.
        view.ListItems().Add(1, "zz");
        QCOMPARE(view.ListItems().Item(1).Text(), QString("zz"));
        QCOMPARE(currentIndex, int16_t(6));
    }

    void removeSelectedMatchesOneAtATime_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("currentIndex");
        QTest::newRow("playing row itself") << 6 << QList<int>{4} << 4;
        QTest::newRow("stopped at -1") << 3 << QList<int>{1} << -1;
        QTest::newRow("all") << 4 << QList<int>{1, 2, 3, 4} << 2;
        QList<int> everySecond, random;
        for (int i = 2; i <= 3000; i += 2)
            everySecond << i;
        QTest::newRow("every second of 3000") << 3000 << everySecond << 1501;
        QRandomGenerator gen(42);
        for (int i = 1; i <= 2000; ++i)
            if (gen.bounded(3) == 0)
                random << i;
        QTest::newRow("random third of 2000") << 2000 << random << 777;
    }

    void removeSelectedMatchesOneAtATime() {
        QFETCH(int, rows);
        QFETCH(QList<int>, selected);
        QFETCH(int, currentIndex);
        ClipListModel model;
        int16_t ci = 0;
        model.setCurrentIndexField(&ci);
        QStringList reference;
        for (int i = 1; i <= rows; ++i) {
            ClipRow row;
            row.texts[0] = QString::number(i);
            row.selected = selected.contains(i);
            reference << row.texts[0];
            QVERIFY(model.insertRow(i, std::move(row)));
        }
        // The rule, one row at a time from the top.
        int refCi = currentIndex;
        for (int i = 1; i <= reference.size();) {
            if (selected.contains(reference[i - 1].toInt())) {
                reference.removeAt(i - 1);
                refCi -= i <= refCi ? 1 : 0;
            } else {
                ++i;
            }
        }
        ci = static_cast<int16_t>(currentIndex);
        QCOMPARE(model.removeSelected(), selected.size());
        QCOMPARE(column(model), reference);
        QCOMPARE(int(ci), refCi);
        QCOMPARE(model.selectedCount(), 0);
    }

    void dragDataCarriesSelectedLocations() {
        ClipListView view;
        fill(view, {"a", "b", "c"});
        view.ListItems().Item(2).setSubItems(7, "rel/dir/b.mp3");
        QVERIFY(!view.createDragData());
        for (int i : {3, 1, 2})
            view.ListItems().Item(i).setSelected(true);
        std::unique_ptr<QMimeData> data(view.createDragData());
        QVERIFY(data);
        const QUrl rel = QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel/dir/b.mp3"));
        QCOMPARE(data->urls(), QList<QUrl>({QUrl::fromLocalFile("/music/a.mp3"), rel,
                                            QUrl::fromLocalFile("/music/c.mp3")}));
        QCOMPARE(data->data("text/uri-list"), QByteArray("file:///music/a.mp3\r\n") +
                                                  rel.toEncoded() + "\r\nfile:///music/c.mp3\r\n");
    }

    void dropsReportLocalFilesOnly() {
        ClipListView view;
        view.setAcceptFileDrops(true);
        fill(view, {"a", "b", "c"});
        showView(view);
        QSignalSpy dropped(&view, &ClipListView::filesDropped);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/x/one.mp3"), QUrl("https://example.org/no.mp3"),
                      QUrl::fromLocalFile(QString::fromUtf8("/x/twö.mp3"))});
        view.setSelectedItem(1);
        view.setSelectedItem(3);
        // Dragging over a row selects only that row (multi-select stays on, no highlight).
        QVERIFY(dropOn(view, &data, centreOf(view, 2)));
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2}));
        QVERIFY(view.MultiSelect());
        QCOMPARE(view.DropHighlight(), 0);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.at(0).at(0).toStringList(),
                 QStringList({"/x/one.mp3", QString::fromUtf8("/x/twö.mp3")}));
        QCOMPARE(dropped.at(0).at(1).toInt(), 2);
        QVERIFY(dropOn(view, &data, belowRows(view)));
        QCOMPARE(dropped.at(1).at(1).toInt(), 4);
        QCOMPARE(view.SelectedItem(), 0);
        // Plain text is refused at the enter; web urls alone are not taken.
        QMimeData text;
        text.setText("/x/one.mp3");
        QVERIFY(!enterDrag(view, &text, centreOf(view, 1)));
        QVERIFY(!dropOn(view, {QUrl("https://example.org/a.mp3")}, centreOf(view, 1)));
        QCOMPARE(dropped.count(), 2);
        QCOMPARE(view.ListItems().Count(), 3);
    }

    void dragNearEdgesScrolls() {
        ClipListView view;
        view.setAcceptFileDrops(true);
        for (int i = 0; i < 300; ++i)
            view.ListItems().Add(i + 1, QString::number(i + 1));
        showView(view);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/x/one.mp3")});
        QScrollBar* bar = view.verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        const QPoint bottom(40, view.viewport()->height() - 2);
        QVERIFY(enterDrag(view, &data, bottom));
        for (int i = 0; i < 5; ++i)
            moveDrag(view, &data, bottom);
        const int scrolled = bar->value();
        QVERIFY(scrolled > 0);
        moveDrag(view, &data, QPoint(40, view.viewport()->height() / 2));
        QCOMPARE(bar->value(), scrolled);
        moveDrag(view, &data, QPoint(40, 1));
        QVERIFY(bar->value() < scrolled);
        // The row under the pointer after scrolling is the one selected.
        QCOMPARE(view.SelectedItem(), view.HitTest(QPoint(40, 1)));
    }
};

QTEST_MAIN(TestClipListView)
#include "tst_cliplistview.moc"
