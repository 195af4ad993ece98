// Without a session bus the player starts, plays and closes as before.

#include "app/frmplayer.h"
#include "app/mprisbridge.h"
#include "support/audiocapture.h"
#include "support/fixtures.h"
#include "support/memorysettingsstore.h"
#include "support/testplayer.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::app;
using volaro::testing::TestPlayer;

class TestMprisNoBus : public QObject {
    Q_OBJECT

private slots:
    void playsWithoutABus() {
        QTemporaryDir dir;
        const QString song = dir.filePath(QStringLiteral("a.wav"));
        QVERIFY(volaro::fixtures::writeWav(song, {.frequency = 450, .seconds = 10}));

        MemorySettingsStore store;
        TestPlayer w(store);
        w.Form_Load({QStringLiteral("volaro"), song});
        MprisBridge mpris(w);
        QVERIFY(!mpris.published());
        w.show();
        QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Play"));
        const volaro::capture::DiskCapture capture(
            volaro::capture::DiskCapture::pathFromEnvironment());
        QTest::qWait(1500); // past the fade-in
        const int64_t n = 44100 * 3 / 10;
        const auto heard = capture.read(capture.frames() - n, n);
        QVERIFY(volaro::capture::toneAmplitude(heard, 2, 0, 44100, 450) > 0.1);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<QMessageBox*>(top));
        w.close();
        QCOMPARE(store.values.value(QStringLiteral("BasicAudio/Volume")), QStringLiteral("64"));
    }
};

QTEST_MAIN(TestMprisNoBus)
#include "tst_mprisnobus.moc"
