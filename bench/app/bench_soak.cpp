// Soak run: the real program plays a generated list of short songs (every kind of MP3 and
// WAV, each a tone of its own) through SDL's disk driver for a given time. Watched from
// outside only, through /proc and the sound it writes:
//  - per minute: resident memory, threads, CPU, songs started;
//  - stalls: the output file not growing (the audio device stands still), a silence (no
//    deck is playing: a song ended and no other took over), or one song heard for longer
//    than it lasts (the list stopped moving on).
// At the end the program is closed with SIGTERM and must exit cleanly.
//
// Usage: bench_soak [MINUTES] [ENTRIES] [extras]   (default 15 minutes, the 10 songs)
//   ENTRIES: a longer list, each entry a path of its own (a hard link to one of the songs),
//   so the analysis has that many songs to learn; "extras": levelling and silence skipping
//   on. The analyser thread's CPU is shown beside the whole program's.

#include "support/audiocapture.h"
#include "support/fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace volaro;
using fixtures::Mp3Kind;

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr double SongSeconds = 5;
constexpr int Songs = 10;
constexpr double TickSeconds = 0.1;
// Worse than this counts as a stall.
constexpr double MaxOutputGap = 0.5;
constexpr double MaxSilence = 1.0;
constexpr double MaxOneSong = SongSeconds + 2;

double toneOf(int song) {
    return 300 + 60 * song; // exact bins of a 0.1 s window: no song leaks into another
}

struct ProcSample {
    double rssMb = 0;
    int threads = 0;
    double cpuSeconds = 0;
    double analyserSeconds = 0; // the SongAnalyser thread's
    char state = '?';
};

// utime + stime of /proc/.../stat, in seconds.
double cpuOf(const QString& statPath, char* state = nullptr) {
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray all = stat.readAll();
    // Fields after the command name, which may hold spaces: state is field 3, utime and
    // stime fields 14 and 15.
    const QList<QByteArray> f = all.mid(all.lastIndexOf(')') + 2).split(' ');
    if (f.size() <= 12)
        return 0;
    if (state)
        *state = f[0].isEmpty() ? '?' : f[0][0];
    return (f[11].toDouble() + f[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

ProcSample sample(qint64 pid) {
    ProcSample s;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 2 && f[0] == "VmRSS:")
                s.rssMb = f[1].toDouble() / 1024;
            else if (f.size() >= 2 && f[0] == "Threads:")
                s.threads = f[1].toInt();
        }
    }
    s.cpuSeconds = cpuOf(QStringLiteral("/proc/%1/stat").arg(pid), &s.state);
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "SongAnalyser")
            s.analyserSeconds = cpuOf(tasks.filePath(task + "/stat"));
    }
    return s;
}

// The songs and their list of `entries` paths; the kinds take turns.
QString writeSongs(const QDir& dir, int entries) {
    QStringList lines;
    for (int i = 0; i < Songs; ++i) {
        fixtures::Signal s;
        s.frequency = toneOf(i);
        s.seconds = SongSeconds;
        s.amplitude = 0.5;
        const QString stem = dir.filePath(QStringLiteral("song%1").arg(i));
        bool ok = false;
        switch (i % 4) {
        case 0:
            ok = fixtures::writeWav(stem + ".wav", s);
            lines << stem + ".wav";
            break;
        default:
            const Mp3Kind kinds[] = {Mp3Kind::Cbr, Mp3Kind::VbrXing, Mp3Kind::VbrNoHeader};
            ok = fixtures::writeMp3(stem + ".mp3", s, kinds[i % 4 - 1], i % 4 == 1 ? 192 : 4);
            lines << stem + ".mp3";
        }
        if (!ok) {
            std::fprintf(stderr, "cannot write the songs in %s\n", qPrintable(dir.path()));
            std::exit(1);
        }
    }
    for (int k = Songs; k < entries; ++k) {
        const QString link =
            dir.filePath(QStringLiteral("entry%1.").arg(k)) + QFileInfo(lines[k % Songs]).suffix();
        if (::link(QFile::encodeName(lines[k % Songs]), QFile::encodeName(link)) != 0)
            std::exit(1);
        lines << link;
    }
    const QString list = dir.filePath(QStringLiteral("soak.m3u"));
    QFile f(list);
    if (!f.open(QIODevice::WriteOnly) || f.write(lines.join("\r\n").toLocal8Bit()) < 0)
        std::exit(1);
    return list;
}

