// Walks a generated tree of 100,000 entries (10,000 of them MP3 files, half of those with
// ID3v2 tags) and prints entries/s next to find(1) run on the same tree, then the files/s
// when every found file is read for its tag, next to TagLib alone: the walk reading each tag
// in turn on one thread, and the search window, which reads them on worker threads.
//
// Usage: bench_searchwalk [directory to build the tree in]

#include "search/searchwalker.h"
#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#ifdef VOLARO_BENCH_WITH_PLAYLIST
#include "playlist/cliplistmodel.h"
#include "playlist/cliplistview.h"
#include "playlist/songrecord.h"
#include "search/dirlistview.h"
#include "search/winseek.h"
#include "support/memorysettingsstore.h"

#include <QApplication>
#include <QSettings>

using namespace volaro::playlist;
using namespace volaro::search;
#endif

namespace {

constexpr int Rounds = 4; // of the tag readers taking turns
constexpr int Groups = 10, Subgroups = 10, Leaves = 10, FilesPerLeaf = 99, Mp3PerLeaf = 10;

bool buildTree(const QString& root, const QByteArray& plainMp3, const QByteArray& taggedMp3,
               qint64& entries) {
    const char* others[] = {".txt", ".jpg", ".wav", ".m3u", ".mp3.bak", ".cue"};
    int serial = 0;
    for (int g = 0; g < Groups; ++g) {
        for (int s = 0; s < Subgroups; ++s) {
            for (int l = 0; l < Leaves; ++l) {
                const QString dir =
                    QStringLiteral("%1/Artist %2/Album %3/Disc %4").arg(root).arg(g).arg(s).arg(l);
                if (!QDir().mkpath(dir))
                    return false;
                for (int f = 0; f < FilesPerLeaf; ++f) {
                    QString name;
                    QByteArray bytes;
                    if (f < Mp3PerLeaf) {
                        name = QStringLiteral("%1 Track %2.%3")
                                   .arg(serial++, 6, 10, QChar(u'0'))
                                   .arg(f)
                                   .arg(f % 3 == 0 ? QStringLiteral("MP3") : QStringLiteral("mp3"));
                        bytes = (f % 2) ? taggedMp3 : plainMp3;
                    } else {
                        name = QStringLiteral("other %1%2").arg(f).arg(others[f % 6]);
                    }
                    QFile file(dir + u'/' + name);
                    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                        return false;
                    ++entries;
                }
            }
        }
    }
    entries += Groups + Groups * Subgroups + Groups * Subgroups * Leaves;
    return true;
}

double bestOf(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
#ifdef VOLARO_BENCH_WITH_PLAYLIST
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QTemporaryDir tmp(argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/volaro-bench-XXXXXX"
                               : QDir::tempPath() + "/volaro-bench-XXXXXX");
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot create the tree directory\n");
        return 1;
    }
    const QString root = tmp.path();

    // One short MP3, written plain and with an ID3v2 tag.
    const QString seed = root + "/seed.mp3";
    volaro::fixtures::Signal sig;
    sig.seconds = 0.3;
    sig.channels = 1;
    if (!volaro::fixtures::writeMp3(seed, sig, volaro::fixtures::Mp3Kind::Cbr, 64)) {
        std::fprintf(stderr, "cannot write the seed MP3\n");
        return 1;
    }
    QFile seedFile(seed);
    seedFile.open(QIODevice::ReadOnly);
    const QByteArray plain = seedFile.readAll();
    seedFile.close();
    {
        TagLib::MPEG::File f(QFile::encodeName(seed).constData());
        TagLib::ID3v2::Tag* tag = f.ID3v2Tag(true);
        tag->setTitle("Benchmark Song");
        tag->setArtist("The Walkers");
        tag->setAlbum("Trees");
        tag->setYear(2026);
        tag->setGenre("Rock");
        tag->setComment("generated");
        f.save();
    }
    seedFile.open(QIODevice::ReadOnly);
    const QByteArray tagged = seedFile.readAll();
    seedFile.close();
    QFile::remove(seed);

    const QString tree = root + "/tree";
    qint64 entries = 0;
    QElapsedTimer build;
    build.start();
    if (!buildTree(tree, plain, tagged, entries)) {
        std::fprintf(stderr, "cannot build the tree\n");
        return 1;
    }
    std::printf("tree: %lld entries (%d MP3 files) built in %.0f ms\n", (long long)entries,
                Groups * Subgroups * Leaves * Mp3PerLeaf, build.elapsed() * 1.0);

