// The main window offscreen: start-up, settings, the command line, controls bound both ways.

#include "app/commandline.h"
#include "app/frmplayer.h"
#include "app/transitionbutton.h"
#include "base/filename.h"
#include "base/twips.h"
#include "deck/songanalysis.h"
#include "playlist/cliplistview.h"
#include "support/fakedeck.h"
#include "support/fixtures.h"
#include "support/memorysettingsstore.h"
#include "support/playlisttest.h"
#include "support/testplayer.h"
#include "system/inisettingsstore.h"

#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::playback;
using namespace volaro::app;
using namespace volaro::playlist;
using volaro::system::IniSettingsStore;
using volaro::testing::TestPlayer;

namespace {

// The stored numbers, in the order they are saved.
const QStringList NumberKeys{
    "Transitions/TransitionTime", "Transitions/TransitionType", "Trimming/CutFirst",
    "Trimming/CutLast",           "RandomPlayback/rnd",         "BasicAudio/Volume",
    "Extras/LevelLoudness",       "Extras/SkipSilence",         "Extras/KeepAlbumsWhole",
    "Extras/MatchBeats",          "Extras/RestoreList",         "ShowOptions/ShowOptions"};

} // namespace

class TestFrmPlayer : public QObject {
    Q_OBJECT

private slots:
    void settingsAreRestoredAndHealed() {
        const QStringList defaults{"1", "0", "0", "0", "0", "64", "0", "0", "0", "0", "1", "1"};
        // Values of NumberKeys stored (none for a first run), and as shown and saved at the end.
        // 60.5 rounds half to even; values the controls refuse give the defaults.
        const std::pair<QStringList, QStringList> cases[] = {
            {{}, defaults},
            {{"8", "3", "5", "10", "1", "60.5", "1", "1", "1", "1", "0", "0"},
             {"8", "3", "5", "10", "1", "60", "1", "1", "1", "1", "0", "0"}},
            {{"-3", "7", "500", "abc", "2", "200", "2", "true", "on", "-1", "3", "x"}, defaults}};
        for (const auto& [stored, restored] : cases) {
            MemorySettingsStore store;
            for (int i = 0; i < stored.size(); ++i)
                store.values.insert(NumberKeys[i], stored[i]);
            TestPlayer w(store);
            w.Form_Load({QStringLiteral("volaro")});
            // The controls show what the engine holds (and saves at the end, below).
            FrmPlayerUi& u = w.ui();
            const auto on = [](const auto* c) { return QString::number(c->isChecked()); };
            const auto type = std::ranges::find_if(u.optTransition, &QAbstractButton::isChecked);
            QCOMPARE(
                (QStringList{u.lblTransitionTime->text(),
                             QString::number(type - u.optTransition.begin()), u.lblCutFirst->text(),
                             u.lblCutLast->text(), on(u.chkRndPlay),
                             QString::number(u.hscVolume->value()), on(u.mnuLevelLoudness),
                             on(u.mnuSkipSilence), on(u.mnuKeepAlbumsWhole), on(u.mnuMatchBeats),
                             on(u.mnuRestoreList), u.cmdShowOptions->text()}),
                restored.mid(0, 11) << (restored[11] == "1" ? "Hide Options" : "Show Options"));
            QCOMPARE(u.spinTransitionTime->value(), restored[0].toInt());
            QCOMPARE(u.lblStatus->text(), QStringLiteral("Stop"));
            QCOMPARE(u.statusPanel2->text(), QStringLiteral("https://volaro.example/ "));
            // The first output is chosen, which builds both decks.
            QCOMPARE(w.engine().outputDevice(), u.cmbOutputDevices->itemText(0));
            QVERIFY(w.engine().deck(0) && w.engine().deck(1));
            w.close(); // the file heals
            for (int i = 0; i < NumberKeys.size(); ++i)
                QCOMPARE(store.values.value(NumberKeys[i]), restored[i]);
        }
    }

