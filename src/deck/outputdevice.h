#pragma once

// OutputDevice: one opened SDL playback device and the decks bound to it. Its callback
// mixes every bound deck into the device buffer. Devices stay open for the life of the
// engine, so binding a new deck never reopens one.
//
// Call order: open(); attach()/detach() from the GUI thread at any time; canFree() from
// any thread after detach(); alive() from the GUI thread to learn whether the output is
// still there (a sink unplugged, a sound server gone).
//
// Threading: the deck slots are atomics; attach/detach are only ever called from one
// thread (the GUI thread) and the callback only reads the slots. The callback counts its
// entries and exits (odd while inside) so that the engine can tell when a detached deck
// can no longer be reached. Once SDL reports the device lost the callback mixes nothing
// more, so that the decks on it keep their place until they are moved elsewhere.

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace volaro::deck {

class DeckStream;

class OutputDevice {
public:
    static constexpr int MaxDecks = 64;

    ~OutputDevice();
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    // sdlName empty: the default output. Null when SDL cannot open it.
    static std::unique_ptr<OutputDevice> open(const QString& sdlName);

    // False once SDL has given the device up.
    bool alive() const;

    int rate() const { return m_rate; }
    int periodFrames() const { return m_period; }

    bool attach(DeckStream* deck);
    // Removes the deck from the mix and returns the callback count at that moment.
    uint64_t detach(DeckStream* deck);
    // True when a deck detached at callback count `mark` can no longer be in use.
    bool canFree(uint64_t mark) const;

private:
    OutputDevice() = default;
    static void callback(void* self, uint8_t* stream, int len);

    uint32_t m_id = 0;
    int m_rate = 0;
    int m_period = 0;
    std::array<std::atomic<DeckStream*>, MaxDecks> m_decks{};
    std::atomic<uint64_t> m_callbacks{0};
    int64_t m_frames = 0; // handed to the device so far (callback only)
};

} // namespace volaro::deck
