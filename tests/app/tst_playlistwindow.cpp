// Editing the playlist in the real window (offscreen): drops of file urls, deleting,
// sorting by header, random order, and the total length with its cancel.

#include "cliplistview.h"
#include "fakedecks.h"
#include "fixtures.h"
#include "frmplayer.h"
#include "memorysettingsstore.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::playback;

class TestPlaylistWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dropInsertsBeforeTheRowUnderThePointer();
    void dropKeepsCurrentIndexOnThePlayingSong();
    void dropBelowTheRowsAppends();
    void deleteSelectedKeepsThePlayingSong_data();
    void deleteSelectedKeepsThePlayingSong();
    void clearDoesNotStopPlayback();
    void headerClicksSortAndKeepThePlayingSong();
    void totLengthSortsAsText();
    void randomOrder();

    void totalLengthFromStoredDurations_data();
    void totalLengthFromStoredDurations();
    void totalLengthMeasuresOnceAndHonoursTrims();
    void totalLengthCancelAfterTheSecondSong();
    void totalLengthEndsWhenTheListIsCleared();

private:
    void addRows(const QStringList& names);
    QStringList locations() const;
    QPoint rowPoint(int row) const;
    bool drop(const QStringList& paths, const QPoint& at);

    QTemporaryDir m_config;
    MemorySettingsStore* m_store = nullptr;
    FakeDeckBoard* m_board = nullptr;
    frmPlayer* m_window = nullptr;
};

void TestPlaylistWindow::initTestCase() {
    // The search window keeps its directory in the user's settings file.
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestPlaylistWindow::init() {
    m_store = new MemorySettingsStore;
    m_board = new FakeDeckBoard;
    m_window = new frmPlayer(*m_store, m_board->factory());
    m_window->Form_Load({QStringLiteral("volaro")});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestPlaylistWindow::cleanup() {
    m_window->close();
    delete m_window;
    delete m_board;
    delete m_store;
}

void TestPlaylistWindow::addRows(const QStringList& names) {
    for (const QString& n : names)
        OpenFile(QStringLiteral("/music/") + n + QStringLiteral(".mp3"), false, 0,
                 *m_window->ui().lstClipList);
}

QStringList TestPlaylistWindow::locations() const {
    const ClipListModel& m = m_window->ui().lstClipList->clipModel();
    QStringList out;
    for (int i = 1; i <= m.count(); ++i)
        out << m.text(i, 0);
    return out;
}

QPoint TestPlaylistWindow::rowPoint(int row) const {
    ClipListView* list = m_window->ui().lstClipList;
    return list->visualRect(list->model()->index(row - 1, 0)).center();
}

bool TestPlaylistWindow::drop(const QStringList& paths, const QPoint& at) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    return m_window->ui().lstClipList->dropAt(&data, at);
}

void TestPlaylistWindow::dropInsertsBeforeTheRowUnderThePointer() {
    addRows({"r1", "r2", "r3", "r4", "r5"});
    QVERIFY(drop({"/in/a.mp3", "/in/b.mp3", "/in/c.mp3"}, rowPoint(2)));
    QCOMPARE(locations(), QStringList({"r1", "a", "b", "c", "r2", "r3", "r4", "r5"}));
    QCOMPARE(m_window->ui().statusPanel2->text(), QStringLiteral("https://volaro.example/ "));

    // Data without a file list adds nothing.
    QMimeData text;
    text.setText(QStringLiteral("/in/d.mp3"));
    QVERIFY(!m_window->ui().lstClipList->dropAt(&text, rowPoint(1)));
    QCOMPARE(locations().size(), 8);
}

void TestPlaylistWindow::dropKeepsCurrentIndexOnThePlayingSong() {
    addRows({"r1", "r2", "r3", "r4", "r5"});
    m_window->engine().CurrentIndex = 4;
    QVERIFY(drop({"/in/a.mp3", "/in/b.mp3"}, rowPoint(3)));
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(6));
    QCOMPARE(locations().at(5), QStringLiteral("r4"));
}

void TestPlaylistWindow::dropBelowTheRowsAppends() {
    ClipListView* list = m_window->ui().lstClipList;
    QVERIFY(drop({"/in/a.mp3"}, QPoint(5, 5))); // empty list
    addRows({"r2"});
    QVERIFY(drop({"/in/c.mp3"}, QPoint(5, list->viewport()->height() - 2)));
    QCOMPARE(locations(), QStringList({"a", "r2", "c"}));
}

