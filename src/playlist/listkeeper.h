#pragma once

// ListKeeper: the playlist kept across runs and crashes. While on, every change of the
// rows, their order or the playing row is written within SaveDelayMs (and at exit, by the
// owner's save()), so a crash loses at most that much. The file is an M3U8 list whose
// second line holds the row count and the playing row; it is replaced atomically, so it
// is always one whole list.
//
// Call order: construct with the list and the file; restore() once into the empty list at
// start-up; setEnabled() as the user chooses; save() at exit.
//
// Threading: GUI thread only.

#include <QObject>
#include <QString>
#include <QTimer>

namespace volaro::playlist {

class ClipListModel;

class ListKeeper final : public QObject {
    Q_OBJECT
public:
    static constexpr int SaveDelayMs = 500;

    ListKeeper(ClipListModel& list, QString file, QObject* parent = nullptr);

    // $XDG_STATE_HOME/Volaro/playlist.m3u8 ($HOME/.local/state when the variable is unset).
    static QString defaultFile();

    // Reads the kept list into the list and sets its playing row. A file that is not a
    // whole list this class wrote is renamed out of the way (its new name is returned) and
    // the list stays as it was. Nothing kept yet: nothing happens.
    QString restore();

    void setEnabled(bool on); // on: saves now and after every change; off: stops saving
    bool enabled() const { return m_enabled; }
    // Writes the list now (when on). Returns empty text, or why it could not be written.
    QString save();

    const QString& file() const { return m_file; }

private:
    void changed();

    ClipListModel& m_list;
    QString m_file;
    QTimer m_timer;
    bool m_enabled = false;
};

} // namespace volaro::playlist
