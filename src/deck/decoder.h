#pragma once

// Decoder: turns the bytes of one media file into interleaved float frames at the file's
// own rate and channel count, knows the exact decoded length, and seeks by frame.
// MPEG audio goes through libmpg123, what libsndfile reads through libsndfile, the rest
// (AAC, ALAC, WMA, WavPack, Monkey's Audio, ...) through FFmpeg (deck/ffmpegdecoder.h);
// the choice is made on the content, not on the file name.
//
// Call order: open(), then read() and seek() as needed.
//
// A file cut short while it is open (a tag editor or a download rewriting it) reads as
// silence from where its data ends up to the length measured at opening, so that the song
// still ends where it was expected to.
//
// Threading: open() on any thread; afterwards one thread at a time uses the object (the
// GUI thread opens it and hands it to the audio worker, which alone uses it from then on).

#include "deck/channelmix.h"
#include "deck/mediabytes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace volaro::deck {

class Decoder {
public:
    enum class Kind { Mpeg, Sndfile, Ffmpeg };

    virtual ~Decoder() = default;

    // Null when nothing in the bytes decodes. Bounded work whatever the bytes: searches
    // for audio stop where the decoder libraries stop theirs.
    static std::unique_ptr<Decoder> open(std::shared_ptr<const MediaBytes> bytes);

    Kind kind() const { return m_kind; }
    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    // Where each channel is meant to be heard, channels() entries.
    const std::vector<Speaker>& layout() const { return m_layout; }
    // Exact length in frames of what read() delivers from the start.
    int64_t lengthFrames() const { return m_length; }
    double seconds() const { return m_rate > 0 ? static_cast<double>(m_length) / m_rate : 0.0; }

    // Up to maxFrames frames into out (maxFrames * channels() floats). 0 at the end or on
    // an error the decoder cannot get past.
    long read(float* out, long maxFrames);
    // Moves so that the next read() starts at frame; false when the decoder refused.
    bool seek(int64_t frame);

protected:
    virtual long decode(float* out, long maxFrames) = 0;
    virtual bool seekTo(int64_t frame) = 0;
    // True once the file turned out shorter than when it was opened.
    virtual bool sourceCut() const = 0;

    Kind m_kind = Kind::Sndfile;
    int m_rate = 0;
    int m_channels = 0;
    std::vector<Speaker> m_layout; // defaultLayout() when left empty by open()
    int64_t m_length = 0;

private:
    int64_t m_next = 0;     // frame the next read() delivers
    bool m_silence = false; // the data ran out early: silence up to m_length
};

} // namespace volaro::deck
