#pragma once

// Songs in the compressed formats FFmpeg's encoders write (AAC and ALAC in MP4, Opus,
// WMA, WavPack), for the tests and benchmarks of the decoders that play them.

#include <QString>
#include <vector>

namespace volaro::fixtures {

enum class Codec {
    AacM4a,
    AlacM4a,
    Opus,
    Wma,
    WavPack,
    AacItunes, // AAC in M4A with iTunes' gapless note (iTunSMPB) instead of an edit list
    AacVideo   // AAC in an MP4 that also holds a (never decodable) picture stream
};
inline constexpr Codec AllCodecs[] = {Codec::AacM4a, Codec::AlacM4a, Codec::Opus, Codec::Wma,
                                      Codec::WavPack};

// The file name ending for the kind (".m4a", ".opus", ...) and its short name.
QString codecSuffix(Codec codec);
const char* codecName(Codec codec);
// The rate a kind is written at when the caller has no reason to choose (Opus: 48 kHz).
int codecRate(Codec codec);

// Encodes the interleaved samples. channels up to 8, in the usual order (FL FR FC LFE BL
// BR, then SL SR). False when the file cannot be written.
bool writeEncoded(const QString& path, Codec codec, const std::vector<float>& samples,
                  int sampleRate, int channels);

} // namespace volaro::fixtures
