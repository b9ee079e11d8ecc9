#include "render/DistanceField.h"

#include "render/FieldOutline.h"

#include <QImage>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace glyfrax {

namespace {

// Pixels are handled in squares of this side, each with the list of edges near enough to matter.
constexpr int kTile = 4;

// An edge made ready for many distance queries.
struct NearEdge
{
    Vec2 a, b, d;
    double invLength2 = 0;
    unsigned channels = kAllChannels;
    bool extendA = false;
    bool extendB = false;
    Vec2 unitA, unitB; // the outline's direction at a and b, of length 1
};

// Where on an edge the point nearest to p lies (0 at a, 1 at b, clamped) and how far, squared. The
// ends are taken as they are, so that two edges meeting at a point give p exactly the same distance.
struct Nearest
{
    double distance2;
    double t;
};

inline Nearest nearestOn(const NearEdge& e, Vec2 p)
{
    const Vec2 ap = p - e.a;
    const double t = dot(ap, e.d) * e.invLength2;
    const Vec2 v = t <= 0 ? ap : t >= 1 ? p - e.b : ap - e.d * t;
    return {dot(v, v), t};
}

// How squarely p faces the edge from its nearest point: 1 within the edge, less beyond its ends.
// Of two edges equally near, the one p faces more squarely decides, as at a corner that one's
// line is the one p lies beyond.
double squareness(const NearEdge& e, Vec2 p, double t)
{
    if (t > 0 && t < 1)
        return 1;
    const Vec2 v = p - (t <= 0 ? e.a : e.b);
    const double lengths = std::sqrt(dot(e.d, e.d) * dot(v, v));
    return lengths > 0 ? std::abs(cross(e.d, v)) / lengths : 0;
}

// The signed distance a channel takes from its nearest edge: beyond an end where the outline goes
// on straight, the distance to the line along its direction there; otherwise to the edge. Positive
// on the edge's inner side.
double channelDistance(const NearEdge& e, Vec2 p, Nearest nearest, bool inside)
{
    if (nearest.t < 0 && e.extendA)
        return cross(e.unitA, p - e.a);
    if (nearest.t > 1 && e.extendB)
        return cross(e.unitB, p - e.b);
    const double side = cross(e.d, p - e.a);
    const double distance = std::sqrt(nearest.distance2);
    return side > 0 || (side == 0 && inside) ? distance : -distance;
}

// Inside or outside for every pixel centre of a width x height area, by the nonzero rule: each
// row adds up the directions of the lines it crosses, left to right.
std::vector<char> insideMask(const std::vector<FieldLine>& lines, int width, int height)
{
    auto rowsOf = [&](const FieldLine& l) {
        const double low = std::min(l.a.y, l.b.y);
        const double high = std::max(l.a.y, l.b.y);
        // Rows whose centre y + 0.5 lies in [low, high).
        return std::pair{int(std::clamp(std::ceil(low - 0.5), 0.0, double(height))),
                         int(std::clamp(std::ceil(high - 0.5), 0.0, double(height)))};
    };
    std::vector<std::uint32_t> start(std::size_t(height) + 1);
    for (const FieldLine& l : lines) {
        const auto [first, end] = rowsOf(l);
        for (int y = first; y < end; ++y)
            ++start[std::size_t(y) + 1];
    }
    for (std::size_t y = 1; y < start.size(); ++y)
        start[y] += start[y - 1];
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    std::vector<std::uint32_t> crossing(start.back());
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        const auto [first, end] = rowsOf(lines[i]);
        for (int y = first; y < end; ++y)
            crossing[fill[std::size_t(y)]++] = i;
    }
    std::vector<char> inside(std::size_t(width) * std::size_t(height));
    std::vector<std::pair<double, int>> row;
    for (int y = 0; y < height; ++y) {
        row.clear();
        const double cy = y + 0.5;
        for (std::uint32_t k = start[std::size_t(y)]; k < start[std::size_t(y) + 1]; ++k) {
            const FieldLine& l = lines[crossing[k]];
            row.emplace_back(l.a.x + (cy - l.a.y) * (l.b.x - l.a.x) / (l.b.y - l.a.y), l.a.y < l.b.y ? 1 : -1);
        }
        std::sort(row.begin(), row.end());
        int winding = 0;
        std::size_t next = 0;
        for (int x = 0; x < width; ++x) {
            for (; next < row.size() && row[next].first < x + 0.5; ++next)
                winding += row[next].second;
            inside[std::size_t(y) * std::size_t(width) + std::size_t(x)] = winding != 0;
        }
    }
    return inside;
}

