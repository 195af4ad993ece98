// The main window driven for real (offscreen): start-up order and settings, the layout
// rules, the command line, and the mixer as the user and the program move it.

#include "cliplistview.h"
#include "commandline.h"
#include "fixtures.h"
#include "frmplayer.h"
#include "memorysettingsstore.h"
#include "transitionbutton.h"

#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::playback;

namespace {

// Records what the engine asks of a deck, for the cases where the question is whether a
// call happened at all.
struct DeckLog {
    int seeks = 0;
    int32_t lastSeek = -1;
    int32_t lastVolume = 1;
};

class RecordingDeck final : public Deck {
public:
    explicit RecordingDeck(DeckLog& log)
        : m_log(log) {}
    void setOutputDevice(const QString&) override {}
    void setFilename(const QString&) override {}
    int16_t OpenFile() override { return 0; }
    void PlayFile() override {}
    void PauseFile() override {}
    void StopFile() override {}
    void setPosition(int32_t s) override {
        ++m_log.seeks;
        m_log.lastSeek = s;
    }
    int32_t Position() override { return 0; }
    int32_t Duration() override { return 200; }
    void setVolume(int32_t v) override { m_log.lastVolume = v; }

private:
    DeckLog& m_log;
};

int px(int twips) {
    return qRound(twips / 15.0);
}

} // namespace

class TestFrmPlayer : public QObject {
    Q_OBJECT

private slots:
    void firstRunDefaults();
    void storedValuesAndScreenChecks();
    void refusedValuesGiveTheDefaultsAndHeal();
    void savesInOrderAndOnlyBelowTheTopEdge();
    void foldedAtStartWhenStoredFolded();
    void resizeAndFoldRule();
    void commandLineQuotesAreRemoved();
    void commandLineFileIsOpenedAndPlayed();
    void volumeLawFigures();
    void programMovesThePositionWithoutSeeking();
    void transitionButtonsCarryTheirNames();
};

void TestFrmPlayer::firstRunDefaults() {
    MemorySettingsStore store;
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    PlaybackEngine& e = w.engine();
    QCOMPARE(e.TransitionTime, 1);
    QCOMPARE(e.TransitionType, int16_t(0));
    QCOMPARE(e.CutFirst, 0);
    QCOMPARE(e.CutLast, 0);
    QCOMPARE(e.hscVolume.value(), 64);
    QCOMPARE(w.ui().hscVolume->value(), 64);
    QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("75%"));
    QCOMPARE(e.chkRndPlay.value(), 0);
    QVERIFY(!w.ui().chkRndPlay->isChecked());
    QCOMPARE(w.ShowOptions, int16_t(1));
    QCOMPARE(w.ui().cmdShowOptions->text(), QStringLiteral("Hide Options"));
    QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Stop"));
    QCOMPARE(w.ui().statusPanel2->text(), QStringLiteral("https://volaro.example/ "));
    QCOMPARE(w.ui().lstClipList->clipModel().count(), 0);
    QVERIFY(qAbs(w.topTwips() - 100) <= 15);
    QVERIFY(qAbs(w.leftTwips() - 100) <= 15);
    QVERIFY(qAbs(w.heightTwips() - 7000) <= 15);
    // The first output is chosen, which builds both decks.
    QVERIFY(w.ui().cmbOutputDevices->count() >= 1);
    QCOMPARE(w.ui().cmbOutputDevices->currentIndex(), 0);
    QCOMPARE(e.outputDevice(), w.ui().cmbOutputDevices->itemText(0));
    QVERIFY(e.deck(0) && e.deck(1));
    // Columns of the playlist.
    QCOMPARE(w.ui().lstClipList->model()->headerData(7, Qt::Horizontal).toString(),
             QStringLiteral("Location"));
}

