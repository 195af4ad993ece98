// Bad input on the command line: the real window shows it and answers, the real program ends.

#include "app/frmplayer.h"
#include "base/filename.h"
#include "playlist/cliplistview.h"
#include "support/audiocapture.h"
#include "support/codecfixtures.h"
#include "support/fixtures.h"
#include "support/memorysettingsstore.h"
#include "support/testplayer.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace volaro::fixtures;
using namespace volaro::capture;
using namespace volaro::app;
using namespace volaro::playlist;
using volaro::testing::TestPlayer;

namespace {

constexpr int Rate = 44100;
constexpr double ToneCut = 450, ToneNext = 990; // the song that is cut, the one after it

// Runs work and the event loop for ms: the longest the GUI thread left a 10 ms timer waiting.
qint64 longestStall(const std::function<void()>& work, int ms) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(10);
    work();
    QTest::qWait(ms);
    return std::max(worst, clock.elapsed() - last);
}

// True once the process handles the signal: the earliest moment it can close in order.
bool catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ull << (signal - 1));
    return false;
}

// The real program in folders of its own; arguments pass printf %b, so any bytes pass.
struct Program {
    QTemporaryDir home;
    QProcess process;
    QString error; // what it wrote on standard error

    QString config() const { return home.filePath(QStringLiteral("Volaro/Volaro.conf")); }
    QString cache() const { return home.filePath(QStringLiteral("cache/Volaro/analysis.cache")); }