// For every tile, the edges whose box, grown by reach, meets the tile's pixel centres: a pixel
// nearer to an edge than reach finds it in its tile's list.
struct TileLists
{
    int columns = 0;
    int rows = 0;
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> edges;
};

TileLists nearbyEdges(const std::vector<NearEdge>& edges, int width, int height, double reach)
{
    TileLists tiles;
    tiles.columns = (width + kTile - 1) / kTile;
    tiles.rows = (height + kTile - 1) / kTile;
    // Tiles t whose centres t * kTile + 0.5 .. t * kTile + kTile - 0.5 meet [low, high].
    auto span = [](double low, double high, int count) {
        return std::pair{int(std::clamp(std::ceil((low - (kTile - 0.5)) / kTile), 0.0, double(count))),
                         int(std::clamp(std::floor((high - 0.5) / kTile) + 1, 0.0, double(count)))};
    };
    auto forTiles = [&](const NearEdge& e, auto&& body) {
        const auto [left, right] = span(std::min(e.a.x, e.b.x) - reach, std::max(e.a.x, e.b.x) + reach, tiles.columns);
        const auto [top, bottom] = span(std::min(e.a.y, e.b.y) - reach, std::max(e.a.y, e.b.y) + reach, tiles.rows);
        for (int ty = top; ty < bottom; ++ty)
            for (int tx = left; tx < right; ++tx)
                body(std::size_t(ty) * std::size_t(tiles.columns) + std::size_t(tx));
    };
    tiles.start.assign(std::size_t(tiles.columns) * std::size_t(tiles.rows) + 1, 0);
    for (const NearEdge& e : edges)
        forTiles(e, [&](std::size_t tile) { ++tiles.start[tile + 1]; });
    for (std::size_t t = 1; t < tiles.start.size(); ++t)
        tiles.start[t] += tiles.start[t - 1];
    std::vector<std::uint32_t> fill(tiles.start.begin(), tiles.start.end() - 1);
    tiles.edges.resize(tiles.start.back());
    for (std::uint32_t i = 0; i < edges.size(); ++i)
        forTiles(edges[i], [&](std::size_t tile) { tiles.edges[fill[tile]++] = i; });
    return tiles;
}

// A pixel's distances in pixels, clamped to the reach: red, green, blue, and the true one.
using Texel = std::array<double, 4>;

double medianOf(const Texel& t)
{
    return std::max(std::min(t[0], t[1]), std::min(std::max(t[0], t[1]), t[2]));
}

// Where between a and b, interpolated as a shader does, the median of the channels and the true
// distance lie on different sides of the outline: the middle of the first stretch where they do,
// or -1. Either changes side only where one of the four values crosses zero.
double disagreement(const Texel& a, const Texel& b)
{
    std::array<double, 6> stops{0, 1, 1, 1, 1, 1};
    std::size_t count = 2;
    for (std::size_t c = 0; c < 4; ++c) {
        if ((a[c] < 0) == (b[c] < 0))
            continue;
        // Kept in order as they come: at most four.
        std::size_t at = count++;
        for (const double t = a[c] / (a[c] - b[c]); at > 1 && stops[at - 1] > t; --at)
            stops[at] = stops[at - 1];
        stops[at] = a[c] / (a[c] - b[c]);
    }
    for (std::size_t s = 0; s + 1 < count; ++s) {
        const double t = (stops[s] + stops[s + 1]) / 2;
        Texel between;
        for (std::size_t c = 0; c < 4; ++c)
            between[c] = a[c] + (b[c] - a[c]) * t;
        if ((medianOf(between) < 0) != (between[3] < 0))
            return t;
    }
    return -1;
}