void TestPlaylistWindow::deleteSelectedKeepsThePlayingSong_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("playing row 4") << 4 << 2;
    QTest::newRow("playing row 3, deleted") << 3 << 1;
}

void TestPlaylistWindow::deleteSelectedKeepsThePlayingSong() {
    QFETCH(int, before);
    QFETCH(int, after);
    addRows({"r1", "r2", "r3", "r4", "r5", "r6"});
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    m_window->engine().CurrentIndex = static_cast<int16_t>(before);
    for (int row : {2, 3, 5})
        m.setSelected(row, true);
    m_window->ui().mnuDeleteSelectedItem->trigger();
    QCOMPARE(locations(), QStringList({"r1", "r4", "r6"}));
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(after));
}

void TestPlaylistWindow::clearDoesNotStopPlayback() {
    addRows({"r1", "r2"});
    m_board->durations.insert(QStringLiteral("/music/r1.mp3"), 100);
    m_window->engine().btnPlay_Click();
    m_window->ui().mnuClear->trigger();
    QCOMPARE(locations(), QStringList());
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(0));
    QCOMPARE(m_window->engine().PlayState, int16_t(1));
}

void TestPlaylistWindow::headerClicksSortAndKeepThePlayingSong() {
    addRows({"b", "c", "a"});
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    m.setText(1, 2, QStringLiteral("Zed"));
    m.setText(2, 2, QStringLiteral("Abe"));
    m.setText(3, 2, QStringLiteral("Max"));
    m_window->engine().CurrentIndex = 2; // "c" plays

    QHeaderView* header = m_window->ui().lstClipList->header();
    auto click = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    click(0);
    QCOMPARE(locations(), QStringList({"a", "b", "c"}));
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(3));
    click(0);
    QCOMPARE(locations(), QStringList({"c", "b", "a"}));
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(1));
    click(2); // another header keeps the descending order
    QCOMPARE(locations(), QStringList({"b", "a", "c"}));
    QCOMPARE(m_window->LastSortColumn, int16_t(3));
    QCOMPARE(m_window->LastSortOrder, 1);
    QCOMPARE(m_window->engine().CurrentIndex, int16_t(3));
    for (int i = 1; i <= m.count(); ++i)
        QVERIFY(m.key(i).isEmpty());
}

void TestPlaylistWindow::totLengthSortsAsText() {
    addRows({"ninety-nine", "hundred"});
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    m.setText(1, 9, QStringLiteral("99"));
    m.setText(2, 9, QStringLiteral("100"));
    emit m_window->ui().lstClipList->columnClick(10);
    QCOMPARE(locations(), QStringList({"hundred", "ninety-nine"}));
}

void TestPlaylistWindow::randomOrder() {
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    m_window->ui().mnuRandomOrder->trigger(); // empty list: nothing happens
    QCOMPARE(m.count(), 0);

    addRows({"only"});
    m_window->ui().mnuRandomOrder->trigger();
    QCOMPARE(m.text(1, 8), QStringLiteral("000001"));

    addRows({"r2", "r3", "r4", "r5", "r6", "r7", "r8"});
    m_window->engine().CurrentIndex = 5; // "r5" plays
    m_window->ui().mnuRandomOrder->trigger();
    QCOMPARE(m.count(), 8);
    QString last;
    for (int i = 1; i <= m.count(); ++i) {
        const QString key = m.text(i, 8);
        QCOMPARE(key.size(), 6);
        const int n = key.toInt();
        QVERIFY(n >= 1 && n <= 8);
        QVERIFY(last <= key);
        last = key;
    }
    const int playing = m_window->engine().CurrentIndex;
    QCOMPARE(m.text(playing, 0), QStringLiteral("r5"));
    // Show Item In Play made it the one selected row.
    QCOMPARE(m.selectedIndexes(), QList<int>({playing}));
}

void TestPlaylistWindow::totalLengthFromStoredDurations_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("total");
    QTest::newRow("Cross Dissolve") << 0 << "09:19";
    QTest::newRow("Up Down") << 1 << "09:19";
    QTest::newRow("Down  Up") << 2 << "09:35";
    QTest::newRow("Mix") << 3 << "09:19";
    QTest::newRow("Cut") << 4 << "09:35";
}

