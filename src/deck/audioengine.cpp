#include "deck/audioengine.h"

#include "deck/deckstream.h"
#include "deck/decoder.h"
#include "deck/outputdevice.h"

#include <SDL.h>
#include <algorithm>
#include <stdexcept>

namespace volaro::deck {

namespace {
// How often the worker looks for outputs that went away.
constexpr auto CheckInterval = std::chrono::milliseconds(100);
// How often the default output is tried again while it cannot be opened.
constexpr auto RetryInterval = std::chrono::milliseconds(500);
} // namespace

const QString AudioEngine::DefaultOutputName = QStringLiteral("Default Output");

std::shared_ptr<AudioEngine> AudioEngine::instance() {
    // Held here for the life of the process and by every Player, so that it outlives
    // decks released during static destruction.
    static std::shared_ptr<AudioEngine> engine(new AudioEngine);
    return engine;
}

AudioEngine::AudioEngine() {
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Volaro");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // the application handles SIGTERM and SIGINT
    m_sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!m_sdlReady)
        m_sdlError = QString::fromUtf8(SDL_GetError());
    else
        m_driver = SDL_GetCurrentAudioDriver();
}

AudioEngine::~AudioEngine() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    m_devices.clear(); // closes them; their callbacks end here
    m_streams.clear();
    m_graveyard.clear();
    if (!m_driver.isEmpty())
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

QStringList AudioEngine::outputNames() {
    std::lock_guard lock(m_deviceMutex);
    return listOutputs();
}

QStringList AudioEngine::listOutputs() {
    if (m_driver.isEmpty())
        throw std::runtime_error("audio output unavailable: " + m_sdlError.toStdString());
    if (!m_sdlReady && retryDue())
        restartAudio();
    QStringList names;
    const int count = m_sdlReady ? SDL_GetNumAudioDevices(0) : 0;
    for (int i = 0; i < count; ++i) {
        if (const char* name = SDL_GetAudioDeviceName(i, 0)) {
            names << QString::fromUtf8(name);
            m_everListed.insert(names.back().trimmed());
        }
    }
    // A driver that names no device may still play on a default one. A default that failed
    // to open is not tried again (every OpenFile lists the outputs) until SDL restarts.
    if (m_sdlReady && names.isEmpty() && !m_defaultFailed) {
        StreamError error;
        m_defaultFailed = device(DefaultOutputName, &error) == nullptr;
    }
    if (!names.isEmpty() || (m_sdlReady && !m_defaultFailed))
        names.prepend(DefaultOutputName);
    return names;
}

QString AudioEngine::resolve(const QString& outputDevice) {
    std::lock_guard lock(m_deviceMutex);
    QStringList names;
    try {
        names = listOutputs();
    } catch (const std::runtime_error&) {
        return {}; // no audio at all: no output matches
    }
    const QString wanted = outputDevice.trimmed();
    for (const QString& name : names) {
        if (name.trimmed() == wanted)
            return name;
    }
    // Unplugged or switched off since: its decks went to the default output, and so do the
    // next ones until it comes back.
    if (m_everListed.contains(wanted) && names.contains(DefaultOutputName))
        return DefaultOutputName;
    return {};
}

OutputDevice* AudioEngine::device(const QString& outputName, StreamError* error) {
    auto it = m_devices.find(outputName);
    if (it != m_devices.end())
        return it->second.get();
    auto dev = OutputDevice::open(outputName == DefaultOutputName ? QString() : outputName);
    if (!dev) {
        *error = StreamError::OutputFailed;
        return nullptr;
    }
    OutputDevice* raw = dev.get();
    m_devices.emplace(outputName, std::move(dev));
    return raw;
}

std::shared_ptr<DeckStream> AudioEngine::createStream(const QString& outputName,
                                                      std::unique_ptr<Decoder> decoder,
                                                      StreamError* error) {
    std::unique_lock devices(m_deviceMutex);
    *error = StreamError::None;
    OutputDevice* dev = device(outputName, error);
    if (!dev && outputName != DefaultOutputName)
        dev = device(DefaultOutputName, error);
    if (!dev)
        return nullptr;
    *error = StreamError::None;
    auto stream =
        std::make_shared<DeckStream>(std::move(decoder), dev->rate(), dev->periodFrames());
    if (!dev->attach(stream.get())) {
        *error = StreamError::OutputFull;
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        m_streams.push_back({stream, dev});
        ++m_streamsVersion;
    }
    devices.unlock();
    startWorker();
    return stream;
}

