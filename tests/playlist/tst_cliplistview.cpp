// The list view both windows use: selection, sorting, deletion, drags and the editing edges.

#include "playlist/playlistedit.h"
#include "support/playlisttest.h"
#include "support/tagfixtures.h"

#include <QDir>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;
using namespace volaro::playlist;

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

// A playlist window's list, accepting drops.
struct Playlist {
    ClipListView view;
    Recorder progress;
    explicit Playlist(const QStringList& names = {}) {
        AcceptPlaylistDrops(view, &progress);
        showView(view);
        for (const QString& n : names)
            OpenFile("/songs/" + n + ".mp3", false, 0, view.clipModel());
    }
    ClipListModel& model() { return view.clipModel(); }
    QStringList titles() { return column(model()); }
};

} // namespace

class TestClipListView : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
private slots:
    void selectionPointerKeysAndSignals() {
        ClipListView view;
        showView(view);
        fill(view, {"a", "b", "c", "d", "e"});
        ClipListModel& m = view.clipModel();
        view.setSelectedItem(2);
        view.setSelectedItem(4);
        view.setMultiSelect(false); // narrows to the focus row
        QCOMPARE(m.selectedIndexes(), QList<int>({4}));
        view.setMultiSelect(true);
        m.setSelected(1, true);
        m.setSelected(4, false);
        QCOMPARE(view.SelectedItem(), 1); // focus row no longer selected: first selected row
        m.setSelected(1, false);
        QCOMPARE(view.SelectedItem(), 0);

        QCOMPARE(view.HitTest(belowRows(view)), 0);
        QWidget* vp = view.viewport();
        const auto click = [&](Qt::KeyboardModifiers mods, int row) {
            QTest::mouseClick(vp, Qt::LeftButton, mods,
                              row ? centreOf(view, row) : belowRows(view));
        };
        click({}, 2);
        click(Qt::ControlModifier, 4);
        QCOMPARE(m.selectedIndexes(), QList<int>({2, 4}));
        QCOMPARE(view.SelectedItem(), 4);
        click(Qt::ShiftModifier, 1);
        QCOMPARE(m.selectedIndexes(), QList<int>({1, 2, 3, 4}));
        click({}, 3); // a plain click on a selected row narrows to it
        QCOMPARE(m.selectedIndexes(), QList<int>({3}));
        click({}, 0); // below the rows: nothing selected
        QCOMPARE(view.SelectedItem(), 0);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_End);
        QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(m.selectedIndexes(), QList<int>({4, 5}));
        view.setMultiSelect(false);
        click(Qt::ControlModifier, 5);
        QCOMPARE(m.selectedIndexes(), QList<int>({5}));
        view.setMultiSelect(true);

        QSignalSpy enter(&view, &ClipListView::enterPressed);
        QSignalSpy right(&view, &ClipListView::rightButtonReleased);
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClick(&view, Qt::Key_Enter);
        QCOMPARE(enter.count(), 2);
        QTest::mouseClick(vp, Qt::RightButton, {}, centreOf(view, 1));
        QTest::mouseClick(vp, Qt::MiddleButton, {}, centreOf(view, 1));
        QCOMPARE(std::pair(right.count(), view.SelectedItem()), std::pair(qsizetype(1), 1));

        // A huge row keeps the whole text (the song's identity); the view draws a prefix.
        const QString huge(2 * 1024 * 1024, u'z');
        addRow(m, huge, huge);
        QCOMPARE(m.text(6, ClipListModel::ColLocation), huge);
        QCOMPARE(m.data(m.index(5, 7)).toString(),
                 huge.left(ClipListModel::MaxShownChars) + QChar(0x2026));
        QCOMPARE(m.data(m.index(5, 0), Qt::EditRole).toString(), huge);
        QVERIFY(!view.grab().isNull()); // drawing it finishes
    }

    void sortingKeepsThePlayingRow() {
        ClipListView view;
        ClipListModel& list = view.clipModel();
        fill(view, {"b", "B2", "a", "c", "A"});
        for (int i = 1; i <= 5; ++i)
            list.setText(i, 2, QStringList({"Zed", "Amy", "Moe", "Bob", "Kim"})[i - 1]);
        QSignalSpy moved(&list, &ClipListModel::playingRowChanged);
        list.setPlayingRow(4); // "c"
        view.setSelectedItem(2);
        list.sortBy(ClipListModel::ColTitle, Qt::AscendingOrder);
        // Case is ignored; equal texts keep their order ("a" came before "A").
        QCOMPARE(column(list), QStringList({"a", "A", "b", "B2", "c"}));
        QCOMPARE(QList<int>({list.playingRow(), moved.last().at(0).toInt(), view.SelectedItem(),
                             view.currentIndex().row()}),
                 QList<int>({5, 5, 4, 3})); // the selection and the focus move with their row too
        // Header clicks: the same column again reverses, another column keeps the order.
        HeaderSort sort;
        sort.click(list, 1);
        sort.click(list, 1);
        QCOMPARE(column(list), QStringList({"c", "B2", "b", "a", "A"}));
        QCOMPARE(list.playingRow(), 1);
        sort.click(list, 3);
        QCOMPARE(column(list, 2), QStringList({"Zed", "Moe", "Kim", "Bob", "Amy"}));
        QCOMPARE(list.text(list.playingRow(), 0), QString("c"));
        // Nothing playing: the sort still runs and CurrentIndex stays 0.
        list.setPlayingRow(0);
        sort.click(list, 3);
        QCOMPARE(column(list, 2), QStringList({"Amy", "Bob", "Kim", "Moe", "Zed"}));
        QCOMPARE(list.playingRow(), 0);
        // Every column sorts as text, the seconds of TotLength too.
        list.setText(1, ClipListModel::ColTotLength, "99");
        list.setText(2, ClipListModel::ColTotLength, "100");
        sort.click(list, ClipListModel::ColTotLength + 1);
        QCOMPARE(column(list, ClipListModel::ColTotLength), QStringList({"", "", "", "100", "99"}));
    }

    void randomOrder() {
        ClipListModel m;
        int draws = 0;
        RandomOrder(m, [&] { return ++draws, 0.75; });
        QCOMPARE(draws, 0);
        OpenFile("/songs/only.mp3", false, 0, m);
        m.setPlayingRow(1);
        RandomOrder(m, [&] { return ++draws, 0.75; });
        QCOMPARE(std::tuple(draws, m.text(1, 8), m.playingRow()),
                 std::tuple(1, QString("000001"), 1));
        for (const char* n : {"/songs/r2.mp3", "/songs/r3.mp3", "/songs/r4.mp3"})
            OpenFile(n, false, 0, m);
        const QList<double> sequence = {0.9, 0.1, 0.5, 0.1};
        int next = 0;
        RandomOrder(m, [&] { return sequence[next++]; });
        QCOMPARE(next, 4);
        // Azar 4, 1, 3, 1: ascending, equal keys keep their order.
        QCOMPARE(column(m), QStringList({"r2", "r4", "r3", "only"}));
        QCOMPARE(column(m, 8), QStringList({"000001", "000001", "000003", "000004"}));
        QCOMPARE(m.playingRow(), 4);
        // Large lists still get at least six digits, more when needed.
        for (int i = 4; i < 1200; ++i)
            m.insertRow(i + 1, ClipRow{});
        RandomOrder(m, [] { return 0.9999; });
        QCOMPARE(m.text(1, 8), QString("001200"));
    }

    void removeSelectedMatchesOneAtATime() {
        QList<int> random;
        QRandomGenerator gen(42);
        for (int i = 1; i <= 2000; ++i)
            if (gen.bounded(3) == 0)
                random << i;
        // Rows, selected rows, CurrentIndex: the playing row itself, stopped at -1, all, many.
        const std::tuple<int, QList<int>, int> cases[] = {
            {6, {4}, 4}, {3, {1}, -1}, {4, {1, 2, 3, 4}, 2}, {2000, random, 777}};
        for (const auto& [rows, selected, currentIndex] : cases) {
            ClipListModel model;
            // As if removed one at a time: each removal at or above the playing row moves it up.
            QStringList kept;
            int keptCi = currentIndex;
            for (int i = 1; i <= rows; ++i) {
                QVERIFY(addRow(model, QString::number(i)));
                model.setSelected(i, selected.contains(i));
                if (!selected.contains(i))
                    kept << QString::number(i);
                else if (i <= currentIndex)
                    --keptCi;
            }
            model.setPlayingRow(currentIndex);
            QCOMPARE(model.removeSelected(), selected.size());
            QCOMPARE(column(model), kept);
            QCOMPARE(model.playingRow(), keptCi);
            QCOMPARE(model.selectedCount(), 0);
        }
    }

    void dragDataCarriesSelectedLocations() {
        Playlist pl({"a", "b", "c"});
        pl.model().setText(2, ClipListModel::ColLocation, "rel/dir/b.mp3");
        QVERIFY(!pl.view.createDragData());
        for (int i : {3, 1, 2}) // in list order, whatever the order they were picked in
            pl.model().setSelected(i, true);
        std::unique_ptr<QMimeData> data(pl.view.createDragData());
        QVERIFY(data);
        const QUrl a = QUrl::fromLocalFile("/songs/a.mp3"), c = QUrl::fromLocalFile("/songs/c.mp3");
        const QUrl rel = QUrl::fromLocalFile(QDir::current().absoluteFilePath("rel/dir/b.mp3"));
        QCOMPARE(data->urls(), QList<QUrl>({a, rel, c}));
        // Dropped on the list itself, the rows are added again as copies.
        QVERIFY(dropOn(pl.view, data.get(), centreOf(pl.view, 2)));
        QCOMPARE(pl.titles(), QStringList({"a", "a", "b", "c", "b", "c"}));
    }

    void dropsReportLocalFilesAndScroll() {
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
        QCOMPARE(dropped.at(0),
                 QVariantList({QStringList({"/x/one.mp3", QString::fromUtf8("/x/twö.mp3")}), 2}));
        QVERIFY(dropOn(view, &data, belowRows(view)));
        QCOMPARE(std::pair(dropped.at(1).at(1).toInt(), view.SelectedItem()), std::pair(4, 0));
        // Plain text is refused at the enter; web urls alone are not taken.
        QMimeData text;
        text.setText("/x/one.mp3");
        QVERIFY(!drag<QDragEnterEvent>(view, &text, centreOf(view, 1)));
        QVERIFY(!dropOn(view, QStringList{"https://example.org/a.mp3"}, centreOf(view, 1)));
        QCOMPARE(dropped.count(), 2);

        // Dragging near the edges of a long list scrolls it.
        for (int i = 4; i <= 300; ++i)
            addRow(view.clipModel(), QString::number(i));
        QScrollBar* bar = view.verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        const QPoint bottom(40, view.viewport()->height() - 2);
        QVERIFY(drag<QDragEnterEvent>(view, &data, bottom));
        for (int i = 0; i < 5; ++i)
            drag<QDragMoveEvent>(view, &data, bottom);
        const int scrolled = bar->value();
        QVERIFY(scrolled > 0);
        drag<QDragMoveEvent>(view, &data, QPoint(40, view.viewport()->height() / 2));
        QCOMPARE(bar->value(), scrolled);
        drag<QDragMoveEvent>(view, &data, QPoint(40, 1));
        QVERIFY(bar->value() < scrolled);
        // The row under the pointer after scrolling is the one selected.
        QCOMPARE(view.SelectedItem(), view.HitTest(QPoint(40, 1)));
    }

    void droppedListFileIsAppended() {
        QStringList songs;
        for (const char* t : {"Drop One", "Drop Two"}) {
            songs << m_dir.filePath(QString(t).replace(' ', '_') + ".mp3");
            QVERIFY(writeTaggedSong(songs.last(), {t, "Dropper", "", "", "", 2020},
                                    TagKind::Id3v24Utf8));
        }
        Playlist pl({"r1", "r2", "r3"});
        const QString list = m_dir.filePath("dropped.M3U");
        QVERIFY(writeBytes(list, "/l/x.mp3\r\n/l/y.mp3\r\n"));
        pl.model().setPlayingRow(3);
        // [song, list, song] on row 2: the songs take positions 2 and 4 (position + i - 1).
        QVERIFY(dropOn(pl.view, QStringList{songs[0], list, songs[1]}, centreOf(pl.view, 2)));
        QCOMPARE(pl.titles(), QStringList({"r1", "Drop One", "r2", "Drop Two", "r3", "x", "y"}));
        QCOMPARE(pl.model().playingRow(), 5);
        QVERIFY(pl.progress.events.contains("s2"));
        QCOMPARE(pl.progress.events.last(), QString("web"));
    }
};

QTEST_MAIN(TestClipListView)
#include "tst_cliplistview.moc"