void TestPlaylistWindow::totalLengthFromStoredDurations() {
    QFETCH(int, type);
    QFETCH(QString, total);
    addRows({"a", "b", "c"});
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    m.setText(1, 9, QStringLiteral("200"));
    m.setText(2, 9, QStringLiteral("180"));
    m.setText(3, 9, QStringLiteral("240"));
    PlaybackEngine& e = m_window->engine();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.spinTransitionTime.setValue(8);
    e.optTransition.setValue(type);
    m_board->durations.insert(QStringLiteral("/music/a.mp3"), 200);
    e.btnPlay_Click();

    QTest::mouseClick(m_window->ui().cmdCalculate, Qt::LeftButton);
    QCOMPARE(m_window->ui().lblDuracionTotal->text(), total);
    QCOMPARE(m_window->ui().lblCantDeTemas->text(), QStringLiteral("3"));
    QCOMPARE(m_window->ui().cmdCalculate->text(), QStringLiteral("Calculate Total"));
    QCOMPARE(e.PlayState, int16_t(0));                        // the calculation stops playback
    QCOMPARE(m_board->opened, QStringList({"/music/a.mp3"})); // only the play opened a file
}

void TestPlaylistWindow::totalLengthMeasuresOnceAndHonoursTrims() {
    addRows({"short", "long", "broken"});
    m_board->durations.insert(QStringLiteral("/music/short.mp3"), 10);
    m_board->durations.insert(QStringLiteral("/music/long.mp3"), 100);
    PlaybackEngine& e = m_window->engine();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.optTransition.setValue(2);
    m_window->cmdCalculate_Click();
    ClipListModel& m = m_window->ui().lstClipList->clipModel();
    // The 10 s song is shorter than both trims: it counts whole.
    QCOMPARE(m.text(1, 9), QStringLiteral("10"));
    QCOMPARE(m.text(1, 1), QStringLiteral("00:10"));
    QCOMPARE(m.text(2, 1), QStringLiteral("01:25"));
    QCOMPARE(m.text(3, 9), QStringLiteral("0"));
    QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:35"));
    QCOMPARE(m_board->opened.size(), 3);

    m_window->cmdCalculate_Click(); // all durations known now: no file is opened
    QCOMPARE(m_board->opened.size(), 3);
    QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:35"));
}

void TestPlaylistWindow::totalLengthCancelAfterTheSecondSong() {
    addRows({"s1", "s2", "s3", "s4", "s5"});
    for (int i = 1; i <= 5; ++i)
        m_board->durations.insert(QStringLiteral("/music/s%1.mp3").arg(i), 60);
    m_window->engine().spinTransitionTime.setValue(5);
    QPushButton* button = m_window->ui().cmdCalculate;
    m_board->onOpen = [&](const QString& path) {
        QCOMPARE(button->text(), QStringLiteral("Cancel Calculation"));
        if (path.endsWith(QLatin1String("s2.mp3"))) // the user clicks while song 2 is measured
            QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
    };
    m_window->cmdCalculate_Click();
    QCOMPARE(m_board->opened.size(), 2);
    QCOMPARE(m_window->ui().lblCantDeTemas->text(), QStringLiteral("2"));
    // Two songs less the transitions of the whole list (four).
    QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:40"));
    QCOMPARE(button->text(), QStringLiteral("Calculate Total"));
    QVERIFY(!m_window->Calculating());
}

void TestPlaylistWindow::totalLengthEndsWhenTheListIsCleared() {
    addRows({"s1", "s2", "s3", "s4", "s5"});
    m_board->onOpen = [&](const QString& path) {
        if (path.endsWith(QLatin1String("s2.mp3")))
            QMetaObject::invokeMethod(m_window->ui().mnuClear, &QAction::trigger,
                                      Qt::QueuedConnection);
    };
    m_window->cmdCalculate_Click();
    QCOMPARE(m_board->opened.size(), 2);
    QCOMPARE(m_window->ui().lstClipList->clipModel().count(), 0);
    QCOMPARE(m_window->ui().cmdCalculate->text(), QStringLiteral("Calculate Total"));
}

QTEST_MAIN(TestPlaylistWindow)
#include "tst_playlistwindow.moc"