void AudioEngine::release(std::shared_ptr<DeckStream> stream) {
    if (!stream)
        return;
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_streams.begin(), m_streams.end(),
                           [&](const Bound& b) { return b.stream == stream; });
    if (it == m_streams.end())
        return;
    uint64_t mark = 0;
    if (it->device)
        mark = it->device->detach(stream.get());
    else
        --m_orphans;
    m_graveyard.push_back({std::move(stream), it->device, mark});
    m_streams.erase(it);
    ++m_streamsVersion;
    m_pending = true;
    // The worker frees it on its next round; no need to wake it early.
}

void AudioEngine::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_pending = true;
    }
    m_wake.notify_one();
}

bool AudioEngine::hasOutput(const DeckStream* stream) {
    std::lock_guard lock(m_mutex);
    for (const Bound& b : m_streams) {
        if (b.stream.get() == stream)
            return b.device != nullptr;
    }
    return false;
}

// ---- outputs that go away (worker, m_deviceMutex held) --------------------------------

void AudioEngine::closeDevice(std::unique_ptr<OutputDevice> dev) {
    std::lock_guard lock(m_mutex);
    for (Bound& b : m_streams) {
        if (b.device == dev.get()) {
            dev->detach(b.stream.get());
            b.device = nullptr;
            ++m_orphans;
        }
    }
    // Closing waits for its callback to return: then nothing can reach those decks.
    OutputDevice* gone = dev.get();
    dev.reset();
    for (Released& r : m_graveyard) {
        if (r.device == gone)
            r.device = nullptr;
    }
}

void AudioEngine::restartAudio() {
    while (!m_devices.empty()) {
        closeDevice(std::move(m_devices.begin()->second));
        m_devices.erase(m_devices.begin());
    }
    // Also renews SDL's list of outputs, which stops following a server that went away.
    m_sdlReady = SDL_AudioInit(m_driver.constData()) == 0;
    m_defaultFailed = false;
}

bool AudioEngine::retryDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextRetry)
        return false;
    m_nextRetry = now + RetryInterval;
    return true;
}

void AudioEngine::heal() {
    bool defaultLost = false;
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        if (it->second->alive()) {
            ++it;
            continue;
        }
        // The server moves the default output's stream wherever it can: when that is lost
        // there is no output left, or no server.
        defaultLost = defaultLost || it->first == DefaultOutputName;
        closeDevice(std::move(it->second));
        it = m_devices.erase(it);
    }
    if (defaultLost) {
        restartAudio();
        m_nextRetry = {}; // somewhere to go at once, perhaps
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_orphans == 0)
            return;
    }
    if (!retryDue())
        return;
    if (!m_sdlReady && !defaultLost)
        restartAudio();
    StreamError error;
    OutputDevice* dev = m_sdlReady ? device(DefaultOutputName, &error) : nullptr;
    if (!dev)
        return;
    std::lock_guard lock(m_mutex);
    for (Bound& b : m_streams) {
        if (b.device)
            continue;
        b.stream->moveTo(dev->rate(), dev->periodFrames());
        if (dev->attach(b.stream.get())) {
            b.device = dev;
            --m_orphans;
        }
    }
}

// ---- worker ---------------------------------------------------------------------------

void AudioEngine::startWorker() {
    if (!m_worker.joinable())
        m_worker = std::thread([this] { workerLoop(); });
}

void AudioEngine::collectGarbage(std::vector<std::shared_ptr<DeckStream>>& toFree) {
    auto it = std::partition(m_graveyard.begin(), m_graveyard.end(), [](const Released& r) {
        return r.device && !r.device->canFree(r.mark);
    });
    for (auto i = it; i != m_graveyard.end(); ++i)
        toFree.push_back(std::move(i->stream));
    m_graveyard.erase(it, m_graveyard.end());
}

void AudioEngine::workerLoop() {
    std::vector<std::shared_ptr<DeckStream>> streams;
    std::vector<std::shared_ptr<DeckStream>> toFree;
    uint64_t version = ~0ull;
    bool worked = true;
    auto nextCheck = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (!worked && !m_pending)
                m_wake.wait_for(lock, std::chrono::milliseconds(20));
            m_pending = false;
            if (m_stop)
                break;
            if (version != m_streamsVersion) {
                streams.clear();
                for (const Bound& b : m_streams)
                    streams.push_back(b.stream);
                version = m_streamsVersion;
            }
            collectGarbage(toFree);
        }
        toFree.clear(); // decoders and buffers are freed outside the lock
        if (std::chrono::steady_clock::now() >= nextCheck) {
            // Not while the GUI thread opens an output: decoding must not wait for that.
            std::unique_lock devices(m_deviceMutex, std::try_to_lock);
            if (devices) {
                heal();
                nextCheck = std::chrono::steady_clock::now() + CheckInterval;
            }
        }
        worked = false;
        for (const auto& s : streams)
            worked = s->produce() || worked;
    }
}

} // namespace volaro::deck
