#include "deck/channelmix.h"

#include <algorithm>

namespace volaro::deck {

namespace {

constexpr float Minus3dB = 0.70710678f;

struct Gains {
    float left, right;
};

Gains gainsOf(Speaker s) {
    switch (s) {
    case Speaker::FrontLeft:
    case Speaker::FrontLeftOfCenter:
        return {1.0f, 0.0f};
    case Speaker::FrontRight:
    case Speaker::FrontRightOfCenter:
        return {0.0f, 1.0f};
    case Speaker::BackLeft:
    case Speaker::SideLeft:
        return {Minus3dB, 0.0f};
    case Speaker::BackRight:
    case Speaker::SideRight:
        return {0.0f, Minus3dB};
    case Speaker::LowFrequency:
        return {0.0f, 0.0f};
    case Speaker::FrontCenter:
    case Speaker::BackCenter:
    case Speaker::Other:
        return {Minus3dB, Minus3dB};
    }
    return {0.0f, 0.0f};
}

} // namespace

std::vector<Speaker> defaultLayout(int channels) {
    static constexpr Speaker Wave[] = {
        Speaker::FrontLeft,         Speaker::FrontRight,         Speaker::FrontCenter,
        Speaker::LowFrequency,      Speaker::BackLeft,           Speaker::BackRight,
        Speaker::FrontLeftOfCenter, Speaker::FrontRightOfCenter, Speaker::BackCenter,
        Speaker::SideLeft,          Speaker::SideRight};
    if (channels == 1)
        return {Speaker::FrontCenter};
    std::vector<Speaker> layout(static_cast<size_t>(std::max(channels, 0)), Speaker::Other);
    std::copy_n(Wave, std::min<size_t>(layout.size(), std::size(Wave)), layout.begin());
    return layout;
}

void foldToStereo(const float* in, long frames, const std::vector<Speaker>& layout, float* out) {
    const size_t channels = layout.size();
    if (channels == 1) { // a single channel is the whole song: both sides at full level
        for (long i = 0; i < frames; ++i)
            out[2 * i] = out[2 * i + 1] = in[i];
        return;
    }
    Gains gains[64];
    const size_t used = std::min<size_t>(channels, std::size(gains));
    for (size_t c = 0; c < used; ++c)
        gains[c] = gainsOf(layout[c]);
    for (long i = 0; i < frames; ++i) {
        const float* f = in + static_cast<size_t>(i) * channels;
        float l = 0.0f, r = 0.0f;
        for (size_t c = 0; c < used; ++c) {
            l += f[c] * gains[c].left;
            r += f[c] * gains[c].right;
        }
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
}

} // namespace volaro::deck
