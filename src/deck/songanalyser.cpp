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
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName("SongAnalyser");
    m_thread->start(QThread::LowestPriority);
}

SongAnalyser::~SongAnalyser() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread->wait();
}

void SongAnalyser::setOrder(const QStringList& paths) {
    {
        std::lock_guard lock(m_mutex);
        m_order.assign(paths.cbegin(), paths.cend());
    }
    m_wake.notify_all();
}

std::optional<SongAnalysis> SongAnalyser::known(const QString& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_known.constFind(path);
    if (it == m_known.cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> SongAnalyser::nextPath() {
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_stop || !m_order.empty(); });
    if (m_stop)
        return std::nullopt;
    QString path = std::move(m_order.front());
    m_order.pop_front();
    return path;
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

void SongAnalyser::run() {
    // Qt's priorities do not reach ordinary threads on Linux; a nice value per thread does.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
    m_cache->load();
    QElapsedTimer sinceSave;
    sinceSave.start();
    while (const auto path = nextPath()) {
        const AnalysisCache::FileKey key = AnalysisCache::keyOf(*path);
        std::optional<SongAnalysis> result = m_cache->find(*path, key);
        if (!result && !key.valid()) {
            result = SongAnalysis{}; // missing: nothing to keep until it appears
        } else if (!result) {
            result = analyseSong(*path, &m_stop);
            if (m_stop)
                break; // cut short: not a result
            ++m_decoded;
            m_cache->insert(*path, key, *result);
        }
        publish(*path, *result);
        bool idle;
        {
            std::lock_guard lock(m_mutex);
            idle = m_order.empty();
        }
        if (m_cache->dirty() && (idle || sinceSave.elapsed() > SaveEveryMs)) {
            m_cache->save();
            sinceSave.restart();
        }
    }
    if (m_cache->dirty())
        m_cache->save();
}

} // namespace volaro::deck
