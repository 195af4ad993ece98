#pragma once

// SongRecordQueue: turns many media files into clip-list rows (SongRecord) on worker threads
// while the caller goes on, and hands the rows back in the order the files came in. Reading
// tags is most of what a search over a music library costs; spread over the machine's cores
// it keeps pace with the directory walk that finds the files.
//
// Call order: add() files; takeReady() now and then for the rows read so far; wait() to
// block a little for more. All calls on one thread (the GUI thread for the search window).
// Each read runs on the queue's own pool with a TagReader of its own; the destructor drops
// reads not yet started and waits for those running (one batch each).

#include "playlist/cliplistmodel.h"

#include <QList>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <deque>
#include <memory>

namespace volaro::playlist {

class SongRecordQueue {
public:
    SongRecordQueue();
    ~SongRecordQueue();
    SongRecordQueue(const SongRecordQueue&) = delete;
    SongRecordQueue& operator=(const SongRecordQueue&) = delete;

    void add(const QString& path);
    // Files added whose rows have not been taken yet.
    int pending() const { return m_pending; }
    // Files added whose rows are not read yet.
    int unread() const;
    // Rows read so far, from the front, in order. Also starts the reads of a part batch, so
    // that a walk finding few files still sees their rows.
    QList<ClipRow> takeReady();
    // Waits at most ms for one more batch of reads to finish; false when none did.
    bool wait(int ms);
    // Drops every file not taken yet.
    void clear();

private:
    struct Batch;
    void start();

    static constexpr int BatchSize = 16; // small, so that the first rows come soon
    QThreadPool m_pool;
    QSemaphore m_finished; // a permit for every batch done
    QStringList m_collecting;
    std::deque<std::shared_ptr<Batch>> m_batches; // started, oldest first
    int m_pending = 0;
};

} // namespace volaro::playlist
