// The directory walk without a window: order, texts, cancel, failures and odd trees.

#include "searchtree.h"
#include "searchwalker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using searchtree::mkdirs;
using searchtree::touch;

namespace {

// Stands in for the search window: records what the walk shows and adds.
struct Recorder {
    QStringList files;
    QStringList captions;
    QStringList messages;
    QString counter = QStringLiteral("0");
    int yields = 0;
    std::function<bool()> onYield; // extra work done while events are processed
    int capacity = -1;             // -1: the list never fills
    bool keepCaptions = true;      // off for huge trees (their captions are long paths)

    SearchWalker::Hooks hooks() {
        SearchWalker::Hooks h;
        h.setCaption = [this](const QString& c) {
            if (keepCaptions || captions.isEmpty())
                captions << c;
            else
                captions.last() = c;
        };
        h.counterText = [this] { return counter; };
        h.setCounterText = [this](const QString& t) { counter = t; };
        h.addFile = [this](const QString& p) {
            if (capacity >= 0 && files.size() >= capacity)
                return false;
            files << p;
            return true;
        };
        h.processEvents = [this] {
            ++yields;
            return onYield ? onYield() : true;
        };
        h.showMessage = [this](const QString& m) { messages << m; };
        return h;
    }
};

FilePattern pattern(const QString& text) {
    FilePattern p;
    if (!p.setPattern(text))
        qFatal("bad test pattern %s", qPrintable(text));
    return p;
}

// Drops the root powers that let the tests read any directory, for as long as it lives,
// so that permission checks apply as to a normal user.
class NoDacOverride {
public:
    NoDacOverride() {
        if (geteuid() != 0)
            return;
        __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &hdr, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = syscall(SYS_capset, &hdr, reduced) == 0;
    }
    ~NoDacOverride() {
        if (m_active) {
            __user_cap_header_struct hdr{_LINUX_CAPABILITY_VERSION_3, 0};
            syscall(SYS_capset, &hdr, m_saved);
        }
    }
    bool ok() const { return geteuid() != 0 || m_active; }

private:
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

} // namespace

class TestSearchWalker : public QObject {
    Q_OBJECT
private slots:
    void patterns_data();
    void patterns();
    void refusedPatterns();
    void texts();

    void orderOfRootAB();
    void orderOfNamesAndDepth();
    void counterAndCaptionAfterThreeFiles();
    void nothingToFind();
    void rootDirectoryJoin();
    void fragmentPattern();
    void hiddenEntriesSkipped();

    void cancelAtNextDirectory();
    void cancelDuringLargeDirectory();
    void yieldsAreRateLimited();
    void ownerGoneStopsAtOnce();
    void fullListEndsWalk();
    void timersRunDuringLargeDirectory();

    void unreadableDirectorySkipped();
    void vanishedDirectorySkipped();
    void symlinkLoopVisitsOnce();
    void veryDeepTree();
};

void TestSearchWalker::patterns_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("match");
    QTest::newRow("ext") << "*.mp3"
                         << "song.mp3" << true;
    QTest::newRow("ext case") << "*.mp3"
                              << "SONG.MP3" << true;
    QTest::newRow("ext other") << "*.mp3"
                               << "song.wav" << false;
    QTest::newRow("ext suffix only") << "*.mp3"
                                     << "song.mp3.bak" << false;
    QTest::newRow("double star") << "**.mp3"
                                 << ".mp3x.mp3" << true;
    QTest::newRow("question") << "a?c.mp3"
                              << "abc.mp3" << true;
    QTest::newRow("question needs one") << "a?c.mp3"
                                        << "ac.mp3" << false;
    QTest::newRow("fragment") << "*love*.mp3"
                              << "I Love You.MP3" << true;
    QTest::newRow("fragment other ext") << "*love*.mp3"
                                        << "love.wav" << false;
    QTest::newRow("backtrack") << "*ab*ab.mp3"
                               << "xabyabzab.mp3" << true;
    QTest::newRow("list") << "*.wav;*.mp3"
                          << "a.mp3" << true;
    QTest::newRow("list miss") << "*.wav;*.mp3"
                               << "a.ogg" << false;
    QTest::newRow("all") << "*.*"
                         << "README" << true;
    QTest::newRow("non-ascii case") << "*ÉTÉ*"
                                    << "l'été.mp3" << true;
    QTest::newRow("non-ascii question") << "?t?.mp3"
                                        << "été.mp3" << true;
}

