// The directory walk without a window: patterns, order, cancel, failures and odd trees.

#include "search/searchwalker.h"
#include "searchtree.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace volaro::search;

using searchtree::touch;
using searchtree::touchAll;

namespace {

// Stands in for the search window: records what the walk shows and adds.
struct Recorder {
    QStringList files, captions;
    QString counter = QStringLiteral("0");
    int yields = 0;
    std::function<bool()> onYield; // extra work done while events are processed

    SearchWalker::Hooks hooks() {
        SearchWalker::Hooks h;
        h.setCaption = [this](const QString& c) { captions << c; };
        h.counterText = [this] { return counter; };
        h.setCounterText = [this](const QString& t) { counter = t; };
        h.addFile = [this](const QString& p) { return files << p, true; };
        h.processEvents = [this] { return ++yields, onYield ? onYield() : true; };
        h.showMessage = [](const QString& m) { QFAIL(qPrintable("unexpected message " + m)); };
        return h;
    }
};

} // namespace

class TestSearchWalker : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_tmp; // a fresh folder for every case
    QString root;

private slots:
    void init() {
        m_tmp = std::make_unique<QTemporaryDir>();
        root = m_tmp->path();
    }

    void patterns() {
        const std::tuple<const char*, const char*, bool> rows[] = {
            {"*.mp3", "SONG.MP3", true},
            {"*.mp3", "song.mp3.bak", false},
            {"a?c.mp3", "ac.mp3", false},
            {"*ab*ab.mp3", "xabyabzab.mp3", true},
            {"*.*", "README", true},
            {"*ÉTÉ*", "l'été.mp3", true},
            {"?t?.mp3", "été.mp3", true},
            {"*.mp3; *.wav", "a.wav", true},
            {"*\U00010428*", "x\U00010400.mp3", true}, // a capital beyond 16 bits
        };
        for (const auto& [pattern, name, match] : rows) {
            FilePattern p;
            QVERIFY(p.setPattern(QString::fromUtf8(pattern)));
            QVERIFY2(p.matches(QString::fromUtf8(name)) == match, name);
        }
        // Refused patterns leave the old one in force.
        FilePattern p;
        QCOMPARE(p.pattern(), QStringLiteral("*.mp3"));
        for (const char* bad : {"", "   ", "a/b.mp3", "a\tb", ";;"})
            QVERIFY2(!p.setPattern(QString::fromUtf8(bad)), bad);
        QCOMPARE(p.pattern(), QStringLiteral("*.mp3"));
        QVERIFY(p.matches(u"x.mp3"));
    }

    void orderOfNamesAndDepth() {
        // Case-blind names; files after their folder's subtrees; no dot entries; d.mp3 is a folder.
        QVERIFY(touchAll(root, {"b.mp3", "A.mp3", "c.MP3", "skip.wav", "x/y2/q.mp3", "x/Y1/p.mp3",
                                "x/o.mp3", "W/n.mp3", ".hidden.mp3", ".cache/in-hidden.mp3",
                                "d.mp3/inner.mp3"}));
        QVERIFY(QDir().mkpath(root + "/empty"));
        Recorder rec;
        SearchWalker w(rec.hooks());
        QVERIFY(!w.WalkDirectory(root));
        const QStringList expected{
            root + "/x/y2/q.mp3",      root + "/x/Y1/p.mp3", root + "/x/o.mp3", root + "/W/n.mp3",
            root + "/d.mp3/inner.mp3", root + "/A.mp3",      root + "/b.mp3",   root + "/c.MP3"};
        QCOMPARE(rec.files, expected);
        // The directories in the order they are entered, as the caption shows them.
        const QRegularExpression inRoot("^" + QRegularExpression::escape(root));
        QCOMPARE(rec.captions.filter(inRoot),
                 (QStringList{root, root + "/x", root + "/x/y2", root + "/x/Y1", root + "/W",
                              root + "/empty", root + "/d.mp3"}));
    }

    // Events pass at most once a minute here; a cancel between still ends at the next directory.
    void cancelBetweenRateLimitedYields() {
        for (int i = 0; i < 20; ++i)
            QVERIFY(touch(root + QStringLiteral("/d%1/x.mp3").arg(i, 2, 10, QChar(u'0'))));
        Recorder rec;
        SearchWalker::Hooks h = rec.hooks();
        SearchWalker* walker = nullptr;
        h.setCaption = [&](const QString& c) {
            if (c == SearchText::searchingCaption(5))
                walker->cancel();
        };
        SearchWalker w(h);
        walker = &w;
        w.setYieldInterval(60000);
        QVERIFY(w.WalkDirectory(root));
        QCOMPARE(rec.files.size(), 5);
        QCOMPARE(rec.yields, 1); // the first directory only
        QCOMPARE(w.currentDirectory(), root + "/d15");
    }

    void timersRunDuringLargeDirectory() {
        for (int i = 0; i < 1500; ++i)
            QVERIFY(touch(root + QStringLiteral("/%1.mp3").arg(i)));
        Recorder rec;
        SearchWalker::Hooks h = rec.hooks();
        h.addFile = [&](const QString& p) {
            // Adding a row with its tag takes time; 1500 of them take about 300 ms.
            for (const QDeadlineTimer busy(std::chrono::microseconds(200)); !busy.hasExpired();) {
            }
            return rec.files << p, true;
        };
        h.processEvents = [] { return QCoreApplication::processEvents(), true; };
        SearchWalker w(h);
        QTimer timer;
        int ticks = 0;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        QVERIFY(!w.WalkDirectory(root));
        QCOMPARE(rec.files.size(), 1500);
        // Events only on entering the directory would give one tick; it takes 15 timer periods.
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }

    void unreadableOrVanishedDirectorySkipped() {
        QVERIFY(touchAll(root, {"A/a.mp3", "B/b.mp3", "Locked/secret.mp3", "Locked/Inner/deep.mp3",
                                "Z/z.mp3", "r.mp3"}));
        QVERIFY(QFile::setPermissions(root + "/Locked", QFileDevice::Permissions()));
        for (const QString& open : {root, root + "/B"}) // the ordinary user below may delete B
            QVERIFY(QFile::setPermissions(open, QFileDevice::Permissions::fromInt(0x7777)));
        Recorder rec;
        SearchWalker w(rec.hooks());
        w.setYieldInterval(0); // events on entry to every directory
        // B disappears while the walk yields on entering it.
        rec.onYield = [&] {
            if (rec.captions.last() == root + "/B")
                QDir(root + "/B").removeRecursively();
            return true;
        };
        {
            volaro::fixtures::AsOrdinaryUser asUser;
            QVERIFY(asUser.active());
            QVERIFY(!w.WalkDirectory(root));
        }
        QFile::setPermissions(root + "/Locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
        QCOMPARE(rec.files, (QStringList{root + "/Z/z.mp3", root + "/A/a.mp3", root + "/r.mp3"}));
        QCOMPARE(w.directoriesSkipped(), 2);
        QCOMPARE(w.currentDirectory(), root);
    }

    void symlinkLoopVisitsOnce() {
        QVERIFY(touchAll(root, {"A/a.mp3", "r.mp3"}));
        QVERIFY(QFile::link(root, root + "/A/up")); // back to the top
        QVERIFY(QFile::link(root + "/A", root + "/A/self"));
        QVERIFY(QFile::link(root + "/A/a.mp3", root + "/linked.mp3")); // a linked file is a file
        QVERIFY(QFile::link(root + "/nowhere", root + "/dangling.mp3"));
        Recorder rec;
        SearchWalker w(rec.hooks());
        QVERIFY(!w.WalkDirectory(root));
        QCOMPARE(rec.files,
                 (QStringList{root + "/A/a.mp3", root + "/linked.mp3", root + "/r.mp3"}));
        QCOMPARE(w.directoriesEntered(), 4); // Root, A, and the two links seen as known
    }

    void veryDeepTree() {
        // Deeper than any path may be long (2500 levels of "d/"), so built one level at a time.
        const int depth = 2500;
        const QByteArray start = QFile::encodeName(QDir::currentPath());
        QVERIFY(chdir(QFile::encodeName(root).constData()) == 0);
        for (int i = 0; i <= depth; ++i) {
            if (i % 500 == 0)
                QVERIFY(QFile(i == depth ? "bottom.mp3" : "x.mp3").open(QIODevice::WriteOnly));
            QVERIFY(i == depth || (mkdir("d", 0755) == 0 && chdir("d") == 0));
        }
        QVERIFY(chdir(start.constData()) == 0);

        Recorder rec;
        SearchWalker w(rec.hooks());
        // On a thread with a small stack: a walk that recursed per level would overflow it.
        bool abandoned = true;
        std::unique_ptr<QThread> thread(
            QThread::create([&] { abandoned = w.WalkDirectory(root); }));
        thread->setStackSize(128 * 1024);
        thread->start();
        QVERIFY(thread->wait(60000));
        // QTemporaryDir works with paths and cannot remove this; rm works level by level.
        QCOMPARE(QProcess::execute("rm", {"-rf", root + "/d"}), 0);
        QCOMPARE(std::tuple(abandoned, w.directoriesEntered(), rec.files.size()),
                 std::tuple(false, depth + 1, qsizetype(depth / 500 + 1)));
        QCOMPARE(rec.files.first().count(QStringLiteral("/d")), depth);
        QCOMPARE(rec.files.last(), root + "/x.mp3");
    }
};

QTEST_GUILESS_MAIN(TestSearchWalker)
#include "tst_searchwalker.moc"
