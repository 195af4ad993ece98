#pragma once

// SongAnalyser: analyses songs on one background thread of low priority, in the order
// its owner gives (the songs about to play first), and keeps what it learns in the
// AnalysisCache on disk, so each song is decoded once.
//
// Call order: construct, then setOrder() whenever the list or the next songs change (each
// call replaces the whole order; the thread works from its head, skipping songs the
// cache already knows), known() whenever a song is loaded, and destroy, which stops the
// thread within one read of the decoder and writes the cache.
//
// Threading: the object lives on the GUI thread; setOrder() and known() may be called
// from any thread and never wait for an analysis (a short lock guards the order and the
// results). analysed() is emitted from the worker thread, so it reaches receivers on the
// GUI thread as a queued signal. The worker never touches the GUI or the audio thread.

#include "deck/songanalysis.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace volaro::deck {

class AnalysisCache;

class SongAnalyser : public QObject {
    Q_OBJECT

public:
    // The cache lives in cacheDirectory (the user's cache folder by default).
    explicit SongAnalyser(const QString& cacheDirectory = QString(), QObject* parent = nullptr);
    ~SongAnalyser() override;

    void setOrder(const QStringList& paths);
    // What is known of the path now (from the cache or an analysis of this run); nothing
    // while the song still waits for its turn.
    std::optional<SongAnalysis> known(const QString& path) const;
    // Songs decoded so far by this analyser (the cache spared the others).
    int decodedCount() const { return m_decoded.load(); }

signals:
    // A song became known, or what is known of it changed (its file changed).
    void analysed(const QString& path, const volaro::deck::SongAnalysis& result);

private:
    void run();
    std::optional<QString> nextPath();
    void publish(const QString& path, const SongAnalysis& result);

    std::unique_ptr<AnalysisCache> m_cache; // the worker's alone
    mutable std::mutex m_mutex;             // guards the three below
    std::condition_variable m_wake;
    std::deque<QString> m_order;
    QHash<QString, SongAnalysis> m_known;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_decoded{0};
    std::unique_ptr<class QThread> m_thread;
};

} // namespace volaro::deck
