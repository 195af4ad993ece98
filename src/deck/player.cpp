#include "deck/player.h"

#include "deck/audioengine.h"
#include "deck/deckstream.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"

#include <cmath>
#include <limits>

namespace volaro::deck {

namespace {

// Whole seconds, a half going to the even neighbour (the FPU's default rounding).
int32_t roundSeconds(double seconds) {
    if (!std::isfinite(seconds))
        return 0;
    const double r = std::nearbyint(seconds);
    if (r >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (r <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

} // namespace

Player::Player() = default;

Player::~Player() {
    if (m_engine)
        m_engine->release(std::move(m_stream));
}

QStringList Player::outputNames() {
    return AudioEngine::instance()->outputNames();
}

int16_t Player::OpenFile() {
    int16_t status = OpenOk;
    if (!m_engine)
        m_engine = AudioEngine::instance();
    // Whatever this deck played before stops before the new file is even looked at.
    m_engine->release(std::move(m_stream));
    m_stream.reset();
    m_duration = 0;

    auto bytes = MediaBytes::openFile(m_filename);
    std::unique_ptr<Decoder> decoder;
    if (!bytes)
        status = OpenNoFile;
    else if (!(decoder = Decoder::open(bytes)))
        status = OpenNoDecoder;

    const QString output = m_engine->resolve(m_outputDevice);
    if (output.isEmpty())
        status = OpenNoOutput;

    if (decoder) {
        // The length is known even when no output takes the sound.
        setDuration(roundSeconds(decoder->seconds()));
        if (!output.isEmpty()) {
            AudioEngine::StreamError error;
            m_stream = m_engine->createStream(output, std::move(decoder), &error);
            if (!m_stream)
                status = OpenOutputFailed;
            else
                m_stream->setSongGain(m_songGain);
        }
    }
    return status;
}

void Player::PlayFile() {
    if (!m_stream)
        return;
    m_stream->setPlaying(true);
    m_engine->wake();
}

void Player::PauseFile() {
    if (m_stream)
        m_stream->setPlaying(false);
}

void Player::StopFile() {
    // Stopping keeps the position, so that PlayFile resumes from it.
    if (m_stream)
        m_stream->setPlaying(false);
}

void Player::setPosition(int32_t seconds) {
    m_position = seconds;
    if (!m_stream)
        return;
    m_stream->seek(seconds);
    m_engine->wake();
}

int32_t Player::Position() {
    if (!m_stream)
        return 0;
    m_position = roundSeconds(m_stream->heardSeconds());
    return m_position;
}

void Player::setPitch(double rate) {
    m_pitch = rate;
    if (m_stream && m_stream->setRate(rate))
        m_engine->wake();
}

double Player::Pitch() {
    if (!m_stream)
        return 0.0;
    m_pitch = m_stream->rate();
    return m_pitch;
}

void Player::setVolume(int32_t hundredthsDb) {
    m_volume = hundredthsDb;
    // Out of range is refused by the back end, as the platform's audio interface did.
    if (m_stream && hundredthsDb <= 0 && hundredthsDb >= -10000)
        m_stream->setVolume(hundredthsDb);
}

int32_t Player::Volume() {
    if (!m_stream)
        return 0;
    m_volume = m_stream->volume();
    return m_volume;
}

bool Player::outputLost() const {
    if (!m_stream)
        return false;
    return !m_engine->hasOutput(m_stream.get());
}

void Player::setSongGain(int32_t hundredthsDb) {
    m_songGain = hundredthsDb;
    if (m_stream)
        m_stream->setSongGain(hundredthsDb, true);
}

void Player::setBalance(int32_t balance) {
    m_balance = balance;
    const int64_t scaled = static_cast<int64_t>(balance) * 1000;
    if (m_stream && scaled >= -10000 && scaled <= 10000)
        m_stream->setBalance(static_cast<int32_t>(scaled));
}

} // namespace volaro::deck