// The true signed distance at any point, for the few places the correction asks about.
double trueDistance(const std::vector<FieldLine>& lines, const std::vector<NearEdge>& edges, Vec2 p)
{
    int winding = 0;
    for (const FieldLine& l : lines) {
        if ((l.a.y <= p.y && p.y < l.b.y) || (l.b.y <= p.y && p.y < l.a.y)) {
            if (l.a.x + (p.y - l.a.y) * (l.b.x - l.a.x) / (l.b.y - l.a.y) < p.x)
                winding += l.a.y < l.b.y ? 1 : -1;
        }
    }
    double best = std::numeric_limits<double>::infinity();
    for (const NearEdge& e : edges)
        best = std::min(best, nearestOn(e, p).distance2);
    return winding != 0 ? std::sqrt(best) : -std::sqrt(best);
}

// Where the channels of a multi-channel field would show the outline in a wrong place, their
// median gives way to the true distance. Checked are each pixel's centre, and the points between
// two neighbours or amid four where the channels, interpolated, disagree with the true distance,
// interpolated: the true distance there decides which of the two is wrong. The channels may miss
// by a little, as they do where the outline curves.
void correctClashes(std::vector<Texel>& texels, int width, int height, const std::vector<FieldLine>& lines,
                    const std::vector<NearEdge>& edges)
{
    constexpr double kTolerance = 0.05;
    std::vector<char> wrong(texels.size());
    // Which of the four values are negative: between pixels alike in this, nothing changes side.
    std::vector<unsigned char> signs(texels.size());
    for (std::size_t k = 0; k < texels.size(); ++k) {
        wrong[k] = (medianOf(texels[k]) < 0) != (texels[k][3] < 0);
        for (std::size_t c = 0; c < 4; ++c)
            signs[k] |= (texels[k][c] < 0) << c;
    }
    auto missed = [&](const Texel& shown, Vec2 p) {
        const double truth = trueDistance(lines, edges, p);
        return (medianOf(shown) < 0) != (truth < 0) && std::abs(truth) > kTolerance;
    };
    auto at = [&](int x, int y) { return std::size_t(y) * std::size_t(width) + std::size_t(x); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (const auto& [nx, ny] : {std::pair{x + 1, y}, std::pair{x, y + 1}}) {
                if (nx >= width || ny >= height || signs[at(x, y)] == signs[at(nx, ny)])
                    continue;
                const Texel& a = texels[at(x, y)];
                const Texel& b = texels[at(nx, ny)];
                const double t = disagreement(a, b);
                Texel between;
                for (std::size_t c = 0; c < 4; ++c)
                    between[c] = a[c] + (b[c] - a[c]) * t;
                if (t >= 0 && missed(between, {x + 0.5 + (nx - x) * t, y + 0.5 + (ny - y) * t}))
                    wrong[at(x, y)] = wrong[at(nx, ny)] = 1;
            }
            if (x + 1 >= width || y + 1 >= height)
                continue;
            const std::array<std::size_t, 4> corners{at(x, y), at(x + 1, y), at(x, y + 1), at(x + 1, y + 1)};
            if (std::all_of(corners.begin(), corners.end(), [&](std::size_t k) { return signs[k] == signs[at(x, y)]; }))
                continue;
            Texel middle{};
            for (std::size_t k : corners) {
                for (std::size_t c = 0; c < 4; ++c)
                    middle[c] += texels[k][c] / 4;
            }
            if ((medianOf(middle) < 0) != (middle[3] < 0) && missed(middle, {x + 1.0, y + 1.0})) {
                for (std::size_t k : corners)
                    wrong[k] = 1;
            }
        }
    }
    for (std::size_t k = 0; k < texels.size(); ++k) {
        if (wrong[k])
            texels[k][0] = texels[k][1] = texels[k][2] = texels[k][3];
    }
}

