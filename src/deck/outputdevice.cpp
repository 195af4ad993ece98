#include "deck/outputdevice.h"

#include "deck/deckstream.h"

#include <QFile>
#include <SDL.h>
#include <cstring>

namespace volaro::deck {

OutputDevice::~OutputDevice() {
    if (m_id)
        SDL_CloseAudioDevice(m_id); // waits for the callback to finish
}

std::unique_ptr<OutputDevice> OutputDevice::open(const QString& sdlName) {
    std::unique_ptr<OutputDevice> dev(new OutputDevice);
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &OutputDevice::callback;
    want.userdata = dev.get();
    SDL_AudioSpec have{};
    const QByteArray name = sdlName.toUtf8();
    const char* device = sdlName.isEmpty() ? nullptr : name.constData();
    // The device's own rate saves SDL a second conversion after ours, up to 48 kHz; above
    // that the decoded blocks would last too short a time, and SDL converts instead. The
    // period stays as asked: the decks' buffering is sized for it.
    dev->m_id = SDL_OpenAudioDevice(device, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (dev->m_id != 0 && have.freq > 48000) {
        SDL_CloseAudioDevice(dev->m_id);
        dev->m_id = SDL_OpenAudioDevice(device, 0, &want, &have, 0);
    }
    if (dev->m_id == 0)
        return nullptr;
    dev->m_rate = have.freq;
    dev->m_period = have.samples;
    SDL_PauseAudioDevice(dev->m_id, 0);
    return dev;
}

bool OutputDevice::alive() const {
    return SDL_GetAudioDeviceStatus(m_id) == SDL_AUDIO_PLAYING;
}

bool OutputDevice::attach(DeckStream* deck) {
    for (auto& slot : m_decks) {
        if (slot.load(std::memory_order_relaxed) == nullptr) {
            slot.store(deck, std::memory_order_release);
            return true;
        }
    }
    return false;
}

uint64_t OutputDevice::detach(DeckStream* deck) {
    for (auto& slot : m_decks) {
        if (slot.load(std::memory_order_relaxed) == deck)
            slot.store(nullptr, std::memory_order_seq_cst);
    }
    return m_callbacks.load(std::memory_order_seq_cst);
}

bool OutputDevice::canFree(uint64_t mark) const {
    // Even: no callback was running when the deck left the slots, so none can hold it.
    // Odd: the running one may; any later count means it has returned.
    return (mark & 1u) == 0 || m_callbacks.load(std::memory_order_acquire) != mark;
}

void OutputDevice::callback(void* self, uint8_t* stream, int len) {
    auto* dev = static_cast<OutputDevice*>(self);
    dev->m_callbacks.fetch_add(1, std::memory_order_seq_cst);
    std::memset(stream, 0, static_cast<size_t>(len));
    // SDL goes on calling a lost device and throws its sound away; taking none keeps every
    // deck where it was. (A status read: no lock, no allocation.)
    if (!dev->alive()) {
        dev->m_callbacks.fetch_add(1, std::memory_order_seq_cst);
        return;
    }
    const int frames = len / static_cast<int>(2 * sizeof(float));
    const uint64_t now = SDL_GetPerformanceCounter();
    for (auto& slot : dev->m_decks) {
        if (DeckStream* deck = slot.load(std::memory_order_seq_cst))
            deck->mixInto(reinterpret_cast<float*>(stream), frames, now, dev->m_frames);
    }
    dev->m_frames += frames;
    dev->m_callbacks.fetch_add(1, std::memory_order_seq_cst);
}

} // namespace volaro::deck
