#include "mpegscan.h"

#include <cstring>

namespace volaro::deck {
namespace {

struct Header {
    int version = 0; // 0 = MPEG 1, 1 = MPEG 2, 2 = MPEG 2.5
    int layer = 0;   // 1..3
    int sampleRate = 0;
    int frameBytes = 0;
    int samples = 0;
    int channels = 0;
};

// Bit rates in kbit/s by [MPEG 1 or 2/2.5][layer - 1][index].
constexpr int BitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr int SampleRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

bool parse(const uint8_t* p, Header& h) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int rateIndex = (p[2] >> 4) & 15;
    const int srIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || srIndex == 3)
        return false;
    h.version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
    h.layer = 4 - layerBits;
    h.sampleRate = SampleRates[h.version][srIndex];
    const int kbps = BitRates[h.version == 0 ? 0 : 1][h.layer - 1][rateIndex];
    const int padding = (p[2] >> 1) & 1;
    const int bps = kbps * 1000;
    if (h.layer == 1) {
        h.frameBytes = (12 * bps / h.sampleRate + padding) * 4;
        h.samples = 384;
    } else if (h.layer == 2 || h.version == 0) {
        h.frameBytes = 144 * bps / h.sampleRate + padding;
        h.samples = 1152;
    } else {
        h.frameBytes = 72 * bps / h.sampleRate + padding;
        h.samples = 576;
    }
    h.channels = ((p[3] >> 6) & 3) == 3 ? 1 : 2;
    return h.frameBytes >= 4;
}

bool sameStream(const Header& a, const Header& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

// A frame is believed when the next one follows right after it (or the data ends there).
bool confirmed(const uint8_t* data, std::size_t size, std::size_t at, const Header& h) {
    const std::size_t next = at + static_cast<std::size_t>(h.frameBytes);
    if (next > size)
        return false;
    if (next + 4 > size)
        return true;
    Header n;
    return parse(data + next, n) && sameStream(h, n);
}

bool isInfoFrame(const uint8_t* frame, const Header& h) {
    if (h.layer != 3)
        return false;
    const int sideInfo = h.version == 0 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const std::size_t at = 4 + static_cast<std::size_t>(sideInfo);
    // Only the tags libmpg123 itself takes for an info frame; it plays any other (VBRI)
    // as audio, so counting them keeps the length equal to what is decoded.
    return static_cast<std::size_t>(h.frameBytes) >= at + 4 &&
           (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0);
}

std::size_t skipId3v2(const uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at + 10 <= size && std::memcmp(data + at, "ID3", 3) == 0) {
        const uint8_t* s = data + at + 6;
        if ((s[0] | s[1] | s[2] | s[3]) & 0x80)
            break;
        std::size_t tag =
            (std::size_t(s[0]) << 21) | (std::size_t(s[1]) << 14) | (std::size_t(s[2]) << 7) | s[3];
        tag += 10 + ((data[at + 5] & 0x10) ? 10 : 0);
        at += tag;
    }
    return at;
}

} // namespace

MpegScan scanMpegFrames(const uint8_t* data, std::size_t size) {
    MpegScan r;
    std::size_t at = skipId3v2(data, size);
    Header first;
    // The first frame, as a decoder would find it.
    for (; at + 4 <= size; ++at) {
        if (parse(data + at, first) && confirmed(data, size, at, first))
            break;
    }
    if (at + 4 > size)
        return r;
    r.sampleRate = first.sampleRate;
    r.samplesPerFrame = first.samples;
    if (isInfoFrame(data + at, first)) {
        r.infoFrame = true;
        at += static_cast<std::size_t>(first.frameBytes);
    }
    Header h;
    while (at + 4 <= size) {
        if (parse(data + at, h) && sameStream(first, h)) {
            if (at + static_cast<std::size_t>(h.frameBytes) > size) {
                // A frame cut short at the end of the file is not decoded.
                break;
            }
            ++r.frames;
            at += static_cast<std::size_t>(h.frameBytes);
            continue;
        }
        // Junk or a tag: look for the next confirmed frame of the same stream.
        ++at;
        while (at + 4 <= size &&
               !(parse(data + at, h) && sameStream(first, h) && confirmed(data, size, at, h)))
            ++at;
    }
    r.samples = r.frames * r.samplesPerFrame;
    r.ok = r.frames > 0;
    return r;
}

} // namespace volaro::deck
