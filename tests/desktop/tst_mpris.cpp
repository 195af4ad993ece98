// The player on the session bus, driven by the real playerctl, heard on the default sink.

#include "app/frmplayer.h"
#include "app/mprisbridge.h"
#include "playlist/cliplistview.h"
#include "playlist/playlistedit.h"
#include "support/fixtures.h"
#include "support/sinkcapture.h"
#include "support/tagfixtures.h"
#include "support/testplayer.h"
#include "system/inisettingsstore.h"
#include "system/mprisservice.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace volaro::app;
using namespace volaro::playlist;
using namespace volaro::system;

using volaro::capture::SinkCapture;
using volaro::system::MprisService;
using volaro::testing::TestPlayer;

namespace {

constexpr double ToneA = 450, ToneB = 990, ToneC = 630; // on exact 30 Hz bins

// playerctl's answer; the window answers its calls meanwhile.
QString playerctl(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("playerctl"),
            QStringList{QStringLiteral("-p"), QStringLiteral("volaro")} + args);
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000))
        return QStringLiteral("(no answer)");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A call to the player, as a sound menu makes it.
QDBusMessage call(const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(MprisService::ServiceName, MprisService::ObjectPath,
                                          interface, method);
}

bool silent(const SinkCapture& sink) {
    return QTest::qWaitFor([&] { return volaro::capture::rms(sink.last(0.25), 2, 0) < 0.005; },
                           3000);
}

} // namespace

