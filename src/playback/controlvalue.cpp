#include "controlvalue.h"

#include <algorithm>
#include <limits>

namespace volaro::playback {

bool ControlValue::contains(int64_t v) const {
    return v >= std::min(m_min, m_max) && v <= std::max(m_min, m_max);
}

bool ControlValue::setValue(int64_t v) {
    if (!contains(v))
        return false;
    if (v == m_value)
        return true;
    m_value = static_cast<int>(v);
    if (onMirror)
        onMirror();
    if (onChange)
        onChange();
    return true;
}

bool ControlValue::setMaximum(int64_t m) {
    // The controls hold 16-bit values; a larger range is refused like any bad value.
    if (m < std::numeric_limits<int16_t>::min() || m > std::numeric_limits<int16_t>::max())
        return false;
    if (m == m_max)
        return true;
    m_max = static_cast<int>(m);
    const int lo = std::min(m_min, m_max);
    const int hi = std::max(m_min, m_max);
    const int pulled = std::clamp(m_value, lo, hi);
    if (pulled != m_value) {
        m_value = pulled;
        if (onMirror)
            onMirror();
        if (onChange)
            onChange();
    } else if (onMirror) {
        onMirror();
    }
    return true;
}

} // namespace volaro::playback
