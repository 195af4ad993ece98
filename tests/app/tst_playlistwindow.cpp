// Editing the playlist in the real window (offscreen), and the total length.

#include "app/frmplayer.h"
#include "playlist/cliplistview.h"
#include "support/fakedeck.h"
#include "support/fixtures.h"
#include "support/memorysettingsstore.h"
#include "support/playlisttest.h"
#include "support/testplayer.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::playback;
using namespace volaro::playlist;
using namespace volaro::app;
using volaro::testing::TestPlayer;

class TestPlaylistWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<MemorySettingsStore> m_store;
    std::unique_ptr<volaro::testing::DeckPark> m_board;
    std::unique_ptr<TestPlayer> m_window;

    void addRows(const QStringList& names) {
        for (const QString& n : names)
            OpenFile(QStringLiteral("/music/") + n + QStringLiteral(".mp3"), false, 0,
                     m_window->ui().lstClipList->clipModel());
    }

    ClipListModel& list() const { return m_window->ui().lstClipList->clipModel(); }

private slots:
    void initTestCase() {
        // The search window keeps its directory in the user's settings file.
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    void init() {
        m_store = std::make_unique<MemorySettingsStore>();
        m_board = std::make_unique<volaro::testing::DeckPark>();
        m_window = std::make_unique<TestPlayer>(*m_store, m_board->factory());
        m_window->Form_Load({QStringLiteral("volaro")});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window->close();
        m_window.reset(); // before the deck park and the store it uses
    }

    void editingKeepsThePlayingSong() {
        addRows({"e", "b", "d", "a", "c"});
        ClipListView& view = *m_window->ui().lstClipList;
        ClipListModel& m = list();
        PlaybackEngine& e = m_window->engine();
        m_board->durations.insert(QStringLiteral("/music/a.mp3"), 100);
        m.setSelected(4, true);
        e.playSelected(); // "a" plays, row 4

        // A drop on row 3 inserts before it, and leaves the web address in panel 2.
        m_window->ui().statusPanel2->clear();
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile("/in/x.mp3"), QUrl::fromLocalFile("/in/y.mp3")});
        QVERIFY(view.dropAt(&files, centreOf(view, 3)));
        QCOMPARE(column(m), QStringList({"e", "b", "x", "y", "d", "a", "c"}));
        QCOMPARE(m_window->ui().statusPanel2->text(), QStringLiteral("https://volaro.example/ "));

        // A header click sorts by that column; a second click on it reverses.
        QHeaderView* header = view.header();
        const QPoint title(header->sectionViewportPosition(0) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(column(m), QStringList({"y", "x", "e", "d", "c", "b", "a"}));

        m.setAllSelected(false);
        for (int row : {1, 2, 7})
            m.setSelected(row, true);
        m_window->ui().mnuDeleteSelectedItem->trigger();
        QCOMPARE(column(m), QStringList({"e", "d", "c", "b"}));

        m_window->ui().mnuRandomOrder->trigger(); // and the row in play is shown selected
        QCOMPARE(m.selectedIndexes(), QList<int>({e.currentIndex()}));

        m_window->ui().mnuClear->trigger();
        QCOMPARE(e.currentIndex(), 0);
        QCOMPARE(e.playState(), PlayState::Playing); // the song plays on
    }

    void totalLengthFromStoredDurations() {
        addRows({"a", "b", "c"});
        ClipListModel& m = list();
        for (const auto& [row, seconds] : {std::pair{1, "200"}, {2, "180"}, {3, "240"}})
            m.setText(row, 9, seconds);
        PlaybackEngine& e = m_window->engine();
        e.setCutFirst(5);
        e.setCutLast(10);
        e.setTransitionSeconds(8);
        m_board->durations.insert(QStringLiteral("/music/a.mp3"), 200);
        // Down Up and Cut do not overlap the songs.
        for (const auto& [type, total] :
             {std::pair{0, "09:19"}, {1, "09:19"}, {2, "09:35"}, {3, "09:19"}, {4, "09:35"}}) {
            e.setTransitionType(type);
            e.play();
            QTest::mouseClick(m_window->ui().cmdCalculate, Qt::LeftButton);
            QCOMPARE(m_window->ui().lblDuracionTotal->text(), QString(total));
            QCOMPARE(m_window->ui().lblCantDeTemas->text(), QStringLiteral("3"));
            QCOMPARE(e.playState(), PlayState::Stopped); // the calculation stops playback
        }
    }

    void totalLengthMeasuresOnceAndHonoursTrims() {
        addRows({"short", "long", "broken"});
        m_board->durations = {{"/music/short.mp3", 10}, {"/music/long.mp3", 100}};
        PlaybackEngine& e = m_window->engine();
        e.setCutFirst(5);
        e.setCutLast(10);
        e.setTransitionType(2);
        m_window->cmdCalculate_Click();
        ClipListModel& m = list();
        // The 10 s song is shorter than both trims: it counts whole.
        QCOMPARE(column(m, 9), QStringList({"10", "100", "0"}));
        QCOMPARE(column(m, 1), QStringList({"00:10", "01:25", "00:00"}));
        QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:35"));
        QCOMPARE(m_board->opened.size(), 3);

        m_window->cmdCalculate_Click(); // all durations known now: no file is opened
        QCOMPARE(m_board->opened.size(), 3);
        QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:35"));
    }

    void totalLengthStopsAtTheSecondSong() {
        for (const bool clear : {true, false}) { // the list cleared, or Cancel clicked
            m_board->opened.clear();
            addRows({"s1", "s2", "s3", "s4", "s5"});
            for (int i = 1; i <= 5; ++i)
                m_board->durations.insert(QStringLiteral("/music/s%1.mp3").arg(i), 60);
            m_window->engine().setTransitionSeconds(5);
            QPushButton* button = m_window->ui().cmdCalculate;
            m_board->onOpen = [&](const QString& path) {
                QCOMPARE(button->text(), QStringLiteral("Cancel Calculation"));
                if (path.endsWith(QLatin1String("s2.mp3"))) // while song 2 is measured
                    QTimer::singleShot(
                        0, [&] { clear ? m_window->ui().mnuClear->trigger() : button->click(); });
            };
            m_window->cmdCalculate_Click();
            QCOMPARE(m_board->opened.size(), 2);
            QCOMPARE(button->text(), QStringLiteral("Calculate Total"));
            QVERIFY(!m_window->Calculating());
            if (clear) {
                QCOMPARE(m_window->ui().lstClipList->clipModel().count(), 0);
                continue;
            }
            QCOMPARE(m_window->ui().lblCantDeTemas->text(), QStringLiteral("2"));
            // Two songs less the transitions of the whole list (four).
            QCOMPARE(m_window->ui().lblDuracionTotal->text(), QStringLiteral("01:40"));
        }
    }
};

QTEST_MAIN(TestPlaylistWindow)
#include "tst_playlistwindow.moc"
