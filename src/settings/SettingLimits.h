#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>

namespace glyfrax {

// The largest font size: a larger one gives textures no bitmap can hold, and a saved size
// that no longer fits 16 bits.
constexpr float kMaxFontSize = 1638.0F;
// The largest gap between characters or lines, in pixels.
constexpr std::int32_t kMaxGap = 32767;

// "0 bis 1638" and "0 bis 32767": the ranges as messages name them.
QString fontSizeRangeText();
QString gapRangeText();

// A size or gap read from text and checked against its range. A failure says why in a few
// German words ("keine Zahl", "außerhalb von 0 bis 32767").
Result<float> fontSizeFromText(const QString& text);
Result<std::int32_t> gapFromText(const QString& text);

} // namespace glyfrax
