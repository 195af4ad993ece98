// The list view both windows use: selection by pointer and keys, hit test, sorting with
// the playing row, bulk deletion against the one-at-a-time rule, and the drag data it
// produces and accepts.

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
        addRow(view.clipModel(), n, "/music/" + n + ".mp3");
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
    void hugeTextsAreShownShortened() {
        ClipListView view;
        const QString huge(2 * 1024 * 1024, u'z');
        ClipListModel& m = view.clipModel();
        addRow(m, huge, huge);
        // The row keeps the whole text (it is the song's identity); the view draws a prefix.
        QCOMPARE(m.text(1, ClipListModel::ColLocation), huge);
        const QString shown = m.data(m.index(0, 7)).toString();
        QCOMPARE(shown.size(), ClipListModel::MaxShownChars + 1);
        QVERIFY(huge.startsWith(shown.chopped(1)));
        QCOMPARE(m.data(m.index(0, 0), Qt::EditRole).toString(), huge);
        m.setText(1, 0, "short");
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
        view.clipModel().setSelected(1, true);
        view.clipModel().setSelected(4, false);
        QCOMPARE(view.SelectedItem(), 1); // focus row no longer selected: first selected row
        view.clipModel().setSelected(1, false);
        QCOMPARE(view.SelectedItem(), 0);
    }

    void pointerKeysAndHitTest() {
        ClipListView view;
        showView(view);
        QCOMPARE(view.HitTest(QPoint(10, 10)), 0);
        fill(view, {"a", "b", "c", "d", "e"});
        QCOMPARE(view.HitTest(centreOf(view, 3)), 3);
        QCOMPARE(view.HitTest(belowRows(view)), 0);
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

    void sortingKeepsThePlayingRow() {
        ClipListView view;
        ClipListModel& list = view.clipModel();
        fill(view, {"b", "B2", "a", "c", "A"});
        QSignalSpy moved(&list, &ClipListModel::playingRowChanged);
        list.setPlayingRow(4); // "c"
        view.setSelectedItem(2);
        list.sortBy(ClipListModel::ColTitle, Qt::AscendingOrder);
        // Case is ignored; equal texts keep their order ("a" came before "A").
        QCOMPARE(column(list), QStringList({"a", "A", "b", "B2", "c"}));
        QCOMPARE(list.playingRow(), 5);
        QCOMPARE(moved.last().at(0).toInt(), 5);
        QCOMPARE(view.SelectedItem(), 4); // the selection and the focus move with their row
        QCOMPARE(view.currentIndex().row(), 3);
        list.sortBy(ClipListModel::ColTitle, Qt::DescendingOrder);
        QCOMPARE(column(list), QStringList({"c", "B2", "b", "a", "A"}));
        QCOMPARE(list.playingRow(), 1);
        // Rows added afterwards keep the position they are given.
        ClipRow first;
        first.texts[0] = "zz";
        list.insertRow(1, first);
        QCOMPARE(list.text(1, 0), QString("zz"));
        QCOMPARE(list.playingRow(), 2);
        list.clear();
        QCOMPARE(list.playingRow(), 0);
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
        model.setPlayingRow(currentIndex);
        QCOMPARE(model.removeSelected(), selected.size());
        QCOMPARE(column(model), reference);
        QCOMPARE(model.playingRow(), refCi);
        QCOMPARE(model.selectedCount(), 0);
    }

    void dragDataCarriesSelectedLocations() {
        ClipListView view;
        fill(view, {"a", "b", "c"});
        view.clipModel().setText(2, ClipListModel::ColLocation, "rel/dir/b.mp3");
        QVERIFY(!view.createDragData());
        for (int i : {3, 1, 2})
            view.clipModel().setSelected(i, true);
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
        // Dragging over a row selects only that row (multi-select stays on).
        QVERIFY(dropOn(view, &data, centreOf(view, 2)));
        QCOMPARE(view.clipModel().selectedIndexes(), QList<int>({2}));
        QVERIFY(view.MultiSelect());
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
        QCOMPARE(view.clipModel().count(), 3);
    }

    void dragNearEdgesScrolls() {
        ClipListView view;
        view.setAcceptFileDrops(true);
        for (int i = 0; i < 300; ++i)
            addRow(view.clipModel(), QString::number(i + 1));
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
