// Editing the playlist through the real view offscreen: drops of real url lists, deleting
// selected rows, clearing, header sorts and random order, each keeping CurrentIndex on the
// playing song.

#include "cliplistview.h"
#include "fixtures.h"
#include "playlistedit.h"
#include "playlistfile.h"
#include "tagfixtures.h"

#include <QApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;

namespace {

class Recorder : public ListProgress {
public:
    QStringList events;
    void setProgress(int percent) override { events << QString("p%1").arg(percent); }
    void setStatusText(const QString& text) override { events << "s" + text; }
    void showWebAddress() override { events << "web"; }
};

QStringList titles(const ClipListModel& m) {
    QStringList out;
    for (int i = 1; i <= m.count(); ++i)
        out << m.text(i, 0);
    return out;
}

QStringList column(const ClipListModel& m, int c) {
    QStringList out;
    for (int i = 1; i <= m.count(); ++i)
        out << m.text(i, c);
    return out;
}

// A playlist window's list: bound to CurrentIndex, accepting drops.
struct Playlist {
    ClipListView view;
    int16_t currentIndex = 0;
    Recorder progress;
    Playlist() {
        view.setCurrentIndexField(&currentIndex);
        AcceptPlaylistDrops(view, &progress);
        view.setupColumns();
        view.resize(700, 400);
        view.show();
    }
    ClipListModel& model() { return view.clipModel(); }
    void add(const QStringList& names) {
        for (const QString& n : names)
            OpenFile("/songs/" + n + ".mp3", false, 0, view);
    }
    QPoint rowCentre(int row) { return view.visualRect(model().index(row - 1, 0)).center(); }
    QPoint belowRows() { return QPoint(10, view.viewport()->height() - 3); }
    bool drop(const QList<QUrl>& urls, const QPoint& pos) {
        QMimeData data;
        data.setUrls(urls);
        return drop(&data, pos);
    }
    bool drop(QMimeData* data, const QPoint& pos) {
        QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &enter);
        if (!enter.isAccepted())
            return false; // a refused drag never gets a move or a drop
        QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &move);
        QDropEvent drop(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.viewport(), &drop);
        return drop.isAccepted();
    }
    void select(const QList<int>& rows) {
        model().setAllSelected(false);
        for (int r : rows)
            model().setSelected(r, true);
    }
};

QList<QUrl> urls(const QStringList& paths) {
    QList<QUrl> out;
    for (const QString& p : paths)
        out << QUrl::fromLocalFile(p);
    return out;
}

} // namespace

class TestPlaylistEdit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dropThreeFilesOnRowTwo();
    void dropBeforePlayingRowMovesCurrentIndex();
    void dropOnEmptyListOrBelowRowsAppends();
    void dragRowsOntoTheListAddsCopies();
    void droppedListFileIsAppended();
    void dropOfOtherDataAddsNothing();
    void deleteSelectedRows_data();
    void deleteSelectedRows();
    void clearList();
    void headerSortsFollowLastColumnAndOrder();
    void totLengthSortsAsText();
    void randomOrderOnEmptyAndSingleRow();
    void randomOrderKeepsPlayingSong();

private:
    QTemporaryDir m_dir;
    QStringList m_songs; // three tagged files
};

void TestPlaylistEdit::initTestCase() {
    QVERIFY(m_dir.isValid());
    for (const char* t : {"Drop One", "Drop Two", "Drop Three"}) {
        const QString p = m_dir.filePath(QString(t).replace(' ', '_') + ".mp3");
        QVERIFY(writeTaggedSong(p, {t, "Dropper", "", "", "", 2020}, TagKind::Id3v24Utf8));
        m_songs << p;
    }
}

void TestPlaylistEdit::dropThreeFilesOnRowTwo() {
    Playlist pl;
    pl.add({"r1", "r2", "r3", "r4", "r5"});
    QVERIFY(pl.drop(urls(m_songs), pl.rowCentre(2)));
    QCOMPARE(titles(pl.model()),
             QStringList({"r1", "Drop One", "Drop Two", "Drop Three", "r2", "r3", "r4", "r5"}));
    QCOMPARE(pl.model().text(2, 7), m_songs[0]);
    QCOMPARE(pl.model().text(3, 2), QString("Dropper"));
    QCOMPARE(pl.progress.events.last(), QString("web"));
    // The dropped files were only read.
    for (const QString& s : m_songs)
        QVERIFY(QFile::exists(s));
}

