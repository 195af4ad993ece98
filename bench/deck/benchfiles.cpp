#include "benchfiles.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace volaro::bench {

QString cachedMp3(const QString& name, double seconds, fixtures::Mp3Kind kind, int bitrate) {
    const QString dir = QDir::tempPath() + "/volaro-bench-deck";
    QDir().mkpath(dir);
    const QString path = dir + "/" + name;
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "generating %s ...\n", qPrintable(path));
        fixtures::Signal s;
        s.seconds = seconds;
        s.frequency = 330;
        s.amplitude = 0.3;
        s.noise = 0.15; // some content for the encoder to work on, VBR frames of all sizes
        const QString tmp = path + ".part";
        if (!fixtures::writeMp3(tmp, s, kind, bitrate) || !QFile::rename(tmp, path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
    }
    return path;
}

static double clockSeconds(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double processCpuSeconds() {
    return clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double threadCpuSeconds() {
    return clockSeconds(CLOCK_THREAD_CPUTIME_ID);
}

double wallSeconds() {
    return clockSeconds(CLOCK_MONOTONIC);
}

void defaultToSilentOutput() {
    if (!std::getenv("SDL_AUDIODRIVER")) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    }
}

} // namespace volaro::bench
