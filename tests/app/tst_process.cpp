// The installed program as a desktop session runs it: started with a file, ended by a
// logout's SIGTERM or by Ctrl+C, and refusing to start without any sound system.

#include "fixtures.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

class TestProcess : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    QProcessEnvironment environment(const QString& driver) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), driver);
        return env;
    }

    QString settingsFile() const {
        return m_home.filePath(QStringLiteral("config/Volaro/Volaro.conf"));
    }

private slots:
    void terminationSavesTheSettings_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("logout (SIGTERM)") << int(SIGTERM);
        QTest::newRow("Ctrl+C (SIGINT)") << int(SIGINT);
    }

    void terminationSavesTheSettings() {
        QFETCH(int, signal);
        QFile::remove(settingsFile());
        QDir().mkpath(m_home.filePath(QStringLiteral("config/Volaro")));
        {
            QSettings s(settingsFile(), QSettings::IniFormat);
            s.setValue(QStringLiteral("Transitions/TransitionTime"), QStringLiteral("7"));
        }
        volaro::fixtures::Signal tone;
        tone.seconds = 5;
        const QString song = m_home.filePath(QStringLiteral("song one.wav"));
        QVERIFY(volaro::fixtures::writeWav(song, tone));

        QProcess player;
        player.setProcessEnvironment(environment(QStringLiteral("dummy")));
        player.start(QStringLiteral(VOLARO_BINARY), {song});
        QVERIFY(player.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(player.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(player.processId()), signal);
        QVERIFY(player.waitForFinished(10000));
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.exitCode(), 0);

        QSettings s(settingsFile(), QSettings::IniFormat);
        QCOMPARE(s.value(QStringLiteral("Transitions/TransitionTime")).toString(),
                 QStringLiteral("7"));
        QCOMPARE(s.value(QStringLiteral("BasicAudio/Volume")).toString(), QStringLiteral("64"));
        QCOMPARE(s.value(QStringLiteral("ShowOptions/ShowOptions")).toString(),
                 QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
