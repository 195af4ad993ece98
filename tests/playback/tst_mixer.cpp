// Mixer controls (master volume, deck levels, position slider), the control value rules
// and the transition pictures.

#include "fakes.h"
#include "transitionpicture.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace volaro::playback;
using namespace volaro::playback::testing;

namespace {

const QList<QPair<QString, int>> oneSong{{QStringLiteral("/m/1.mp3"), 200}};

// Counts pixels of pure red / pure blue / white in a column band of the image.
struct Colours {
    int red = 0;
    int blue = 0;
    int white = 0;
};

Colours coloursIn(const QImage& image, int x0, int x1) {
    Colours c;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QRgb p = image.pixel(x, y);
            if (p == qRgb(255, 0, 0))
                ++c.red;
            else if (p == qRgb(0, 0, 255))
                ++c.blue;
            else if (p == qRgb(255, 255, 255))
                ++c.white;
        }
    return c;
}

QImage picture(int type, bool pressed, QSize size = QSize(75, 22)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawTransitionPicture(painter, image.rect(), type, pressed);
    return image;
}

} // namespace

class TestMixer : public QObject {
    Q_OBJECT
private slots:
    void masterVolumeFigures_data();
    void masterVolumeFigures();
    void masterVolumeAtHeldLevelMakesNoDeckCall();
    void masterVolumeLeavesOtherDeck();
    void sliderRangesRefuseOutsiders();
    void positionSeeksOnlyOnUserChange();
    void positionSliderWithZeroMaximum();
    void seekToMaximumReachesTransitionPoint();
    void controlValueRules();
    void controlValueMaximum();
    void spinsAndOptionsMirror();
    void transitionNames();
    void picturesShowTheCurves_data();
    void picturesShowTheCurves();
    void pressedPictureDiffers();
    void pictureSurvivesOddSizes();
};

void TestMixer::masterVolumeFigures_data() {
    QTest::addColumn<int>("master");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("deckVolume");
    QTest::addColumn<QString>("masterText");
    QTest::addColumn<QString>("deckText");
    QTest::newRow("85") << 85 << 0 << 0 << "100%"
                        << "100";
    QTest::newRow("64") << 64 << 21 << -441 << "75%"
                        << "75";
    QTest::newRow("60") << 60 << 25 << -625 << "71%"
                        << "71";
    QTest::newRow("10") << 10 << 75 << -5625 << "12%"
                        << "12";
    QTest::newRow("0") << 0 << 85 << -7225 << "0%"
                       << "0";
}

void TestMixer::masterVolumeFigures() {
    QFETCH(int, master);
    QFETCH(int, level);
    QFETCH(int, deckVolume);
    QFETCH(QString, masterText);
    QFETCH(QString, deckText);

    Rig rig(oneSong, 30);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    QSignalSpy bar(&e, &PlaybackEngine::masterVolumePercentChanged);
    QSignalSpy deckBar(&e, &PlaybackEngine::deckVolumePercentChanged);
    QVERIFY(e.hscVolume.setValue(master));
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), level);
    QCOMPARE(rig.incoming()->volume, deckVolume);
    QCOMPARE(e.display().lblMasterVolume, masterText);
    QCOMPARE(e.display().lblVolume[e.CurrentDeck], deckText);
    QCOMPARE(bar.last().at(0).toInt(), masterText.chopped(1).toInt());
    QCOMPARE(deckBar.last().at(0).toInt(), e.CurrentDeck);
    QCOMPARE(deckBar.last().at(1).toInt(), deckText.toInt());
}

void TestMixer::masterVolumeAtHeldLevelMakesNoDeckCall() {
    Rig rig(oneSong, 64);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    QCOMPARE(e.vscVolume[e.CurrentDeck].value(), 21);
    const int calls = rig.park.log.size();
    QSignalSpy text(&e, &PlaybackEngine::masterVolumeTextChanged);
    // Same value on the slider: nothing at all runs.
    e.hscVolume.setValue(64);
    QCOMPARE(text.count(), 0);
    // The handler itself with the deck already at M - V: labels rewritten, no deck call.
    e.hscVolume_Change();
    QCOMPARE(text.count(), 1);
    QCOMPARE(rig.park.log.size(), calls);
}

