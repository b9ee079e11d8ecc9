#pragma once

namespace glyfrax {

// Texts are measured and drawn at 96 dots per inch whatever the screen, so that a texture
// depends only on the settings and the font.
constexpr int kDotsPerInch = 96;
// A twip is 1/1440 inch; the layout sums in twips, as the sizes it was designed with are given.
constexpr int kTwipsPerPixel = 1440 / kDotsPerInch;
// 96 dots per inch as a bitmap header and Qt store it, rounded to whole dots per metre.
constexpr int kDotsPerMeter = 3780;

} // namespace glyfrax
