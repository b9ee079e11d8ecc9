// Layout and cell placement with arbitrary character widths, line height and gaps: no overflow,
// and where the sizes are ones a font can have, every cell lies on the texture.
#include "FuzzInput.h"
#include "layout/CellPlacement.h"
#include "layout/TextMeasure.h"
#include "layout/TextureLayout.h"

#include <algorithm>
#include <cstring>

using namespace glyfrax;

namespace {

struct ArbitraryMeasure final : TextMeasure
{
    int charWidth(int code) const override { return widths[std::size_t(code - kFirstCode)]; }
    int lineHeight() const override { return height; }
    std::int32_t height = 0;
    std::int32_t widths[kCharacterCount] = {};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Line height, x gap, y gap, then the widths of the codes 32 to 255: four bytes each.
    std::int32_t numbers[3 + kCharacterCount] = {};
    std::memcpy(numbers, data, std::min(size, sizeof numbers));
    ArbitraryMeasure measure;
    measure.height = numbers[0];
    std::copy(numbers + 3, std::end(numbers), measure.widths);
    const Result<TextureLayout> layout = layoutTexture(measure, numbers[1], numbers[2]);
    if (!layout)
        return 0;
    const std::int64_t side = layout->side;
    FUZZ_REQUIRE(side >= 128 && (side & (side - 1)) == 0);
    const Result<GlyphTable> cells = placeCells(measure, *layout, numbers[1], numbers[2]);
    // A character of width 0 moves the next cell one pixel left, as the cells always have.
    const bool fontLike = numbers[0] > 0 && numbers[1] >= 0 && numbers[2] >= 0 &&
                          std::all_of(numbers + 3, std::end(numbers), [](std::int32_t width) { return width > 0; });
    if (!cells || !fontLike)
        return 0;
    // Above 2^23 pixels the layout compares heights in single precision, a few pixels apart.
    const std::int64_t slack = side >> 22;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& r = (*cells)[code];
        FUZZ_REQUIRE(r.X >= 0 && std::int64_t(r.X) + r.W + 1 <= side);
        FUZZ_REQUIRE(r.Y >= 0 && std::int64_t(r.Y) + r.H + 1 <= side + slack);
    }
    return 0;
}