    // find(1), the reference.
    int findCount = 0;
    const double findMs = bestOf(5, [&] {
        QProcess p;
        p.start(QStringLiteral("find"), {tree, QStringLiteral("-iname"), QStringLiteral("*.mp3")});
        p.waitForFinished(-1);
        findCount = int(p.readAllStandardOutput().count('\n'));
    });

    // The walk, files collected as paths only.
    QStringList found;
    SearchWalker::Hooks h;
    QString counter = QStringLiteral("0");
    QString caption;
    h.setCaption = [&](const QString& c) { caption = c; };
    h.counterText = [&] { return counter; };
    h.setCounterText = [&](const QString& t) { counter = t; };
    h.processEvents = [] { return true; };
    h.showMessage = [](const QString&) {};
    h.addFile = [&](const QString& p) {
        found << p;
        return true;
    };
    SearchWalker walker(h);
    const double walkMs = bestOf(5, [&] {
        found.clear();
        counter = QStringLiteral("0");
        walker.WalkDirectory(tree);
    });

    std::printf("find -iname '*.mp3': %8.1f ms  %9.0f entries/s  (%d files)\n", findMs,
                entries / findMs * 1000, findCount);
    std::printf("walk, no tags:       %8.1f ms  %9.0f entries/s  (%lld files)  %.2fx find\n",
                walkMs, entries / walkMs * 1000, (long long)found.size(), walkMs / findMs);

    // TagLib alone over the same files, the reference for reading tags; then the walk and the
    // window that read the same tags. The three take turns, round after round, so that a load
    // coming and going on the machine weighs on each alike and their ratios hold.
    const QStringList files = found;
    int titled = 0;
    const auto taglibAlone = [&] {
        titled = 0;
        for (const QString& p : files) {
            TagLib::FileRef ref(QFile::encodeName(p).constData(), false);
            if (!ref.isNull() && ref.tag() && !ref.tag()->title().isEmpty())
                ++titled;
        }
    };
#ifdef VOLARO_BENCH_WITH_PLAYLIST
    // The walk reading each file's tag in turn: every file becomes a result row.
    ClipListModel rows;
    h.addFile = [&](const QString& p) {
        if (rows.count() >= ClipListModel::MaxRows)
            return false;
        AddFileToList(p, 0, rows);
        return true;
    };
    SearchWalker tagWalker(h);
    const auto walkWithTags = [&] {
        rows.clear();
        counter = QStringLiteral("0");
        tagWalker.WalkDirectory(tree);
    };
    // The whole search as the user starts it, in the window (offscreen), rows shown.
    MemorySettingsStore settings;
    int windowRows = 0;
    double windowMs = 1e30, tagMs = 1e30;
#endif
    double taglibMs = 1e30;
    for (int round = 0; round < Rounds; ++round) {
        taglibMs = std::min(taglibMs, bestOf(1, taglibAlone));
#ifdef VOLARO_BENCH_WITH_PLAYLIST
        tagMs = std::min(tagMs, bestOf(1, walkWithTags));
        WinSeek w(settings, [](const QString&) {});
        w.show();
        w.dirList()->setPath(tree);
        windowMs = std::min(windowMs, bestOf(1, [&] { w.cmdSearch_Click(); }));
        windowRows = w.lstClipList()->clipModel().count();
#endif
    }
    std::printf("TagLib alone:        %8.1f ms  %9.0f files/s    (%d titled)\n", taglibMs,
                files.size() / taglibMs * 1000, titled);
#ifdef VOLARO_BENCH_WITH_PLAYLIST
    std::printf("walk, tags in turn:  %8.1f ms  %9.0f files/s    (%d rows)  %.2fx TagLib\n", tagMs,
                rows.count() / tagMs * 1000, rows.count(), tagMs / taglibMs);
    std::printf("search window:       %8.1f ms  %9.0f files/s    (%d rows)  %.2fx TagLib\n",
                windowMs, windowRows / windowMs * 1000, windowRows, windowMs / taglibMs);
#endif
    return findCount == found.size() ? 0 : 2;
}