void TestMixer::masterVolumeLeavesOtherDeck() {
    Rig rig({{QStringLiteral("/m/1.mp3"), 200}, {QStringLiteral("/m/2.mp3"), 200}}, 85);
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.btnNext_Click();
    rig.finishTransition();
    FakeDeck* other = rig.outgoing();
    const QStringList before = rig.park.callsOf(other->serial);
    e.hscVolume.setValue(20);
    QCOMPARE(rig.park.callsOf(other->serial), before);
    QCOMPARE(rig.incoming()->volume, -(65 * 65));
}

void TestMixer::sliderRangesRefuseOutsiders() {
    Rig rig(oneSong, 85);
    PlaybackEngine& e = rig.e();
    QVERIFY(!e.hscVolume.setValue(86));
    QVERIFY(!e.hscVolume.setValue(-1));
    QCOMPARE(e.hscVolume.value(), 85);
    QVERIFY(!e.vscVolume[0].setValue(90));
    QCOMPARE(e.vscVolume[0].value(), 85);
    QVERIFY(!e.optTransition.setValue(5));
    QCOMPARE(e.TransitionType, 0);
}

void TestMixer::positionSeeksOnlyOnUserChange() {
    Rig rig(oneSong);
    PlaybackEngine& e = rig.e();
    e.spinCutFirst.setValue(5);
    e.spinCutLast.setValue(10);
    e.btnPlay_Click();
    FakeDeck* d = rig.incoming();
    QCOMPARE(d->position, 5);

    // The monitor moves the slider: displays change, no seek.
    d->position = 25;
    e.tmrPosition_Timer();
    QCOMPARE(e.hscPosition.value(), 20);
    QCOMPARE(rig.park.callsOf(d->serial).filter("seek"), QStringList{"seek 5"});

    // The user drags it: the deck seeks to the value plus the start point.
    QSignalSpy percent(&e, &PlaybackEngine::positionPercentChanged);
    QVERIFY(e.hscPosition.setValue(100));
    QCOMPARE(d->position, 105);
    QCOMPARE(percent.last().at(0).toInt(), 54); // 100 of 185
    QCOMPARE(e.display().lblPosition, QStringLiteral("01:40"));
    QCOMPARE(e.display().lblTimeLeft, QStringLiteral("01:25"));
    // Beyond the playable length: refused, no seek.
    QVERIFY(!e.hscPosition.setValue(186));
    QCOMPARE(d->position, 105);
}

void TestMixer::positionSliderWithZeroMaximum() {
    Rig rig({{QStringLiteral("/m/broken.mp3"), -1}});
    PlaybackEngine& e = rig.e();
    e.hscPosition.setValue(500); // 1000 before the first load
    QCOMPARE(e.display().prgPosition, 50);
    e.btnPlay_Click();
    QCOMPARE(e.hscPosition.maximum(), 0);
    e.hscPosition_Change();
    QCOMPARE(e.display().prgPosition, 0);
}

void TestMixer::seekToMaximumReachesTransitionPoint() {
    Rig rig({{QStringLiteral("/m/1.mp3"), 200}, {QStringLiteral("/m/2.mp3"), 200}});
    PlaybackEngine& e = rig.e();
    e.btnPlay_Click();
    rig.finishTransition();
    e.hscPosition.setValue(e.hscPosition.maximum());
    QCOMPARE(rig.incoming()->position, 200);
    e.tmrPosition_Timer();
    QCOMPARE(e.CurrentIndex, 2);
}

void TestMixer::controlValueRules() {
    int runs = 0;
    ControlValue spin(100, 1, 1); // inverted range, as the spin controls have it
    spin.onChange = [&runs] { ++runs; };
    QVERIFY(spin.setValue(50));
    QCOMPARE(runs, 1);
    QVERIFY(spin.setValue(50));
    QCOMPARE(runs, 1);
    QVERIFY(!spin.setValue(0));
    QVERIFY(!spin.setValue(101));
    QVERIFY(!spin.setValue(int64_t(1) << 40));
    QCOMPARE(spin.value(), 50);
    QCOMPARE(runs, 1);
    QVERIFY(spin.setValue(100));
    QVERIFY(spin.setValue(1));
    QCOMPARE(runs, 3);
}

void TestMixer::controlValueMaximum() {
    int runs = 0;
    int mirrors = 0;
    ControlValue slider(0, 1000, 700);
    slider.onChange = [&runs] { ++runs; };
    slider.onMirror = [&mirrors] { ++mirrors; };
    QVERIFY(slider.setMaximum(900));
    QCOMPARE(runs, 0);
    QCOMPARE(mirrors, 1);
    QVERIFY(slider.setMaximum(300)); // the value follows the shrinking range
    QCOMPARE(slider.value(), 300);
    QCOMPARE(runs, 1);
    QVERIFY(!slider.setMaximum(40000)); // beyond 16 bits
    QCOMPARE(slider.maximum(), 300);
}

