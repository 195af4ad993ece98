// The list view both windows use: columns, collection access, keys, selection by pointer
// and keys, hit test, sorting, bulk deletion against the one-at-a-time rule, and the
// drag data it produces and accepts.

#include "cliplistview.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList titles(const ClipListModel& m) {
    QStringList out;
    for (int i = 1; i <= m.count(); ++i)
        out << m.text(i, 0);
    return out;
}

void fill(ClipListView& view, const QStringList& names) {
    for (const QString& n : names) {
        ListItem item = view.ListItems().Add(view.ListItems().Count() + 1, n);
        item.setSubItems(7, "/music/" + n + ".mp3");
    }
}

// Drop and drag-move events only reach a widget that accepted a drag enter first (they go
// to the drag's current target, so never send them after a refused enter).
bool enterDrag(ClipListView& view, QMimeData* data, const QPoint& pos) {
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    return enter.isAccepted();
}

QPoint centreOf(ClipListView& view, int row) {
    return view.visualRect(view.clipModel().index(row - 1, 0)).center();
}

} // namespace

class TestClipListView : public QObject {
    Q_OBJECT
private slots:
    void columnsHaveTextsTagsAndWidths();
    void collectionAccess();
    void keysAreUniqueAndFindable();
    void subItemsOutOfRangeAreIgnored();
    void hugeTextsAreShownShortened();
    void selectedItemAndMultiSelect();
    void pointerSelection();
    void pointerAndKeyEventsBecomeSignals();
    void keyboardMovesSelection();
    void hitTest();
    void sortingByColumnText();
    void sortingKeepsCurrentIndexAndFocus();
    void removeSelectedMatchesOneAtATime_data();
    void removeSelectedMatchesOneAtATime();
    void dragDataCarriesSelectedLocations();
    void dropThroughTheViewport();
    void dragOverSelectsRowUnderPointer();
    void nonFileDataIsRefused();
    void dragNearEdgesScrolls();

private:
    void showView(ClipListView& view) {
        view.resize(700, 400);
        view.setupColumns();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
};

void TestClipListView::columnsHaveTextsTagsAndWidths() {
    ClipListView view;
    view.setupColumns();
    const QStringList expected = {"Title",   "Artist",   "Cd",   "Year",     "Genre",
                                  "Comment", "Location", "Azar", "TotLength"};
    QCOMPARE(view.clipModel().columnCount(), 10);
    QCOMPARE(view.clipModel().headerData(0, Qt::Horizontal).toString(), QString("Title"));
    QCOMPARE(view.clipModel().headerData(1, Qt::Horizontal).toString(), QString("Length"));
    QCOMPARE(view.clipModel().headerData(9, Qt::Horizontal).toString(), QString("TotLength"));
    QCOMPARE(view.clipModel().headerData(3, Qt::Horizontal).toString(), QString("Cd"));
    for (int c = 0; c < 10; ++c)
        QCOMPARE(view.clipModel().headerData(c, Qt::Horizontal, Qt::UserRole).toString(),
                 QString::number(11000 + c));
    QCOMPARE(view.columnTag(7), QString("11007"));
    // Twips at 15 per pixel.
    QCOMPARE(view.header()->sectionSize(0), 2500 / 15);
    QCOMPARE(view.header()->sectionSize(1), 700 / 15);
    QCOMPARE(view.header()->sectionSize(4), 300 / 15);
    QCOMPARE(view.header()->sectionSize(6), 1900 / 15);
    QCOMPARE(view.header()->sectionSize(8), view.header()->defaultSectionSize());
    // Clearing the rows (a model reset) keeps the column layout.
    view.ListItems().Add(1, "a");
    view.ListItems().Clear();
    QCOMPARE(view.header()->sectionSize(0), 2500 / 15);
    QCOMPARE(view.header()->count(), 10);
}

void TestClipListView::collectionAccess() {
    ClipListView view;
    auto items = view.ListItems();
    QCOMPARE(items.Count(), 0);
    QVERIFY(!items.Add(2, "too far"));
    QVERIFY(!items.Add(0, "zero"));
    QVERIFY(items.Add(1, "b"));
    QVERIFY(items.Add(1, "a"));
    QVERIFY(items.Add(3, "d"));
    ListItem c = items.Add(3, "c");
    QVERIFY(c);
    QCOMPARE(c.Index(), 3);
    QCOMPARE(titles(view.clipModel()), QStringList({"a", "b", "c", "d"}));
    QCOMPARE(items.Item(2).Text(), QString("b"));
    QVERIFY(!items.Item(5));
    QVERIFY(!items.Item(0));
    items.Remove(2);
    QCOMPARE(titles(view.clipModel()), QStringList({"a", "c", "d"}));
    items.Remove(9); // nothing there
    QCOMPARE(items.Count(), 3);
    items.Clear();
    QCOMPARE(items.Count(), 0);
}

void TestClipListView::keysAreUniqueAndFindable() {
    ClipListView view;
    fill(view, {"a", "b", "c"});
    auto items = view.ListItems();
    QVERIFY(!items.Item("kelpo"));
    QVERIFY(items.Item(2).setKey("kelpo"));
    QVERIFY(!items.Item(3).setKey("kelpo"));
    QCOMPARE(items.Item("kelpo").Index(), 2);
    QCOMPARE(items.Item("kelpo").Text(), QString("b"));
    QVERIFY(!items.Add(1, "x", "kelpo")); // a second row with the key is refused
    QCOMPARE(items.Count(), 3);
    items.Remove(1);
    QCOMPARE(items.Item("kelpo").Index(), 1);
    QVERIFY(items.Item(1).setKey(""));
    QVERIFY(!items.Item("kelpo"));
}

void TestClipListView::subItemsOutOfRangeAreIgnored() {
    ClipListView view;
    fill(view, {"a"});
    ListItem item = view.ListItems().Item(1);
    item.setSubItems(9, "215");
    item.setSubItems(10, "nope");
    item.setSubItems(0, "nope");
    QCOMPARE(item.SubItems(9), QString("215"));
    QCOMPARE(item.SubItems(10), QString());
    QCOMPARE(item.Text(), QString("a"));
    QCOMPARE(view.clipModel().data(view.clipModel().index(0, 9)).toString(), QString("215"));
}

void TestClipListView::hugeTextsAreShownShortened() {
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

void TestClipListView::selectedItemAndMultiSelect() {
    ClipListView view;
    fill(view, {"a", "b", "c", "d"});
    QCOMPARE(view.SelectedItem(), 0);
    view.setSelectedItem(2);
    view.setSelectedItem(4);
    QCOMPARE(view.SelectedItem(), 4);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 4}));
    view.setMultiSelect(false);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({4}));
    view.setSelectedItem(1);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({1}));
    view.setMultiSelect(true);
    view.ListItems().Item(3).setSelected(true);
    QCOMPARE(view.SelectedItem(), 1);
    view.ListItems().Item(1).setSelected(false);
    QCOMPARE(view.SelectedItem(), 3); // focus row no longer selected: first selected row
    QVERIFY(view.ListItems().Item(3).Selected());
    view.ListItems().Item(3).setSelected(false);
    QCOMPARE(view.SelectedItem(), 0);
}

