#pragma once

// Conversions of stored setting texts. A text that is not a number, or whose value does
// not fit the field, gives no value so the caller skips that setting.

#include <QString>
#include <cstdint>
#include <optional>

namespace volaro::app {

// Decimal text to an integer of the given range; a fraction rounds half to even.
std::optional<int64_t> settingToInteger(const QString& text, int64_t min, int64_t max);
inline std::optional<int16_t> settingToInt16(const QString& text) {
    auto v = settingToInteger(text, INT16_MIN, INT16_MAX);
    return v ? std::optional<int16_t>(static_cast<int16_t>(*v)) : std::nullopt;
}
inline std::optional<int32_t> settingToInt32(const QString& text) {
    auto v = settingToInteger(text, INT32_MIN, INT32_MAX);
    return v ? std::optional<int32_t>(static_cast<int32_t>(*v)) : std::nullopt;
}
// Window geometry is kept as single-precision numbers.
std::optional<float> settingToSingle(const QString& text);
QString singleToSetting(float value);

} // namespace volaro::app
