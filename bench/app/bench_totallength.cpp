// "Calculate Total" over generated MP3s of the three kinds (CBR, VBR with a Xing header,
// VBR without one) whose lengths are not yet known: songs measured per second on real
// decks, then the second run, which takes every length from the list.
//
// Usage: bench_totallength [songs=2000] [seconds per song=30]

#include "app/totallength.h"
#include "deck/player.h"
#include "playlist/cliplistmodel.h"
#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

using namespace volaro::app;
using namespace volaro::deck;
using namespace volaro::playlist;

using volaro::fixtures::Mp3Kind;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int songs = argc > 1 ? std::atoi(argv[1]) : 2000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30;

    // Songs are kept between runs: encoding thousands of them takes longer than measuring.
    const QString dir =
        QDir::temp().filePath(QStringLiteral("volaro-bench-totallength-%1").arg(seconds));
    QDir().mkpath(dir);
    const Mp3Kind kinds[] = {Mp3Kind::Cbr, Mp3Kind::VbrXing, Mp3Kind::VbrNoHeader};
    ClipListModel list;
    for (int i = 0; i < songs; ++i) {
        const Mp3Kind kind = kinds[i % 3];
        const QString path = QStringLiteral("%1/song%2.mp3").arg(dir).arg(i);
        if (!QFile::exists(path)) {
            volaro::fixtures::Signal s;
            s.seconds = seconds;
            s.noise = 0.05;
            s.seed = static_cast<unsigned>(i);
            if (!volaro::fixtures::writeMp3(path, s, kind, kind == Mp3Kind::Cbr ? 128 : 4)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
        ClipRow row;
        row.texts[0] = QStringLiteral("song %1").arg(i);
        row.texts[7] = path;
        list.insertRow(list.count() + 1, row);
    }

    const QString output = Player::outputNames().value(0);
    std::unique_ptr<Player> deck;
    // As the window does: a fresh deck on the chosen output for every song measured.
    auto measure = [&](const QString& path) -> int32_t {
        deck = std::make_unique<Player>();
        deck->setOutputDevice(output);
        deck->setFilename(path);
        deck->OpenFile();
        return deck->Duration();
    };
    TotalLength total(
        list, measure, [](const QString&, int) {}, [] { QCoreApplication::processEvents(); });

    // No trims: a song plays whole.
    const TotalLengthSettings settings{[](const QString&, int32_t duration) {
                                           return volaro::deck::SongSpan{0, duration};
                                       },
                                       1, volaro::playback::TransitionType::CrossDissolve};
    QElapsedTimer t;
    t.start();
    const double first = total.run(settings);
    const double firstMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    t.restart();
    const double second = total.run(settings);
    const double secondMs = static_cast<double>(t.nsecsElapsed()) / 1e6;

    std::printf("songs: %d of %.0f s (CBR, VBR+Xing, VBR without header in turn)\n", songs,
                seconds);
    std::printf("first run (measuring): %.1f ms, %.0f songs/s (goal >= 500/s)\n", firstMs,
                songs / (firstMs / 1000));
    std::printf("second run (lengths from the list): %.2f ms\n", secondMs);
    std::printf("total: %.0f s, same both runs: %s\n", first, first == second ? "yes" : "NO");
    return first == second ? 0 : 1;
}
