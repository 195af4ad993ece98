#pragma once

// SongAnalyser: analyses songs on one background thread of low priority, in the order
// its owner gives (the songs about to play first), and keeps what it learns in the
// AnalysisCache on disk, so each song is decoded once.
//
// Call order: construct (reads the cache file, so that a song analysed in an earlier run is
// known from the first song on), then setOrder() whenever the list or the next songs
// change (each call replaces the whole order; the thread works from its head, skipping
// songs the cache already knows and, but for the first two, those learnt in this run; an
// empty order ends the analysis under way), known()
// whenever a song is loaded, and destroy, which stops the thread within one read of the
// decoder and writes the cache. A thread held up longer (a file whose reads hang) is left
// behind after a second, to end with the process: closing the player never waits on it.
//
// The first two songs of an order (the one playing and the next) come first: an analysis
// of any other song that is under way when they are not known yet is dropped and taken up
// again later. Entries of files that are gone leave the cache, once per run as it starts.
//
// Threading: the object lives on the GUI thread; setOrder() and known() may be called
// from any thread and never wait for an analysis (a short lock guards the order, the
// results and the cache; the cache file is written from a copy, outside it). analysed() is
// emitted from the worker thread, so it reaches receivers on the GUI thread as a queued
// signal. The worker never touches the GUI or the audio thread.

#include "deck/songanalysis.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

namespace volaro::deck {

class SongAnalyser : public QObject {
    Q_OBJECT

public:
    // The cache lives in cacheDirectory (the user's cache folder by default).
    explicit SongAnalyser(const QString& cacheDirectory = QString(), QObject* parent = nullptr);
    ~SongAnalyser() override;

    void setOrder(const QStringList& paths);
    // What is known of the path now (from the cache, for the file as it is now, or from an
    // analysis of this run); nothing while the song still waits for its turn. Costs a look
    // at the file's size and date the first time a path is asked for.
    std::optional<SongAnalysis> known(const QString& path) const;
    // Songs decoded so far by this analyser (the cache spared the others).
    int decodedCount() const;

signals:
    // A song became known, or what is known of it changed (its file changed).
    void analysed(const QString& path, const volaro::deck::SongAnalysis& result);

private:
    struct Worker; // all the thread uses: it outlives this object when left behind
    std::shared_ptr<Worker> m_worker;
};

} // namespace volaro::deck
