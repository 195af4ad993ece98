#pragma once

// The FFmpeg decoder: songs of the kinds the other two decoders do not read, through
// libavformat and libavcodec, behind the same Decoder interface.
//
// Which library plays what (chosen on the content, see Decoder::open):
//  - MP3 (MPEG audio layers 1-3): libmpg123, which measures lengths exactly from the LAME
//    header or a frame count.
//  - WAV, AIFF, AU, FLAC, Ogg Vorbis: libsndfile, exact and as fast as FFmpeg on them.
//  - The rest through FFmpeg: Ogg Opus (libsndfile reads it exactly too, but FFmpeg
//    decodes it faster: bench_ffmpegdecode compares the two), AAC and ALAC in MP4/M4A, raw
//    ADTS AAC, WMA (1, 2, Pro,
//    Lossless) in ASF, WavPack, Monkey's Audio, Matroska/WebM audio, TTA, Musepack, AC-3,
//    DTS, CAF, TAK, Shorten, DSD, and FLAC in containers libsndfile does not read.
//    A video file plays its sound; its pictures are never decoded.
//
// Lengths are exact where the container says so: MP4 edit lists or iTunSMPB (AAC priming
// and padding), Ogg granule positions less the Opus pre-skip, WavPack and Monkey's Audio
// sample counts. Other containers (ASF, Matroska, raw streams) are measured by walking
// their packets, without decoding. Seeks are sample-accurate: the demuxer goes to a packet
// before the place, the decoder runs from there and what precedes the place is dropped.
//
// Safety: the bytes are read only through MediaBytes, never through FFmpeg's own I/O; no
// protocol may be opened (a playlist-like container or a reference to another file or URL
// opens nothing), only audio demuxers and audio decoders are admitted, and probing and
// the opening walk read a bounded number of bytes.
//
// Threading: as Decoder.

#include "deck/decoder.h"

#include <memory>

namespace volaro::deck {

// Null when FFmpeg finds no audio it may decode in the bytes.
std::unique_ptr<Decoder> openFfmpeg(std::shared_ptr<const MediaBytes> bytes);

} // namespace volaro::deck
