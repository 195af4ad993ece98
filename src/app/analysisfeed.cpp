#include "app/analysisfeed.h"

#include "playlist/cliplistmodel.h"

#include <QStringList>
#include <algorithm>

namespace volaro::app {

using deck::SongAnalyser;
using playlist::ClipListModel;

AnalysisFeed::AnalysisFeed(ClipListModel& list, const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , m_list(list)
    , m_analyser(cacheDirectory) {
    // Long enough to take a whole list file or drop as one change, short next to a song.
    m_gather.setSingleShot(true);
    m_gather.setInterval(200);
    connect(&m_gather, &QTimer::timeout, this, &AnalysisFeed::feed);
    const auto changed = [this] { m_gather.start(); };
    connect(&list, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&list, &QAbstractItemModel::rowsMoved, this, changed);
    connect(&list, &QAbstractItemModel::modelReset, this, changed);
    connect(&list, &QAbstractItemModel::layoutChanged, this, changed);
    connect(&list, &ClipListModel::playingRowChanged, this, changed);
    connect(&m_analyser, &SongAnalyser::analysed, this,
            [this](const QString& path) { emit learnt(path); });
}

void AnalysisFeed::setWanted(bool wanted) {
    if (wanted == m_wanted)
        return;
    m_wanted = wanted;
    feed();
}

void AnalysisFeed::feed() {
    if (!m_wanted) {
        m_analyser.setOrder({}); // and the analysis under way ends
        return;
    }
    const int count = m_list.count();
    const int first = std::clamp(m_list.playingRow(), 1, std::max(count, 1));
    QStringList order;
    order.reserve(count);
    for (int k = 0; k < count; ++k)
        order << m_list.text((first - 1 + k) % count + 1, ClipListModel::ColLocation);
    m_analyser.setOrder(order);
}

} // namespace volaro::app
