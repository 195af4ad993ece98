#include "app/settingsconvert.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace volaro::app {

std::optional<int64_t> settingToInteger(const QString& text, int64_t min, int64_t max) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok); // C locale: "." is the decimal point
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    const double r = std::nearbyint(d); // the default rounding mode sends halves to even
    if (r < static_cast<double>(min) || r > static_cast<double>(max))
        return std::nullopt;
    return static_cast<int64_t>(r);
}

std::optional<float> settingToSingle(const QString& text) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(d);
}

QString singleToSetting(float value) {
    // The shortest text that reads back as the same single-precision number.
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return QString::fromLatin1(buf, static_cast<int>(res.ptr - buf));
}

} // namespace volaro::app
