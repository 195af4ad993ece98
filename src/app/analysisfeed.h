#pragma once

// AnalysisFeed: keeps the song analyser busy with the playlist, the songs about to play
// first. After every change of the rows or of the playing row it hands the analyser the
// whole list from the playing row on, round to the row before it. In shuffle the next song
// is drawn only when it is due, so the list order from the playing row stands in for it.
// Changes are gathered for a moment, so a list being read is handed over once. Nothing is
// handed over while no analysis is wanted (none of the extras that use it is on).
//
// Threading: GUI thread; the analysis runs on the analyser's own thread and the list is
// never made to wait for it.

#include "deck/songanalyser.h"

#include <QObject>
#include <QTimer>
#include <optional>

namespace volaro::playlist {
class ClipListModel;
}

namespace volaro::app {

class AnalysisFeed : public QObject {
    Q_OBJECT
public:
    // The cache lives in cacheDirectory (the user's cache folder by default).
    explicit AnalysisFeed(playlist::ClipListModel& list, const QString& cacheDirectory = QString(),
                          QObject* parent = nullptr);

    // Whether the songs are to be analysed; off at first.
    void setWanted(bool wanted);

    // What is known of the song at `path` now; never waits.
    std::optional<deck::SongAnalysis> known(const QString& path) const {
        return m_analyser.known(path);
    }

signals:
    // The analysis of the song at `path` became known (or changed) during this run.
    void learnt(const QString& path);

private:
    void feed();

    playlist::ClipListModel& m_list;
    deck::SongAnalyser m_analyser;
    QTimer m_gather;
    bool m_wanted = false;
};

} // namespace volaro::app
