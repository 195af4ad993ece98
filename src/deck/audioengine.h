#pragma once

// AudioEngine: the process-wide audio back end. It initialises SDL audio, lists the
// outputs, opens each output once (lazily, kept open), runs the decoding worker thread and
// frees released decks once the device callbacks have moved past them.
//
// Outputs come and go. The first listed, DefaultOutputName, is the desktop's default
// output: a device opened without a name, which the sound server moves when the user picks
// another default or unplugs the one in use. When any other output goes away its decks
// move to the default output and go on from where they were; when even that is gone (no
// output left, sound server restarted) SDL audio is started afresh and the decks wait,
// silent and still, until the default output opens again. The worker looks after this.
//
// Call order: instance() (cheap after the first call), outputNames(), resolve() and
// createStream() for each opened file, release() when a deck is done with its stream,
// wake() after a change the worker should act on at once (play, seek, rate), hasOutput()
// to learn whether a deck is heard.
//
// Threading: the public members are called from the GUI thread. m_deviceMutex serialises
// every use of SDL's device functions and the device map (GUI thread and worker); m_mutex
// guards the stream list and the graveyard; both are taken in that order. Neither is ever
// taken by a device callback. The worker is started with the first stream.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
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
    // The desktop's default output, listed first.
    static const QString DefaultOutputName;

    static std::shared_ptr<AudioEngine> instance();
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // DefaultOutputName, then the outputs SDL names, in its order. Throws
    // std::runtime_error when SDL audio never started; empty while it cannot start again.
    QStringList outputNames();
    // The listed output a deck asking for `outputDevice` plays on: the entry equal to it,
    // both trimmed (exact, case-sensitive). One listed earlier that has gone since gives the
    // default output. Empty when there is none.
    QString resolve(const QString& outputDevice);

    enum class StreamError { None, OutputFailed, OutputFull };
    // Binds a decoder to the output listed as outputName; one that cannot be opened gives
    // way to the default output.
    std::shared_ptr<DeckStream> createStream(const QString& outputName,
                                             std::unique_ptr<Decoder> decoder, StreamError* error);
    // Silences the stream at once; it is freed later on the worker.
    void release(std::shared_ptr<DeckStream> stream);
    void wake();
    // False while no output takes the stream's sound.
    bool hasOutput(const DeckStream* stream);

private:
    AudioEngine();
    // The members below that touch devices need m_deviceMutex held.
    QStringList listOutputs();
    OutputDevice* device(const QString& outputName, StreamError* error);
    void closeDevice(std::unique_ptr<OutputDevice> dev);
    void restartAudio();
    bool retryDue();
    void heal();

    void startWorker();
    void workerLoop();
    void collectGarbage(std::vector<std::shared_ptr<DeckStream>>& toFree);

    struct Bound {
        std::shared_ptr<DeckStream> stream;
        OutputDevice* device = nullptr; // null while no output takes its sound
    };
    struct Released {
        std::shared_ptr<DeckStream> stream;
        OutputDevice* device = nullptr; // null once nothing can reach the stream
        uint64_t mark = 0;
    };

    std::mutex m_deviceMutex;
    bool m_sdlReady = false;
    QByteArray m_driver; // the SDL driver that started, to start it again
    QString m_sdlError;
    bool m_defaultFailed = false;
    std::map<QString, std::unique_ptr<OutputDevice>> m_devices;
    QSet<QString> m_everListed; // trimmed names of every named output seen
    std::chrono::steady_clock::time_point m_nextRetry;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Bound> m_streams;
    std::vector<Released> m_graveyard;
    int m_orphans = 0; // streams without an output
    uint64_t m_streamsVersion = 0;
    bool m_stop = false;
    bool m_pending = false;
    std::thread m_worker;
};

} // namespace volaro::deck