void TestMixer::spinsAndOptionsMirror() {
    Rig rig;
    PlaybackEngine& e = rig.e();
    QSignalSpy time(&e, &PlaybackEngine::transitionTimeValueChanged);
    QSignalSpy timeText(&e, &PlaybackEngine::transitionTimeTextChanged);
    QSignalSpy type(&e, &PlaybackEngine::transitionTypeChanged);
    QSignalSpy level(&e, &PlaybackEngine::deckLevelChanged);
    // A restored transition time equal to the designed one runs no handler.
    e.TransitionTime = 1;
    e.spinTransitionTime.setValue(1);
    QCOMPARE(time.count(), 0);
    e.spinTransitionTime.setValue(12);
    QCOMPARE(time.last().at(0).toInt(), 12);
    QCOMPARE(timeText.last().at(0).toString(), QStringLiteral("12"));
    // A stored 500 stays in the field; the control keeps its value.
    e.TransitionTime = 500;
    QVERIFY(!e.spinTransitionTime.setValue(500));
    QCOMPARE(e.TransitionTime, 500);
    QCOMPARE(e.spinTransitionTime.value(), 12);
    e.optTransition.setValue(3);
    QCOMPARE(type.last().at(0).toInt(), 3);
    QCOMPARE(e.TransitionType, 3);
    e.vscVolume[1].setValue(40);
    QCOMPARE(level.last().at(0).toInt(), 1);
    QCOMPARE(level.last().at(1).toInt(), 40);
    QCOMPARE(rig.deck(1)->volume, -1600);
}

void TestMixer::transitionNames() {
    QCOMPARE(transitionName(0), QStringLiteral("Cross Dissolve"));
    QCOMPARE(transitionName(1), QStringLiteral("Up Down"));
    QCOMPARE(transitionName(2), QStringLiteral("Down  Up"));
    QCOMPARE(transitionName(3), QStringLiteral("Mix"));
    QCOMPARE(transitionName(4), QStringLiteral("Cut"));
    QVERIFY(transitionName(5).isEmpty());
    QVERIFY(transitionName(-1).isEmpty());
}

void TestMixer::picturesShowTheCurves_data() {
    QTest::addColumn<int>("type");
    for (int t = 0; t < TransitionTypeCount; ++t)
        QTest::newRow(qPrintable(transitionName(t))) << t;
}

void TestMixer::picturesShowTheCurves() {
    QFETCH(int, type);
    const QImage image = picture(type, false);
    const Colours left = coloursIn(image, 3, 15);
    const Colours right = coloursIn(image, 60, 72);
    const Colours middle = coloursIn(image, 34, 41);
    QVERIFY2(left.red > left.blue, "the outgoing song is red, on the left");
    QVERIFY2(right.blue > right.red, "the incoming song is blue, on the right");
    switch (type) {
    case 0: // crossing diagonals: the middle holds both
    case 1: // long overlap
    case 3: // hatched block
        QVERIFY(middle.red > 0 && middle.blue > 0);
        break;
    case 2: // a white dip in the middle
    case 4: // a thin gap between two blocks
        QVERIFY(middle.white > 0);
        QCOMPARE(coloursIn(image, 37, 38).red + coloursIn(image, 37, 38).blue, 0);
        break;
    }
    // The five pictures all differ.
    for (int other = 0; other < type; ++other)
        QVERIFY(picture(other, false) != image);
}

void TestMixer::pressedPictureDiffers() {
    for (int t = 0; t < TransitionTypeCount; ++t) {
        const QImage up = picture(t, false);
        const QImage down = picture(t, true);
        QVERIFY(up != down);
        QVERIFY(coloursIn(down, 0, 75).white < coloursIn(up, 0, 75).white);
    }
}

void TestMixer::pictureSurvivesOddSizes() {
    // Tiny, empty and unknown pictures draw nothing harmful.
    const QImage tiny = picture(0, false, QSize(3, 3));
    QCOMPARE(tiny.pixel(1, 1), qRgb(0, 0, 0));
    const QImage unknown = picture(9, false);
    QCOMPARE(coloursIn(unknown, 0, 75).red, 0);
    const QImage big = picture(2, true, QSize(600, 176));
    QVERIFY(coloursIn(big, 10, 100).red > 0);
}

QTEST_MAIN(TestMixer)
#include "tst_mixer.moc"