// Which song is heard in a stretch of output, -1 for silence.
int songHeard(const std::vector<float>& samples) {
    if (capture::rms(samples, Channels, 0) < 1e-4)
        return -1;
    int best = 0;
    double bestLevel = 0;
    for (int i = 0; i < Songs; ++i) {
        const double level = capture::toneAmplitude(samples, Channels, 0, Rate, toneOf(i));
        if (level > bestLevel) {
            bestLevel = level;
            best = i;
        }
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double minutes = argc > 1 ? std::atof(argv[1]) : 15;
    const int entries = argc > 2 ? std::atoi(argv[2]) : Songs;
    const bool extras = argc > 3 && QByteArray(argv[3]) == "extras";
    QTemporaryDir dir;
    const QString list = writeSongs(QDir(dir.path()), entries);
    if (extras && !fixtures::writeBytes(dir.filePath(QStringLiteral("config/Volaro/Volaro.conf")),
                                        "[Extras]\nLevelLoudness=1\nSkipSilence=1\n"))
        return 1;
    const QString output = dir.filePath(QStringLiteral("output.raw"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), output);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    QProcess player;
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start(QStringLiteral(VOLARO_BINARY), {QStringLiteral("--new-instance"), list});
    if (!player.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s\n", VOLARO_BINARY);
        return 1;
    }
    const qint64 pid = player.processId();
    std::printf("soak: %s playing %d songs of %.0f s in %d entries, extras %s, for %.1f min "
                "(pid %lld)\n",
                VOLARO_BINARY, Songs, SongSeconds, entries, extras ? "on" : "off", minutes, pid);
    std::printf("%4s %9s %8s %9s %11s %7s %9s %9s %9s\n", "min", "RSS MB", "threads", "CPU %",
                "analyser %", "songs", "gap s", "silent s", "one song");

    capture::DiskCapture capture(output);
    QElapsedTimer clock;
    clock.start();
    int64_t readTo = 0, seen = 0;
    double lastGrowth = 0, silentFor = 0, sameFor = 0;
    double worstGap = 0, worstSilence = 0, worstSame = 0;
    int current = -2, started = 0, stalls = 0, minute = 0;
    ProcSample atMinute = sample(pid);
    double minuteCpu = atMinute.cpuSeconds, minuteAnalyser = atMinute.analyserSeconds;
    double firstRss = 0, maxRss = 0;
    auto stall = [&](const char* what, double seconds) {
        ++stalls;
        std::printf("  STALL at %.1f s: %s for %.2f s\n", clock.elapsed() / 1000.0, what, seconds);
    };
    // Output starts once the program has loaded the list and pressed Play.
    while (capture.frames() == 0 && clock.elapsed() < 20000)
        QThread::msleep(50);
    const double start = clock.elapsed() / 1000.0;
    lastGrowth = start;
    while (clock.elapsed() / 1000.0 - start < minutes * 60) {
        QThread::msleep(static_cast<unsigned long>(TickSeconds * 1000));
        if (player.state() != QProcess::Running) {
            std::printf("  the program ended during the soak (exit code %d)\n", player.exitCode());
            return 1;
        }
        const double now = clock.elapsed() / 1000.0;
        const int64_t frames = capture.frames();
        const double gap = now - lastGrowth;
        if (frames > seen) {
            if (gap > MaxOutputGap)
                stall("no output", gap);
            worstGap = std::max(worstGap, gap);
            lastGrowth = now;
            seen = frames;
        }
        // Whole ticks of new output, each judged on its own.
        const int64_t tick = static_cast<int64_t>(TickSeconds * Rate);
        for (; readTo + tick <= frames; readTo += tick) {
            const int song = songHeard(capture.read(readTo, tick));
            silentFor = song < 0 ? silentFor + TickSeconds : 0;
            sameFor = song == current ? sameFor + TickSeconds : 0;
            if (song >= 0 && song != current)
                ++started;
            current = song;
            if (silentFor > MaxSilence && silentFor - TickSeconds <= MaxSilence)
                stall("silence", silentFor);
            if (sameFor > MaxOneSong && sameFor - TickSeconds <= MaxOneSong && song >= 0)
                stall("one song too long", sameFor);
            worstSilence = std::max(worstSilence, silentFor);
            worstSame = std::max(worstSame, song >= 0 ? sameFor : 0);
        }
        if (now - start >= (minute + 1) * 60.0 || now - start >= minutes * 60) {
            ++minute;
            const ProcSample s = sample(pid);
            firstRss = firstRss > 0 ? firstRss : s.rssMb;
            maxRss = std::max(maxRss, s.rssMb);
            std::printf("%4d %9.1f %8d %9.2f %11.2f %7d %9.2f %9.2f %9.1f\n", minute, s.rssMb,
                        s.threads, 100 * (s.cpuSeconds - minuteCpu) / 60,
                        100 * (s.analyserSeconds - minuteAnalyser) / 60, started, worstGap,
                        worstSilence, worstSame);
            std::fflush(stdout);
            minuteCpu = s.cpuSeconds;
            minuteAnalyser = s.analyserSeconds;
            started = 0;
            worstGap = worstSilence = worstSame = 0;
            atMinute = s;
        }
    }
    const ProcSample end = sample(pid);
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    const bool ended = player.waitForFinished(10000);
    std::printf("RSS first minute %.1f MB, last %.1f MB, highest %.1f MB; %d stall(s); "
                "SIGTERM: %s (exit code %d)\n",
                firstRss, end.rssMb, maxRss, stalls, ended ? "ended" : "STILL RUNNING",
                ended ? player.exitCode() : -1);
    return stalls == 0 && ended && player.exitCode() == 0 ? 0 : 1;
}
