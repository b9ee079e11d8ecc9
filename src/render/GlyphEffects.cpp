#include "render/GlyphEffects.h"

#include "render/DistanceField.h"

#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace glyfrax {

namespace {

// A plane of coverage over an area given from the pen position.
struct Plane
{
    QRect area;
    std::vector<std::uint8_t> values;

    explicit Plane(const QRect& a) : area(a), values(std::size_t(a.width()) * std::size_t(a.height())) {}
    std::uint8_t& at(QPoint p)
    {
        return values[std::size_t(p.y() - area.top()) * std::size_t(area.width()) + std::size_t(p.x() - area.left())];
    }
    // Copies from's values into this plane, moved by offset; both areas hold the moved ones.
    void put(const Plane& from, QPoint offset)
    {
        for (int y = from.area.top(); y <= from.area.bottom(); ++y) {
            const auto row = from.values.begin() + std::ptrdiff_t(y - from.area.top()) * from.area.width();
            std::copy(row, row + from.area.width(), &at(QPoint(from.area.left(), y) + offset));
        }
    }
};

// A Gaussian blur with whole-number weights, rows and then columns, each rounded to a byte: the
// same bytes on any thread and with any compiler's floating point.
void blur(Plane& plane, std::int32_t radius)
{
    const int reach = shadowReach(radius);
    if (reach == 0)
        return;
    const double deviation = radius / 2.0;
    std::vector<std::uint32_t> weights(std::size_t(2 * reach + 1));
    for (int i = -reach; i <= reach; ++i)
        weights[std::size_t(i + reach)] =
            std::uint32_t(std::lround(4096 * std::exp(-double(i * i) / (2 * deviation * deviation))));
    const std::uint32_t sum = std::accumulate(weights.begin(), weights.end(), 0U);
    const int width = plane.area.width();
    const int height = plane.area.height();
    auto pass = [&](const std::vector<std::uint8_t>& from, int count, int length, int step, int stride) {
        std::vector<std::uint8_t> to(from.size());
        for (int line = 0; line < count; ++line) {
            const std::size_t start = std::size_t(line) * std::size_t(stride);
            for (int i = 0; i < length; ++i) {
                std::uint32_t total = sum / 2;
                for (int k = std::max(0, i - reach); k <= std::min(length - 1, i + reach); ++k)
                    total += weights[std::size_t(k - i + reach)] * from[start + std::size_t(k) * std::size_t(step)];
                to[start + std::size_t(i) * std::size_t(step)] = std::uint8_t(total / sum);
            }
        }
        return to;
    };
    plane.values = pass(plane.values, height, width, 1, width);
    plane.values = pass(plane.values, width, height, width, 1);
}

// The smallest box within area holding every pixel that any plane covers.
QRect coveredBox(const std::vector<const Plane*>& planes, const QRect& area)
{
    int left = area.right() + 1;
    int right = area.left() - 1;
    int top = area.bottom() + 1;
    int bottom = area.top() - 1;
    for (const Plane* plane : planes) {
        for (std::size_t k = 0; k < plane->values.size(); ++k) {
            if (plane->values[k] == 0)
                continue;
            const int x = area.left() + int(k % std::size_t(area.width()));
            const int y = area.top() + int(k / std::size_t(area.width()));
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

std::vector<std::uint8_t> cropped(Plane& plane, const QRect& box)
{
    std::vector<std::uint8_t> values;
    values.reserve(std::size_t(box.width()) * std::size_t(box.height()));
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const std::uint8_t* row = &plane.at(QPoint(box.left(), y));
        values.insert(values.end(), row, row + box.width());
    }
    return values;
}

// How much of each pixel of body (row after row) the outline around the glyph covers, from 0 to 1.
// Its edge lies shapes.outline pixels outside the glyph's; a sample half a sample's width inside it
// is covered wholly. With supersampling the samples are the pixels of the area that many times
// larger, each pixel the mean of its square of them.
std::vector<double> outlineCoverage(const QPainterPath& path, const QRect& body, const EffectShapes& shapes)
{
    const int n = std::max(1, shapes.supersample);
    const int reach = (shapes.outline + 1) * n;
    const QSize size = body.size() * n;
    const std::vector<float> distances =
        signedDistances(n == 1 ? path : QTransform::fromScale(n, n).map(path), -body.topLeft() * n, size, reach);
    std::vector<double> covered(std::size_t(body.width()) * std::size_t(body.height()));
    for (std::size_t k = 0; k < distances.size(); ++k) {
        const double inside = distances[k] + shapes.outline * n;
        const double sample = shapes.monochrome ? (inside >= 0 ? 1.0 : 0.0) : std::clamp(inside + 0.5, 0.0, 1.0);
        const std::size_t x = k % std::size_t(size.width()) / std::size_t(n);
        const std::size_t y = k / std::size_t(size.width()) / std::size_t(n);
        covered[y * std::size_t(body.width()) + x] += sample / (n * n);
    }
    return covered;
}

} // namespace

int shadowReach(std::int32_t blur)
{
    return (3 * blur + 1) / 2;
}

GlyphInk withEffects(const GlyphInk& ink, const QPainterPath& path, const EffectShapes& shapes)
{
    if (ink.coverage.empty() || !shapes.any())
        return ink;
    Plane glyph(ink.box);
    glyph.values = ink.coverage;
    // The glyph with its outline. The distances reach a pixel beyond the outline's edge, and the
    // area a pixel further, as Qt's ink may lie a little off the outline's exact place.
    const int reach = shapes.outline + 1;
    const QRect body = ink.box.adjusted(-reach - 1, -reach - 1, reach + 1, reach + 1);
    Plane outline(body);
    outline.put(glyph, {});
    if (shapes.outline > 0) {
        const std::vector<double> covered = outlineCoverage(path, body, shapes);
        for (std::size_t k = 0; k < covered.size(); ++k)
            outline.values[k] = std::max(outline.values[k], std::uint8_t(std::lround(covered[k] * 255)));
    }
    QRect whole = body;
    std::optional<Plane> shadow;
    if (shapes.shadow) {
        const QPoint offset(shapes.shadow->dx, shapes.shadow->dy);
        const int spread = shadowReach(shapes.shadow->blur);
        shadow.emplace(body.translated(offset).adjusted(-spread, -spread, spread, spread));
        shadow->put(outline, offset);
        blur(*shadow, shapes.shadow->blur);
        whole |= shadow->area;
    }
    // Every plane over the whole area, then all of them cut to what they cover.
    Plane glyphs(whole);
    glyphs.put(glyph, {});
    Plane outlines(whole);
    if (shapes.outline > 0)
        outlines.put(outline, {});
    Plane shadows(whole);
    if (shadow)
        shadows.put(*shadow, {});
    const QRect box = coveredBox({&glyphs, &outlines, &shadows}, whole);
    GlyphInk result;
    result.box = box;
    result.coverage = cropped(glyphs, box);
    if (shapes.outline > 0)
        result.outline = cropped(outlines, box);
    if (shadow)
        result.shadow = cropped(shadows, box);
    return result;
}

} // namespace glyfrax
