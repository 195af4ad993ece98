#include "audioengine.h"

#include "deckstream.h"
#include "decoder.h"
#include "outputdevice.h"

#include <SDL.h>
#include <algorithm>
#include <stdexcept>

namespace volaro::deck {

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
    if (m_sdlReady)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

QStringList AudioEngine::outputNames() {
    if (!m_sdlReady)
        throw std::runtime_error("audio output unavailable: " + m_sdlError.toStdString());
    QStringList names;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        if (const char* name = SDL_GetAudioDeviceName(i, 0))
            names << QString::fromUtf8(name);
    }
    // Some drivers name no device but play on a default one. A default that failed to
    // open is not tried again: every OpenFile lists the outputs.
    if (names.isEmpty() && !m_defaultFailed) {
        StreamError error;
        if (device(DefaultOutputName, &error))
            names << DefaultOutputName;
        else
            m_defaultFailed = true;
    }
    return names;
}

OutputDevice* AudioEngine::device(const QString& outputName, StreamError* error) {
    auto it = m_devices.find(outputName);
    if (it != m_devices.end())
        return it->second.get();
    const bool isDefault = outputName == DefaultOutputName && SDL_GetNumAudioDevices(0) <= 0;
    auto dev = OutputDevice::open(isDefault ? QString() : outputName);
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
    *error = StreamError::None;
    OutputDevice* dev = device(outputName, error);
    if (!dev)
        return nullptr;
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
    const uint64_t mark = it->device->detach(stream.get());
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

void AudioEngine::startWorker() {
    if (!m_worker.joinable())
        m_worker = std::thread([this] { workerLoop(); });
}

void AudioEngine::collectGarbage(std::vector<std::shared_ptr<DeckStream>>& toFree) {
    auto it = std::partition(m_graveyard.begin(), m_graveyard.end(),
                             [](const Released& r) { return !r.device->canFree(r.mark); });
    for (auto i = it; i != m_graveyard.end(); ++i)
        toFree.push_back(std::move(i->stream));
    m_graveyard.erase(it, m_graveyard.end());
}

void AudioEngine::workerLoop() {
    std::vector<std::shared_ptr<DeckStream>> streams;
    std::vector<std::shared_ptr<DeckStream>> toFree;
    uint64_t version = ~0ull;
    bool worked = true;
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
        worked = false;
        for (const auto& s : streams)
            worked = s->produce() || worked;
    }
}

} // namespace volaro::deck
