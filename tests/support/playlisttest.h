#pragma once

// Small helpers shared by the playlist tests.

#include "playlist/cliplistview.h"
#include "playlist/playlistfile.h"
#include "support/fixtures.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <functional>

using namespace volaro::playlist;

// Records what the main window would show, in order.
struct Recorder : ListProgress {
    QStringList events;
    std::function<void()> onStatus;
    Recorder() {
        setProgress = [this](int percent) { events << QString("p%1").arg(percent); };
        setStatusText = [this](const QString& text) {
            events << "s" + text;
            if (onStatus)
                onStatus();
        };
        showWebAddress = [this] { events << "web"; };
    }
    Recorder(const Recorder&) = delete;
};

inline QStringList column(const ClipListModel& m, int c = 0) {
    QStringList out;
    for (int i = 1; i <= m.count(); ++i)
        out << m.text(i, c);
    return out;
}

inline QStringList locations(const ClipListModel& m) {
    return column(m, ClipListModel::ColLocation);
}

inline QPoint centreOf(ClipListView& view, int row) {
    return view.visualRect(view.clipModel().index(row - 1, 0)).center();
}

inline QPoint belowRows(ClipListView& view) {
    return QPoint(10, view.viewport()->height() - 3);
}

// Sends a drag event (QDragEnterEvent, QDragMoveEvent or QDropEvent) to the rows; true when
// it was accepted.
template <class Event> bool drag(ClipListView& view, QMimeData* data, const QPoint& pos) {
    Event event(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
    return event.isAccepted();
}

// Enter, move and drop at pos; true when the drop was accepted. Moves and drops only reach a
// widget that accepted the enter (they go to the drag's current target).
inline bool dropOn(ClipListView& view, QMimeData* data, const QPoint& pos) {
    return drag<QDragEnterEvent>(view, data, pos) &&
           (drag<QDragMoveEvent>(view, data, pos), drag<QDropEvent>(view, data, pos));
}

inline bool dropOn(ClipListView& view, const QStringList& files, const QPoint& pos) {
    QMimeData data;
    for (const QString& f : files)
        data.setUrls(data.urls() << (f.contains("://") ? QUrl(f) : QUrl::fromLocalFile(f)));
    return dropOn(view, &data, pos);
}

// Appends a row with the given title and Location; false when the list refused it.
inline bool addRow(ClipListModel& m, const QString& title, const QString& location = {}) {
    ClipRow row;
    row.texts[0] = title;
    row.texts[ClipListModel::ColLocation] = location;
    return m.insertRow(m.count() + 1, std::move(row));
}
