#include "deck/player.h"
#include "playback/deck.h"

namespace volaro::playback {

using deck::Player;

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
void PlayerDeck::OpenFileAsync(OpenDone done) {
    m_player->OpenFileAsync(std::move(done));
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
bool PlayerDeck::queueAfter(Deck& next) {
    auto* other = dynamic_cast<PlayerDeck*>(&next);
    return other && m_player->queueAfter(*other->m_player);
}
bool PlayerDeck::cancelQueued() {
    return m_player->cancelQueued();
}
int PlayerDeck::songsJoined() {
    return m_player->songsJoined();
}
double PlayerDeck::exactPosition() {
    return m_player->exactPosition();
}
void PlayerDeck::seekExact(double seconds) {
    m_player->seekExact(seconds);
}
int64_t PlayerDeck::outputFrameAt(double seconds) {
    return m_player->outputFrameAt(seconds);
}
void PlayerDeck::startAtOutputFrame(int64_t frame) {
    m_player->startAtOutputFrame(frame);
}
void PlayerDeck::setTempo(double tempo, double glideSeconds) {
    m_player->setTempo(tempo, glideSeconds);
}
bool PlayerDeck::outputLost() {
    return m_player->outputLost();
}

DeckFactory playerDeckFactory() {
    return [] { return std::make_unique<PlayerDeck>(); };
}

} // namespace volaro::playback
