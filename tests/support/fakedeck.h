#pragma once

// Recording decks and a recording list, so the engine (alone or inside the window) can be
// driven tick by tick without audio. Files open when the park knows their length.

#include "playback/deck.h"
#include "playback/playbackengine.h"
#include "playback/playbacklist.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>
#include <cmath>
#include <functional>
#include <memory>

namespace volaro::testing {

using namespace volaro::playback;

// Owns the shared record of every fake deck made by its factory.
struct DeckPark {
    QHash<QString, int> durations; // files that open, with their length in seconds
    int16_t outputStatus = 0;      // nonzero: every open finds no output (3 or 4)
    QStringList log;               // "<serial> <call>" of every deck, in order
    QStringList opened;            // every file opened, in order
    std::function<void(const QString&)> onOpen;
    int made = 0;
    bool holdOpens = false; // slow storage: OpenFileAsync answers only at answer()
    QList<QPair<QString, Deck::OpenDone>> held;          // file and the answer it waits for
    void answer(int i = 0) { held.takeAt(i).second(0); } // only what has not been released

    DeckFactory factory();
    QStringList callsOf(int serial) const {
        QStringList out;
        const QString prefix = QString::number(serial) + QLatin1Char(' ');
        for (const QString& line : log)
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        return out;
    }
};

class FakeDeck final : public Deck {
public:
    FakeDeck(DeckPark& park, int serial)
        : serial(serial)
        , m_park(park) {}
    ~FakeDeck() override { note(QStringLiteral("released")); }
    void setOutputDevice(const QString& name) override { note("device " + name); }
    void setFilename(const QString& path) override { note("file " + (file = path)); }
    int16_t OpenFile() override {
        note(QStringLiteral("open"));
        m_park.opened << file;
        if (m_park.onOpen)
            m_park.onOpen(file);
        duration = m_park.durations.value(file);
        if (m_park.outputStatus != 0)
            return m_park.outputStatus;
        return m_park.durations.contains(file) ? OpenOk : OpenNoFile;
    }
    void OpenFileAsync(OpenDone done) override {
        if (!m_park.holdOpens)
            return done(OpenFile());
        const int16_t status = OpenFile();
        m_park.held.append({file, [done, status](int16_t) { done(status); }});
    }
    void PlayFile() override { transport("play", true); }
    void PauseFile() override { transport("pause", false); }
    void StopFile() override { transport("stop", false); }
    void setPosition(int32_t seconds) override {
        note(QStringLiteral("seek %1").arg(position = seconds));
    }
    int32_t Position() override { return position; }
    int32_t Duration() override { return duration; }
    void setVolume(int32_t v) override { note(QStringLiteral("volume %1").arg(volume = v)); }
    void setSongGain(int32_t g) override { note(QStringLiteral("gain %1").arg(g)); }
    bool outputLost() override { return lost; }
    bool queueAfter(Deck& next) override {
        note("queue " + static_cast<FakeDeck&>(next).file);
        return queued = true;
    }
    bool cancelQueued() override {
        note(QStringLiteral("cancel"));
        return std::exchange(queued, false) && joined == 0;
    }
    int songsJoined() override { return joined; }
    double exactPosition() override { return position; }
    void seekExact(double seconds) override { note(QStringLiteral("seek exact %1").arg(seconds)); }
    // A frame a millisecond: what the engine asks is where the song's seconds fall.
    int64_t outputFrameAt(double seconds) override { return std::llround(seconds * 1000); }
    void startAtOutputFrame(int64_t frame) override {
        note(QStringLiteral("start at %1").arg(frame));
    }
    void setTempo(double tempo, double glide) override {
        note(QStringLiteral("tempo %1 over %2").arg(tempo, 0, 'f', 4).arg(glide, 0, 'f', 2));
    }

