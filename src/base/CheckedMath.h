#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

namespace glyfrax {

// The value when it fits a signed 32-bit field. Texture sides, cells and settings are 32-bit
// numbers in every file we write, so sums are made wide and checked here instead of wrapping.
inline std::optional<std::int32_t> toInt32Checked(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// The nearest whole number, a half to the even neighbour (2.5 gives 2, 3.5 gives 4): how settings
// and measured text sizes round everywhere, whatever rounding mode a library left behind.
inline double roundHalfEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

} // namespace glyfrax
