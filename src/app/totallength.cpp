#include "app/totallength.h"

#include "base/timetext.h"
#include "playback/albumjoin.h"
#include "playlist/cliplistmodel.h"

#include <cmath>

namespace volaro::app {

using base::SegToMin;
using playlist::ClipListModel;

TotalLength::TotalLength(ClipListModel& list, Measure measure, Show show,
                         std::function<void()> pumpEvents)
    : m_list(list)
    , m_measure(std::move(measure))
    , m_show(std::move(show))
    , m_pump(std::move(pumpEvents)) {}

double TotalLength::run(const TotalLengthSettings& s) {
    m_calculating = true;
    m_cancel = false;
    using playback::TransitionType;
    // Cross Dissolve, Up Down and Mix overlap two songs for the transition time.
    const bool overlaps = s.TransitionType == TransitionType::CrossDissolve ||
                          s.TransitionType == TransitionType::UpDown ||
                          s.TransitionType == TransitionType::Mix;
    // Each song counts from its start point to its end point; where it meets the next
    // song those move: a join plays both whole, a beat-matched transition starts on a
    // downbeat and lasts whole bars.
    struct Song {
        QString path;
        int32_t duration = 0;
        double start = 0, end = 0;
    };
    std::optional<Song> previous;
    double total = 0;
    int done = 0;
    int pairs = 0;
    const int count = m_list.count();
    for (int i = 1; i <= count; ++i) {
        // A row deleted meanwhile would make row i another song, or none at all.
        if (m_cancel || m_list.count() < count)
            break;
        bool known = false;
        const double stored =
            m_list.text(i, ClipListModel::ColTotLength).trimmed().toDouble(&known);
        known = known && std::isfinite(stored) && std::fabs(stored) < 2147483647.0;
        auto duration = static_cast<int32_t>(known ? std::nearbyint(stored) : 0);
        const QString path = m_list.text(i, ClipListModel::ColLocation);
        if (!known) {
            duration = m_measure(path);
            m_list.setText(i, ClipListModel::ColTotLength, QString::number(duration));
            m_list.setText(i, ClipListModel::ColLength, SegToMin(s.Span(path, duration).length()));
        }
        const deck::SongSpan span = s.Span(path, duration);
        Song song{path, duration, double(span.start), double(span.end)};
        if (previous) {
            ++pairs;
            double overlap = overlaps ? s.TransitionTime : 0;
            std::optional<playback::BeatPlan> plan;
            if (s.BeatPlan)
                plan = s.BeatPlan(previous->path, previous->duration, path, duration);
            if (s.KeepAlbumsWhole &&
                playback::joinsWhole(m_list.albumPlace(i - 1), m_list.albumPlace(i))) {
                previous->end = previous->duration;
                song.start = 0;
                overlap = 0;
            } else if (plan) {
                previous->end = plan->outDownbeat + plan->seconds;
                song.start = plan->inDownbeat;
                if (overlaps)
                    overlap = plan->seconds;
            }
            total += previous->end - previous->start - overlap;
        }
        previous = song;
        done = i;
        m_show(SegToMin(total + song.end - song.start), done);
        m_pump();
    }
    if (previous)
        total += previous->end - previous->start;
    // Pairs a cancelled run did not reach still take their transition time off.
    const int rows = m_list.count();
    if (overlaps && rows >= 1)
        total -= static_cast<double>(s.TransitionTime) * std::max(0, rows - 1 - pairs);
    m_show(SegToMin(total), done);
    m_calculating = false;
    m_cancel = false;
    return total;
}

} // namespace volaro::app
