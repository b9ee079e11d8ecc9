// Glyph outlines of any shape and size through every distance field and effect: the work of each
// stays within its budgets (libFuzzer's -timeout and -rss_limit_mb report an input that does not),
// a field writes its cell and nothing else, an sdf's four channels agree, an msdf's alpha is 255,
// and the effects' planes cover exactly their box, the glyph's ink included.
#include "FuzzInput.h"
#include "render/DistanceField.h"
#include "render/GlyphEffects.h"

#include <QImage>
#include <QPainterPath>
#include <QtEndian>

#include <algorithm>
#include <array>

using namespace glyfrax;

namespace {

// The page a field is drawn on; the cell lies within it, the outline anywhere.
constexpr int kPage = 160;

// Reads the input as it comes, zeros once it ends.
struct Reader
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    // Mostly within a few hundred pixels, but now and then hundreds of thousands.
    double coordinate()
    {
        const auto raw = std::int16_t(std::uint16_t(byte() << 8 | byte()));
        return (byte() & 0x80) != 0 ? raw * 16.0 : raw / 64.0;
    }
};

QPainterPath outlineOf(Reader& in)
{
    QPainterPath path;
    while (in.more()) {
        switch (in.byte() % 5) {
        case 0:
            path.moveTo(in.coordinate(), in.coordinate());
            break;
        case 1:
            path.lineTo(in.coordinate(), in.coordinate());
            break;
        case 2:
            path.quadTo(in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate());
            break;
        case 3:
            path.cubicTo(in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(), in.coordinate(),
                         in.coordinate());
            break;
        default:
            path.closeSubpath();
        }
    }
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A byte for the field or effect, one for the range or the outline's width, two for the
    // shadow, two for the cell's place and size on the page; then the outline, element after element.
    Reader in{data, size};
    const std::uint8_t choice = in.byte();
    const std::uint8_t strength = in.byte();
    const auto dx = std::int8_t(in.byte());
    const auto dy = std::int8_t(in.byte());
    const std::uint8_t place = in.byte();
    const std::uint8_t extent = in.byte();
    const QPainterPath outline = outlineOf(in);
    const QPoint pen(place % 64, place / 4);

    if (choice % 4 < 3) {
        const PageField type = std::array{PageField::Sdf, PageField::Msdf, PageField::Mtsdf}[choice % 4];
        const double range = 1 + strength % 64;
        const QRect cell = QRect(place % 32, place / 8, 1 + extent % kPage, 1 + extent / 2) & QRect(0, 0, kPage, kPage);
        constexpr QRgb kUntouched = 0x12345678;
        QImage page(kPage, kPage, (choice & 4) != 0 ? QImage::Format_RGBA8888 : QImage::Format_ARGB32);
        page.fill(kUntouched);
        drawDistanceField(page, cell, outline, pen, type, range);
        const bool argb = page.format() == QImage::Format_ARGB32;
        for (int y = 0; y < kPage; ++y) {
            for (int x = 0; x < kPage; ++x) {
                const uchar* pixel = page.constScanLine(y) + x * 4;
                if (!cell.contains(x, y)) {
                    FUZZ_REQUIRE(reinterpret_cast<const QRgb*>(page.constScanLine(y))[x] == kUntouched);
                    continue;
                }
                // Red, green, blue and alpha wherever the format keeps them.
                const int red = pixel[argb ? 2 : 0];
                const int green = pixel[1];
                const int blue = pixel[argb ? 0 : 2];
                const int alpha = pixel[3];
                FUZZ_REQUIRE(type != PageField::Sdf || (red == alpha && green == alpha && blue == alpha));
                FUZZ_REQUIRE(type != PageField::Msdf || alpha == 255);
            }
        }
        return 0;
    }

    // The effects: an ink of the outline's box (at most the page), its coverage from the input.
    const QRect box = outline.boundingRect().toAlignedRect() & QRect(-kPage / 2, -kPage / 2, kPage, kPage);
    if (box.isEmpty())
        return 0;
    GlyphInk ink{box, std::vector<std::uint8_t>(std::size_t(box.width()) * std::size_t(box.height())), {}, {}};
    for (std::size_t k = 0; k < ink.coverage.size(); ++k)
        ink.coverage[k] = data[k % size];
    EffectShapes shapes;
    shapes.outline = strength % 40 < 33 ? strength % 40 : 0;
    if (dx != 0 || (extent & 1) != 0)
        shapes.shadow = GlyphShadow{dx % 65, dy % 65, extent % 33};
    shapes.monochrome = (choice & 8) != 0;
    const GlyphInk result = withEffects(ink, outline, shapes);
    const auto area = std::size_t(result.box.width()) * std::size_t(result.box.height());
    FUZZ_REQUIRE(result.coverage.size() == area);
    FUZZ_REQUIRE(result.outline.size() == (shapes.outline > 0 ? area : 0));
    FUZZ_REQUIRE(result.shadow.size() == (shapes.shadow ? area : 0));
    // Every covered pixel of the glyph keeps its coverage within the new box.
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            const std::uint8_t c = ink.at(x, y);
            if (c == 0)
                continue;
            const QPoint p = box.topLeft() + QPoint(x, y);
            FUZZ_REQUIRE(result.box.contains(p));
            FUZZ_REQUIRE(result.at(p.x() - result.box.left(), p.y() - result.box.top()) == c);
        }
    }
    return 0;
}
