#pragma once

// The seconds-to-text format of every time display.

#include <QLatin1Char>
#include <QString>
#include <algorithm>
#include <cmath>

namespace volaro::base {

// Seconds as "mm:ss" (minutes may grow past two digits; no hours), each part truncated.
inline QString SegToMin(double Seconds) {
    const auto twoDigits = [](long long value) {
        const QString digits = QString::number(value < 0 ? -value : value).rightJustified(2, u'0');
        return value < 0 ? QLatin1Char('-') + digits : digits;
    };
    if (!std::isfinite(Seconds))
        return QStringLiteral("00:00");
    // Far beyond any song; keeps the conversion to an integer defined.
    Seconds = std::clamp(Seconds, -1e15, 1e15);
    const long long minutes = static_cast<long long>(std::trunc(Seconds / 60.0));
    const long long rest = static_cast<long long>(std::trunc(Seconds - minutes * 60.0));
    return twoDigits(minutes) + QLatin1Char(':') + twoDigits(rest);
}

} // namespace volaro::base
