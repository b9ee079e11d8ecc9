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
// row adds up the directions of the lines it crosses, left to right. Each crossing is noted at the
// first pixel whose centre lies right of it and the notes are summed along the row: memory by the
// area, whatever the lines.
std::vector<char> insideMask(const std::vector<FieldLine>& lines, int width, int height)
{
    std::vector<std::int32_t> turns(std::size_t(width) * std::size_t(height));
    for (const FieldLine& l : lines) {
        const double low = std::min(l.a.y, l.b.y);
        const double high = std::max(l.a.y, l.b.y);
        // Rows whose centre y + 0.5 lies in [low, high).
        const int first = int(std::clamp(std::ceil(low - 0.5), 0.0, double(height)));
        const int end = int(std::clamp(std::ceil(high - 0.5), 0.0, double(height)));
        const int direction = l.a.y < l.b.y ? 1 : -1;
        for (int y = first; y < end; ++y) {
            const double cy = y + 0.5;
            const double at = l.a.x + (cy - l.a.y) * (l.b.x - l.a.x) / (l.b.y - l.a.y);
            // The first pixel x with at < x + 0.5.
            if (!(at < width - 0.5))
                continue;
            int x = at < 0.5 ? 0 : int(at - 0.5);
            while (x > 0 && at < x - 0.5)
                --x;
            while (!(at < x + 0.5))
                ++x;
            turns[std::size_t(y) * std::size_t(width) + std::size_t(x)] += direction;
        }
    }
    std::vector<char> inside(turns.size());
    for (int y = 0; y < height; ++y) {
        std::int32_t winding = 0;
        for (int x = 0; x < width; ++x) {
            const std::size_t k = std::size_t(y) * std::size_t(width) + std::size_t(x);
            winding += turns[k];
            inside[k] = winding != 0;
        }
    }
    return inside;
}

// For every tile, the edges that may come nearer than reach to one of the tile's pixel centres: a
// pixel nearer to an edge than reach finds it in its tile's list. Each row of tiles takes the part
// of an edge within reach of its centres, so a long slanted edge is listed along its course, not
// over its whole box. complete is false, and nothing listed, when the lists would hold more than
// the area's tiles and a fixed budget allow.
struct TileLists
{
    int columns = 0;
    int rows = 0;
    bool complete = true;
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> edges;
};

// Tiles t of count whose centres t * kTile + 0.5 .. t * kTile + kTile - 0.5 meet [low, high].
std::pair<int, int> tileSpan(double low, double high, int count)
{
    return {int(std::clamp(std::ceil((low - (kTile - 0.5)) / kTile), 0.0, double(count))),
            int(std::clamp(std::floor((high - 0.5) / kTile) + 1, 0.0, double(count)))};
}

// Calls body(row, first column, end column) for the rows of tiles near e.
template <typename Body> void forNearTiles(const NearEdge& e, const TileLists& tiles, double reach, Body&& body)
{
    // Rounding in the clipping below is far smaller than this; an edge listed once too often costs
    // a comparison and changes nothing.
    constexpr double kSlack = 1.0 / 16;
    const auto [top, bottom] = tileSpan(std::min(e.a.y, e.b.y) - reach, std::max(e.a.y, e.b.y) + reach, tiles.rows);
    for (int row = top; row < bottom; ++row) {
        double left = std::min(e.a.x, e.b.x);
        double right = std::max(e.a.x, e.b.x);
        if (e.a.y != e.b.y) {
            const double t0 = std::clamp((row * kTile + 0.5 - reach - e.a.y) / e.d.y, 0.0, 1.0);
            const double t1 = std::clamp((row * kTile + kTile - 0.5 + reach - e.a.y) / e.d.y, 0.0, 1.0);
            left = std::min(e.a.x + e.d.x * t0, e.a.x + e.d.x * t1);
            right = std::max(e.a.x + e.d.x * t0, e.a.x + e.d.x * t1);
        }
        const auto [first, end] = tileSpan(left - reach - kSlack, right + reach + kSlack, tiles.columns);
        if (first < end)
            body(row, first, end);
    }
}

