#include "deck.h"

#include <player.h>

namespace volaro::playback {

using deck::Player;

// One set of status codes, whichever side names them.
static_assert(int16_t(Deck::OpenNoFile) == int16_t(Player::OpenNoFile) &&
              int16_t(Deck::OpenNoDecoder) == int16_t(Player::OpenNoDecoder) &&
              int16_t(Deck::OpenNoOutput) == int16_t(Player::OpenNoOutput) &&
              int16_t(Deck::OpenOutputFailed) == int16_t(Player::OpenOutputFailed));

PlayerDeck::PlayerDeck()
    : m_player(std::make_unique<Player>()) {}

PlayerDeck::~PlayerDeck() = default;

void PlayerDeck::setOutputDevice(const QString& name) {
    m_player->setOutputDevice(name);
}
void PlayerDeck::setFilename(const QString& path) {
    m_player->setFilename(path);
}
int16_t PlayerDeck::OpenFile() {
    return m_player->OpenFile();
}
void PlayerDeck::PlayFile() {
    m_player->PlayFile();
}
void PlayerDeck::PauseFile() {
    m_player->PauseFile();
}
void PlayerDeck::StopFile() {
    m_player->StopFile();
}
void PlayerDeck::setPosition(int32_t seconds) {
    m_player->setPosition(seconds);
}
int32_t PlayerDeck::Position() {
    return m_player->Position();
}
int32_t PlayerDeck::Duration() {
    return m_player->Duration();
}
void PlayerDeck::setVolume(int32_t hundredthsDb) {
    m_player->setVolume(hundredthsDb);
}
void PlayerDeck::setSongGain(int32_t hundredthsDb) {
    m_player->setSongGain(hundredthsDb);
}
bool PlayerDeck::outputLost() {
    return m_player->outputLost();
}

DeckFactory playerDeckFactory() {
    return [] { return std::make_unique<PlayerDeck>(); };
}

} // namespace volaro::playback
