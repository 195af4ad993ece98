#pragma once

// DeckStream: the playback chain of one deck once a file is open. The audio worker
// decodes ahead into preallocated blocks (folded to stereo, resampled to the device's
// rate by one resampler that keeps its state across chunks),
// the device callback mixes those blocks with the deck's ramped gains, and the GUI thread
// steers it through atomics: play/pause, seek, level, rate.
//
// Call order: construct on the GUI thread with an opened Decoder; hand it to the engine,
// which calls produce() from its worker and mixInto() from the device callback; the GUI
// thread uses the setters and heardSeconds() until it releases the stream to the engine,
// which frees it once neither the worker nor the callback can still reach it.
//
// Threading: three parties, no locks between them.
//  - GUI thread: setPlaying, seek, setVolume, setBalance, setRate and the getters.
//  - worker thread: produce() (owns the decoder and the resampler).
//  - device callback: mixInto() (owns the block being played and the current gains).
// Blocks travel worker -> callback through m_filled and back through m_free, both
// single-producer single-consumer. A seek bumps a generation number; blocks of an older
// generation are dropped by the callback unheard.
//
// A second song may be queued to follow the first without a gap (an album played whole):
// when the worker has read the first to its last frame it goes on with the second through
// the same resampler, so the join is exact to the sample at any output rate. The songs are
// segments 0, 1, ... of the stream; the heard position is counted within the segment
// heard.

#include "deck/decoder.h"
#include "deck/resampler.h"
#include "deck/spscqueue.h"
#include "deck/timestretcher.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace volaro::deck {

class DeckStream {
public:
    static constexpr int BlockFrames = 1024;
    static constexpr int BlockCount = 12; // about 280 ms ahead at 44.1 kHz

    // deviceRate: the output's frame rate; periodFrames: frames per device callback, the
    // amount the device still holds after a callback returns.
    DeckStream(std::unique_ptr<Decoder> decoder, int deviceRate, int periodFrames);
    ~DeckStream();
    DeckStream(const DeckStream&) = delete;
    DeckStream& operator=(const DeckStream&) = delete;

    // ---- GUI thread ----
    double lengthSeconds() const { return m_lengthSeconds; }
    void setPlaying(bool playing);
    bool playing() const { return m_playing.load(std::memory_order_relaxed); }
    void seek(double seconds);
    // The file position now being heard, in seconds.
    double heardSeconds() const;
    void setVolume(int32_t hundredthsDb);
    int32_t volume() const { return m_volume.load(std::memory_order_relaxed); }
    void setBalance(int32_t balance); // -10000..10000, positive attenuates the left
    // The song's own level, added to the volume (may boost). Set before the song plays it
    // holds at once; with glide, a playing song moves to it over about a second, so that a
    // level learnt late never steps.
    void setSongGain(int32_t hundredthsDb, bool glide = false);
    static constexpr double SongGainGlideSeconds = 1.0;
    // False when the rate cannot be played (not positive, or out of the converter's range).
    bool setRate(double rate);
    double rate() const { return m_rate.load(std::memory_order_relaxed); }
    // Queues a song to follow the one playing, without a gap (GUI thread). A song queued
    // before replaces it.
    void queueNext(std::unique_ptr<Decoder> next);
    // Takes the queued song back; false when there is none, or when the worker has begun it.
    bool cancelNext();
    // The segment heard now: 0 for the first song, 1 once the first queued one is heard, ...
    int heardSegment() const;
    // The decoder of a stream that never played, for another stream to queue.
    std::unique_ptr<Decoder> takeDecoder();
    // Takes the stream to another device, to go on from the place last heard. Called by the
    // engine (on its worker) only while no device holds the stream: after its old device
    // was closed, before the new one attaches it.
    void moveTo(int deviceRate, int periodFrames);

    // Linear gain of a level in hundredths of a decibel; -10000 and below is true silence.
    static float gainOf(int32_t hundredthsDb);

    // ---- worker thread ----
    // Decodes into free blocks; true when it did any work (the worker then goes round
    // again instead of sleeping).
    bool produce();

    // Plays the song `tempo` times as fast with its pitch kept (1: its own tempo), moving
    // there over glideSeconds. Set before the song plays, it holds from its first frame.
    void setTempo(double tempo, double glideSeconds = 0);
    // Starts the sound of a stream set playing exactly at output frame `frame` of its
    // device (counted from the device's first callback), not at the next callback: a song
    // that comes in on another song's downbeat. Negative: at once.
    void startAtFrame(int64_t frame);
    // The output frame at which the place `seconds` of the song heard is (or was) heard, as
    // the sound plays on from what was heard last at its present speed; -1 before anything
    // was heard since the last seek.
    int64_t frameOf(double seconds) const;