void TestSearchWalker::patterns() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, match);
    QCOMPARE(::pattern(pattern).matches(name), match);
}

void TestSearchWalker::refusedPatterns() {
    FilePattern p;
    QCOMPARE(p.pattern(), QStringLiteral("*.mp3"));
    QVERIFY(!p.setPattern(QString()));
    QVERIFY(!p.setPattern(QStringLiteral("   ")));
    QVERIFY(!p.setPattern(QStringLiteral("a/b.mp3")));
    QVERIFY(!p.setPattern(QStringLiteral("a\tb")));
    QVERIFY(!p.setPattern(QStringLiteral(";;")));
    // The old pattern stays in force.
    QCOMPARE(p.pattern(), QStringLiteral("*.mp3"));
    QVERIFY(p.matches(u"x.mp3"));
    QVERIFY(p.setPattern(QStringLiteral("*.wav")));
    QVERIFY(!p.matches(u"x.mp3"));
}

void TestSearchWalker::texts() {
    QCOMPARE(SearchText::numberText(12), QStringLiteral(" 12"));
    QCOMPARE(SearchText::numberText(0), QStringLiteral(" 0"));
    QCOMPARE(SearchText::counterValue(QStringLiteral(" 12")), 12);
    QCOMPARE(SearchText::counterValue(QStringLiteral("0")), 0);
    QCOMPARE(SearchText::counterValue(QStringLiteral("  7 files")), 7);
    QCOMPARE(SearchText::counterValue(QStringLiteral("abc")), 0);
    QCOMPARE(SearchText::counterValue(QString()), 0);
    QCOMPARE(SearchText::joinPath(QStringLiteral("/"), QStringLiteral("a.mp3")),
             QStringLiteral("/a.mp3"));
    QCOMPARE(SearchText::joinPath(QStringLiteral("/Music"), QStringLiteral("a.mp3")),
             QStringLiteral("/Music/a.mp3"));
    QCOMPARE(SearchText::searchingCaption(3), QStringLiteral("Searching...  3 Files Found "));
}

void TestSearchWalker::orderOfRootAB() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/Root";
    QVERIFY(touch(root + "/r.mp3"));
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/B/b.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    QCOMPARE(w.WalkDirectory(root), false);
    QCOMPARE(rec.files, (QStringList{root + "/B/b.mp3", root + "/A/a.mp3", root + "/r.mp3"}));
    QCOMPARE(w.currentDirectory(), root);
    QCOMPARE(w.directoriesEntered(), 3);
}

void TestSearchWalker::orderOfNamesAndDepth() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    // Names compare without regard to case; files follow their directory's subtrees.
    for (const char* f : {"b.mp3", "A.mp3", "c.MP3", "skip.wav"})
        QVERIFY(touch(root + "/" + f));
    QVERIFY(touch(root + "/x/y2/q.mp3"));
    QVERIFY(touch(root + "/x/Y1/p.mp3"));
    QVERIFY(touch(root + "/x/o.mp3"));
    QVERIFY(touch(root + "/W/n.mp3"));
    QVERIFY(mkdirs(root + "/empty"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    QVERIFY(!w.WalkDirectory(root));
    const QStringList expected{root + "/x/y2/q.mp3", root + "/x/Y1/p.mp3", root + "/x/o.mp3",
                               root + "/W/n.mp3",    root + "/A.mp3",      root + "/b.mp3",
                               root + "/c.MP3"};
    QCOMPARE(rec.files, expected);
    // The directories in the order they are entered, as the caption shows them.
    QStringList dirs;
    for (const QString& c : rec.captions)
        if (c.startsWith(root))
            dirs << c;
    QCOMPARE(dirs, (QStringList{root, root + "/x", root + "/x/y2", root + "/x/Y1", root + "/W",
                                root + "/empty"}));
}

void TestSearchWalker::counterAndCaptionAfterThreeFiles() {
    QTemporaryDir tmp;
    for (const char* f : {"1.mp3", "2.mp3", "3.mp3"})
        QVERIFY(touch(tmp.path() + "/" + f));
    Recorder rec;
    SearchWalker w(rec.hooks());
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.counter, QStringLiteral(" 3"));
    QCOMPARE(rec.captions,
             (QStringList{tmp.path(), "Searching...  1 Files Found ",
                          "Searching...  2 Files Found ", "Searching...  3 Files Found "}));
    // A second walk counts on from what the counter shows.
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.counter, QStringLiteral(" 6"));
}