// The distances of every pixel of a width x height area to shape, in pixels, clamped to reach.
std::vector<Texel> distances(const FieldOutline& shape, int width, int height, double reach, bool multi)
{
    const std::vector<char> inside = insideMask(shape.lines, width, height);
    std::vector<Texel> texels(inside.size());
    for (std::size_t k = 0; k < texels.size(); ++k) {
        const double far = inside[k] ? reach : -reach;
        texels[k] = {far, far, far, far};
    }
    std::vector<NearEdge> edges;
    edges.reserve(shape.edges.size());
    auto unit = [](Vec2 v, Vec2 otherwise) {
        const double length = std::sqrt(dot(v, v));
        return length > 0 ? v * (1 / length) : otherwise;
    };
    for (const FieldEdge& e : shape.edges) {
        const Vec2 d = e.b - e.a;
        const Vec2 along = unit(d, d);
        edges.push_back({e.a, e.b, d, 1 / dot(d, d), e.channels, e.extendA, e.extendB, unit(e.tangentA, along),
                         unit(e.tangentB, along)});
    }
    const TileLists tiles = nearbyEdges(edges, width, height, reach);
    const double reach2 = reach * reach;
    for (int ty = 0; ty < tiles.rows; ++ty) {
        for (int tx = 0; tx < tiles.columns; ++tx) {
            const std::size_t tile = std::size_t(ty) * std::size_t(tiles.columns) + std::size_t(tx);
            const std::uint32_t* first = tiles.edges.data() + tiles.start[tile];
            const std::uint32_t* last = tiles.edges.data() + tiles.start[tile + 1];
            if (first == last)
                continue;
            for (int y = ty * kTile, yEnd = std::min(height, y + kTile); y < yEnd; ++y) {
                for (int x = tx * kTile, xEnd = std::min(width, x + kTile); x < xEnd; ++x) {
                    const std::size_t k = std::size_t(y) * std::size_t(width) + std::size_t(x);
                    const Vec2 p{x + 0.5, y + 0.5};
                    Texel& texel = texels[k];
                    if (!multi) {
                        double best = reach2;
                        for (const std::uint32_t* i = first; i != last; ++i)
                            best = std::min(best, nearestOn(edges[*i], p).distance2);
                        if (best < reach2)
                            texel[3] = inside[k] ? std::sqrt(best) : -std::sqrt(best);
                        continue;
                    }
                    // Each channel follows the nearest edge that has it.
                    std::array<Nearest, 3> nearest{Nearest{reach2, 0}, Nearest{reach2, 0}, Nearest{reach2, 0}};
                    std::array<const NearEdge*, 3> chosen{};
                    double farthestKept = reach2;
                    for (const std::uint32_t* i = first; i != last; ++i) {
                        const NearEdge& e = edges[*i];
                        const Nearest n = nearestOn(e, p);
                        if (n.distance2 > farthestKept)
                            continue;
                        for (std::size_t c = 0; c < 3; ++c) {
                            if (!(e.channels & (1U << c)) || n.distance2 > nearest[c].distance2)
                                continue;
                            if (n.distance2 == nearest[c].distance2 &&
                                (!chosen[c] || squareness(e, p, n.t) <= squareness(*chosen[c], p, nearest[c].t)))
                                continue;
                            nearest[c] = n;
                            chosen[c] = &e;
                        }
                        farthestKept = std::max({nearest[0].distance2, nearest[1].distance2, nearest[2].distance2});
                    }
                    const double best = std::min({nearest[0].distance2, nearest[1].distance2, nearest[2].distance2});
                    if (best < reach2)
                        texel[3] = inside[k] ? std::sqrt(best) : -std::sqrt(best);
                    for (std::size_t c = 0; c < 3; ++c) {
                        if (chosen[c])
                            texel[c] = std::clamp(channelDistance(*chosen[c], p, nearest[c], inside[k]), -reach, reach);
                    }
                }
            }
        }
    }
    if (multi)
        correctClashes(texels, width, height, shape.lines, edges);
    return texels;
}

} // namespace

