#pragma once

// Shared by the deck benchmarks: generated media kept between runs, CPU clocks.

#include "support/fixtures.h"

#include <QString>

namespace volaro::bench {

// A generated MP3 (or WAV when kind is null) in a cache folder, written on first use.
QString cachedMp3(const QString& name, double seconds, fixtures::Mp3Kind kind, int bitrate);

double processCpuSeconds();
double threadCpuSeconds();
double wallSeconds();

// Audio output for the benchmarks: SDL's disk driver into /dev/null (paced in real time)
// unless the caller chose a driver.
void defaultToSilentOutput();

} // namespace volaro::bench
