// Transition timing as heard: real decks on SDL's disk driver play two tones and every
// Cross Dissolve is measured in the captured output, from the first sound of the incoming
// song to the last of the outgoing one (the closing tick). Also the GUI thread's CPU time
// per transition and the wall time from the start to the closing tick.
//
// bench_transitions [count per length] [lengths in seconds...]   (default: 5, 1 5 10)

#include "deck/player.h"
#include "support/audioprobe.h"
#include "support/fakedeck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace volaro::deck;
using namespace volaro::playback;
using namespace volaro::testing;
using namespace volaro::capture;

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Runs the event loop (idle between events) for `ms`.
void pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the transition's closing tick.
void waitForClosingTick(PlaybackEngine& engine) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!engine.tmrTransition.isActive())
            loop.quit();
    });
    poll.start(20);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "disk");
    if (qEnvironmentVariableIsEmpty("SDL_DISKAUDIOFILE"))
        qputenv("SDL_DISKAUDIOFILE", dir.filePath("capture.raw").toLocal8Bit());
    QCoreApplication app(argc, argv);

    int count = 5;
    QList<int> lengths{1, 5, 10};
    const QStringList args = app.arguments();
    if (args.size() > 1)
        count = std::max(1, args[1].toInt());
    if (args.size() > 2) {
        lengths.clear();
        for (int i = 2; i < args.size(); ++i)
            if (args[i].toInt() > 0)
                lengths << args[i].toInt();
    }

    const QString output = Player::outputNames().value(0);
    if (output.isEmpty()) {
        std::fprintf(stderr, "no audio output\n");
        return 1;
    }
    const int longest = *std::max_element(lengths.begin(), lengths.end());
    const QString a = dir.filePath("a.wav");
    const QString b = dir.filePath("b.wav");
    // Each song must outlast its fade-in plus the pause before the next transition, or
    // the position monitor would start the next song while the transition still runs.
    const double songSeconds = 2.0 * longest + 6;
    if (!volaro::fixtures::writeWav(a, probeSpec(450, songSeconds)) ||
        !volaro::fixtures::writeWav(b, probeSpec(990, songSeconds))) {
        std::fprintf(stderr, "cannot write the tones\n");
        return 1;
    }

    FakeList list;
    list.locations = {a, b};
    PlaybackEngine engine(playerDeckFactory(), list);
    engine.setOutputDevice(output);
    engine.play();
    while (engine.tmrTransition.isActive()) // song 1 at full level at once
        engine.tmrTransition_Timer();
    pump(300);
    DiskCapture capture(DiskCapture::pathFromEnvironment());

    std::printf("Cross Dissolve at master volume 85; lengths heard in the captured output\n");
    std::printf("%6s %4s %9s %10s %9s %8s %10s %10s\n", "T (s)", "#", "tick (ms)", "nominal(s)",
                "heard(s)", "err(%)", "wall (s)", "GUI CPU(ms)");
    for (int t : lengths) {
        double worst = 0;
        double cpuSum = 0;
        for (int i = 0; i < count; ++i) {
            engine.setTransitionSeconds(t);
            const int next = engine.currentIndex() == 1 ? 2 : 1;
            const double outgoing = next == 2 ? 450 : 990;
            const double incoming = next == 2 ? 990 : 450;
            list.selected = next;
            const int64_t mark = capture.frames();
            const double cpu0 = threadCpuSeconds();
            QElapsedTimer wall;
            wall.start();
            engine.playSelected();
            const int tick = engine.tmrTransition.interval();
            waitForClosingTick(engine);
            const double wallSeconds = wall.nsecsElapsed() / 1e9;
            const double cpu = threadCpuSeconds() - cpu0;
            pump(400);
            const std::vector<float> heard = capture.read(mark, capture.frames() - mark);
            const FadeMarks m = measureFade(heard, outgoing, incoming);
            const double seconds = (m.inHeard >= 0 && m.outGone > m.inHeard)
                                       ? double(m.outGone - m.inHeard) / ProbeRate
                                       : -1;
            const double error = seconds > 0 ? (seconds - t) / t * 100.0 : 0;
            worst = std::max(worst, std::abs(error));
            cpuSum += cpu;
            std::printf("%6d %4d %9d %10.3f %9.3f %8.2f %10.3f %10.2f\n", t, i + 1, tick,
                        tick * 86 / 1000.0, seconds, error, wallSeconds, cpu * 1000);
            std::fflush(stdout);
        }
        std::printf("T=%d s: worst error %.2f %%, mean GUI CPU per transition %.2f ms\n", t, worst,
                    cpuSum / count * 1000);
    }
    engine.stop();
    return 0;
}