void TestClipListView::pointerSelection() {
    ClipListView view;
    fill(view, {"a", "b", "c", "d", "e"});
    showView(view);
    QWidget* vp = view.viewport();
    QTest::mouseClick(vp, Qt::LeftButton, {}, centreOf(view, 2));
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2}));
    QCOMPARE(view.SelectedItem(), 2);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, centreOf(view, 4));
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 4}));
    QCOMPARE(view.SelectedItem(), 4);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, centreOf(view, 1));
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({1, 2, 3, 4}));
    // A plain click on a selected row narrows the selection to it.
    QTest::mouseClick(vp, Qt::LeftButton, {}, centreOf(view, 3));
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({3}));
    // Clicking below the rows clears the selection.
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(10, vp->height() - 5));
    QCOMPARE(view.SelectedItem(), 0);
    view.setMultiSelect(false);
    QTest::mouseClick(vp, Qt::LeftButton, {}, centreOf(view, 1));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, centreOf(view, 5));
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({5}));
}

void TestClipListView::pointerAndKeyEventsBecomeSignals() {
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

void TestClipListView::keyboardMovesSelection() {
    ClipListView view;
    fill(view, {"a", "b", "c", "d"});
    showView(view);
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Home);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({1}));
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2, 3}));
    QTest::keyClick(&view, Qt::Key_End);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({4}));
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.clipModel().selectedCount(), 4);
    QTest::keyClick(&view, Qt::Key_Home);
    QCOMPARE(view.SelectedItem(), 1);
    QCOMPARE(view.clipModel().selectedCount(), 1);
}

