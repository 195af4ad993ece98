#pragma once

// ControlValue: the value of one slider, spin control, option group or check box, kept
// without a widget so the engine's handlers can be driven and tested alone.
//
// Rules of the controls it stands for: a value outside the range is refused (the
// control keeps its value); setting a different value runs the change handler; setting
// the value already held runs nothing. The range may be given inverted (minimum above
// maximum, as the spin controls have it, so that "up" increases the value).
//
// Threading: GUI thread only.

#include <cstdint>
#include <functional>

namespace volaro::playback {

class ControlValue {
public:
    ControlValue(int minimum, int maximum, int value)
        : m_min(minimum)
        , m_max(maximum)
        , m_value(value) {}

    int value() const { return m_value; }
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    bool contains(int64_t v) const;

    // False when refused. Runs onChange when the value changed.
    bool setValue(int64_t v);
    // A new maximum; values must fit 16 bits like the controls'. A value beyond the new
    // range is pulled to the nearest end (running onChange). False when refused.
    bool setMaximum(int64_t m);

    // The change handler; may be empty.
    std::function<void()> onChange;
    // Told of every accepted change of value or range (for widgets mirroring it).
    std::function<void()> onMirror;

private:
    int m_min;
    int m_max;
    int m_value;
};

} // namespace volaro::playback