    void windowPlaceAndSaveOrder() {
        // Between the screen's height and width: top checked against one, left the other.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.width() > screen.height());
        const int between = volaro::base::pixelsToTwips((screen.width() + screen.height()) / 2);
        MemorySettingsStore store;
        store.values = {{"Window/Top", QString::number(between)},
                        {"Window/Left", QString::number(between)},
                        {"Window/Height", "4000"}};
        TestPlayer w(store);
        w.Form_Load({QStringLiteral("volaro")});
        // A top beyond the screen comes back to 100, a left on it stays, a low window is 7000.
        QVERIFY(qAbs(w.topTwips() - 100) <= 15);
        QVERIFY(qAbs(w.leftTwips() - between) <= 15);
        QVERIFY(qAbs(w.heightTwips() - 7000) <= 15);

        w.setGeometryTwips(90, 600, 7500); // dragged against the top edge: place not saved
        store.writes.clear();
        QCOMPARE(w.SaveSettings(), QString());
        QCOMPARE(store.writes, NumberKeys);
        store.writes.clear();
        w.setGeometryTwips(3000, 600, 7500);
        w.SaveSettings();
        const QStringList place{"Window/Top", "Window/Left", "Window/Height"};
        QCOMPARE(store.writes, NumberKeys.mid(0, 11) + place + NumberKeys.mid(11));
        QCOMPARE(store.values.value("Window/Top"), QStringLiteral("3000"));
        QCOMPARE(store.values.value("Window/Height"), QStringLiteral("7500"));
    }

    // Settings are written as INI text that QSettings reads back to the same values.
    void settingsTextReadsBack() {
        QTemporaryDir dir;
        const QMap<QString, QString> values{
            {"General/Top", "1"},
            {"Directory/DefaultDir", QString::fromUtf8(" /a, b;c=d \"q\" \\ @x ü\t")},
            {"Directory/Other", "@Variant(x)"},
            {"Directory/Latin1", volaro::base::fileNameFromBytes("/caf\xE9\x31")},
            {"Odd Section/k%/y", "\x01\x02"
                                 "3"}};
        const QString file = dir.filePath("s.conf");
        QVERIFY(volaro::fixtures::writeBytes(file, IniSettingsStore::iniText(values)));
        const QSettings read(file, QSettings::IniFormat);
        QCOMPARE(read.status(), QSettings::NoError);
        QCOMPARE(read.allKeys().size(), values.size());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(read.value(QString(it.key()).replace("General/", "")).toString(), it.value());
    }

    void commandLine() {
        QTemporaryDir dir;
        const QString quoted = dir.filePath(QStringLiteral("a\"b.mp3"));
        QVERIFY(volaro::fixtures::writeBytes(quoted, {}));
        const QList<QPair<QStringList, QString>> cases{
            {{"volaro"}, ""},
            {{"volaro", "\"/music/My Song.mp3\""}, "/music/My Song.mp3"},
            // The shell split an unquoted name with blanks: joined again by single spaces.
            {{"volaro", "/music/My", "Song.mp3"}, "/music/My Song.mp3"},
            {{"volaro", "a\"b.mp3"}, "ab.mp3"},
            {{"volaro", "--new-instance", "/a.mp3"}, "/a.mp3"},
            {{"volaro", "--", "--new-instance"}, "--new-instance"},

            {{"volaro", quoted}, quoted}}; // a name that exists is taken as it is
        for (const auto& [arguments, path] : cases)
            QCOMPARE(commandLinePath(arguments), path);
    }