void TestClipListView::hitTest() {
    ClipListView view;
    showView(view);
    QCOMPARE(view.HitTest(QPoint(10, 10)), 0);
    fill(view, {"a", "b", "c"});
    QCOMPARE(view.HitTest(centreOf(view, 1)), 1);
    QCOMPARE(view.HitTest(centreOf(view, 3)), 3);
    QCOMPARE(view.HitTest(QPoint(10, view.viewport()->height() - 3)), 0);
    view.setDropHighlight(2);
    QCOMPARE(view.DropHighlight(), 2);
    view.setDropHighlight(7);
    QCOMPARE(view.DropHighlight(), 0);
}

void TestClipListView::sortingByColumnText() {
    ClipListView view;
    fill(view, {"b", "B2", "a", "c", "A"});
    const QStringList tot = {"99", "100", "7", "", "100"};
    for (int i = 1; i <= 5; ++i)
        view.ListItems().Item(i).setSubItems(9, tot[i - 1]);
    view.setSortKey(0);
    view.setSortOrder(0);
    view.setSorted(true);
    // Case is ignored; equal texts keep their order ("a" came before "A").
    QCOMPARE(titles(view.clipModel()), QStringList({"a", "A", "b", "B2", "c"}));
    view.setSorted(false);
    view.setSortOrder(1);
    view.setSorted(true);
    QCOMPARE(titles(view.clipModel()), QStringList({"c", "B2", "b", "a", "A"}));
    view.setSorted(false);
    // Texts, not numbers: "100" before "7" before "99"; empty first.
    view.setSortKey(9);
    view.setSortOrder(0);
    view.setSorted(true);
    QStringList byTot;
    for (int i = 1; i <= 5; ++i)
        byTot << view.ListItems().Item(i).SubItems(9);
    QCOMPARE(byTot, QStringList({"", "100", "100", "7", "99"}));
    QCOMPARE(view.ListItems().Item(2).Text(), QString("B2")); // stable among equals
    QVERIFY(view.Sorted());
    view.setSortKey(12); // out of range: unchanged
    QCOMPARE(view.SortKey(), 9);
}

void TestClipListView::sortingKeepsCurrentIndexAndFocus() {
    ClipListView view;
    int16_t currentIndex = 0;
    view.setCurrentIndexField(&currentIndex);
    fill(view, {"d", "a", "c", "b"});
    currentIndex = 1; // "d" is playing
    view.setSelectedItem(3);
    view.clipModel().setSortKey(0);
    view.clipModel().sortNow();
    QCOMPARE(titles(view.clipModel()), QStringList({"a", "b", "c", "d"}));
    QCOMPARE(currentIndex, int16_t(4));
    QVERIFY(!view.ListItems().Item("kelpo"));
    QVERIFY(!view.Sorted());          // automatic sorting is off again
    QCOMPARE(view.SelectedItem(), 3); // "c" kept its selection and focus
    QCOMPARE(view.ListItems().Item(3).Text(), QString("c"));
    QCOMPARE(view.currentIndex().row(), 2);
    // Rows added afterwards keep the position they are given.
    view.ListItems().Add(1, "zz");
    QCOMPARE(view.ListItems().Item(1).Text(), QString("zz"));
    QCOMPARE(currentIndex, int16_t(5));
}