void TestFrmPlayer::storedValuesAndScreenChecks() {
    MemorySettingsStore store;
    store.values = {{"Transitions/TransitionTime", "8"},
                    {"Transitions/TransitionType", "3"},
                    {"Trimming/CutFirst", "5"},
                    {"Trimming/CutLast", "10"},
                    {"BasicAudio/Volume", "60"},
                    {"RandomPlayback/rnd", "1"},
                    {"Window/Top", "9999999"},
                    {"Window/Left", "300"},
                    {"Window/Height", "4000"}};
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    PlaybackEngine& e = w.engine();
    QCOMPARE(e.TransitionTime, 8);
    QCOMPARE(w.ui().lblTransitionTime->text(), QStringLiteral("8"));
    QCOMPARE(w.ui().spinTransitionTime->value(), 8);
    QCOMPARE(e.TransitionType, int16_t(3));
    QVERIFY(w.ui().optTransition[3]->isChecked());
    QCOMPARE(w.ui().lblCutFirst->text(), QStringLiteral("5"));
    QCOMPARE(w.ui().lblCutLast->text(), QStringLiteral("10"));
    QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("71%"));
    QVERIFY(w.ui().chkRndPlay->isChecked());
    // A top beyond the screen comes back to 100; a left on the screen is kept.
    QVERIFY(qAbs(w.topTwips() - 100) <= 15);
    QVERIFY(qAbs(w.leftTwips() - 300) <= 15);
    // Too low a window opens 7000 high.
    QVERIFY(qAbs(w.heightTwips() - 7000) <= 15);
}

void TestFrmPlayer::refusedValuesGiveTheDefaultsAndHeal() {
    MemorySettingsStore store;
    store.values = {
        {"Transitions/TransitionTime", "-3"}, {"Transitions/TransitionType", "7"},
        {"Trimming/CutFirst", "500"}, // fits the field, not the control
        {"Trimming/CutLast", "abc"},          {"BasicAudio/Volume", "12.5"}, // half to even: 12
        {"ShowOptions/ShowOptions", "x"}};
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    PlaybackEngine& e = w.engine();
    QCOMPARE(QList<int>({e.TransitionTime, e.TransitionType, e.CutFirst, e.CutLast}),
             QList<int>({1, 0, 0, 0}));
    QCOMPARE(w.ui().lblTransitionTime->text(), QStringLiteral("1"));
    QVERIFY(w.ui().optTransition[0]->isChecked());
    QCOMPARE(w.ui().lblCutFirst->text(), QStringLiteral("0"));
    QCOMPARE(e.hscVolume.value(), 12);
    QCOMPARE(w.ShowOptions, int16_t(1));
    w.SaveSettings(); // the file heals
    QCOMPARE(store.values.value("Transitions/TransitionTime"), QStringLiteral("1"));
    QCOMPARE(store.values.value("Transitions/TransitionType"), QStringLiteral("0"));
    QCOMPARE(store.values.value("Trimming/CutFirst"), QStringLiteral("0"));
    QCOMPARE(store.values.value("Trimming/CutLast"), QStringLiteral("0"));
}

void TestFrmPlayer::savesInOrderAndOnlyBelowTheTopEdge() {
    MemorySettingsStore store;
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    w.engine().hscVolume.setValue(40);
    w.ui().chkRndPlay->setChecked(true);

    w.setGeometryTwips(90, 600, 7500); // dragged against the top edge
    QCOMPARE(w.SaveSettings(), QString());
    QCOMPARE(store.writes,
             QStringList({"Transitions/TransitionTime", "Transitions/TransitionType",
                          "Trimming/CutFirst", "Trimming/CutLast", "RandomPlayback/rnd",
                          "BasicAudio/Volume", "ShowOptions/ShowOptions"}));
    QCOMPARE(store.values.value("BasicAudio/Volume"), QStringLiteral("40"));
    QCOMPARE(store.values.value("RandomPlayback/rnd"), QStringLiteral("1"));

    store.writes.clear();
    w.setGeometryTwips(3000, 600, 7500);
    w.SaveSettings();
    QCOMPARE(store.writes.mid(6, 3), QStringList({"Window/Top", "Window/Left", "Window/Height"}));
    QCOMPARE(store.values.value("Window/Top"), QStringLiteral("3000"));
    QCOMPARE(store.values.value("Window/Left"), QStringLiteral("600"));
    QCOMPARE(store.values.value("Window/Height"), QStringLiteral("7500"));

    store.failure = QStringLiteral("disk full");
    QCOMPARE(w.SaveSettings(), QStringLiteral("disk full"));
}