void TestPlaylistEdit::dropBeforePlayingRowMovesCurrentIndex() {
    Playlist pl;
    pl.add({"r1", "r2", "r3", "r4", "r5"});
    pl.currentIndex = 4;
    QVERIFY(pl.drop(urls(m_songs.mid(0, 2)), pl.rowCentre(3)));
    QCOMPARE(pl.currentIndex, int16_t(6));
    QCOMPARE(pl.model().text(6, 0), QString("r4"));
    // Dropping after the playing row leaves it.
    QVERIFY(pl.drop(urls(m_songs.mid(2, 1)), pl.rowCentre(7)));
    QCOMPARE(pl.currentIndex, int16_t(6));
}

void TestPlaylistEdit::dropOnEmptyListOrBelowRowsAppends() {
    Playlist pl;
    QVERIFY(pl.drop(urls(m_songs.mid(0, 1)), pl.rowCentre(1)));
    QCOMPARE(titles(pl.model()), QStringList{"Drop One"});
    pl.add({"r2"});
    QVERIFY(pl.drop(urls(m_songs.mid(1, 2)), pl.belowRows()));
    QCOMPARE(titles(pl.model()), QStringList({"Drop One", "r2", "Drop Two", "Drop Three"}));
}

void TestPlaylistEdit::dragRowsOntoTheListAddsCopies() {
    Playlist pl;
    pl.add({"r1", "r2", "r3"});
    pl.select({1, 3});
    std::unique_ptr<QMimeData> data(pl.view.createDragData());
    QVERIFY(data);
    QVERIFY(pl.drop(data.get(), pl.rowCentre(2)));
    QCOMPARE(titles(pl.model()), QStringList({"r1", "r1", "r3", "r2", "r3"}));
    QCOMPARE(pl.model().text(2, 7), QString("/songs/r1.mp3"));
}

void TestPlaylistEdit::droppedListFileIsAppended() {
    Playlist pl;
    pl.add({"r1", "r2", "r3"});
    const QString list = m_dir.filePath("dropped.M3U");
    QVERIFY(writeBytes(list, "/l/x.mp3\r\n/l/y.mp3\r\n"));
    pl.currentIndex = 3;
    // [song, list, song] on row 2: the songs take positions 2 and 4 (position + i - 1).
    QVERIFY(pl.drop(urls({m_songs[0], list, m_songs[1]}), pl.rowCentre(2)));
    QCOMPARE(titles(pl.model()), QStringList({"r1", "Drop One", "r2", "Drop Two", "r3", "x", "y"}));
    QCOMPARE(pl.currentIndex, int16_t(5));
    QCOMPARE(pl.model().text(5, 0), QString("r3"));
    QVERIFY(pl.progress.events.contains("s2"));
    QCOMPARE(pl.progress.events.last(), QString("web"));
}

void TestPlaylistEdit::dropOfOtherDataAddsNothing() {
    Playlist pl;
    pl.add({"r1"});
    QMimeData text;
    text.setText(m_songs[0]);
    QVERIFY(!pl.drop(&text, pl.rowCentre(1)));
    QCOMPARE(pl.model().count(), 1);
    QVERIFY(pl.progress.events.isEmpty()); // panel 2 untouched
}

void TestPlaylistEdit::deleteSelectedRows_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("playing row 4") << 4 << 2;
    QTest::newRow("playing row 3, deleted") << 3 << 1;
    QTest::newRow("playing row 6") << 6 << 3;
    QTest::newRow("nothing playing") << 0 << 0;
}

void TestPlaylistEdit::deleteSelectedRows() {
    QFETCH(int, before);
    QFETCH(int, after);
    Playlist pl;
    pl.add({"1", "2", "3", "4", "5", "6"});
    pl.currentIndex = static_cast<int16_t>(before);
    pl.select({2, 3, 5});
    DeleteSelectedItems(pl.view.clipModel());
    QCOMPARE(titles(pl.model()), QStringList({"1", "4", "6"}));
    QCOMPARE(int(pl.currentIndex), after);
    QCOMPARE(pl.view.SelectedItem(), 0);
    DeleteSelectedItems(pl.view.clipModel()); // nothing selected: nothing happens
    QCOMPARE(pl.model().count(), 3);
}

void TestPlaylistEdit::clearList() {
    Playlist pl;
    pl.add({"1", "2"});
    pl.currentIndex = 2;
    ClearList(pl.model());
    QCOMPARE(pl.model().count(), 0);
    QCOMPARE(pl.currentIndex, int16_t(0));
}