void TestClipListView::removeSelectedMatchesOneAtATime_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("currentIndex");
    QTest::newRow("2,3,5 of 6, ci 4") << 6 << QList<int>{2, 3, 5} << 4;
    QTest::newRow("2,3,5 of 6, ci 3") << 6 << QList<int>{2, 3, 5} << 3;
    QTest::newRow("playing row itself") << 6 << QList<int>{4} << 4;
    QTest::newRow("after playing row") << 6 << QList<int>{5, 6} << 4;
    QTest::newRow("nothing playing") << 6 << QList<int>{1, 2} << 0;
    QTest::newRow("stopped at -1") << 3 << QList<int>{1} << -1;
    QTest::newRow("all") << 4 << QList<int>{1, 2, 3, 4} << 2;
    QList<int> everySecond;
    for (int i = 2; i <= 3000; i += 2)
        everySecond << i;
    QTest::newRow("every second of 3000") << 3000 << everySecond << 1501;
    QList<int> random;
    QRandomGenerator gen(42);
    for (int i = 1; i <= 2000; ++i)
        if (gen.bounded(3) == 0)
            random << i;
    QTest::newRow("random third of 2000") << 2000 << random << 777;
}

void TestClipListView::removeSelectedMatchesOneAtATime() {
    QFETCH(int, rows);
    QFETCH(QList<int>, selected);
    QFETCH(int, currentIndex);
    ClipListModel model;
    int16_t ci = 0;
    model.setCurrentIndexField(&ci);
    QList<std::pair<int, bool>> reference; // id, selected
    for (int i = 1; i <= rows; ++i) {
        ClipRow row;
        row.texts[0] = QString::number(i);
        row.selected = selected.contains(i);
        QVERIFY(model.insertRow(i, std::move(row)));
        reference.append({i, selected.contains(i)});
    }
    // The rule, one row at a time from the top.
    int refCi = currentIndex;
    int i = 1;
    while (i <= reference.size()) {
        if (reference[i - 1].second) {
            reference.removeAt(i - 1);
            if (i <= refCi)
                --refCi;
        } else {
            ++i;
        }
    }
    ci = static_cast<int16_t>(currentIndex);
    QCOMPARE(model.removeSelected(), selected.size());
    QCOMPARE(model.count(), reference.size());
    for (int k = 1; k <= model.count(); ++k)
        QCOMPARE(model.text(k, 0), QString::number(reference[k - 1].first));
    QCOMPARE(int(ci), refCi);
    QCOMPARE(model.selectedCount(), 0);
}

