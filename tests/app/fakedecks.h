#pragma once

// Decks that play nothing, for window tests that ask what was opened and for how long.
// Durations come from a table by file path; unknown paths measure 0 like a broken file.

#include "deck.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

struct FakeDeckBoard {
    QHash<QString, int32_t> durations; // by path
    QStringList opened;                // every OpenFile, in order
    std::function<void(const QString&)> onOpen;
    int32_t lastVolume = 1;
    int seeks = 0;
    int32_t lastSeek = -1;

    volaro::playback::DeckFactory factory();
};

class FakeDeck final : public volaro::playback::Deck {
public:
    explicit FakeDeck(FakeDeckBoard& board)
        : m_board(board) {}
    void setOutputDevice(const QString&) override {}
    void setFilename(const QString& path) override { m_path = path; }
    int16_t OpenFile() override {
        m_board.opened.append(m_path);
        if (m_board.onOpen)
            m_board.onOpen(m_path);
        m_duration = m_board.durations.value(m_path, 0);
        return m_board.durations.contains(m_path) ? 0 : 1;
    }
    void PlayFile() override {}
    void PauseFile() override {}
    void StopFile() override {}
    void setPosition(int32_t s) override {
        ++m_board.seeks;
        m_board.lastSeek = s;
    }
    int32_t Position() override { return 0; }
    int32_t Duration() override { return m_duration; }
    void setVolume(int32_t v) override { m_board.lastVolume = v; }

private:
    FakeDeckBoard& m_board;
    QString m_path;
    int32_t m_duration = 0;
};

inline volaro::playback::DeckFactory FakeDeckBoard::factory() {
    return [this]() -> std::unique_ptr<volaro::playback::Deck> {
        return std::make_unique<FakeDeck>(*this);
    };
}
