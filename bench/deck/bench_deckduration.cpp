// Exact durations per second: bare libmpg123 (Xing/LAME header; frame scan over a memory
// map; frame scan over read()), our Decoder on each kind, and Player as the total-length
// command uses it (Filename, OutputDevice, OpenFile, Duration, release).
// Usage: bench_deckduration [SECONDS_PER_FIGURE]   (default 2)

#include "benchfiles.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"
#include "deck/player.h"

#include <QFile>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <mpg123.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace volaro::deck;

using namespace volaro;

namespace {

double g_seconds = 2.0;

// Runs fn repeatedly for the figure's time; prints files/s and the length found.
void measure(const char* what, const std::function<double()>& fn) {
    int64_t count = 0;
    double length = 0;
    const double w0 = bench::wallSeconds();
    double now = w0;
    while (now - w0 < g_seconds) {
        length = fn();
        ++count;
        now = bench::wallSeconds();
    }
    std::printf("  %-58s %9.0f files/s   (length %.4f s)\n", what, count / (now - w0), length);
}

struct Mem {
    const unsigned char* data;
    off_t size, pos;
};

mpg123_ssize_t memRead(void* h, void* out, size_t n) {
    auto* m = static_cast<Mem*>(h);
    const size_t k = std::min<size_t>(n, size_t(m->size - m->pos));
    std::memcpy(out, m->data + m->pos, k);
    m->pos += k;
    return mpg123_ssize_t(k);
}

off_t memSeek(void* h, off_t off, int whence) {
    auto* m = static_cast<Mem*>(h);
    const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->size;
    if (base + off < 0)
        return -1;
    m->pos = base + off;
    return m->pos;
}

double lengthOf(mpg123_handle* mh, bool scan) {
    long rate = 0;
    int ch = 0, enc = 0;
    mpg123_getformat(mh, &rate, &ch, &enc);
    if (scan)
        mpg123_scan(mh);
    return rate > 0 ? double(mpg123_length(mh)) / rate : 0;
}

double bareHeader(const QByteArray& path) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open(mh, path.constData());
    const double s = lengthOf(mh, false);
    mpg123_delete(mh);
    return s;
}

double bareScanRead(const QByteArray& path) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open(mh, path.constData());
    const double s = lengthOf(mh, true);
    mpg123_delete(mh);
    return s;
}

double bareScanMapped(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY);
    struct stat st {};
    fstat(fd, &st);
    void* p = mmap(nullptr, st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    Mem m{static_cast<const unsigned char*>(p), st.st_size, 0};
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_replace_reader_handle(mh, memRead, memSeek, nullptr);
    mpg123_open_handle(mh, &m);
    const double s = lengthOf(mh, true);
    mpg123_delete(mh);
    munmap(p, st.st_size);
    return s;
}

double ourDecoder(const QString& path) {
    auto d = deck::Decoder::open(deck::MediaBytes::openFile(path));
    return d ? d->seconds() : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        g_seconds = std::atof(argv[1]);
    mpg123_init();
    struct File {
        const char* label;
        QString path;
    };
    const File files[] = {
        {"4-min CBR 192 kbps with LAME header",
         bench::cachedMp3("cbr192-4min.mp3", 240, fixtures::Mp3Kind::Cbr, 192)},
        {"4-min VBR with Xing/LAME header",
         bench::cachedMp3("vbrxing-4min.mp3", 240, fixtures::Mp3Kind::VbrXing, 2)},
        {"4-min VBR without header",
         bench::cachedMp3("vbrnohdr-4min.mp3", 240, fixtures::Mp3Kind::VbrNoHeader, 2)},
    };
    for (const File& f : files)
        bareScanRead(QFile::encodeName(f.path)); // page cache

    for (const File& f : files) {
        const QByteArray native = QFile::encodeName(f.path);
        std::printf("%s:\n", f.label);
        measure("bare libmpg123, header only (estimate without one)",
                [&] { return bareHeader(native); });
        measure("bare libmpg123, frame scan over read()", [&] { return bareScanRead(native); });
        measure("bare libmpg123, frame scan over a memory map",
                [&] { return bareScanMapped(native); });
        measure("Decoder (exact: header when trusted, else scan)",
                [&] { return ourDecoder(f.path); });
    }

    bench::defaultToSilentOutput();
    const QStringList outputs = Player::outputNames();
    if (outputs.isEmpty()) {
        std::printf("no audio output: Player figure skipped\n");
        return 0;
    }
    int i = 0;
    std::printf("Player as the total-length command uses it, the three files in turn:\n");
    measure("Player OpenFile + Duration", [&] {
        Player p;
        p.setFilename(files[i++ % 3].path);
        p.setOutputDevice(outputs.first());
        p.OpenFile();
        return double(p.Duration());
    });
    std::printf("Player, the VBR file without header only (the slowest kind):\n");
    measure("Player OpenFile + Duration", [&] {
        Player p;
        p.setFilename(files[2].path);
        p.setOutputDevice(outputs.first());
        p.OpenFile();
        return double(p.Duration());
    });
    return 0;
}
