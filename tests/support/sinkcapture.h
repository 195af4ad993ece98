#pragma once

// One sink of the desktop leg's sound server recorded from its monitor (parec) as float32
// stereo at 44.1 kHz. Waiting runs the thread's events, so a window under test plays on.

#include "support/audiocapture.h"

#include <QProcess>
#include <QString>
#include <vector>

namespace volaro::capture {

class SinkCapture {
public:
    static constexpr int Rate = 44100;

    // An empty sink name records the default sink (the first of VOLARO_SINKS).
    SinkCapture(const QString& sink, const QString& path);
    ~SinkCapture();

    // parec runs and the first tenth of a second has been written.
    bool started();
    std::vector<float> last(double seconds) const; // the last `seconds` recorded
    // Waits up to timeoutMs for the tone above `amplitude` (frequency 0: any sound) in 0.25 s.
    bool hears(double frequency, int timeoutMs, double amplitude = 0.2) const;
    // Amplitude of the tone over the last 0.3 s, after `seconds` more of listening.
    double heard(double frequency, double seconds) const;

    DiskCapture capture;

private:
    QProcess m_parec;
};

} // namespace volaro::capture
