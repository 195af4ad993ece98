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
    double total = 0;
    int done = 0;
    int joins = 0;
    bool joinedFromBefore = false;
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
        deck::SongSpan played = s.Span(path, duration);
        const bool joinsNext = s.KeepAlbumsWhole && i < count &&
                               playback::joinsWhole(m_list.albumPlace(i), m_list.albumPlace(i + 1));
        if (joinedFromBefore)
            played.start = 0;
        if (joinsNext) {
            played.end = duration;
            ++joins;
        }
        joinedFromBefore = joinsNext;
        total += played.length();
        done = i;
        m_show(SegToMin(total), done);
        m_pump();
    }
    const int rows = m_list.count();
    using playback::TransitionType;
    // Cross Dissolve, Up Down and Mix take the transition time off between two songs.
    const bool overlaps = s.TransitionType == TransitionType::CrossDissolve ||
                          s.TransitionType == TransitionType::UpDown ||
                          s.TransitionType == TransitionType::Mix;
    if (overlaps && rows >= 1)
        total -= static_cast<double>(s.TransitionTime) * (rows - 1 - joins);
    m_show(SegToMin(total), done);
    m_calculating = false;
    m_cancel = false;
    return total;
}

} // namespace volaro::app