void TestSearchWalker::nothingToFind() {
    QTemporaryDir tmp;
    QVERIFY(touch(tmp.path() + "/notes.txt"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.captions, QStringList{tmp.path()});
    QCOMPARE(rec.counter, QStringLiteral("0"));
    QVERIFY(rec.files.isEmpty());
    QVERIFY(rec.messages.isEmpty());
    QCOMPARE(rec.yields, 1);
}

void TestSearchWalker::rootDirectoryJoin() {
    // The filesystem root is the one directory that ends with "/": no doubled separator.
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(0); // events on entry to every directory
    w.setPattern(pattern(QStringLiteral("*")));
    rec.onYield = [&] {
        if (rec.captions.last() != "/")
            w.cancel(); // only the root's own files
        return true;
    };
    QVERIFY(w.WalkDirectory(QStringLiteral("/")));
    QVERIFY(rec.files.isEmpty());
    QCOMPARE(rec.captions.first(), QStringLiteral("/"));
    QVERIFY(rec.captions.size() >= 2);
    QVERIFY(rec.captions.at(1).startsWith(QStringLiteral("/")));
    QVERIFY(!rec.captions.at(1).startsWith(QStringLiteral("//")));
}

void TestSearchWalker::fragmentPattern() {
    QTemporaryDir tmp;
    QVERIFY(touch(tmp.path() + "/I Love You.MP3"));
    QVERIFY(touch(tmp.path() + "/love.wav"));
    QVERIFY(touch(tmp.path() + "/Hate.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setPattern(pattern(QStringLiteral("*love*.mp3")));
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.files, QStringList{tmp.path() + "/I Love You.MP3"});
}

void TestSearchWalker::hiddenEntriesSkipped() {
    QTemporaryDir tmp;
    QVERIFY(touch(tmp.path() + "/.hidden.mp3"));
    QVERIFY(touch(tmp.path() + "/.cache/in-hidden.mp3"));
    QVERIFY(touch(tmp.path() + "/shown.mp3"));
    QVERIFY(touch(tmp.path() + "/d.mp3/inner.mp3")); // a directory named like a song
    Recorder rec;
    SearchWalker w(rec.hooks());
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.files, (QStringList{tmp.path() + "/d.mp3/inner.mp3", tmp.path() + "/shown.mp3"}));
}

void TestSearchWalker::cancelAtNextDirectory() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(touch(root + "/r.mp3"));
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/B/b.mp3"));
    QVERIFY(touch(root + "/C/c.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(0); // events on entry to every directory
    // Cancel is pressed while the walk yields on entering B.
    rec.onYield = [&] {
        if (rec.captions.last() == root + "/B")
            w.cancel();
        return true;
    };
    QCOMPARE(w.WalkDirectory(root), true);
    QCOMPARE(rec.files, QStringList{root + "/C/c.mp3"});
    QCOMPARE(rec.captions.last(), QStringLiteral("Search for MP3 files"));
    QCOMPARE(w.currentDirectory(), root + "/B");
    QVERIFY(!w.keepSearching());
}

void TestSearchWalker::cancelDuringLargeDirectory() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (int i = 0; i < 300; ++i)
        QVERIFY(touch(root + QStringLiteral("/Big/%1.mp3").arg(i, 4, 10, QChar(u'0'))));
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/root.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(0);
    // Cancel arrives while the fifth file of Big is being added.
    rec.onYield = [&] {
        if (rec.files.size() == 5)
            w.cancel();
        return true;
    };
    QCOMPARE(w.WalkDirectory(root), true);
    QCOMPARE(rec.files.size(), 300); // all of Big, nothing of A or the root
    QCOMPARE(rec.files.first(), root + "/Big/0000.mp3");
    QCOMPARE(rec.files.last(), root + "/Big/0299.mp3");
    QCOMPARE(rec.counter, QStringLiteral(" 300"));
    QCOMPARE(w.currentDirectory(), root + "/Big");
    QVERIFY(!rec.captions.contains(root + "/A"));
    QCOMPARE(rec.captions.last(), QStringLiteral("Search for MP3 files"));
}

void TestSearchWalker::yieldsAreRateLimited() {
    QTemporaryDir tmp;
    for (int i = 0; i < 20; ++i)
        QVERIFY(touch(tmp.path() + QStringLiteral("/d%1/x.mp3").arg(i, 2, 10, QChar(u'0'))));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(60000);
    QVERIFY(!w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.files.size(), 20);
    QCOMPARE(rec.yields, 1); // the first directory only
    QCOMPARE(w.directoriesEntered(), 21);

    // A cancel between two yields still ends the walk at the next directory entered.
    Recorder rec2;
    SearchWalker::Hooks h = rec2.hooks();
    SearchWalker* walker = nullptr;
    h.setCaption = [&](const QString& c) {
        rec2.captions << c;
        if (c == SearchText::searchingCaption(5))
            walker->cancel();
    };
    SearchWalker w2(h);
    walker = &w2;
    w2.setYieldInterval(60000);
    QVERIFY(w2.WalkDirectory(tmp.path()));
    QCOMPARE(rec2.files.size(), 5);
    QCOMPARE(rec2.yields, 1);
    QCOMPARE(w2.currentDirectory(), tmp.path() + "/d15");
}

void TestSearchWalker::ownerGoneStopsAtOnce() {
    QTemporaryDir tmp;
    for (int i = 0; i < 50; ++i)
        QVERIFY(touch(tmp.path() + QStringLiteral("/%1.mp3").arg(i, 3, 10, QChar(u'0'))));
    QVERIFY(touch(tmp.path() + "/sub/s.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(0);
    bool gone = false;
    rec.onYield = [&] {
        if (rec.files.size() == 10)
            gone = true;
        return !gone;
    };
    QVERIFY(w.WalkDirectory(tmp.path()));
    QCOMPARE(rec.files.size(), 10);
    const int captions = rec.captions.size();
    // Nothing was touched after the owner went.
    QCOMPARE(rec.captions.last(), SearchText::searchingCaption(10));
    QCOMPARE(captions, 1 + 1 + 10); // root, sub, ten files
    QVERIFY(!w.isRunning());
}

void TestSearchWalker::fullListEndsWalk() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* f : {"A/1.mp3", "A/2.mp3", "B/1.mp3", "B/2.mp3", "r.mp3"})
        QVERIFY(touch(root + "/" + f));
    Recorder rec;
    rec.capacity = 3;
    SearchWalker w(rec.hooks());
    QVERIFY(w.WalkDirectory(root));
    QCOMPARE(rec.files, (QStringList{root + "/B/1.mp3", root + "/B/2.mp3", root + "/A/1.mp3"}));
    QCOMPARE(rec.messages,
             QStringList{QString::fromUtf8("Se ha llenado el cuadro de lista. Abandonando la "
                                           "b\xc3\xbasqueda...")});
    QCOMPARE(rec.counter, QStringLiteral(" 3"));
    QCOMPARE(rec.captions.last(), QStringLiteral("Search for MP3 files"));
}

void TestSearchWalker::timersRunDuringLargeDirectory() {
    QTemporaryDir tmp;
    for (int i = 0; i < 1500; ++i)
        QVERIFY(touch(tmp.path() + QStringLiteral("/%1.mp3").arg(i)));
    Recorder rec;
    SearchWalker::Hooks h = rec.hooks();
    h.addFile = [&](const QString& p) {
        // Adding a row with its tag takes time; 1500 of them take about 300 ms.
        QElapsedTimer t;
        t.start();
        while (t.nsecsElapsed() < 200000) {
        }
        rec.files << p;
        return true;
    };
    h.processEvents = [] {
        QCoreApplication::processEvents();
        return true;
    };
    SearchWalker w(h);
    QTimer timer;
    int ticks = 0;
    connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QElapsedTimer total;
    total.start();
    QVERIFY(!w.WalkDirectory(tmp.path()));
    const qint64 ms = total.elapsed();
    QCOMPARE(rec.files.size(), 1500);
    // The files stay in name order whatever ran in between.
    QStringList sorted = rec.files;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(rec.files, sorted);
    // Events let through only on entering the directory would give one tick at most; the
    // directory takes at least 300 ms, 15 periods of the timer.
    QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(ms)));
}

