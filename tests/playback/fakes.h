#pragma once

// Recording stand-ins for the decks and the playlist, so the engine's handlers can be
// driven tick by tick without audio or widgets.

#include "deck.h"
#include "playbacklist.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace volaro::playback::testing {

class FakeDeck;

// Owns the shared record of every fake deck made by its factory.
struct DeckPark {
    QHash<QString, int> durations; // files that open, with their length in seconds
    QStringList log;               // "<serial> <call>" of every deck, in order
    std::vector<FakeDeck*> alive;
    int made = 0;

    DeckFactory factory();
    // The live deck with serial `serial`, or null once it was released.
    FakeDeck* find(int serial) const;
    QStringList callsOf(int serial) const;
};

class FakeDeck final : public Deck {
public:
    FakeDeck(DeckPark& park, int serial)
        : serial(serial)
        , m_park(park) {
        m_park.alive.push_back(this);
    }
    ~FakeDeck() override;

    void setOutputDevice(const QString& name) override {
        device = name;
        note(QStringLiteral("device ") + name);
    }
    void setFilename(const QString& path) override {
        file = path;
        note(QStringLiteral("file ") + path);
    }
    int16_t OpenFile() override {
        note(QStringLiteral("open"));
        if (!m_park.durations.contains(file))
            return 1;
        duration = m_park.durations.value(file);
        return 0;
    }
    void PlayFile() override {
        playing = true;
        note(QStringLiteral("play"));
    }
    void PauseFile() override {
        playing = false;
        note(QStringLiteral("pause"));
    }
    void StopFile() override {
        playing = false;
        note(QStringLiteral("stop"));
    }
    void setPosition(int32_t seconds) override {
        position = seconds;
        note(QStringLiteral("seek %1").arg(seconds));
    }
    int32_t Position() override { return position; }
    int32_t Duration() override { return duration; }
    void setVolume(int32_t v) override {
        volume = v;
        note(QStringLiteral("volume %1").arg(v));
    }

    const int serial;
    QString device;
    QString file;
    int32_t duration = 0;
    int32_t position = 0;
    int32_t volume = 0;
    bool playing = false;

private:
    void note(const QString& call) { m_park.log << QStringLiteral("%1 %2").arg(serial).arg(call); }
    DeckPark& m_park;
};

inline FakeDeck::~FakeDeck() {
    note(QStringLiteral("released"));
    std::erase(m_park.alive, this);
}

inline DeckFactory DeckPark::factory() {
    return [this] { return std::make_unique<FakeDeck>(*this, ++made); };
}

inline FakeDeck* DeckPark::find(int serial) const {
    for (FakeDeck* d : alive)
        if (d->serial == serial)
            return d;
    return nullptr;
}

inline QStringList DeckPark::callsOf(int serial) const {
    QStringList out;
    const QString prefix = QString::number(serial) + QLatin1Char(' ');
    for (const QString& line : log)
        if (line.startsWith(prefix))
            out << line.mid(prefix.size());
    return out;
}

class FakeList final : public PlaybackList {
public:
    explicit FakeList(QStringList paths = {})
        : locations(std::move(paths)) {}

    int count() const override { return locations.size(); }
    QString location(int row) const override { return locations.value(row - 1); }
    void setSubItem(int row, int column, const QString& text) override {
        subItems[{row, column}] = text;
    }
    int selectedIndex() const override { return selected; }
    void clearSelection(int row) override {
        cleared << row;
        if (selected == row)
            selected = 0;
    }
    void showItem(int row) override {
        shown << row;
        selected = row;
    }

    QString subItem(int row, int column) const { return subItems.value({row, column}); }

    QStringList locations;
    QMap<QPair<int, int>, QString> subItems;
    int selected = 0;
    QList<int> cleared;
    QList<int> shown;
};

} // namespace volaro::playback::testing

#include "playbackengine.h"

namespace volaro::playback::testing {

// An engine over fake decks and a fake list, set up the way start-up leaves it: an
// output chosen (both decks made), both faders at silence, a master level.
struct Rig {
    DeckPark park;
    FakeList list;
    std::unique_ptr<PlaybackEngine> engine;

    explicit Rig(const QList<QPair<QString, int>>& songs = {}, int masterVolume = 85) {
        for (const auto& [path, seconds] : songs) {
            list.locations << path;
            if (seconds >= 0)
                park.durations.insert(path, seconds);
        }
        engine = std::make_unique<PlaybackEngine>(park.factory(), &list);
        engine->cmbOutputDevices_Click(QStringLiteral("Test Output"));
        engine->TransitionTime = 1;
        engine->vscVolume[0].setValue(85);
        engine->vscVolume[1].setValue(85);
        engine->hscVolume.setValue(masterVolume);
    }

    PlaybackEngine& e() { return *engine; }
    FakeDeck* deck(int i) const { return dynamic_cast<FakeDeck*>(engine->deck(i)); }
    FakeDeck* incoming() const { return deck(engine->CurrentDeck); }
    FakeDeck* outgoing() const { return deck(1 - engine->CurrentDeck); }

    // Runs transition ticks by hand until the transition closes; returns the tick count.
    int finishTransition(int limit = 1000) {
        int ticks = 0;
        while (engine->tmrTransition.isActive() && ticks < limit) {
            engine->tmrTransition_Timer();
            ++ticks;
        }
        return ticks;
    }
};

} // namespace volaro::playback::testing