    // Started and catching SIGTERM; fileSize: what a file may hold, a full disk's stand-in.
    bool start(const QStringList& arguments, const QString& folder = {},
               rlim_t fileSize = RLIM_INFINITY) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder);
        process.setChildProcessModifier([fileSize] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSize, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{"-c",
                                  "p=$1; shift; for a; do set -- \"$@\" \"$(printf %b \"$a\")\"; "
                                  "shift; done; exec \"$p\" \"$@\"",
                                  "sh", QStringLiteral(VOLARO_BINARY),
                                  // one the user runs must not get the test's files
                                  QStringLiteral("--new-instance")} +
                          arguments);
        return process.waitForStarted() &&
               QTest::qWaitFor([&] { return catches(process.processId(), SIGTERM); }, 5000);
    }
    // The program has the file (its bytes) open: it plays it.
    bool plays(const QByteArray& file) const {
        return QTest::qWaitFor(
            [&] {
                const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
                for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::AllEntries | QDir::System))
                    if (char target[4096]; ::readlink(QFile::encodeName(fd.filePath()), target,
                                                      sizeof target) == file.size() &&
                                           file == QByteArray(target, file.size()))
                        return true;
                return false;
            },
            5000);
    }
    // The signal ends it at once, normally.
    bool ends(int signal = SIGTERM) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
        const bool ended = process.waitForFinished(5000);
        error = QString::fromUtf8(process.readAllStandardError());
        if (!ended)
            qWarning("the signal did not close the program");
        return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
};

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_config;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString list(const QString& name, const QStringList& lines) {
        const QString p = path(name);
        writeBytes(p, lines.join(QStringLiteral("\r\n")).toLocal8Bit());
        return p;
    }

    // An 8 s song at 320 kbit/s (200,000 bytes hold its first 5 s), then another song.
    QString songThenAnother(const QString& name) {
        writeMp3(path(name + ".mp3"), {.frequency = ToneCut, .seconds = 8}, Mp3Kind::Cbr, 320);
        writeWav(path(name + "-next.wav"), {.frequency = ToneNext, .seconds = 8});
        return list(name + ".m3u", {path(name + ".mp3"), path(name + "-next.wav")});
    }

    // Closed before it goes, as the user would close it.
    using Window = std::unique_ptr<TestPlayer, decltype([](TestPlayer* w) {
                                       w->close();
                                       delete w;
                                   })>;

    // The window loads the argument as at start-up (and plays it); its list afterwards.
    Window window(MemorySettingsStore& store, const QString& argument) {
        store.values.insert(QStringLiteral("BasicAudio/Volume"), QStringLiteral("85"));
        Window w(new TestPlayer(store));
        const qint64 stall = longestStall(
            [&] {
                w->Form_Load({QStringLiteral("volaro"), argument});
                w->show();
            },
            1500);
        // A second, or that many under the sanitizers' slowdown (their leg sets it).
        const qint64 limit =
            1000 * std::max(1, qEnvironmentVariableIntValue("VOLARO_TEST_SLOWDOWN"));
        if (stall > limit)
            qWarning("the window did not answer for %lld ms", stall);
        return stall > limit ? nullptr : std::move(w);
    }

    ClipListModel& rows(TestPlayer& w) { return w.ui().lstClipList->clipModel(); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid() && m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    // Files that cannot be songs and broken lists: every row tried is measured as nothing.
    void badArgument_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("playing");  // the row that ends up playing, 0 for none
        QTest::addColumn<QString>("told"); // what the status bar says, empty for nothing new
        QVERIFY(writeBytes(path("empty.mp3"), {}));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.mp3")));
        QCOMPARE(::mkfifo(QFile::encodeName(path("fifo.mp3")).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path("zero.mp3")));
        QFile sparse(path("sparse.mp3"));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 30));
        for (const char* name : {"empty", "folder", "fifo", "zero", "sparse"})
            QTest::newRow(name) << path(QString::fromLatin1(name) + ".mp3") << 1 << 0 << QString();
        // The FFmpeg kinds: 1 GiB of junk, nothing, an M4A whose index was never written.
        QFile junk(path("junk.m4a"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.resize(qint64(1) << 30));
        QVERIFY(junk.write(QByteArray(1 << 20, '\x5A').append("ftypM4A ")) > 0);
        junk.close();
        QVERIFY(writeBytes(path("empty.wma"), {}));
        QVERIFY(writeEncoded(path("whole.m4a"), Codec::AacM4a, render({}), Rate, 2));
        const QByteArray m4a = readBytes(path("whole.m4a"));
        QVERIFY(writeBytes(path("noindex.m4a"), m4a.left(m4a.lastIndexOf("moov") - 4)));
        for (const char* name : {"junk.m4a", "empty.wma", "noindex.m4a"})
            QTest::newRow(name) << path(QString::fromLatin1(name)) << 1 << 0 << QString();
        QVERIFY(writeWav(path("fine.wav"), {}));
        QVERIFY(writeBytes(path("text.mp3"), "no audio here\n"));
        // Every entry is a row, the empty line too; none plays.
        QTest::newRow("only broken files")
            << list("broken.m3u", {path("missing.mp3"), "", path("text.mp3"), m_dir.path()}) << 4
            << 0 << QStringLiteral("Nothing in the list can be played");
        // Its own name is a row that does not play (not read again as a list); the next plays.
        QTest::newRow("naming itself")
            << list("self.m3u", {path("self.m3u"), path("fine.wav")}) << 2 << 2 << QString();
        // The list holds what fits; the window answers throughout the seconds of tag reading.
        QVERIFY(writeWav(path("long.wav"), {.seconds = 20}));
        const QStringList many(40000, path("long.wav"));
        QTest::newRow("40,000 lines") << list("many.m3u", many) << int(ClipListModel::MaxRows) << 1
                                      << QStringLiteral("7,233 entries were not added: a list "
                                                        "holds at most 32,767 songs");
    }

    void badArgument() {
        QFETCH(QString, file);
        QFETCH(int, count);
        QFETCH(int, playing);
        QFETCH(QString, told);
        MemorySettingsStore store;
        auto w = window(store, file);
        QVERIFY(w);
        QCOMPARE(rows(*w).count(), count);
        if (count == 1)
            QCOMPARE(rows(*w).text(1, ClipListModel::ColTitle), QFileInfo(file).completeBaseName());
        if (playing)
            QTRY_COMPARE(w->engine().currentIndex(), int16_t(playing));
        for (int row = 1; row <= (playing ? playing - 1 : std::min(count, 4)); ++row)
            QCOMPARE(rows(*w).text(row, ClipListModel::ColLength), QStringLiteral("00:00"));
        if (!told.isEmpty())
            QTRY_COMPARE(w->ui().statusPanel2->text(), told);
        // A logout's SIGTERM or Ctrl+C's SIGINT ends the program at once, settings saved.
        Program player;
        QVERIFY(player.start({file}));
        QVERIFY(player.ends(count == 1 ? SIGTERM : SIGINT));
        const QSettings saved(player.config(), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("BasicAudio/Volume")).toString(), QStringLiteral("64"));
    }

    // Names as the file system has them, on the real program's command line: each plays.
    void namesOnTheCommandLine() {
        const QByteArray dir = QFile::encodeName(m_dir.path()) + '/';
        // The arguments (printf %b escapes) and the file they name.
        const std::pair<QStringList, QByteArray> cases[] = {
            {{m_dir.path() + "/caf\\0351 \\0344.wav"}, "caf\xE9 \xE4.wav"}, // Latin-1
            {{"--", "-reverse"}, "-reverse"}};                              // an option?
        for (const auto& [arguments, name] : cases) {
            QVERIFY(writeWav(volaro::base::fileNameFromBytes(dir + name), {.seconds = 8}));
            Program player;
            QVERIFY(player.start(arguments, m_dir.path()));
            QVERIFY2(player.plays(dir + name), name.constData());
            QVERIFY(player.ends());
            ::unlink(dir + name); // QDir would not see it to clean up
        }
    }

    // Its own files or their disk gone bad never hold it: SIGTERM ends it, stderr says why.
    // With no extra that uses it on, no song is analysed (no cache is written).
    void ownFilesNeverHoldTheProgram() {
        const QByteArray stored = "[BasicAudio]\nVolume=70\n";
        // Settings ("|": a pipe), a pipe as the cache, a file size limit, standard error.
        const std::tuple<QByteArray, bool, int, QString> cases[] = {
            {"|", false, -1, "was not read: it is a named pipe"},
            // Said at the start, and not at the end, when the file has been written anew.
            {stored + "\x01\x02[[junk", false, -1, "is damaged"},
            {stored, false, 10, "could not be saved to"},
            {stored, true, -1, ""},
            // The one extra that uses the analysis for its beats alone.
            {"[Extras]\nMatchBeats=1\n" + stored, false, -1, ""}};
        for (const auto& [settings, cachePipe, fileSize, told] : cases) {
            Program player;
            QVERIFY(QDir().mkpath(QFileInfo(player.config()).path()));
            QVERIFY(QDir().mkpath(QFileInfo(player.cache()).path()));
            QVERIFY(settings == "|" ? ::mkfifo(QFile::encodeName(player.config()), 0600) == 0
                                    : writeBytes(player.config(), settings));
            QVERIFY(!cachePipe || ::mkfifo(QFile::encodeName(player.cache()), 0600) == 0);
            QVERIFY(player.start({songThenAnother("own")}, {},
                                 fileSize < 0 ? RLIM_INFINITY : rlim_t(fileSize)));
            const bool analysed = settings.contains("MatchBeats=1");
            QTest::qWait(1000);
            QVERIFY(!analysed ||
                    QTest::qWaitFor([&] { return QFileInfo::exists(player.cache()); }, 20000));
            QVERIFY(player.ends());
            QVERIFY2(player.error.contains(told), qPrintable(player.error));
            QCOMPARE(player.error.count(QStringLiteral("Volaro.conf")), told.isEmpty() ? 0 : 1);
            QCOMPARE(QFileInfo(player.cache()).exists(), cachePipe || analysed);
            if (fileSize > 0) // the file as it was, and why not
                QVERIFY(readBytes(player.config()) == settings &&
                        player.error.contains("File too large"));
            const QSettings saved(player.config(), QSettings::IniFormat);
            QCOMPARE(saved.status(), QSettings::NoError);
            // A pipe was never read: the defaults were saved.
            QCOMPARE(saved.value(QStringLiteral("BasicAudio/Volume")).toString(),
                     settings == "|" ? "64" : "70");
        }
    }

    // A song cut by another program while it plays: silence, then the list goes on.
    void songCutWhilePlaying() {
        DiskCapture capture(DiskCapture::pathFromEnvironment());
        auto heard = [&](double tone) {
            const int64_t end = capture.frames();
            return toneAmplitude(capture.read(end - Rate / 5, Rate / 5), 2, 0, Rate, tone);
        };
        for (const qint64 cutTo : {0, 200000}) { // to nothing, or to its first 5 s
            const QString name = QStringLiteral("cut%1").arg(cutTo);
            MemorySettingsStore store;
            auto w = window(store, songThenAnother(name));
            QVERIFY(w);
            QTRY_VERIFY(heard(ToneCut) > 0.2);
            QVERIFY(QFile::resize(path(name + ".mp3"), cutTo));
            // What had been read before the cut may still play (up to 5.4 s of the song).
            QTRY_VERIFY_WITH_TIMEOUT(heard(ToneCut) < 0.001, 6000);
            QCOMPARE(w->engine().currentIndex(), int16_t(1));
            QTRY_COMPARE_WITH_TIMEOUT(w->engine().currentIndex(), int16_t(2), 8000);
            QTRY_VERIFY(heard(ToneNext) > 0.2);
        }
    }
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
