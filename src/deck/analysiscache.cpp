#include "deck/analysiscache.h"

#include "base/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace volaro::deck {
namespace {

constexpr char Magic[8] = {'V', 'o', 'l', 'a', 'r', 'o', 'L', 'A'};
constexpr uint32_t Version = 2; // 2: with the beat grid
constexpr int64_t MaxFileBytes = 256 << 20;
constexpr uint32_t MaxPathBytes = 64 * 1024;
constexpr double MaxSeconds = 1e7; // months of sound: anything longer is damage
constexpr double Slack = 1e-6;
constexpr double MaxBpm = 1000;
constexpr int MaxBeatsPerBar = 16;

// Reads little-endian values off the bytes and remembers when one did not fit.
class Reader {
public:
    explicit Reader(const QByteArray& data)
        : m_data(data) {}
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_pos == m_data.size(); }
    qsizetype remaining() const { return m_data.size() - m_pos; }

    template <typename T> T value() {
        T v{};
        if (!take(sizeof(T)))
            return v;
        std::memcpy(&v, m_data.constData() + m_pos - sizeof(T), sizeof(T));
        return qFromLittleEndian(v);
    }
    double real() {
        const uint64_t bits = value<uint64_t>();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    QByteArray bytes(qsizetype n) { return take(n) ? m_data.mid(m_pos - n, n) : QByteArray(); }

private:
    bool take(qsizetype n) {
        if (m_failed || n > remaining()) {
            m_failed = true;
            return false;
        }
        m_pos += n;
        return true;
    }
    const QByteArray& m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

template <typename T> void put(QByteArray& out, T v) {
    v = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void putReal(QByteArray& out, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    put(out, bits);
}

bool inRange(double v, double low, double high) {
    return std::isfinite(v) && v >= low && v <= high;
}

bool plausible(const BeatGrid& g, double seconds) {
    if (g.bpm == 0)
        return g == BeatGrid{}; // no grid carries nothing else
    return inRange(g.bpm, Slack, MaxBpm) && inRange(g.firstDownbeat, 0, seconds + Slack) &&
           g.beatsPerBar >= 1 && g.beatsPerBar <= MaxBeatsPerBar && inRange(g.confidence, 0, 1);
}

bool plausible(const SongAnalysis& a) {
    if (a.status != SongAnalysis::Status::Ok)
        return a == SongAnalysis{}; // a failure carries nothing else
    return inRange(a.loudness, LoudnessFloor, LoudnessTop) && inRange(a.peak, PeakFloor, PeakTop) &&
           inRange(a.seconds, 0, MaxSeconds) && inRange(a.soundStart, 0, a.seconds + Slack) &&
           inRange(a.soundEnd, a.soundStart, a.seconds + Slack) && plausible(a.beats, a.seconds);
}

} // namespace

QString AnalysisCache::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Volaro";
}

AnalysisCache::FileKey AnalysisCache::keyOf(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(base::fileNameBytes(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return {};
    return {int64_t(st.st_size),
            int64_t(st.st_mtim.tv_sec) * 1000 + int64_t(st.st_mtim.tv_nsec) / 1000000};
}

AnalysisCache::AnalysisCache(QString directory)
    : m_directory(std::move(directory)) {}

QString AnalysisCache::filePath() const {
    return m_directory + "/analysis.cache";
}

bool AnalysisCache::load() {
    m_entries.clear();
    m_dirty = false;
    // A regular file only: a named pipe in its place would hold the reader for good.
    const int fd = base::openRegularFile(filePath());
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (file.size() > MaxFileBytes)
        return false;
    const QByteArray data = file.readAll();
    Reader in(data);
    const QByteArray magic = in.bytes(sizeof Magic);
    const uint32_t version = in.value<uint32_t>();
    const uint32_t count = in.value<uint32_t>();
    if (in.failed() || magic != QByteArray(Magic, sizeof Magic) || version != Version)
        return false;
    QHash<QString, Entry> entries;
    for (uint32_t i = 0; i < count && !in.failed(); ++i) {
        const uint32_t pathBytes = in.value<uint32_t>();
        if (pathBytes == 0 || pathBytes > MaxPathBytes)
            return false;
        const QString path = base::fileNameFromBytes(in.bytes(pathBytes));
        Entry e;
        e.key.size = in.value<int64_t>();
        e.key.modified = in.value<int64_t>();
        const uint8_t status = in.value<uint8_t>();
        e.analysis.loudness = in.real();
        e.analysis.peak = in.real();
        e.analysis.soundStart = in.real();
        e.analysis.soundEnd = in.real();
        e.analysis.seconds = in.real();
        e.analysis.beats.bpm = in.real();
        e.analysis.beats.firstDownbeat = in.real();
        e.analysis.beats.confidence = in.real();
        e.analysis.beats.beatsPerBar = in.value<uint8_t>();
        if (in.failed() || status > 1 || e.key.size < 0)
            return false;
        e.analysis.status = SongAnalysis::Status(status);
        if (!plausible(e.analysis) || entries.contains(path))
            return false;
        entries.insert(path, e);
    }
    if (in.failed() || !in.atEnd())
        return false;
    m_entries = std::move(entries);
    return true;
}

QString AnalysisCache::save() {
    QByteArray out(Magic, sizeof Magic);
    put<uint32_t>(out, Version);
    put<uint32_t>(out, uint32_t(m_entries.size()));
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        const QByteArray path = base::fileNameBytes(it.key());
        const SongAnalysis& a = it->analysis;
        put<uint32_t>(out, uint32_t(path.size()));
        out.append(path);
        put<int64_t>(out, it->key.size);
        put<int64_t>(out, it->key.modified);
        put<uint8_t>(out, uint8_t(a.status));
        for (double v : {a.loudness, a.peak, a.soundStart, a.soundEnd, a.seconds, a.beats.bpm,
                         a.beats.firstDownbeat, a.beats.confidence})
            putReal(out, v);
        put<uint8_t>(out, uint8_t(std::clamp(a.beats.beatsPerBar, 0, 255)));
    }
    if (!QDir().mkpath(m_directory))
        return QStringLiteral("The folder %1 cannot be created.").arg(m_directory);
    // Not waited for on the disk: a cache lost in a crash is only learnt again.
    if (QString why = base::writeFileAtomically(filePath(), out, false); !why.isEmpty())
        return QStringLiteral("%1: %2").arg(filePath(), why);
    m_dirty = false;
    return {};
}

QStringList AnalysisCache::paths() const {
    return m_entries.keys();
}

void AnalysisCache::remove(const QString& path) {
    m_dirty = m_entries.remove(path) || m_dirty;
}

std::optional<SongAnalysis> AnalysisCache::find(const QString& path, const FileKey& key) const {
    const auto it = m_entries.constFind(path);
    if (it == m_entries.cend() || !key.valid() || !(it->key == key))
        return std::nullopt;
    return it->analysis;
}

void AnalysisCache::insert(const QString& path, const FileKey& key, const SongAnalysis& analysis) {
    const QByteArray bytes = base::fileNameBytes(path);
    if (!key.valid() || bytes.isEmpty() || bytes.size() > qsizetype(MaxPathBytes) ||
        !plausible(analysis))
        return; // could not be read back: not worth keeping
    m_entries.insert(path, Entry{key, analysis});
    m_dirty = true;
}

} // namespace volaro::deck
