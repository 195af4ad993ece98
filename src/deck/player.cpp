#include "deck/player.h"

#include "deck/audioengine.h"
#include "deck/deckstream.h"
#include "deck/decoder.h"
#include "deck/mediabytes.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
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

// Reads files for OpenFileAsync. Never waited for: a read stuck on stalled storage keeps
// its thread until the storage answers, and the process still ends when its window closes.
QThreadPool& readers() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(32);
        return p;
    }();
    return *pool;
}

} // namespace

// What reading a file gives: its bytes and its decoder, or why there are none.
struct Player::Read {
    std::unique_ptr<Decoder> decoder;
    int16_t status = OpenOk;
};

Player::Player() = default;

Player::~Player() {
    m_reading.reset();
    if (m_engine)
        m_engine->release(std::move(m_stream));
}

std::shared_ptr<Player::Read> Player::readFile(const QString& path) {
    auto read = std::make_shared<Read>();
    auto bytes = MediaBytes::openFile(path);
    if (!bytes)
        read->status = OpenNoFile;
    else if (!(read->decoder = Decoder::open(bytes)))
        read->status = OpenNoDecoder;
    return read;
}

QStringList Player::outputNames() {
    return AudioEngine::instance()->outputNames();
}

void Player::OpenFileAsync(std::function<void(int16_t)> done) {
    // Whatever this deck played before stops before the new file is even looked at.
    if (!m_engine)
        m_engine = AudioEngine::instance();
    m_engine->release(std::move(m_stream));
    m_stream.reset();
    m_duration = 0;
    auto* watcher = new QFutureWatcher<std::shared_ptr<Read>>;
    m_reading.reset(watcher);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [this, watcher, done] {
        const std::shared_ptr<Read> read = watcher->result();
        m_reading.release()->deleteLater(); // it is running this
        done(bind(read));
    });
    watcher->setFuture(QtConcurrent::run(&readers(), &Player::readFile, m_filename));
}

int16_t Player::OpenFile() {
    m_reading.reset();
    if (!m_engine)
        m_engine = AudioEngine::instance();
    // Whatever this deck played before stops before the new file is even looked at.
    m_engine->release(std::move(m_stream));
    m_stream.reset();
    m_duration = 0;
    return bind(readFile(m_filename));
}

int16_t Player::bind(const std::shared_ptr<Read>& read) {
    int16_t status = read->status;
    std::unique_ptr<Decoder> decoder = std::move(read->decoder);
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

double Player::exactPosition() {
    return m_stream ? m_stream->heardSeconds() : 0.0;
}

void Player::seekExact(double seconds) {
    m_position = static_cast<int32_t>(seconds);
    if (!m_stream)
        return;
    m_stream->seek(seconds);
    m_engine->wake();
}

int64_t Player::outputFrameAt(double seconds) const {
    return m_stream ? m_stream->frameOf(seconds) : -1;
}

void Player::startAtOutputFrame(int64_t frame) {
    if (m_stream)
        m_stream->startAtFrame(frame);
}

void Player::setTempo(double tempo, double glideSeconds) {
    if (!m_stream)
        return;
    m_stream->setTempo(tempo, glideSeconds);
    m_engine->wake();
}

bool Player::queueAfter(Player& next) {
    if (!m_stream || !next.m_stream)
        return false;
    std::unique_ptr<Decoder> decoder = next.m_stream->takeDecoder();
    if (!decoder)
        return false;
    next.m_engine->release(std::move(next.m_stream));
    next.m_stream.reset();
    m_stream->queueNext(std::move(decoder));
    m_engine->wake(); // a song that already ended goes on at once
    return true;
}

bool Player::cancelQueued() {
    return m_stream && m_stream->cancelNext();
}

int Player::songsJoined() const {
    return m_stream ? m_stream->heardSegment() : 0;
}

bool Player::outputLost() const {
    if (!m_stream)
        return false;
    return !m_engine->hasOutput(m_stream.get());
}

void Player::setSongGain(int32_t hundredthsDb) {
    m_songGain = hundredthsDb;
    // A song that sounds glides; one that has not started yet starts at its level.
    if (m_stream)
        m_stream->setSongGain(hundredthsDb, m_stream->playing());
}

void Player::setBalance(int32_t balance) {
    m_balance = balance;
    const int64_t scaled = static_cast<int64_t>(balance) * 1000;
    if (m_stream && scaled >= -10000 && scaled <= 10000)
        m_stream->setBalance(static_cast<int32_t>(scaled));
}

} // namespace volaro::deck
