// Editing the playlist through the real view offscreen: drops of real url lists, deleting
// selected rows, clearing, header sorts and random order, each keeping the playing row on
// its song. The plain drop, delete and sort scenarios run through the whole window in
// tests/app; these cover the rules' edges.

#include "playlistedit.h"
#include "playlisttest.h"
#include "tagfixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace volaro::fixtures;

namespace {

// A playlist window's list, accepting drops.
struct Playlist {
    ClipListView view;
    Recorder progress;
    explicit Playlist(const QStringList& names = {}) {
        AcceptPlaylistDrops(view, &progress);
        view.setupColumns();
        view.resize(700, 400);
        view.show();
        for (const QString& n : names)
            OpenFile("/songs/" + n + ".mp3", false, 0, view.clipModel());
    }
    ClipListModel& model() { return view.clipModel(); }
    QStringList titles() { return column(model()); }
    bool drop(const QStringList& files, int row) {
        return dropOn(view, fileUrls(files), centreOf(view, row));
    }
    void select(const QList<int>& rows) {
        model().setAllSelected(false);
        for (int r : rows)
            model().setSelected(r, true);
    }
};

} // namespace

class TestPlaylistEdit : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_songs; // two tagged files
private slots:
    void initTestCase() {
        for (const char* t : {"Drop One", "Drop Two"}) {
            const QString p = m_dir.filePath(QString(t).replace(' ', '_') + ".mp3");
            QVERIFY(writeTaggedSong(p, {t, "Dropper", "", "", "", 2020}, TagKind::Id3v24Utf8));
            m_songs << p;
        }
    }

    void dragRowsOntoTheListAddsCopies() {
        Playlist pl({"r1", "r2", "r3"});
        pl.select({1, 3});
        std::unique_ptr<QMimeData> data(pl.view.createDragData());
        QVERIFY(data);
        QVERIFY(dropOn(pl.view, data.get(), centreOf(pl.view, 2)));
        QCOMPARE(pl.titles(), QStringList({"r1", "r1", "r3", "r2", "r3"}));
        QCOMPARE(pl.model().text(2, 7), QString("/songs/r1.mp3"));
    }

    void droppedListFileIsAppended() {
        Playlist pl({"r1", "r2", "r3"});
        const QString list = m_dir.filePath("dropped.M3U");
        QVERIFY(writeBytes(list, "/l/x.mp3\r\n/l/y.mp3\r\n"));
        pl.model().setPlayingRow(3);
        // [song, list, song] on row 2: the songs take positions 2 and 4 (position + i - 1).
        QVERIFY(pl.drop({m_songs[0], list, m_songs[1]}, 2));
        QCOMPARE(pl.titles(), QStringList({"r1", "Drop One", "r2", "Drop Two", "r3", "x", "y"}));
        QCOMPARE(pl.model().playingRow(), 5);
        QCOMPARE(pl.model().text(2, 7), m_songs[0]);
        QCOMPARE(pl.model().text(4, 2), QString("Dropper"));
        for (const QString& s : {m_songs[0], m_songs[1], list}) // the dropped files were only read
            QVERIFY(QFile::exists(s));
        QVERIFY(pl.progress.events.contains("s2"));
        QCOMPARE(pl.progress.events.last(), QString("web"));
        // Other data adds nothing and leaves the status panel alone.
        pl.progress.events.clear();
        QMimeData text;
        text.setText(m_songs[0]);
        QVERIFY(!dropOn(pl.view, &text, centreOf(pl.view, 1)));
        QCOMPARE(pl.model().count(), 7);
        QVERIFY(pl.progress.events.isEmpty());
    }

    void headerSortsFollowLastColumnAndOrder() {
        Playlist pl({"b", "d", "a", "c"});
        const QStringList artists = {"Zed", "Amy", "Moe", "Bob"};
        for (int i = 1; i <= 4; ++i)
            pl.model().setText(i, 2, artists[i - 1]);
        pl.model().setPlayingRow(2); // "d" plays
        HeaderSort sort;
        sort.click(pl.model(), 1); // Title: ascending
        QCOMPARE(pl.titles(), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(pl.model().playingRow(), 4);
        sort.click(pl.model(), 1); // Title again: descending
        QCOMPARE(pl.titles(), QStringList({"d", "c", "b", "a"}));
        QCOMPARE(pl.model().playingRow(), 1);
        sort.click(pl.model(), 3); // Artist keeps descending
        QCOMPARE(column(pl.model(), 2), QStringList({"Zed", "Moe", "Bob", "Amy"}));
        QCOMPARE(pl.model().text(pl.model().playingRow(), 0), QString("d"));
        // Nothing playing: the sort still runs and CurrentIndex stays 0.
        pl.model().setPlayingRow(0);
        sort.click(pl.model(), 3);
        QCOMPARE(column(pl.model(), 2), QStringList({"Amy", "Bob", "Moe", "Zed"}));
        QCOMPARE(pl.model().playingRow(), 0);
    }

    void randomOrder() {
        Playlist pl;
        int draws = 0;
        RandomOrder(pl.model(), [&] { return ++draws, 0.75; });
        QCOMPARE(draws, 0);
        OpenFile("/songs/only.mp3", false, 0, pl.model());
        pl.model().setPlayingRow(1);
        RandomOrder(pl.model(), [&] { return ++draws, 0.75; });
        QCOMPARE(draws, 1);
        QCOMPARE(pl.model().text(1, 8), QString("000001"));
        QCOMPARE(pl.model().playingRow(), 1);
        for (const char* n : {"/songs/r2.mp3", "/songs/r3.mp3", "/songs/r4.mp3"})
            OpenFile(n, false, 0, pl.model());
        const QList<double> sequence = {0.9, 0.1, 0.5, 0.1};
        int next = 0;
        RandomOrder(pl.model(), [&] { return sequence[next++]; });
        QCOMPARE(next, 4);
        // Azar 4, 1, 3, 1: ascending, equal keys keep their order.
        QCOMPARE(pl.titles(), QStringList({"r2", "r4", "r3", "only"}));
        QCOMPARE(column(pl.model(), 8), QStringList({"000001", "000001", "000003", "000004"}));
        QCOMPARE(pl.model().playingRow(), 4);
        // Large lists still get at least six digits, more when needed.
        Playlist big;
        for (int i = 0; i < 1200; ++i)
            big.model().insertRow(i + 1, ClipRow{});
        RandomOrder(big.model(), [] { return 0.9999; });
        QCOMPARE(big.model().text(1, 8), QString("001200"));
    }
};

QTEST_MAIN(TestPlaylistEdit)
#include "tst_playlistedit.moc"
