// The real program as the session's one player, its list kept across a close and a crash.

#include "support/fixtures.h"
#include "support/sinkcapture.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <vector>

using volaro::capture::SinkCapture;
using volaro::fixtures::readBytes;

namespace {

constexpr double ToneA = 450, ToneB = 990, ToneC = 630; // on exact 30 Hz bins

int slowdown() {
    return std::max(1, qEnvironmentVariableIntValue("VOLARO_TEST_SLOWDOWN"));
}

} // namespace

class TestInstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_players;
    std::unique_ptr<SinkCapture> m_sink;
    QProcess* m_player = nullptr;

    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString keptFile() const { return file(QStringLiteral("state/Volaro/playlist.m3u8")); }

    QProcess& start(const QStringList& arguments) {
        auto& p = m_players.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), file(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), file(QStringLiteral("state")));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(QStringLiteral(VOLARO_BINARY), arguments);
        p->waitForStarted();
        return *p;
    }

    // A start that hands its arguments over: it ends within half a second, successfully.
    bool handsOver(const QStringList& arguments) {
        QElapsedTimer clock;
        clock.start();
        QProcess& p = start(arguments);
        const bool ended = p.waitForFinished(5000);
        const qint64 took = clock.elapsed();
        if (took > 500 * slowdown())
            qWarning("the start handing over ended after %lld ms", took);
        return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
               took <= 500 * slowdown();
    }

    // The kept list's state line and rows, as expected within two seconds.
    bool keeps(int playing, const QStringList& names) {
        QStringList expected{
            QStringLiteral("#VOLARO-STATE:rows=%1,playing=%2").arg(names.size()).arg(playing)};
        for (const QString& name : names)
            expected << file(name);
        QStringList kept;
        const bool same = QTest::qWaitFor(
            [&] {
                kept = QString::fromUtf8(readBytes(keptFile())).split(QStringLiteral("\r\n"));
                kept = kept.mid(1, kept.size() - 2); // the header and the last line end
                return kept == expected;
            },
            2000);
        if (!same)
            qWarning() << "kept:" << kept;
        return same;
    }

    // A new start brings the kept list back (writing what it restored) and plays nothing.
    bool restartKeeps(int playing, const QStringList& names) {
        // The ended player's last sound leaves the sink first.
        if (!QTest::qWaitFor([&] { return volaro::capture::rms(m_sink->last(0.25), 2, 0) < 0.005; },
                             3000))
            return false;
        const QDateTime before = QFileInfo(keptFile()).lastModified();
        m_player = &start({});
        return QTest::qWaitFor([&] { return QFileInfo(keptFile()).lastModified() > before; },
                               5000 * slowdown()) &&
               keeps(playing, names) && !m_sink->hears(0, 2000);
    }

private slots:
    void initTestCase() {
        for (const auto& [name, tone] : {std::pair{"a", ToneA}, {"b", ToneB}, {"c", ToneC}})
            QVERIFY(volaro::fixtures::writeWav(file(name + QString(".wav")),
                                               {.frequency = tone, .seconds = 30}));
        QVERIFY(volaro::fixtures::writeBytes(file("ca.m3u"), "c.wav\r\na.wav\r\n"));
        m_sink = std::make_unique<SinkCapture>(QString(), file("sink.raw"));
        QVERIFY(m_sink->started());
    }

    void cleanupTestCase() {
        for (auto& p : m_players)
            if (p->state() != QProcess::NotRunning) {
                ::kill(static_cast<pid_t>(p->processId()), SIGCONT);
                p->kill();
                p->waitForFinished();
            }
    }

    void laterStartsHandOverToTheFirst() {
        m_player = &start({file("a.wav")});
        QVERIFY(keeps(1, {"a.wav"}));
        QVERIFY(m_sink->hears(ToneA, 5000 * slowdown()));
        // A song, then a list: added at the end, the first added heard next.
        QVERIFY(handsOver({file("b.wav")}));
        QVERIFY(keeps(2, {"a.wav", "b.wav"}));
        QVERIFY(m_sink->hears(ToneB, 3000));
        QVERIFY(handsOver({file("ca.m3u")}));
        QVERIFY(keeps(3, {"a.wav", "b.wav", "c.wav", "a.wav"}));
        QVERIFY(m_sink->hears(ToneC, 3000));
        QVERIFY(handsOver({})); // only brings the window up
        QCOMPARE(m_player->state(), QProcess::Running);

        // A hung player does not hold a new start up, which plays beside it.
        const auto playerPid = static_cast<pid_t>(m_player->processId());
        ::kill(playerPid, SIGSTOP);
        QProcess& beside = start({file("b.wav")});
        QVERIFY(!beside.waitForFinished(1500 * slowdown()));
        QVERIFY(m_sink->hears(ToneB, 3000));
        ::kill(playerPid, SIGCONT);
        beside.terminate();
        QVERIFY(beside.waitForFinished(5000));
        // A separate player on purpose.
        QProcess& separate = start({QStringLiteral("--new-instance"), file("b.wav")});
        QVERIFY(!separate.waitForFinished(1500 * slowdown()));
        separate.terminate();
        QVERIFY(separate.waitForFinished(5000));
        // Neither touched the first one's list, and the first, woken, refused the late file.
        QVERIFY(keeps(3, {"a.wav", "b.wav", "c.wav", "a.wav"}));
    }

    void listSurvivesCloseAndCrash() {
        QVERIFY(m_player);
        m_player->terminate(); // a logout: the window's own close
        QVERIFY(m_player->waitForFinished(5000));
        QCOMPARE(m_player->exitCode(), 0);
        QVERIFY(restartKeeps(3, {"a.wav", "b.wav", "c.wav", "a.wav"}));

        // An edit, a second, and the player killed: the edit is kept.
        QVERIFY(handsOver({file("b.wav")}));
        QVERIFY(m_sink->hears(ToneB, 3000));
        QTest::qWait(1000);
        ::kill(static_cast<pid_t>(m_player->processId()), SIGKILL);
        QVERIFY(m_player->waitForFinished(5000));
        QVERIFY(restartKeeps(5, {"a.wav", "b.wav", "c.wav", "a.wav", "b.wav"}));
    }
};

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