class TestMpris : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_files;
    QStringList m_statuses;  // PlaybackStatus values announced, in order
    int m_metadataCount = 0; // Metadata announcements
    QList<qlonglong> m_seeks;

    QString file(const QString& name) const { return m_files.filePath(name); }

    bool writeSong(const QString& name, double frequency, const QString& title) {
        return volaro::fixtures::writeWav(file(name), {.frequency = frequency, .seconds = 40}) &&
               volaro::fixtures::tagSong(
                   file(name),
                   {{"TITLE", title}, {"ARTIST", "Artist " + title.right(1)}, {"ALBUM", "Album"}});
    }

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&) {
        QCOMPARE(interface, MprisService::PlayerInterface);
        if (changed.contains(QStringLiteral("PlaybackStatus")))
            m_statuses << changed.value(QStringLiteral("PlaybackStatus")).toString();
        m_metadataCount += changed.contains(QStringLiteral("Metadata"));
    }
    void seeked(qlonglong position) { m_seeks << position; }

    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        for (const auto& [name, tone] : {std::pair{"a", ToneA}, {"b", ToneB}, {"c", ToneC}})
            QVERIFY(writeSong(name + QString(".wav"), tone, "Song " + QString(name).toUpper()));
        // A name that is not UTF-8 (Latin-1 "cé.wav").
        QVERIFY(::rename(QFile::encodeName(file("c.wav")),
                         QFile::encodeName(file("c")) + "\xE9.wav") == 0);
    }

    void playerctlDrivesTheWindowAndTheSound() {
        SinkCapture sink({}, file("sink.raw"));
        QVERIFY(sink.started());
        IniSettingsStore store;
        TestPlayer w(store);
        w.Form_Load({QStringLiteral("volaro")});
        w.ui().spinCutFirst->setValue(2); // positions and lengths count from the start point
        MprisBridge mpris(w);
        QVERIFY(mpris.published());
        w.show();
        DropFiles(w.ui().lstClipList->clipModel(), {file("a.wav"), file("b.wav")}, 1);

        // A listener of its own, as a sound menu would be.
        QDBusConnection listener =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener"));
        QVERIFY(listener.connect(MprisService::ServiceName, MprisService::ObjectPath,
                                 QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("PropertiesChanged"), this,
                                 SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        QVERIFY(listener.connect(MprisService::ServiceName, MprisService::ObjectPath,
                                 MprisService::PlayerInterface, QStringLiteral("Seeked"), this,
                                 SLOT(seeked(qlonglong))));

        // Command, whether it plays after, the song announced; "pause" only ever pauses.
        const std::tuple<const char*, bool, const char*> steps[] = {
            {"play", true, "Song A"},        {"next", true, "Song B"},
            {"previous", true, "Song A"},    {"pause", false, "Song A"},
            {"pause", false, "Song A"},      {"play", true, "Song A"},
            {"play-pause", false, "Song A"}, {"play-pause", true, "Song A"}};
        for (const auto& [command, plays, title] : steps) {
            const QString song = QString::fromLatin1(title);
            QCOMPARE(playerctl({command}), QString());
            QVERIFY2(plays ? sink.hears(song == "Song B" ? ToneB : ToneA, 3000) : silent(sink),
                     command);
            QCOMPARE(w.ui().lblStatus->text(), QString(plays ? "Play" : "Pause"));
            QCOMPARE(playerctl({"status"}), QString(plays ? "Playing" : "Paused"));
            QCOMPARE(playerctl({"metadata", "--format",
                                "{{title}}|{{artist}}|{{album}}|{{mpris:length}}"}),
                     song + "|Artist " + song.right(1) + "|Album|38000000");
        }
        // Position: the slider moves, the song jumps, listeners hear of it.
        QCOMPARE(playerctl({"position", "20"}), QString());
        QTRY_COMPARE(w.ui().hscPosition->value(), 20);
        const double position = playerctl({"position"}).toDouble();
        QVERIFY2(position >= 20 && position < 22, qPrintable(QString::number(position)));
        QTRY_COMPARE(m_seeks, QList<qlonglong>{20000000});

        // Volume: the master slider, and the song 13.2 dB quieter (levels 64 -> 43).
        const double loud = sink.heard(ToneA, 0.3);
        QCOMPARE(playerctl({"volume", "0.5"}), QString());
        QCOMPARE(w.ui().lblMasterVolume->text(), QStringLiteral("51%"));
        QCOMPARE(playerctl({"volume"}), QStringLiteral("0.505882"));
        const double drop = volaro::capture::decibels(sink.heard(ToneA, 0.5), loud);
        QVERIFY2(qAbs(drop + 13.23) < 1.5, qPrintable(QString::number(drop)));
        // A relative Seek: back from where it is by now (the song plays on meanwhile).
        const auto before = qlonglong(playerctl({"position"}).toDouble() * 1e6);
        QCOMPARE(playerctl({"position", "5-"}), QString());
        QTRY_COMPARE(m_seeks.size(), 2);
        QVERIFY2(m_seeks[1] >= before - 6000000 && m_seeks[1] <= before - 3000000,
                 qPrintable(QString("%1 from %2").arg(m_seeks[1]).arg(before)));

        QCOMPARE(playerctl({"shuffle", "On"}), QString());
        QVERIFY(w.ui().chkRndPlay->isChecked());
        QCOMPARE(playerctl({"shuffle"}), QStringLiteral("On"));

        // A file handed over is appended and plays, whatever the bytes of its name.
        const QString uri = "file://" + file("c%E9.wav");
        QCOMPARE(playerctl({"open", uri}), QString());
        QCOMPARE(w.ui().lstClipList->clipModel().count(), 3);
        QVERIFY(sink.hears(ToneC, 3000, 0.05)); // at the lower volume
        QCOMPARE(playerctl({"metadata", "title"}), QStringLiteral("Song C"));
        QCOMPARE(playerctl({"metadata", "xesam:url"}), uri);
        // An offset near the top of the range lies past the end: Next, no wrap-around.
        const QDBusPendingCall seek = listener.asyncCall(call(MprisService::PlayerInterface, "Seek")
                                                         << std::numeric_limits<qlonglong>::max());
        QTRY_VERIFY(seek.isFinished());
        QCOMPARE(w.engine().currentIndex(), int16_t(0)); // Next from the last row

        QCOMPARE(playerctl({"stop"}), QString());
        QVERIFY(silent(sink));
        QCOMPARE(w.ui().lblStatus->text(), QStringLiteral("Stop"));
        // One announcement per change of state and per song (A, B, A, C), none from the
        // ticks, the volume, the list or a second "Play" between.
        QTRY_COMPARE(m_statuses,
                     (QStringList{"Playing", "Paused", "Playing", "Paused", "Playing", "Stopped"}));
        QCOMPARE(m_metadataCount, 4);

        // Quit is the window's own close: the settings are saved.
        listener.asyncCall(call("org.mpris.MediaPlayer2", "Quit"));
        QTRY_VERIFY(!w.isVisible());
        QSettings saved(m_config.filePath(QStringLiteral("Volaro/Volaro.conf")),
                        QSettings::IniFormat);
        QCOMPARE(saved.value("BasicAudio/Volume").toInt(), 43);
        QCOMPARE(saved.value("RandomPlayback/rnd").toInt(), 1);
    }

    // Unwritable settings: Quit closes the window at once, no box waits for an absent user.
    void quitWhenTheSettingsCannotBeWritten() {
        ::unlink(QFile::encodeName(file("c")) + "\xE9.wav");    // QTemporaryDir would not see it
        IniSettingsStore store(file("a.wav") + "/Volaro.conf"); // below a file
        TestPlayer w(store);
        w.Form_Load({QStringLiteral("volaro")});
        MprisBridge mpris(w);
        w.show();
        bool boxShown = false;
        QTimer boxes;
        connect(&boxes, &QTimer::timeout, [&] {
            if (QWidget* box = QApplication::activeModalWidget())
                boxShown = box->close();
        });
        boxes.start(50);
        const QDBusPendingCall quit =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"))
                .asyncCall(call("org.mpris.MediaPlayer2", "Quit"));
        QTRY_VERIFY(quit.isFinished() && !w.isVisible());
        QVERIFY(!quit.isError());
        QVERIFY(!boxShown);
    }
};

QTEST_MAIN(TestMpris)
#include "tst_mpris.moc"
