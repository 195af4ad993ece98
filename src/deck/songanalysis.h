#pragma once

// SongAnalysis: what one pass over a song's decoded sound tells about it: its integrated
// loudness (EBU R128), its sample peak, where its sound starts and ends, and its beat grid.
// With it the deck levels songs to one loudness, skips the dead air at both ends and lands
// transitions on downbeats.
//
// analyseSong() decodes the whole file; it is slow (a full decode) and meant for a
// background thread. levelGain() and songSpan() are pure rules the engine applies.
//
// Threading: everything here is reentrant; analyseSong() may run on any thread.

#include <QMetaType>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

namespace volaro::deck {

class MediaBytes;

// A 50 ms block whose RMS is above this level counts as sound; below it is dead air
// (the hiss of an old record's lead-in stays under it).
constexpr double SilenceThresholdDb = -45.0;
constexpr int SilenceBlocksPerSecond = 20;

// Loudness and peak below these are silence (the first is R128's absolute gate); above
// the tops (float files may hold any value) they are clamped.
constexpr double LoudnessFloor = -70.0; // LUFS
constexpr double PeakFloor = -120.0;    // dBFS
constexpr double LoudnessTop = 30.0;
constexpr double PeakTop = 40.0;

// The level every song is brought to, and the highest its peak may reach by that.
constexpr double TargetLoudness = -18.0; // LUFS
constexpr double PeakCeiling = -1.0;     // dBFS

// The beat of a song where its analysis found a steady one: beats every 60 / bpm seconds,
// in bars of beatsPerBar beats, one bar starting (a downbeat) at firstDownbeat. The grid
// runs on both ways from there, through the whole song.
struct BeatGrid {
    double bpm = 0;           // 0: no steady beat found
    double firstDownbeat = 0; // seconds from the start of the file
    int beatsPerBar = 4;
    double confidence = 0; // 0 .. 1: how well the beats found fit the grid and sit on onsets
    static constexpr double MinConfidence = 0.5;

    bool confident() const { return bpm > 0 && confidence >= MinConfidence; }
    double beatSeconds() const { return 60.0 / bpm; }
    double barSeconds() const { return beatsPerBar * beatSeconds(); }
    // The downbeat at or before / at or after `seconds` (on the grid, maybe before the
    // file's start or after its end).
    double downbeatAtOrBefore(double seconds) const;
    double downbeatAtOrAfter(double seconds) const;
    bool operator==(const BeatGrid&) const = default;
};

struct SongAnalysis {
    enum class Status : uint8_t { Failed = 0, Ok = 1 };
    Status status = Status::Failed;
    double loudness = LoudnessFloor; // LUFS, integrated
    double peak = PeakFloor;         // dBFS, largest sample
    double soundStart = 0;           // seconds from the start of the file
    double soundEnd = 0;             // seconds; the whole song when nothing is above silence
    double seconds = 0;              // decoded length
    BeatGrid beats;

    bool ok() const { return status == Status::Ok; }
    bool operator==(const SongAnalysis&) const = default;
};

// Decodes the file and measures it. Failed when nothing decodes; a stop request (checked
// between reads) also ends in Failed, which the caller must not keep.
SongAnalysis analyseSong(const QString& path, const std::atomic<bool>* stop = nullptr);
SongAnalysis analyseSong(std::shared_ptr<const MediaBytes> bytes,
                         const std::atomic<bool>* stop = nullptr);
// The same, without the beat grid when withBeats is false (to measure what the beats cost).
SongAnalysis analyseSong(std::shared_ptr<const MediaBytes> bytes, const std::atomic<bool>* stop,
                         bool withBeats);

// Hundredths of a decibel to add to the deck level so that the song plays at
// TargetLoudness; a boost stops where the peak would pass PeakCeiling (a cut is never
// deepened for the peak's sake). 0 for failed or silent songs.
int32_t levelGain(const SongAnalysis& song);

// Start and end point of a song in whole seconds of the file, as the engine counts them.
struct SongSpan {
    int32_t start = 0;
    int32_t end = 0;
    int32_t length() const { return end - start; }
    bool operator==(const SongSpan&) const = default;
};

// The trims alone: from cutFirst to duration - cutLast; a song not longer than both trims
// together plays whole.
SongSpan songSpan(int32_t duration, int32_t cutFirst, int32_t cutLast);
// With silence skipped: the later of the trim and the sound's start, the earlier of the
// trim end and the sound's end. Both are rounded down to whole seconds: the start loses
// no music (at most part of a second of silence stays), and the end point, where the
// fade-out finishes, still lies in the music. A failed analysis, or points that leave
// nothing to play, give the trims alone.
SongSpan songSpan(int32_t duration, int32_t cutFirst, int32_t cutLast, const SongAnalysis& sound);

} // namespace volaro::deck

Q_DECLARE_METATYPE(volaro::deck::SongAnalysis)