    // ---- device callback ----
    // Adds this deck's sound to out (interleaved stereo). nowTicks: SDL performance counter;
    // firstFrame: the device's count of the first frame of out.
    void mixInto(float* out, int frames, uint64_t nowTicks, int64_t firstFrame);

private:
    struct Block {
        float* samples = nullptr; // BlockFrames stereo frames
        int frames = 0;
        uint32_t generation = 0;
        double startSeconds = 0;
        double secondsPerFrame = 0;
        uint32_t segment = 0;
    };

    void updateGains();
    float nextSongGain();
    int fill(float* out, int frames);
    Block* takeFreeBlock();
    int fadeOutStale(float* out, int frames, float step);
    struct Heard {
        uint32_t generation = 0;
        double seconds = 0;  // the place heard last
        int64_t frame = -1;  // the output frame just after it
        double perFrame = 0; // seconds of the song per output frame there
        uint32_t segment = 0;
        uint64_t ticks = 0;
    };
    void publishHeard(const Heard& heard);
    Heard lastHeard() const;
    bool beginQueued();
    void followTempo();

    // Set by the GUI thread at construction and when the stream changes device.
    std::atomic<int> m_deviceRate;
    std::atomic<int> m_periodFrames;

    // Shared, set once: of the first song.
    const double m_lengthSeconds;
    const int m_firstRate;
    std::unique_ptr<float[]> m_storage;
    Block m_blocks[BlockCount];
    SpscQueue<Block*, 16> m_filled; // worker -> callback
    SpscQueue<Block*, 16> m_free;   // callback -> worker

    // GUI -> others.
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_active{false}; // decoding only starts at the first play
    std::atomic<uint32_t> m_requestedGeneration{0};
    std::atomic<double> m_seekTarget{0.0};
    std::atomic<int32_t> m_volume{0};
    std::atomic<int32_t> m_balance{0};
    std::atomic<float> m_songGainTarget{1.0f}; // linear
    std::atomic<bool> m_songGainSnap{true};    // take the target at once, no glide
    std::atomic<float> m_targetLeft{1.0f};
    std::atomic<float> m_targetRight{1.0f};
    std::atomic<double> m_rate{1.0};
    std::atomic<Decoder*> m_queued{nullptr}; // owned; the worker takes it at the join
    // Seconds of each segment (by its number, modulo the size), so that a seek stays within
    // the song heard.
    std::array<std::atomic<double>, 4> m_segmentSeconds{};
    uint32_t m_segmentsQueued = 0; // GUI only

    // Callback -> GUI: what is being heard, under a sequence counter so that the three
    // values are read together.
    std::atomic<uint32_t> m_heardSequence{0};
    std::atomic<uint32_t> m_heardGeneration{0};
    std::atomic<double> m_heardSeconds{0.0};
    std::atomic<int64_t> m_heardFrame{-1};
    std::atomic<double> m_heardPerFrame{0.0};
    std::atomic<uint64_t> m_heardTicks{0};
    std::atomic<uint32_t> m_heardSegment{0};
    std::atomic<int64_t> m_startFrame{-1};  // GUI -> callback
    std::atomic<double> m_tempoTarget{1.0}; // GUI -> worker
    std::atomic<double> m_tempoGlide{0.0};
    std::atomic<uint32_t> m_tempoRequest{0};

    // Worker only.
    std::unique_ptr<Decoder> m_decoder;
    int m_sourceRate;
    int m_sourceChannels;
    uint32_t m_workSegment = 0;  // of m_decoder
    uint32_t m_blockSegment = 0; // of the block being filled
    int m_switchFrame = -1;      // where in that block the next segment began
    Resampler m_resampler;
    TimeStretcher m_stretcher; // runs once a tempo was asked for
    double m_tempoNow = 1.0;
    double m_tempoGoal = 1.0;
    double m_tempoStep = 0;
    uint32_t m_tempoSeen = 0;
    std::vector<float> m_stretched; // out of the stretcher: [m_stretchedUsed, m_stretchedFrames)
    size_t m_stretchedFrames = 0;
    size_t m_stretchedUsed = 0;
    uint32_t m_workGeneration = 0;
    double m_producedSeconds = 0; // file position of the next frame put in a block
    bool m_decoderDrained = false;
    bool m_ended = false;
    bool m_refilling = false; // filling until no block is free
    Block* m_spare = nullptr;
    std::vector<float> m_decodeBuffer;
    std::vector<float> m_stereoBuffer; // decoded, not yet resampled: [m_stereoUsed, m_stereoFrames)
    size_t m_stereoFrames = 0;
    size_t m_stereoUsed = 0;

    // Callback only.
    Block* m_current = nullptr;
    int m_currentOffset = 0;
    float m_gainLeft = 0.0f;
    float m_gainRight = 0.0f;
    float m_songGain = 1.0f;        // linear, gliding toward m_songGainTarget
    float m_songGainStep = 1.0f;    // factor per frame while it glides
    float m_songGainGoal = 1.0f;    // the target the step was computed for
    bool m_sounding = false;        // playing, or fading out after a pause
    uint32_t m_mixedGeneration = 0; // of the sound last mixed
};

} // namespace volaro::deck
