#include "deck/songanalyser.h"

#include "deck/analysiscache.h"

#include <QElapsedTimer>
#include <QHash>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace volaro::deck {
namespace {

// While songs keep coming the cache is written this often, so that a crash loses little.
constexpr qint64 SaveEveryMs = 20000;
// How long closing waits for a thread that does not stop (a read that hangs).
constexpr auto MostWaitAtClose = std::chrono::seconds(1);

} // namespace

struct SongAnalyser::Worker {
    explicit Worker(const QString& directory)
        : cache(directory) {}

    void run();
    std::optional<QString> nextPath();
    std::optional<SongAnalysis> known(const QString& path);
    void publish(const QString& path, const SongAnalysis& result);
    void saveCache();
    void pruneGone();

    mutable std::mutex mutex; // guards the six below
    AnalysisCache cache;
    std::condition_variable wake;
    std::deque<QString> order;
    QHash<QString, SongAnalysis> learnt;
    QString current; // under analysis now
    bool finished = false;
    std::atomic<bool> stop{false};
    std::atomic<bool> interrupt{false}; // ends the analysis under way: stop, or songs first
    std::atomic<int> decoded{0};
    std::mutex ownerMutex; // held while signalling, so the owner never goes meanwhile
    SongAnalyser* owner = nullptr;
    QString lastSaveError; // the worker's alone
};

SongAnalyser::SongAnalyser(const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , m_worker(std::make_shared<Worker>(cacheDirectory.isEmpty() ? AnalysisCache::defaultDirectory()
                                                                 : cacheDirectory)) {
    qRegisterMetaType<SongAnalysis>();
    m_worker->owner = this;
    // Small (about 1.3 MB for 10,000 songs) and read once: the songs loaded from now on
    // find what earlier runs learnt.
    m_worker->cache.load();
    std::thread([worker = m_worker] {
        pthread_setname_np(pthread_self(), "SongAnalyser");
        worker->run();
    }).detach();
}

SongAnalyser::~SongAnalyser() {
    Worker& w = *m_worker;
    {
        std::lock_guard lock(w.ownerMutex);
        w.owner = nullptr;
    }
    std::unique_lock lock(w.mutex);
    w.stop = true;
    w.interrupt = true;
    w.wake.notify_all();
    if (!w.wake.wait_for(lock, MostWaitAtClose, [&] { return w.finished; }))
        qWarning("The song analysis does not stop (a file does not answer); it is left to end "
                 "with the player.");
}

void SongAnalyser::setOrder(const QStringList& paths) {
    Worker& w = *m_worker;
    // The playing song and the next one: learnt from the cache now when it can tell.
    QStringList first = paths.mid(0, 2);
    first.removeIf([&w](const QString& path) { return w.known(path).has_value(); });
    {
        std::lock_guard lock(w.mutex);
        // A song learnt in this run is looked at again only when it is about to play (its
        // file may have changed since): a long list is not walked whole at every change.
        w.order.clear();
        for (qsizetype i = 0; i < paths.size(); ++i)
            if (i < 2 || !w.learnt.contains(paths[i]))
                w.order.push_back(paths[i]);
        if (!w.current.isEmpty() &&
            (paths.isEmpty() || (!first.isEmpty() && !first.contains(w.current))))
            w.interrupt = true;
    }
    w.wake.notify_all();
}

std::optional<SongAnalysis> SongAnalyser::known(const QString& path) const {
    return m_worker->known(path);
}

int SongAnalyser::decodedCount() const {
    return m_worker->decoded.load();
}

std::optional<SongAnalysis> SongAnalyser::Worker::known(const QString& path) {
    {
        std::lock_guard lock(mutex);
        const auto it = learnt.constFind(path);
        if (it != learnt.cend())
            return *it;
    }
    // Not kept among the results: the worker still announces it when its turn comes.
    const AnalysisCache::FileKey key = AnalysisCache::keyOf(path);
    std::lock_guard lock(mutex);
    return cache.find(path, key);
}

std::optional<QString> SongAnalyser::Worker::nextPath() {
    std::unique_lock lock(mutex);
    current.clear();
    wake.wait(lock, [this] { return stop || !order.empty(); });
    if (stop)
        return std::nullopt;
    current = std::move(order.front());
    order.pop_front();
    interrupt = false;
    return current;
}

void SongAnalyser::Worker::publish(const QString& path, const SongAnalysis& result) {
    {
        std::lock_guard lock(mutex);
        const auto it = learnt.constFind(path);
        if (it != learnt.cend() && *it == result)
            return;
        learnt.insert(path, result);
    }
    std::lock_guard lock(ownerMutex);
    if (owner)
        emit owner->analysed(path, result);
}

void SongAnalyser::Worker::saveCache() {
    // Written from a copy (the entries are shared until the next insert), so lookups
    // never wait for the disk.
    std::unique_ptr<AnalysisCache> copy;
    {
        std::lock_guard lock(mutex);
        if (!cache.dirty())
            return;
        copy = std::make_unique<AnalysisCache>(cache);
        cache.setDirty(false);
    }
    const QString why = copy->save();
    if (!why.isEmpty()) {
        std::lock_guard lock(mutex);
        cache.setDirty(true);
    }
    // Said once per reason: it is tried again every few seconds.
    if (!why.isEmpty() && why != lastSaveError)
        qWarning("The song analyses could not be saved to %s", qUtf8Printable(why));
    lastSaveError = why;
}

void SongAnalyser::Worker::pruneGone() {
    QStringList paths;
    {
        std::lock_guard lock(mutex);
        paths = cache.paths();
    }
    // Looked at outside the lock: a slow disk never holds up known().
    paths.removeIf(
        [this](const QString& path) { return stop || AnalysisCache::keyOf(path).valid(); });
    std::lock_guard lock(mutex);
    for (const QString& path : std::as_const(paths))
        cache.remove(path);
}

void SongAnalyser::Worker::run() {
    // Qt's priorities do not reach ordinary threads on Linux; a nice value per thread does.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    pruneGone(); // once per run, before the first song
    QElapsedTimer sinceSave;
    sinceSave.start();
    while (const auto path = nextPath()) {
        const AnalysisCache::FileKey key = AnalysisCache::keyOf(*path);
        std::optional<SongAnalysis> result;
        {
            std::lock_guard lock(mutex);
            result = cache.find(*path, key);
        }
        if (!result && !key.valid()) {
            result = SongAnalysis{}; // missing: nothing to keep until it appears
        } else if (!result) {
            result = analyseSong(*path, &interrupt);
            if (stop)
                break;
            if (interrupt && !result->ok())
                continue; // put aside for the songs about to play; its turn comes again
            ++decoded;
            std::lock_guard lock(mutex);
            cache.insert(*path, key, *result);
        }
        publish(*path, *result);
        bool idle;
        {
            std::lock_guard lock(mutex);
            idle = order.empty();
        }
        if (idle || sinceSave.elapsed() > SaveEveryMs) {
            saveCache();
            sinceSave.restart();
        }
    }
    saveCache();
    std::lock_guard lock(mutex);
    finished = true;
    wake.notify_all();
}

} // namespace volaro::deck
