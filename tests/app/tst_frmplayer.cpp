// The main window driven for real (offscreen): start-up order and settings, the command
// line, and the mixer as the user and the program move it. (The layout rules are checked
// under a window manager, tests/desktop.)

#include "cliplistview.h"
#include "commandline.h"
#include "fakedecks.h"
#include "fixtures.h"
#include "frmplayer.h"
#include "memorysettingsstore.h"
#include "transitionbutton.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::playback;

namespace {} // namespace

class TestFrmPlayer : public QObject {
    Q_OBJECT

private slots:
    void firstRunDefaults();
    void storedValuesAndScreenChecks();
    void refusedValuesGiveTheDefaultsAndHeal();
    void savesInOrderAndOnlyBelowTheTopEdge();
    void foldedAtStartWhenStoredFolded();
    void commandLineQuotesAreRemoved();
    void commandLineFileIsOpenedAndPlayed();
    void mixerWidgetsDriveTheEngine();
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

void TestFrmPlayer::mixerWidgetsDriveTheEngine() {
    FakeDeckBoard board;
    board.durations.insert(QStringLiteral("/m/song.mp3"), 200);
    MemorySettingsStore store;
    store.values = {{"Trimming/CutFirst", "5"}};
    frmPlayer w(store, board.factory());
    w.Form_Load({QStringLiteral("volaro")});
    OpenFile(QStringLiteral("/m/song.mp3"), false, 0, *w.ui().lstClipList);
    w.engine().btnPlay_Click();
    const int current = w.engine().CurrentDeck;

    // The master volume moves the current deck by the volume law, with labels and bars.
    const QList<std::tuple<int, QString, int>> figures{
        {85, "100", 0}, {64, "75", -441}, {0, "0", -7225}};
    for (const auto& [master, percent, volume] : figures) {
        w.ui().hscVolume->setValue(master);
        QCOMPARE(w.ui().lblMasterVolume->text(), percent + u'%');
        QCOMPARE(w.ui().prgMasterVolume->value(), percent.toInt());
        QCOMPARE(w.ui().lblVolume[current]->text(), percent);
        QCOMPARE(w.ui().prgVolume[current]->value(), percent.toInt());
        QCOMPARE(board.lastVolume, volume);
    }

    // The monitor moves the position slider without seeking; the user's drag seeks.
    QCOMPARE(w.ui().hscPosition->maximum(), 195); // 200 s less the first 5
    const int seeksAfterLoad = board.seeks;
    w.engine().tmrPosition_Timer();
    QCOMPARE(board.seeks, seeksAfterLoad);
    w.ui().hscPosition->setValue(60);
    QCOMPARE(board.seeks, seeksAfterLoad + 1);
    QCOMPARE(board.lastSeek, 65);
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