void TestSearchWalker::unreadableDirectorySkipped() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/Locked/secret.mp3"));
    QVERIFY(touch(root + "/Locked/Inner/deep.mp3"));
    QVERIFY(touch(root + "/Z/z.mp3"));
    QVERIFY(touch(root + "/r.mp3"));
    QVERIFY(QFile::setPermissions(root + "/Locked", QFileDevice::Permissions()));
    Recorder rec;
    SearchWalker w(rec.hooks());
    {
        NoDacOverride asUser;
        QVERIFY2(asUser.ok(), "cannot drop the root permission override");
        QVERIFY(!w.WalkDirectory(root));
    }
    QFile::setPermissions(root + "/Locked",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(rec.files, (QStringList{root + "/Z/z.mp3", root + "/A/a.mp3", root + "/r.mp3"}));
    QCOMPARE(w.directoriesSkipped(), 1);
    QVERIFY(rec.messages.isEmpty());
}

void TestSearchWalker::vanishedDirectorySkipped() {
    QTemporaryDir tmp;
    const QString root = tmp.path();
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/B/b.mp3"));
    QVERIFY(touch(root + "/C/c.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    w.setYieldInterval(0); // events on entry to every directory
    // B disappears while the walk yields on entering it.
    rec.onYield = [&] {
        if (rec.captions.last() == root + "/B")
            QDir(root + "/B").removeRecursively();
        return true;
    };
    QVERIFY(!w.WalkDirectory(root));
    QCOMPARE(rec.files, (QStringList{root + "/C/c.mp3", root + "/A/a.mp3"}));
    QCOMPARE(w.directoriesSkipped(), 1);
    QCOMPARE(w.currentDirectory(), root);
}

void TestSearchWalker::symlinkLoopVisitsOnce() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + "/Root";
    QVERIFY(touch(root + "/A/a.mp3"));
    QVERIFY(touch(root + "/r.mp3"));
    QVERIFY(QFile::link(root, root + "/A/up")); // back to the top
    QVERIFY(QFile::link(root + "/A", root + "/A/self"));
    QVERIFY(QFile::link(root + "/A/a.mp3", root + "/linked.mp3")); // a linked file is a file
    QVERIFY(QFile::link(root + "/nowhere", root + "/dangling.mp3"));
    Recorder rec;
    SearchWalker w(rec.hooks());
    QVERIFY(!w.WalkDirectory(root));
    QCOMPARE(rec.files, (QStringList{root + "/A/a.mp3", root + "/linked.mp3", root + "/r.mp3"}));
    QCOMPARE(w.directoriesEntered(), 4); // Root, A, and the two links seen as known
}

void TestSearchWalker::veryDeepTree() {
    // Deeper than any path may be long (2500 levels of "d/").
    QTemporaryDir tmp;
    const int depth = 2500;

    int fd = open(QFile::encodeName(tmp.path()).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(fd >= 0);
    for (int i = 0; i < depth; ++i) {
        if (i % 500 == 0) {
            const int f = openat(fd, "x.mp3", O_CREAT | O_WRONLY, 0644);
            QVERIFY(f >= 0);
            close(f);
        }
        QVERIFY(mkdirat(fd, "d", 0755) == 0);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        QVERIFY(next >= 0);
        close(fd);
        fd = next;
    }
    const int f = openat(fd, "bottom.mp3", O_CREAT | O_WRONLY, 0644);
    QVERIFY(f >= 0);
    close(f);
    close(fd);

    Recorder rec;
    rec.keepCaptions = false;
    SearchWalker w(rec.hooks());
    // On a thread with a small stack: a walk that recursed per level would overflow it.
    bool abandoned = true;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { abandoned = w.WalkDirectory(tmp.path()); }));
    thread->setStackSize(128 * 1024);
    thread->start();
    QVERIFY(thread->wait(60000));
    // QTemporaryDir works with paths and cannot remove this; climb back up by "..".
    fd = open(QFile::encodeName(tmp.path()).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    for (int i = 0; i < depth; ++i) {
        unlinkat(fd, "x.mp3", 0);
        unlinkat(fd, "bottom.mp3", 0);
        const int up = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = up;
        QVERIFY(unlinkat(fd, "d", AT_REMOVEDIR) == 0);
    }
    close(fd);
    QVERIFY(!abandoned);
    QCOMPARE(w.directoriesEntered(), depth + 1);
    QCOMPARE(w.directoriesSkipped(), 0);
    QCOMPARE(rec.files.size(), depth / 500 + 1);
    QVERIFY(rec.files.first().endsWith(QStringLiteral("/d/bottom.mp3")));
    QCOMPARE(rec.files.first().count(QStringLiteral("/d")), depth);
    QCOMPARE(rec.files.last(), tmp.path() + "/x.mp3");
}

QTEST_GUILESS_MAIN(TestSearchWalker)
#include "tst_searchwalker.moc"
