#include "deck/mpegscan.h"

#include <cstring>

namespace volaro::deck {
namespace {

// libmpg123's own limits: junk it skips before the first frame, and bytes it shifts
// through after a frame to find something that looks like a header before it gives up.
constexpr int64_t StartJunkLimit = 65536;
constexpr int64_t ResyncLimit = 1024;
// Tags one after the other with no frame between them: past this it is not a song.
constexpr int MaxTagsInARow = 64;

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

// What libmpg123 takes for a possible header while it resynchronises.
bool plausible(const uint8_t* p) {
    return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && (p[1] & 0x06) != 0 && (p[2] & 0xF0) != 0xF0 &&
           (p[2] & 0x0C) != 0x0C;
}

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
bool confirmed(MediaReader& in, int64_t at, const Header& h) {
    const int64_t next = at + h.frameBytes;
    if (next > in.size())
        return false;
    if (next + 4 > in.size())
        return true;
    const uint8_t* p = in.peek(next, 4);
    Header n;
    return p && parse(p, n) && sameStream(h, n);
}

bool isInfoFrame(MediaReader& in, int64_t at, const Header& h) {
    if (h.layer != 3)
        return false;
    const int sideInfo = h.version == 0 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    const int tagAt = 4 + sideInfo;
    if (h.frameBytes < tagAt + 4)
        return false;
    const uint8_t* p = in.peek(at + tagAt, 4);
    // Only the tags libmpg123 itself takes for an info frame; it plays any other (VBRI)
    // as audio, so counting them keeps the length equal to what is decoded.
    return p && (std::memcmp(p, "Xing", 4) == 0 || std::memcmp(p, "Info", 4) == 0);
}

// The whole size of an ID3v2 tag at `at`, or 0 when there is none.
int64_t id3v2Size(MediaReader& in, int64_t at) {
    const uint8_t* p = in.peek(at, 10);
    if (!p || std::memcmp(p, "ID3", 3) != 0 || ((p[6] | p[7] | p[8] | p[9]) & 0x80))
        return 0;
    const int64_t body =
        (int64_t(p[6]) << 21) | (int64_t(p[7]) << 14) | (int64_t(p[8]) << 7) | p[9];
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

// Where the stream goes on after something that is not one of its frames at `at`, or -1
// where the decoder would give up.
int64_t afterJunk(MediaReader& in, int64_t at, const Header& stream) {
    const uint8_t* p = in.peek(at, 4);
    if (!p)
        return -1;
    if (std::memcmp(p, "TAG", 3) == 0)
        return at + 128;
    if (const int64_t tag = id3v2Size(in, at))
        return at + tag;
    int64_t q = at + 1;
    for (; q < at + ResyncLimit; ++q) {
        p = in.peek(q, 4);
        if (!p)
            return -1;
        if (plausible(p))
            break;
    }
    if (q >= at + ResyncLimit)
        return -1;
    // The decoder then wants it confirmed by the next header, else searches on from there
    // as it does at the start of a stream.
    for (const int64_t limit = q + StartJunkLimit; q < limit; ++q) {
        p = in.peek(q, 4);
        if (!p)
            return -1;
        Header h;
        if (parse(p, h) && sameStream(stream, h) && confirmed(in, q, h))
            return q;
    }
    return -1;
}

} // namespace

MpegScan findFirstMpegFrame(MediaReader& in) {
    MpegScan r;
    int64_t at = 0;
    for (int tags = 0; tags < MaxTagsInARow; ++tags) {
        const int64_t tag = id3v2Size(in, at);
        if (tag == 0)
            break;
        at += tag;
    }
    // A free-format stream (no bit rate in its headers) right where the audio starts: the
    // walk cannot follow it, but the decoder can, and it bounds its own searches.
    if (const uint8_t* p = in.peek(at, 4); p && plausible(p) && (p[2] & 0xF0) == 0) {
        r.start = at;
        return r;
    }
    Header h;
    for (const int64_t limit = at + StartJunkLimit; at < limit; ++at) {
        const uint8_t* p = in.peek(at, 4);
        if (!p)
            break;
        if (parse(p, h) && confirmed(in, at, h)) {
            r.start = at;
            r.sampleRate = h.sampleRate;
            r.samplesPerFrame = h.samples;
            break;
        }
    }
    return r;
}

MpegScan scanMpegFrames(MediaReader& in) {
    MpegScan r = findFirstMpegFrame(in);
    if (r.start < 0)
        return r;
    Header first;
    if (!parse(in.peek(r.start, 4), first))
        return r; // free format
    int64_t at = r.start;
    if (isInfoFrame(in, at, first)) {
        r.infoFrame = true;
        at += first.frameBytes;
    }
    int tagsInARow = 0;
    for (Header h; at + 4 <= in.size();) {
        const uint8_t* p = in.peek(at, 4);
        if (!p)
            break; // the file is shorter than it was
        if (parse(p, h) && sameStream(first, h)) {
            if (at + h.frameBytes > in.size())
                break; // a frame cut short at the end of the file is not decoded
            ++r.frames;
            at += h.frameBytes;
            tagsInARow = 0;
            continue;
        }
        at = ++tagsInARow > MaxTagsInARow ? -1 : afterJunk(in, at, first);
        if (at < 0)
            break;
    }
    r.samples = r.frames * r.samplesPerFrame;
    r.ok = r.frames > 0;
    return r;
}

} // namespace volaro::deck
