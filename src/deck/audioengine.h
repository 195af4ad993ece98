#pragma once

// AudioEngine: the process-wide audio back end. It initialises SDL audio, lists the
// outputs, opens each output once (lazily, kept open), runs the decoding worker thread and
// frees released decks once the device callbacks have moved past them.
//
// Call order: instance() (cheap after the first call), outputNames(), createStream() for
// each opened file, release() when a deck is done with its stream, wake() after a change
// the worker should act on at once (play, seek, rate).
//
// Threading: the public members are called from the GUI thread. m_mutex guards the stream
// list and the graveyard; it is shared by the GUI thread and the worker only, never by a
// device callback. The worker is started with the first stream.

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace volaro::deck {

class Decoder;
class DeckStream;
class OutputDevice;

class AudioEngine {
public:
    // Name listed for the default output when SDL names no device but can open one.
    static const QString DefaultOutputName;

    static std::shared_ptr<AudioEngine> instance();
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Throws std::runtime_error when SDL audio cannot start.
    QStringList outputNames();

    enum class StreamError { None, NoSuchOutput, OutputFailed, OutputFull };
    // Binds a decoder to the output listed as outputName (matched exactly as listed).
    std::shared_ptr<DeckStream> createStream(const QString& outputName,
                                             std::unique_ptr<Decoder> decoder, StreamError* error);
    // Silences the stream at once; it is freed later on the worker.
    void release(std::shared_ptr<DeckStream> stream);
    void wake();

private:
    AudioEngine();
    OutputDevice* device(const QString& outputName, StreamError* error);
    void startWorker();
    void workerLoop();
    void collectGarbage(std::vector<std::shared_ptr<DeckStream>>& toFree);

    struct Bound {
        std::shared_ptr<DeckStream> stream;
        OutputDevice* device = nullptr;
    };
    struct Released {
        std::shared_ptr<DeckStream> stream;
        OutputDevice* device = nullptr;
        uint64_t mark = 0;
    };

    bool m_sdlReady = false;
    bool m_defaultFailed = false;
    QString m_sdlError;
    std::map<QString, std::unique_ptr<OutputDevice>> m_devices; // GUI thread only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Bound> m_streams;
    std::vector<Released> m_graveyard;
    uint64_t m_streamsVersion = 0;
    bool m_stop = false;
    bool m_pending = false;
    std::thread m_worker;
};

} // namespace volaro::deck
