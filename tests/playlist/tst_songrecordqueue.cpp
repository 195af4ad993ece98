// Rows read on worker threads come back whole and in the order their files were added.

#include "playlist/songrecordqueue.h"

#include <QTest>
#include <QThread>

using namespace volaro::playlist;

class TestSongRecordQueue : public QObject {
    Q_OBJECT

private slots:
    void rowsInOrderOfAdding() {
        // Names only: a file that cannot be read is still a row, titled after its name.
        SongRecordQueue queue;
        QStringList added, taken;
        const auto take = [&] {
            for (const ClipRow& row : queue.takeReady())
                taken << row.texts[ClipListModel::ColLocation];
        };
        for (int i = 0; i < 1000; ++i) {
            added << QStringLiteral("/nowhere/%1.mp3").arg(i);
            queue.add(added.last());
            if (i % 97 == 0)
                take(); // some while reads are running, some of them part batches
        }
        QCOMPARE(queue.pending(), 1000 - taken.size());
        while (queue.unread() > 0)
            queue.wait(100);
        take();
        QCOMPARE(taken, added);
        QCOMPARE(queue.pending(), 0);

        // A part batch is read as soon as rows are asked for: a walk that finds few files
        // shows them while it goes on.
        queue.add(added.first());
        QList<ClipRow> rows;
        for (int tries = 0; rows.isEmpty() && tries < 500; ++tries, QThread::msleep(10))
            rows = queue.takeReady();
        QCOMPARE(rows.size(), 1);

        // What is not taken yet goes with clear().
        for (int i = 0; i < 40; ++i)
            queue.add(added.at(i));
        queue.clear();
        QCOMPARE(queue.pending(), 0);
        QVERIFY(queue.takeReady().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSongRecordQueue)
#include "tst_songrecordqueue.moc"