void TestFrmPlayer::foldedAtStartWhenStoredFolded() {
    MemorySettingsStore store;
    store.values = {{"ShowOptions/ShowOptions", "0"}};
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    QCOMPARE(w.ShowOptions, int16_t(0));
    QCOMPARE(w.ui().cmdShowOptions->text(), QStringLiteral("Show Options"));
    QCOMPARE(w.panelHeightTwips(), 2415);
    w.close();
    QCOMPARE(store.values.value("ShowOptions/ShowOptions"), QStringLiteral("0"));
}

void TestFrmPlayer::resizeAndFoldRule() {
    MemorySettingsStore store;
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro")});
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setGeometryTwips(1500, 1500, 7000);
    QWidget* panel = w.ui().Picture1;
    ClipListView* list = w.ui().lstClipList;
    // The panel stands on the status bar; the list fills the rest above it.
    auto panelBottom = [&] { return panel->mapTo(&w, QPoint(0, panel->height())).y(); };
    QTRY_COMPARE(panelBottom(), w.statusBar()->y());
    QCOMPARE(panel->height(), px(4335));
    QCOMPARE(list->height(), panel->y());
    QCOMPARE(list->x(), px(120));
    QCOMPARE(list->width(), w.centralWidget()->width() - 2 * px(120));
    const int openTop = panel->y();

    // Folding moves only the panel's top edge, and the list's bottom with it.
    QTest::mouseClick(w.ui().cmdShowOptions, Qt::LeftButton);
    QCOMPARE(w.ui().cmdShowOptions->text(), QStringLiteral("Show Options"));
    QCOMPARE(panel->y(), openTop + px(4335) - px(2415));
    QCOMPARE(panelBottom(), w.statusBar()->y());
    QCOMPARE(list->height(), panel->y());
    QCOMPARE(w.ShowOptions, int16_t(0));
    QVERIFY(w.ui().cmdShowOptions->geometry().bottom() < panel->height());

    QTest::mouseClick(w.ui().cmdShowOptions, Qt::LeftButton);
    QCOMPARE(panel->y(), openTop);
    QCOMPARE(w.ShowOptions, int16_t(1));

    // A taller window gives the list the extra height; the panel keeps its size.
    w.setGeometryTwips(1500, 1500, 9000);
    QTRY_COMPARE(list->height(), openTop + px(9000) - px(7000));
    QCOMPARE(panelBottom(), w.statusBar()->y());
}

void TestFrmPlayer::commandLineQuotesAreRemoved() {
    QCOMPARE(commandLinePath({"volaro"}), QString());
    QCOMPARE(commandLinePath({"volaro", "\"/music/My Song.mp3\""}),
             QStringLiteral("/music/My Song.mp3"));
    // The shell split an unquoted name with blanks: joined again by single spaces.
    QCOMPARE(commandLinePath({"volaro", "/music/My", "Song.mp3"}),
             QStringLiteral("/music/My Song.mp3"));
    QCOMPARE(commandLinePath({"volaro", "\"/a.mp3\"", "\"/b.mp3\""}),
             QStringLiteral("/a.mp3 /b.mp3"));
    QCOMPARE(commandLinePath({"volaro", "a\"b.mp3"}), QStringLiteral("ab.mp3"));
}