QRect fieldBox(const QPainterPath& outline, double range)
{
    const QRectF box = outline.boundingRect();
    if (outline.isEmpty() || !(box.width() > 0) || !(box.height() > 0))
        return {};
    const int margin = int(std::ceil(range / 2));
    const QPoint topLeft(int(std::floor(box.left())), int(std::floor(box.top())));
    const QPoint end(int(std::ceil(box.right())), int(std::ceil(box.bottom())));
    return QRect(topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y()))
        .adjusted(-margin, -margin, margin, margin);
}

std::vector<float> signedDistances(const QPainterPath& outline, QPoint pen, QSize size, double reach)
{
    Q_ASSERT(reach > 0);
    if (size.isEmpty())
        return {};
    const std::vector<Texel> texels = distances(makeFieldOutline(outline, {double(pen.x()), double(pen.y())}, false),
                                                size.width(), size.height(), reach, false);
    std::vector<float> values(texels.size());
    std::transform(texels.begin(), texels.end(), values.begin(), [](const Texel& t) { return float(t[3]); });
    return values;
}

void drawDistanceField(QImage& page, const QRect& cell, const QPainterPath& outline, QPoint pen, FieldType type,
                       double range)
{
    const QRect area = cell & page.rect();
    const bool argb = page.format() == QImage::Format_ARGB32;
    Q_ASSERT(argb || page.format() == QImage::Format_RGBA8888);
    if (area.isEmpty() || !(range > 0) || (!argb && page.format() != QImage::Format_RGBA8888))
        return;
    const int width = area.width();
    const int height = area.height();
    const bool multi = type != FieldType::Sdf;
    const Vec2 offset{double(pen.x() - area.left()), double(pen.y() - area.top())};
    const std::vector<Texel> texels =
        distances(makeFieldOutline(outline, offset, multi), width, height, range / 2, multi);

    auto level = [range](double distance) {
        return unsigned(std::floor(std::clamp(0.5 + distance / range, 0.0, 1.0) * 255 + 0.5));
    };
    // bits() updates the image's own bookkeeping on every call, a race while other threads draw
    // other cells of the page; pixels that no copy shares need no detaching, so they are written
    // through constBits().
    uchar* bits = page.isDetached() ? const_cast<uchar*>(page.constBits()) : page.bits();
    for (int y = 0; y < height; ++y) {
        uchar* row = bits + qsizetype(area.top() + y) * page.bytesPerLine() + qsizetype(area.left()) * 4;
        for (int x = 0; x < width; ++x) {
            const Texel& texel = texels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            const unsigned truth = level(texel[3]);
            const unsigned red = multi ? level(texel[0]) : truth;
            const unsigned green = multi ? level(texel[1]) : truth;
            const unsigned blue = multi ? level(texel[2]) : truth;
            const unsigned alpha = type == FieldType::Msdf ? 255 : truth;
            uchar* pixel = row + x * 4;
            if (argb) {
                const QRgb value = qRgba(int(red), int(green), int(blue), int(alpha));
                std::memcpy(pixel, &value, sizeof value);
            } else {
                pixel[0] = uchar(red);
                pixel[1] = uchar(green);
                pixel[2] = uchar(blue);
                pixel[3] = uchar(alpha);
            }
        }
    }
}

} // namespace glyfrax
