// Open time of files far larger than any song: what a deck (and, when the playlist library
// is built, the tag reader) costs on the GUI thread for a 1 GiB and a 128 MiB file without
// any MPEG sync, and for 3-second songs padded with zeros to 1 GiB. The files are sparse,
// so they take no disk space; each figure is the slowest of a few runs.
// Usage: bench_hugefiles [RUNS]   (default 3)

#include "benchfiles.h"
#include "deck/player.h"
#ifdef VOLARO_BENCH_TAGS
#include "playlist/tagreader.h"
#endif

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace volaro::deck;
using namespace volaro::playlist;

using namespace volaro;

namespace {

constexpr qint64 GiB = qint64(1) << 30;

QString sparseFile(const QString& name, qint64 size, const QString& headOf = {}) {
    const QString dir = QDir::tempPath() + "/volaro-bench-deck";
    QDir().mkpath(dir);
    const QString path = dir + "/" + name;
    if (QFileInfo(path).size() == size)
        return path;
    QFile::remove(path);
    if (!headOf.isEmpty() && !QFile::copy(headOf, path)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(headOf));
        std::exit(1);
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(size)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

// The slowest of the runs, in milliseconds.
double slowestMs(int runs, const std::function<void()>& fn) {
    double worst = 0;
    for (int i = 0; i < runs; ++i) {
        const double t0 = bench::wallSeconds();
        fn();
        worst = std::max(worst, (bench::wallSeconds() - t0) * 1000);
    }
    return worst;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    bench::defaultToSilentOutput();
    const QStringList outputs = Player::outputNames();
    const QString output = outputs.isEmpty() ? QString() : outputs.first();

    const QString vbr = bench::cachedMp3("vbrnohdr-3s.mp3", 3, fixtures::Mp3Kind::VbrNoHeader, 4);
    const QString cbr = bench::cachedMp3("cbr-3s.mp3", 3, fixtures::Mp3Kind::Cbr, 128);
    struct Case {
        const char* label;
        QString path;
    };
    const Case cases[] = {
        {"1 GiB, no MPEG sync", sparseFile("nosync-1g.mp3", GiB)},
        {"128 MiB, no MPEG sync", sparseFile("nosync-128m.mp3", 128 << 20)},
        {"3 s VBR song without header, padded to 1 GiB",
         sparseFile("vbr3s-padded-1g.mp3", GiB, vbr)},
        {"3 s CBR song with LAME header, padded to 1 GiB",
         sparseFile("cbr3s-padded-1g.mp3", GiB, cbr)},
    };
    std::printf("slowest of %d runs, milliseconds on the calling thread:\n", runs);
    std::printf("  %-50s %14s %10s\n", "file", "deck open", "tag read");
    for (const Case& c : cases) {
        int32_t duration = 0;
        const double open = slowestMs(runs, [&] {
            Player p;
            p.setFilename(c.path);
            p.setOutputDevice(output);
            p.OpenFile();
            duration = p.Duration();
        });
        double tags = -1;
#ifdef VOLARO_BENCH_TAGS
        tags = slowestMs(runs, [&] {
            TagReader r;
            r.setFilename(c.path);
            r.ReadTag();
        });
#endif
        std::printf("  %-50s %11.1f ms %7.1f ms   (Duration %d s)\n", c.label, open, tags,
                    duration);
    }
    return 0;
}
