#include "playlist/songrecordqueue.h"

#include "playlist/songrecord.h"
#include "playlist/tagreader.h"

#include <QThread>
#include <atomic>
#include <new>
#include <taglib/textidentificationframe.h>

namespace volaro::playlist {

struct SongRecordQueue::Batch {
    QStringList paths;
    QList<ClipRow> rows;
    std::atomic<bool> done{false};
};

SongRecordQueue::SongRecordQueue() {
    m_pool.setMaxThreadCount(QThread::idealThreadCount());
    // TagLib fills this table at its first use (a file with a TIPL or IPLS frame) without
    // a lock: filled here, before any read runs, two reads cannot both fill it.
    TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap();
}

SongRecordQueue::~SongRecordQueue() {
    clear();
}

void SongRecordQueue::add(const QString& path) {
    m_collecting.append(path);
    ++m_pending;
    if (m_collecting.size() >= BatchSize)
        start();
}

int SongRecordQueue::unread() const {
    int n = int(m_collecting.size());
    for (const auto& b : m_batches)
        if (!b->done.load(std::memory_order_acquire))
            n += int(b->paths.size());
    return n;
}

void SongRecordQueue::start() {
    auto batch = std::make_shared<Batch>();
    batch->paths.swap(m_collecting);
    m_batches.push_back(batch);
    m_pool.start([batch, finished = &m_finished] {
        TagReader reader;
        batch->rows.reserve(batch->paths.size());
        for (const QString& path : std::as_const(batch->paths)) {
            try {
                batch->rows.append(SongRecord(path, reader));
            } catch (const std::bad_alloc&) {
                break; // out of memory: the rest of the batch is left out
            }
        }
        batch->done.store(true, std::memory_order_release);
        finished->release();
    });
}

QList<ClipRow> SongRecordQueue::takeReady() {
    if (!m_collecting.isEmpty())
        start();
    QList<ClipRow> rows;
    while (!m_batches.empty() && m_batches.front()->done.load(std::memory_order_acquire)) {
        Batch& b = *m_batches.front();
        m_pending -= int(b.paths.size());
        rows.append(std::move(b.rows));
        m_batches.pop_front();
    }
    return rows;
}

bool SongRecordQueue::wait(int ms) {
    if (!m_collecting.isEmpty())
        start();
    return m_finished.tryAcquire(1, ms);
}

void SongRecordQueue::clear() {
    m_pool.clear(); // reads not started yet
    m_pool.waitForDone();
    m_batches.clear();
    m_collecting.clear();
    m_finished.acquire(m_finished.available());
    m_pending = 0;
}

} // namespace volaro::playlist