    const int serial;
    QString file;
    int32_t duration = 0, position = 0, volume = 0;
    bool playing = false;
    bool lost = false; // the output went away with nothing to take over
    bool queued = false;
    int joined = 0; // queued songs heard (the test says when)

private:
    void transport(const char* call, bool nowPlaying) {
        playing = nowPlaying;
        note(QLatin1String(call));
    }
    void note(const QString& call) { m_park.log << QStringLiteral("%1 %2").arg(serial).arg(call); }
    DeckPark& m_park;
};

inline DeckFactory DeckPark::factory() {
    return [this] { return std::make_unique<FakeDeck>(*this, ++made); };
}

// Hands the engine hooks into its own fields: it must outlive the engine.
struct FakeList final : PlaybackList {
    FakeList() {
        count = [this] { return int(locations.size()); };
        location = [this](int row) { return locations.value(row - 1); };
        albumPlace = [this](int row) { return places.value(row); };
        setLengths = [this](int row, const QString& totLength, const QString& length) {
            lengths[row] = totLength + QLatin1Char(' ') + length;
        };
        currentRow = [this] { return current; };
        setCurrentRow = [this](int row) { current = row; };
        selectedIndex = [this] { return selected; };
        clearSelection = [this](int row) {
            cleared << row;
            selected = selected == row ? 0 : selected;
        };
        showItem = [this](int row) { shown << (selected = row); };
    }
    FakeList(const FakeList&) = delete;
    FakeList& operator=(const FakeList&) = delete;

    QStringList locations;
    QMap<int, volaro::base::AlbumPlace> places;
    QMap<int, QString> lengths; // "TotLength Length" by row
    int current = 0, selected = 0;
    QList<int> cleared, shown;
};

using Songs = QList<QPair<QString, int>>; // path and length in seconds (-1: fails to open)
inline const Songs threeSongs{{"/m/1.mp3", 200}, {"/m/2.mp3", 180}, {"/m/3.mp3", 240}};

// An engine over fake decks and a fake list, set up the way start-up leaves it: an
// output chosen (both decks made), a master level.
struct Rig {
    DeckPark park;
    FakeList list;
    QHash<QString, volaro::deck::SongAnalysis> sounds; // what the analysis knows, by file
    std::unique_ptr<PlaybackEngine> engine;

    explicit Rig(const Songs& songs = {}, int masterLevel = 85) {
        for (const auto& [path, seconds] : songs) {
            list.locations << path;
            if (seconds >= 0)
                park.durations.insert(path, seconds);
        }
        engine = std::make_unique<PlaybackEngine>(park.factory(), list);
        engine->setSoundLookup([this](const QString& path) {
            return sounds.contains(path) ? std::optional(sounds.value(path)) : std::nullopt;
        });
        engine->setOutputDevice(QStringLiteral("Test Output"));
        engine->setMasterLevel(masterLevel);
    }

    PlaybackEngine& e() { return *engine; }
    FakeDeck* deck(int i) const { return dynamic_cast<FakeDeck*>(engine->deck(i)); }
    FakeDeck* incoming() const { return deck(engine->currentDeck()); }
    FakeDeck* outgoing() const { return deck(1 - engine->currentDeck()); }
    // Levels of the incoming and the outgoing deck.
    QList<int> levels() const {
        const int in = engine->currentDeck();
        return {engine->deckLevel(in), engine->deckLevel(1 - in)};
    }
    // Runs transition ticks by hand until the transition closes (at most a thousand).
    void finishTransition() {
        for (int tick = 0; engine->tmrTransition.isActive() && tick < 1000; ++tick)
            engine->tmrTransition_Timer();
    }
    // Play, then the first song's fade-in run to its end.
    Rig& playing() {
        engine->play();
        finishTransition();
        return *this;
    }
    // Puts the current deck at `seconds` and runs one monitor tick.
    void tickAt(int seconds) {
        incoming()->position = seconds;
        engine->tmrPosition_Timer();
    }
};

} // namespace volaro::testing
