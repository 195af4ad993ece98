#include "deck/songanalyser.h"

#include "deck/analysiscache.h"

#include <QElapsedTimer>
#include <QThread>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace volaro::deck {
namespace {

// While songs keep coming the cache is written this often, so that a crash loses little.
constexpr qint64 SaveEveryMs = 20000;

} // namespace

SongAnalyser::SongAnalyser(const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , m_cache(std::make_unique<AnalysisCache>(
          cacheDirectory.isEmpty() ? AnalysisCache::defaultDirectory() : cacheDirectory)) {
    qRegisterMetaType<SongAnalysis>();
    // Small (about 1.3 MB for 10,000 songs) and read once: the songs loaded from now on
    // find what earlier runs learnt.
    m_cache->load();
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName("SongAnalyser");
    m_thread->start(QThread::LowestPriority);
}

SongAnalyser::~SongAnalyser() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_interrupt = true;
    }
    m_wake.notify_all();
    m_thread->wait();
}

void SongAnalyser::setOrder(const QStringList& paths) {
    // The playing song and the next one: learnt from the cache now when it can tell.
    QStringList first = paths.mid(0, 2);
    first.removeIf([this](const QString& path) { return known(path).has_value(); });
    {
        std::lock_guard lock(m_mutex);
        m_order.assign(paths.cbegin(), paths.cend());
        if (!first.isEmpty() && !m_current.isEmpty() && !first.contains(m_current))
            m_interrupt = true;
    }
    m_wake.notify_all();
}

std::optional<SongAnalysis> SongAnalyser::known(const QString& path) const {
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_known.constFind(path);
        if (it != m_known.cend())
            return *it;
    }
    // Not kept among the results: the worker still announces it when its turn comes.
    const AnalysisCache::FileKey key = AnalysisCache::keyOf(path);
    std::lock_guard lock(m_mutex);
    return m_cache->find(path, key);
}

std::optional<QString> SongAnalyser::nextPath() {
    std::unique_lock lock(m_mutex);
    m_current.clear();
    m_wake.wait(lock, [this] { return m_stop || !m_order.empty(); });
    if (m_stop)
        return std::nullopt;
    m_current = std::move(m_order.front());
    m_order.pop_front();
    m_interrupt = false;
    return m_current;
}

void SongAnalyser::publish(const QString& path, const SongAnalysis& result) {
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_known.constFind(path);
        if (it != m_known.cend() && *it == result)
            return;
        m_known.insert(path, result);
    }
    emit analysed(path, result);
}

void SongAnalyser::saveCache() {
    // Written from a copy (the entries are shared until the next insert), so lookups
    // never wait for the disk.
    std::unique_ptr<AnalysisCache> copy;
    {
        std::lock_guard lock(m_mutex);
        if (!m_cache->dirty())
            return;
        copy = std::make_unique<AnalysisCache>(*m_cache);
        m_cache->setDirty(false);
    }
    if (!copy->save()) {
        std::lock_guard lock(m_mutex);
        m_cache->setDirty(true);
    }
}

void SongAnalyser::run() {
    // Qt's priorities do not reach ordinary threads on Linux; a nice value per thread does.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    QElapsedTimer sinceSave;
    sinceSave.start();
    while (const auto path = nextPath()) {
        const AnalysisCache::FileKey key = AnalysisCache::keyOf(*path);
        std::optional<SongAnalysis> result;
        {
            std::lock_guard lock(m_mutex);
            result = m_cache->find(*path, key);
        }
        if (!result && !key.valid()) {
            result = SongAnalysis{}; // missing: nothing to keep until it appears
        } else if (!result) {
            result = analyseSong(*path, &m_interrupt);
            if (m_stop)
                break;
            if (m_interrupt && !result->ok())
                continue; // put aside for the songs about to play; its turn comes again
            ++m_decoded;
            std::lock_guard lock(m_mutex);
            m_cache->insert(*path, key, *result);
        }
        publish(*path, *result);
        bool idle;
        {
            std::lock_guard lock(m_mutex);
            idle = m_order.empty();
        }
        if (idle || sinceSave.elapsed() > SaveEveryMs) {
            saveCache();
            sinceSave.restart();
        }
    }
    saveCache();
}

} // namespace volaro::deck