void TestClipListView::dragDataCarriesSelectedLocations() {
    ClipListView view;
    fill(view, {"a", "b", "c"});
    view.ListItems().Item(2).setSubItems(7, "rel/dir/b.mp3");
    QVERIFY(!view.createDragData());
    view.ListItems().Item(3).setSelected(true);
    view.ListItems().Item(1).setSelected(true);
    view.ListItems().Item(2).setSelected(true);
    std::unique_ptr<QMimeData> data(view.createDragData());
    QVERIFY(data);
    QVERIFY(data->hasFormat("text/uri-list"));
    const QList<QUrl> urls = data->urls();
    QCOMPARE(urls.size(), 3);
    QCOMPARE(urls[0], QUrl::fromLocalFile("/music/a.mp3"));
    QCOMPARE(urls[1], QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel/dir/b.mp3")));
    QCOMPARE(urls[2], QUrl::fromLocalFile("/music/c.mp3"));
    QCOMPARE(
        data->data("text/uri-list"),
        QByteArray("file:///music/a.mp3\r\n") +
            QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel/dir/b.mp3")).toEncoded() +
            "\r\nfile:///music/c.mp3\r\n");
}

void TestClipListView::dropThroughTheViewport() {
    ClipListView view;
    view.setAcceptFileDrops(true);
    fill(view, {"a", "b", "c"});
    showView(view);
    QSignalSpy dropped(&view, &ClipListView::filesDropped);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/x/one.mp3"), QUrl("https://example.org/no.mp3"),
                  QUrl::fromLocalFile(QString::fromUtf8("/x/twö.mp3"))});
    QVERIFY(enterDrag(view, &data, centreOf(view, 2)));
    QDropEvent onRow(centreOf(view, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &onRow);
    QCOMPARE(dropped.count(), 1);
    QCOMPARE(dropped.at(0).at(0).toStringList(),
             QStringList({"/x/one.mp3", QString::fromUtf8("/x/twö.mp3")}));
    QCOMPARE(dropped.at(0).at(1).toInt(), 2);
    QVERIFY(onRow.isAccepted());
    QVERIFY(enterDrag(view, &data, centreOf(view, 2)));
    QDropEvent below(QPointF(10, view.viewport()->height() - 3), Qt::CopyAction, &data,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &below);
    QCOMPARE(dropped.count(), 2);
    QCOMPARE(dropped.at(1).at(1).toInt(), 4);
}

void TestClipListView::dragOverSelectsRowUnderPointer() {
    ClipListView view;
    view.setAcceptFileDrops(true);
    showView(view);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/x/one.mp3")});
    QVERIFY(enterDrag(view, &data, QPoint(10, 10)));
    QDragMoveEvent overEmpty(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &overEmpty);
    QCOMPARE(view.SelectedItem(), 0);

    fill(view, {"a", "b", "c", "d"});
    view.setSelectedItem(1);
    view.setSelectedItem(4);
    QDragMoveEvent overRow(centreOf(view, 3), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &overRow);
    QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({3}));
    QVERIFY(view.MultiSelect());
    QCOMPARE(view.DropHighlight(), 0);
    QVERIFY(overRow.isAccepted());
    QDragMoveEvent overNothing(QPoint(10, view.viewport()->height() - 3), Qt::CopyAction, &data,
                               Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &overNothing);
    QCOMPARE(view.SelectedItem(), 0);
}

void TestClipListView::nonFileDataIsRefused() {
    ClipListView view;
    view.setAcceptFileDrops(true);
    fill(view, {"a"});
    showView(view);
    QSignalSpy dropped(&view, &ClipListView::filesDropped);
    QMimeData text;
    text.setText("/x/one.mp3");
    // Refused at the enter: the drag never reaches a drop on this list.
    QVERIFY(!enterDrag(view, &text, centreOf(view, 1)));
    QMimeData web;
    web.setUrls({QUrl("https://example.org/a.mp3")});
    QVERIFY(enterDrag(view, &web, centreOf(view, 1)));
    QDropEvent drop2(centreOf(view, 1), Qt::CopyAction, &web, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &drop2);
    QVERIFY(!drop2.isAccepted());
    QCOMPARE(dropped.count(), 0);
    QCOMPARE(view.ListItems().Count(), 1);
}

void TestClipListView::dragNearEdgesScrolls() {
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
    for (int i = 0; i < 5; ++i) {
        QDragMoveEvent move(bottom, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &move);
    }
    const int scrolled = bar->value();
    QVERIFY(scrolled > 0);
    const QPoint middle(40, view.viewport()->height() / 2);
    QDragMoveEvent still(middle, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &still);
    QCOMPARE(bar->value(), scrolled);
    QDragMoveEvent top(QPoint(40, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &top);
    QVERIFY(bar->value() < scrolled);
    // The row under the pointer after scrolling is the one selected.
    QCOMPARE(view.SelectedItem(), view.HitTest(QPoint(40, 1)));
}

QTEST_MAIN(TestClipListView)
#include "tst_cliplistview.moc"