void TestPlaylistEdit::headerSortsFollowLastColumnAndOrder() {
    Playlist pl;
    pl.add({"b", "d", "a", "c"});
    const QStringList artists = {"Zed", "Amy", "Moe", "Bob"};
    for (int i = 1; i <= 4; ++i)
        pl.model().setText(i, 2, artists[i - 1]);
    pl.currentIndex = 2; // "d" plays
    int16_t lastColumn = 0;
    int32_t lastOrder = 0;
    SortByHeader(pl.model(), 1, lastColumn, lastOrder); // Title: ascending
    QCOMPARE(titles(pl.model()), QStringList({"a", "b", "c", "d"}));
    QCOMPARE(lastColumn, int16_t(1));
    QCOMPARE(lastOrder, 0);
    QCOMPARE(pl.currentIndex, int16_t(4));
    SortByHeader(pl.model(), 1, lastColumn, lastOrder); // Title again: descending
    QCOMPARE(titles(pl.model()), QStringList({"d", "c", "b", "a"}));
    QCOMPARE(lastOrder, 1);
    QCOMPARE(pl.currentIndex, int16_t(1));
    SortByHeader(pl.model(), 3, lastColumn, lastOrder); // Artist keeps descending
    QCOMPARE(column(pl.model(), 2), QStringList({"Zed", "Moe", "Bob", "Amy"}));
    QCOMPARE(lastColumn, int16_t(3));
    QCOMPARE(lastOrder, 1);
    QCOMPARE(pl.model().text(pl.currentIndex, 0), QString("d"));
    QVERIFY(!pl.view.ListItems().Item("kelpo"));
    QVERIFY(!pl.view.Sorted());
    // Nothing playing: the sort still runs and CurrentIndex stays 0.
    pl.currentIndex = 0;
    SortByHeader(pl.model(), 3, lastColumn, lastOrder);
    QCOMPARE(column(pl.model(), 2), QStringList({"Amy", "Bob", "Moe", "Zed"}));
    QCOMPARE(pl.currentIndex, int16_t(0));
}

void TestPlaylistEdit::totLengthSortsAsText() {
    Playlist pl;
    pl.add({"a", "b", "c"});
    pl.model().setText(1, 9, "99");
    pl.model().setText(2, 9, "100");
    pl.model().setText(3, 9, "5");
    int16_t lastColumn = 0;
    int32_t lastOrder = 0;
    SortByHeader(pl.model(), 10, lastColumn, lastOrder);
    QCOMPARE(column(pl.model(), 9), QStringList({"100", "5", "99"}));
}

void TestPlaylistEdit::randomOrderOnEmptyAndSingleRow() {
    Playlist pl;
    int draws = 0;
    auto rnd = [&] {
        ++draws;
        return 0.75;
    };
    RandomOrder(pl.model(), rnd);
    QCOMPARE(draws, 0);
    QCOMPARE(pl.model().count(), 0);
    pl.add({"only"});
    pl.currentIndex = 1;
    RandomOrder(pl.model(), rnd);
    QCOMPARE(draws, 1);
    QCOMPARE(pl.model().text(1, 8), QString("000001"));
    QCOMPARE(pl.currentIndex, int16_t(1));
}

void TestPlaylistEdit::randomOrderKeepsPlayingSong() {
    Playlist pl;
    pl.add({"r1", "r2", "r3", "r4"});
    pl.currentIndex = 1;
    const QList<double> sequence = {0.9, 0.1, 0.5, 0.1};
    int next = 0;
    RandomOrder(pl.model(), [&] { return sequence[next++]; });
    QCOMPARE(next, 4);
    // Azar 4, 1, 3, 1: ascending, equal keys keep their order.
    QCOMPARE(titles(pl.model()), QStringList({"r2", "r4", "r3", "r1"}));
    QCOMPARE(column(pl.model(), 8), QStringList({"000001", "000001", "000003", "000004"}));
    QCOMPARE(pl.currentIndex, int16_t(4));
    QVERIFY(!pl.view.ListItems().Item("kelpo"));
    // Large lists still get at least six digits, more when needed.
    Playlist big;
    for (int i = 0; i < 1200; ++i)
        big.model().insertRow(i + 1, ClipRow{});
    RandomOrder(big.model(), [] { return 0.9999; });
    QCOMPARE(big.model().text(1, 8), QString("001200"));
}

QTEST_MAIN(TestPlaylistEdit)
#include "tst_playlistedit.moc"