void TestFrmPlayer::commandLineFileIsOpenedAndPlayed() {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("My Song.wav"));
    volaro::fixtures::Signal tone;
    tone.seconds = 3;
    QVERIFY(volaro::fixtures::writeWav(song, tone));

    MemorySettingsStore store;
    frmPlayer w(store);
    w.Form_Load({QStringLiteral("volaro"), QLatin1Char('"') + song + QLatin1Char('"')});
    const ClipListModel& rows = w.ui().lstClipList->clipModel();
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.text(1, 7), song);
    QCOMPARE(rows.text(1, 0), QStringLiteral("My Song"));
    QCOMPARE(w.engine().PlayState, int16_t(1));
    QCOMPARE(w.engine().CurrentIndex, int16_t(1));
    QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Play"));
    // The loader wrote the song's length into the list.
    QCOMPARE(rows.text(1, 9), QStringLiteral("3"));
    QCOMPARE(rows.text(1, 1), QStringLiteral("00:03"));
}

void TestFrmPlayer::volumeLawFigures() {
    DeckLog log0, log1;
    int made = 0;
    MemorySettingsStore store;
    frmPlayer w(store, [&]() -> std::unique_ptr<Deck> {
        return std::make_unique<RecordingDeck>(made++ % 2 == 0 ? log0 : log1);
    });
    w.Form_Load({QStringLiteral("volaro")});
    const int current = w.engine().CurrentDeck;
    DeckLog& log = current == 0 ? log0 : log1;

    w.ui().hscVolume->setValue(85);
    QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("100%"));
    QCOMPARE(w.ui().prgMasterVolume->value(), 100);
    QCOMPARE(w.ui().lblVolume[current]->text(), QStringLiteral("100"));
    QCOMPARE(log.lastVolume, 0);

    w.ui().hscVolume->setValue(64);
    QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("75%"));
    QCOMPARE(w.ui().lblVolume[current]->text(), QStringLiteral("75"));
    QCOMPARE(log.lastVolume, -441);

    w.ui().hscVolume->setValue(0);
    QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("0%"));
    QCOMPARE(w.ui().prgVolume[current]->value(), 0);
    QCOMPARE(log.lastVolume, -7225);
}

void TestFrmPlayer::programMovesThePositionWithoutSeeking() {
    DeckLog log;
    MemorySettingsStore store;
    store.values = {{"Trimming/CutFirst", "5"}};
    frmPlayer w(store,
                [&]() -> std::unique_ptr<Deck> { return std::make_unique<RecordingDeck>(log); });
    w.Form_Load({QStringLiteral("volaro")});
    w.ui().lstClipList->ListItems().Add(1, QStringLiteral("song"));
    w.engine().btnPlay_Click();
    QCOMPARE(w.ui().hscPosition->maximum(), 195); // 200 s less the first 5
    const int seeksAfterLoad = log.seeks;

    w.engine().tmrPosition_Timer(); // the monitor moves the slider itself
    QCOMPARE(log.seeks, seeksAfterLoad);

    w.ui().hscPosition->setValue(60); // the user drags the thumb
    QCOMPARE(log.seeks, seeksAfterLoad + 1);
    QCOMPARE(log.lastSeek, 65);
    QCOMPARE(w.ui().lblPosition->text(), QStringLiteral("01:00"));
    QCOMPARE(w.ui().lblTimeLeft->text(), QStringLiteral("02:15"));
}

void TestFrmPlayer::transitionButtonsCarryTheirNames() {
    MemorySettingsStore store;
    frmPlayer w(store);
    const char* names[] = {"Cross Dissolve", "Up Down", "Down  Up", "Mix", "Cut"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(w.ui().optTransition[i]->accessibleName(), QString::fromLatin1(names[i]));
    QTest::mouseClick(w.ui().optTransition[4], Qt::LeftButton);
    QCOMPARE(w.engine().TransitionType, int16_t(4));
    QVERIFY(!w.ui().optTransition[0]->isChecked());
}

QTEST_MAIN(TestFrmPlayer)
#include "tst_frmplayer.moc"