    // The kept list comes back stopped, its playing row selected, a named file joining it; a
    // damaged one is set aside with a notice; with the option off the start is as always.
    void keptListAtStart() {
        volaro::testing::DeckPark park;
        park.durations.insert(QStringLiteral("/m/c.mp3"), 60);
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("state/playlist.m3u8"));
        const QByteArray whole =
            "#EXTM3U\r\n#VOLARO-STATE:rows=2,playing=2\r\n/m/a.mp3\r\n/m/b.mp3\r\n";
        const QStringList ab{"/m/a.mp3", "/m/b.mp3"};
        // Restore List at Start, the kept bytes, the argument, rows, selected, playing, set aside.
        const std::tuple<const char*, QByteArray, const char*, QStringList, int, bool, bool>
            cases[] = {{"1", whole, "", ab, 2, false, false},
                       {"1", whole, "/m/c.mp3", ab + QStringList{"/m/c.mp3"}, 3, true, false},
                       {"1", whole.chopped(4), "", {}, 0, false, true}, // cut short
                       {"1", QByteArray(whole).replace("rows=2", "rows=3"), "", {}, 0, false, true},
                       {"0", whole, "/m/c.mp3", {"/m/c.mp3"}, 1, true, false}};
        for (const auto& [restore, bytes, argument, rows, selected, playing, setAside] : cases) {
            QVERIFY(volaro::fixtures::writeBytes(kept, bytes));
            MemorySettingsStore store;
            store.values.insert(QStringLiteral("Extras/RestoreList"), restore);
            TestPlayer w(store, park.factory());
            w.keepListIn(kept);
            w.Form_Load({QStringLiteral("volaro"), argument});
            QCOMPARE(locations(w.ui().lstClipList->clipModel()), rows);
            QCOMPARE(w.ui().lstClipList->SelectedItem(), selected);
            QCOMPARE(w.engine().playState(), playing ? PlayState::Playing : PlayState::Stopped);
            QCOMPARE(w.ui().statusPanel2->text().startsWith("The saved list could not be read"),
                     setAside);
            QCOMPARE(volaro::fixtures::readBytes(kept + ".damaged") == bytes, setAside);
            QFile::remove(kept + ".damaged");
        }
    }

    // The controls move the engine; the window's analysis reaches the decks.
    void controlsAreBoundBothWays() {
        QTemporaryDir dir;
        qputenv("XDG_CACHE_HOME", dir.filePath("cache").toLocal8Bit());
        const QString song = dir.filePath("loud.wav");
        QVERIFY(volaro::fixtures::writeWav(song, {.frequency = 0, .seconds = 3, .noise = 0.9}));
        const int gain = volaro::deck::levelGain(volaro::deck::analyseSong(song));
        QVERIFY(gain < -600);
        volaro::testing::DeckPark park;
        park.durations.insert(song, 200);
        MemorySettingsStore store;
        store.values = {{"Trimming/CutFirst", "5"}, {"Extras/LevelLoudness", "1"}};
        TestPlayer w(store, park.factory());
        w.Form_Load({QStringLiteral("volaro")});
        FrmPlayerUi& u = w.ui();
        PlaybackEngine& e = w.engine();
        OpenFile(song, false, 0, u.lstClipList->clipModel());
        e.play();
        const ClipListModel& rows = u.lstClipList->clipModel(); // the loader wrote the lengths
        QCOMPARE(QStringList({rows.text(1, ClipListModel::ColTotLength),
                              rows.text(1, ClipListModel::ColLength)}),
                 QStringList({"200", "03:15"}));
        const int current = e.currentDeck();
        auto* deck = static_cast<volaro::testing::FakeDeck*>(e.deck(current));
        // A loud song nobody analysed loads as it is, and takes its gain once the analysis lands.
        QCOMPARE(park.callsOf(deck->serial).filter("gain").last(), QString("gain 0"));
        QTRY_COMPARE(park.callsOf(deck->serial).filter("gain").last(),
                     QString("gain %1").arg(gain));

        // The master level moves the current deck, labels and bars (the law: tst_transitions).
        u.hscVolume->setValue(43);
        QCOMPARE(std::tuple(deck->volume, u.lblMasterVolume->text(), u.lblVolume[current]->text(),
                            u.prgMasterVolume->value(), u.prgVolume[current]->value()),
                 std::tuple(-42 * 42, QStringLiteral("51%"), QStringLiteral("51"), 51, 51));
        // (The engine moving the controls: settingsAreRestoredAndHealed.)
        u.chkRndPlay->setChecked(true);
        QVERIFY(e.shuffle());
        QTest::mouseClick(u.optTransition[4], Qt::LeftButton);
        QCOMPARE(e.transitionType(), TransitionType::Cut);
        u.spinCutLast->setValue(7);
        QCOMPARE(e.cutLast(), 7);
        for (QAction* extra :
             {u.mnuLevelLoudness, u.mnuSkipSilence, u.mnuKeepAlbumsWhole, u.mnuMatchBeats})
            extra->trigger(); // all but the first off at the start
        QVERIFY(!e.levelLoudness() && e.skipSilence() && e.keepAlbumsWhole() && e.matchBeats());

        // The monitor moves the position slider without seeking; the user's drag seeks.
        QCOMPARE(u.hscPosition->maximum(), 195); // 200 s less the first 5
        QSignalSpy seeks(&e, &PlaybackEngine::seeked);
        deck->position = 30;
        e.tmrPosition_Timer();
        QCOMPARE(std::pair(u.hscPosition->value(), seeks.count()), std::pair(25, qsizetype(0)));
        u.hscPosition->setValue(60);
        QCOMPARE(
            std::tuple(seeks.count(), deck->position, u.lblPosition->text(), u.lblTimeLeft->text()),
            std::tuple(qsizetype(1), 65, QStringLiteral("01:00"), QStringLiteral("02:15")));
    }
};

QTEST_MAIN(TestFrmPlayer)
#include "tst_frmplayer.moc"