TileLists nearbyEdges(const std::vector<NearEdge>& edges, int width, int height, double reach)
{
    TileLists tiles;
    tiles.columns = (width + kTile - 1) / kTile;
    tiles.rows = (height + kTile - 1) / kTile;
    const std::size_t count = std::size_t(tiles.columns) * std::size_t(tiles.rows);
    // Each listed edge costs a comparison at 16 pixels: the budget keeps the time to seconds.
    const std::size_t budget = (std::size_t(1) << 25) + 4 * count;
    std::size_t listed = 0;
    for (const NearEdge& e : edges)
        forNearTiles(e, tiles, reach, [&](int, int first, int end) { listed += std::size_t(end - first); });
    if (listed > budget) {
        tiles.complete = false;
        tiles.start.assign(count + 1, 0);
        return tiles;
    }
    auto forTiles = [&](const NearEdge& e, auto&& visit) {
        forNearTiles(e, tiles, reach, [&](int row, int first, int end) {
            for (int column = first; column < end; ++column)
                visit(std::size_t(row) * std::size_t(tiles.columns) + std::size_t(column));
        });
    };
    tiles.start.assign(count + 1, 0);
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

// The lines that reach into each band of the area's rows [k, k + 1), for the winding number at a
// point: a ray from it along its row meets only those. Empty when they would be more than a budget
// allows.
struct RowBands
{
    std::vector<std::uint32_t> start;
    std::vector<std::uint32_t> lines;
};

RowBands rowBands(const std::vector<FieldLine>& lines, int height)
{
    constexpr std::size_t kBudget = std::size_t(1) << 25;
    auto bandsOf = [height](const FieldLine& l) {
        const double low = std::min(l.a.y, l.b.y);
        const double high = std::max(l.a.y, l.b.y);
        if (!(high >= 0 && low < height))
            return std::pair{0, 0};
        return std::pair{int(std::max(0.0, std::floor(low))), int(std::min(double(height - 1), std::floor(high))) + 1};
    };
    RowBands bands;
    bands.start.assign(std::size_t(height) + 1, 0);
    std::size_t total = 0;
    for (const FieldLine& l : lines) {
        const auto [first, end] = bandsOf(l);
        total += std::size_t(end - first);
    }
    if (total > kBudget)
        return {};
    for (const FieldLine& l : lines) {
        const auto [first, end] = bandsOf(l);
        for (int k = first; k < end; ++k)
            ++bands.start[std::size_t(k) + 1];
    }
    for (std::size_t k = 1; k < bands.start.size(); ++k)
        bands.start[k] += bands.start[k - 1];
    std::vector<std::uint32_t> fill(bands.start.begin(), bands.start.end() - 1);
    bands.lines.resize(bands.start.back());
    for (std::uint32_t i = 0; i < lines.size(); ++i) {
        const auto [first, end] = bandsOf(lines[i]);
        for (int k = first; k < end; ++k)
            bands.lines[fill[std::size_t(k)]++] = i;
    }
    return bands;
}

// Whether the outline lies on the other side of p than the field shown there says, and more than
// tolerance away: the true signed distance at p, for the places the correction asks about. The
// edges within tolerance of p are all in the list of the tile of the pixel whose centre is
// nearest (the lists reach further than that), and a ray from p along its row meets only the
// lines of its band. Each answer adds the lines and edges it looked at to work.
struct TruthAtPoints
{
    const std::vector<FieldLine>& lines;
    const std::vector<NearEdge>& edges;
    const TileLists& tiles;
    const RowBands& bands;
    int width;
    int height;

    bool contradicts(double shown, Vec2 p, double tolerance, std::size_t& work) const
    {
        const int x = std::clamp(int(std::floor(p.x)), 0, width - 1);
        const int y = std::clamp(int(std::floor(p.y)), 0, height - 1);
        const std::size_t tile = std::size_t(y / kTile) * std::size_t(tiles.columns) + std::size_t(x / kTile);
        double best = std::numeric_limits<double>::infinity();
        for (std::uint32_t k = tiles.start[tile]; k < tiles.start[tile + 1]; ++k)
            best = std::min(best, nearestOn(edges[tiles.edges[k]], p).distance2);
        work += tiles.start[tile + 1] - tiles.start[tile];
        if (!(std::sqrt(best) > tolerance))
            return false;
        int winding = 0;
        for (std::uint32_t k = bands.start[std::size_t(y)]; k < bands.start[std::size_t(y) + 1]; ++k) {
            const FieldLine& l = lines[bands.lines[k]];
            if ((l.a.y <= p.y && p.y < l.b.y) || (l.b.y <= p.y && p.y < l.a.y)) {
                if (l.a.x + (p.y - l.a.y) * (l.b.x - l.a.x) / (l.b.y - l.a.y) < p.x)
                    winding += l.a.y < l.b.y ? 1 : -1;
            }
        }
        work += bands.start[std::size_t(y) + 1] - bands.start[std::size_t(y)];
        return (shown < 0) != (winding == 0);
    }
};

// Where the channels of a multi-channel field would show the outline in a wrong place, their
// median gives way to the true distance. Checked are each pixel's centre, and the points between
// two neighbours or amid four where the channels, interpolated, disagree with the true distance,
// interpolated: the true distance there decides which of the two is wrong. The channels may miss
// by a little, as they do where the outline curves. The true distances may look at as many lines
// and edges as a fixed budget and a few per pixel allow; beyond that, and where there is no index
// of the lines, the channels give way wherever they disagree with the true distance interpolated,
// as a single-channel field would show the outline there.
void correctClashes(std::vector<Texel>& texels, int width, int height, const TruthAtPoints& truth)
{
    constexpr double kTolerance = 0.05;
    const std::size_t budget = (std::size_t(1) << 24) + 16 * texels.size();
    std::size_t work = 0;
    std::vector<char> wrong(texels.size());
    // Which of the four values are negative: between pixels alike in this, nothing changes side.
    std::vector<unsigned char> signs(texels.size());
    for (std::size_t k = 0; k < texels.size(); ++k) {
        wrong[k] = (medianOf(texels[k]) < 0) != (texels[k][3] < 0);
        for (std::size_t c = 0; c < 4; ++c)
            signs[k] |= (texels[k][c] < 0) << c;
    }
    const bool indexed = !truth.bands.start.empty();
    auto missed = [&](const Texel& shown, Vec2 p) {
        return !indexed || work > budget || truth.contradicts(medianOf(shown), p, kTolerance, work);
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
    // The correction looks up the edges near points between pixel centres in the same lists.
    constexpr double kCorrectionReach = 0.6;
    const TileLists tiles = nearbyEdges(edges, width, height, multi ? std::max(reach, kCorrectionReach) : reach);
    if (!tiles.complete)
        return texels; // an outline too involved for its size: inside and outside only
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
    if (multi) {
        const RowBands bands = rowBands(shape.lines, height);
        correctClashes(texels, width, height, {shape.lines, edges, tiles, bands, width, height});
    }
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

void drawDistanceField(QImage& page, const QRect& cell, const QPainterPath& outline, QPoint pen, PageField type,
                       double range)
{
    const QRect area = cell & page.rect();
    const bool argb = page.format() == QImage::Format_ARGB32;
    Q_ASSERT(argb || page.format() == QImage::Format_RGBA8888);
    if (area.isEmpty() || !(range > 0) || (!argb && page.format() != QImage::Format_RGBA8888))
        return;
    const int width = area.width();
    const int height = area.height();
    const PageFieldFacts& facts = pageFieldFacts(type);
    const bool multi = facts.severalDistances;
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
            const unsigned alpha = facts.alphaIsOne ? 255 : truth;
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
