#pragma once

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

} // namespace glyfrax
