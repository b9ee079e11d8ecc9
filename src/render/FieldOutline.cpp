#include "render/FieldOutline.h"

#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <span>

namespace glyfrax {

namespace {

// Curves are replaced by lines that stay this close to them, in pixels: far below the error a
// field's reconstruction has anyway.
constexpr double kFlatness = 1.0 / 128;
// Where two parts of a contour meet turning by more than about 8 degrees, the multi-channel
// field keeps the corner sharp; smaller bends are drawn as smooth.
constexpr double kCornerSine = 0.14;
// Crossings of a ray closer than this to its start count as lying on it.
constexpr double kOnRay = 1e-9;
// Merging overlaps costs a step per pair of lines the sweep meets, and a pass over all lines per
// contour and per crossing. Real glyphs stay far below this (every glyph of DejaVu Sans and of a
// CJK font is merged alike with or without it); a font can claim contours that cross each other a
// million times, which would take minutes and gigabytes. Beyond it the contours are taken as they
// run.
constexpr std::size_t kMergeSteps = std::size_t(1) << 26;
// The lines of all curves of an outline together. A glyph of a real font needs a few thousand
// even at thousands of pixels; a font can claim hundreds of curves that each swing thousands of
// pixels out, whose lines would cost every later step its time. Beyond this count the curves share
// it, each in proportion to what it would take, and stray a little further from the curve.
constexpr std::size_t kMostLines = std::size_t(1) << 17;

// A point of a contour made of lines, with the outline's direction arriving there and leaving.
struct Vertex
{
    Vec2 p;
    bool corner = false;
    Vec2 in;
    Vec2 out;
};

struct Element
{
    Vec2 p0, c1, c2, p3;
    bool curve = false;

    Vec2 startTangent() const { return c1 != p0 ? c1 - p0 : c2 != p0 ? c2 - p0 : p3 - p0; }
    Vec2 endTangent() const { return p3 != c2 ? p3 - c2 : p3 != c1 ? p3 - c1 : p3 - p0; }
    Vec2 at(double t) const
    {
        const double s = 1 - t;
        return p0 * (s * s * s) + c1 * (3 * s * s * t) + c2 * (3 * s * t * t) + p3 * (t * t * t);
    }
    Vec2 velocity(double t) const
    {
        const double s = 1 - t;
        return (c1 - p0) * (3 * s * s) + (c2 - c1) * (6 * s * t) + (p3 - c2) * (3 * t * t);
    }
    // A point of the lines that replace the curve in steps of h. A chord lies inside the bend by
    // up to |B''| h^2 / 8 across the curve; with its ends moved out by two thirds of that, the
    // lines stray as far to either side of the curve on average, so the glyph keeps its area.
    Vec2 flattened(double t, double h) const
    {
        const Vec2 v = velocity(t);
        const Vec2 bend = (c2 - c1 * 2 + p0) * (6 * (1 - t)) + (p3 - c2 * 2 + c1) * (6 * t);
        const double speed2 = dot(v, v);
        if (!(speed2 > 0))
            return at(t);
        const Vec2 across = bend - v * (dot(bend, v) / speed2);
        return at(t) - across * (h * h / 12);
    }
    // Lines whose distance from the curve stays below kFlatness: the second differences of the
    // control points bound the curve's second derivative.
    int steps() const
    {
        if (!curve)
            return 1;
        const Vec2 d1 = p0 - c1 * 2 + c2;
        const Vec2 d2 = c1 - c2 * 2 + p3;
        const double bend = std::sqrt(std::max(dot(d1, d1), dot(d2, d2)));
        const double steps = std::ceil(std::sqrt(0.75 * bend / kFlatness));
        return std::isfinite(steps) ? int(std::clamp(steps, 1.0, 1024.0)) : 1;
    }
};

bool isCorner(Vec2 in, Vec2 out)
{
    const double lengths = std::sqrt(dot(in, in) * dot(out, out));
    return !(lengths > 0) || dot(in, out) <= 0 || std::abs(cross(in, out)) > kCornerSine * lengths;
}

bool finite(Vec2 p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// One closed contour of vertices from the elements of a subpath, closed by a line if it is open;
// each curve in share times the lines it would take (at least one).
std::vector<Vertex> contourOf(std::vector<Element>& elements, double share)
{
    std::vector<Vertex> vertices;
    if (elements.empty())
        return vertices;
    if (elements.back().p3 != elements.front().p0) {
        const Vec2 from = elements.back().p3;
        const Vec2 to = elements.front().p0;
        elements.push_back({from, from, to, to, false});
    }
    for (std::size_t k = 0, n = elements.size(); k < n; ++k) {
        const Element& e = elements[k];
        const Vec2 in = elements[(k + n - 1) % n].endTangent();
        vertices.push_back({e.p0, isCorner(in, e.startTangent()), in, e.startTangent()});
        const int steps = share < 1 ? std::max(1, int(e.steps() * share)) : e.steps();
        for (int i = 1; i < steps; ++i) {
            const double t = double(i) / steps;
            vertices.push_back({e.flattened(t, 1.0 / steps), false, e.velocity(t), e.velocity(t)});
        }
    }
    // Points that coincide make no line; the point that remains keeps the corner and the
    // directions into the first and out of the last.
    std::vector<Vertex> distinct;
    for (const Vertex& v : vertices) {
        if (!distinct.empty() && distinct.back().p == v.p) {
            distinct.back().corner |= v.corner;
            distinct.back().out = v.out;
        } else {
            distinct.push_back(v);
        }
    }
    while (distinct.size() > 1 && distinct.back().p == distinct.front().p) {
        distinct.front().corner |= distinct.back().corner;
        distinct.front().in = distinct.back().in;
        distinct.pop_back();
    }
    return distinct.size() >= 2 ? distinct : std::vector<Vertex>();
}

std::vector<std::vector<Vertex>> flatten(const QPainterPath& path, Vec2 offset)
{
    std::vector<std::vector<Element>> subpaths;
    std::vector<Element> elements;
    auto finishContour = [&] {
        if (!elements.empty())
            subpaths.push_back(std::move(elements));
        elements.clear();
    };
    auto point = [&](int i) {
        const QPainterPath::Element& e = path.elementAt(i);
        return Vec2{e.x + offset.x, e.y + offset.y};
    };
    Vec2 current;
    for (int i = 0, count = path.elementCount(); i < count; ++i) {
        const Vec2 p = point(i);
        switch (path.elementAt(i).type) {
        case QPainterPath::MoveToElement:
            finishContour();
            break;
        case QPainterPath::LineToElement:
            if (p != current && finite(p) && finite(current))
                elements.push_back({current, current, p, p, false});
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= count)
                break;
            const Element curve{current, p, point(i + 1), point(i + 2), true};
            const bool moves = curve.p3 != curve.p0 || curve.c1 != curve.p0 || curve.c2 != curve.p0;
            if (moves && finite(curve.p0) && finite(curve.c1) && finite(curve.c2) && finite(curve.p3))
                elements.push_back(curve);
            i += 2;
            current = curve.p3;
            continue;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
        current = p;
    }
    finishContour();
    std::size_t lines = 0;
    for (const std::vector<Element>& subpath : subpaths) {
        for (const Element& e : subpath)
            lines += std::size_t(e.steps());
    }
    const double share = lines > kMostLines ? double(kMostLines) / double(lines) : 1;
    std::vector<std::vector<Vertex>> contours;
    for (std::vector<Element>& subpath : subpaths) {
        std::vector<Vertex> contour = contourOf(subpath, share);
        if (!contour.empty())
            contours.push_back(std::move(contour));
    }
    return contours;
}

// A straight piece of a contour, later cut where other pieces cross it.
struct Piece
{
    Vec2 a, b;
    bool cornerA = false;
    bool cornerB = false;
    bool cutA = false; // begins where another line crosses or touches: the part before may be buried, this one not
    std::size_t line = 0;
    Vec2 tangentA, tangentB;

    Piece reversed() const { return {b, a, cornerB, cornerA, cutA, line, Vec2() - tangentB, Vec2() - tangentA}; }
    double length() const { return std::sqrt(dot(b - a, b - a)); }
};

struct Cut
{
    std::size_t line;
    double t;
    Vec2 p;
    bool operator<(const Cut& other) const { return line != other.line ? line < other.line : t < other.t; }
};

double paramOn(const FieldLine& l, Vec2 p)
{
    const Vec2 d = l.b - l.a;
    return dot(p - l.a, d) / dot(d, d);
}

// Where lines s and t cross, both are cut. Where they only touch, an end of one lying on the other
// (at a vertex, or along an edge they share), both are cut there as well, even at their own ends:
// a contour can pass from inside another to outside there without crossing.
void findCuts(const std::vector<FieldLine>& lines, std::size_t s, std::size_t t, std::vector<Cut>& cuts)
{
    const FieldLine& ls = lines[s];
    const FieldLine& lt = lines[t];
    const double d1 = cross(lt.b - lt.a, ls.a - lt.a);
    const double d2 = cross(lt.b - lt.a, ls.b - lt.a);
    const double d3 = cross(ls.b - ls.a, lt.a - ls.a);
    const double d4 = cross(ls.b - ls.a, lt.b - ls.a);
    auto opposite = [](double u, double v) { return (u > 0 && v < 0) || (u < 0 && v > 0); };
    if (opposite(d1, d2) && opposite(d3, d4)) {
        const Vec2 p = ls.a + (ls.b - ls.a) * (d1 / (d1 - d2));
        cuts.push_back({s, paramOn(ls, p), p});
        cuts.push_back({t, paramOn(lt, p), p});
        return;
    }
    auto touch = [&](std::size_t from, double end, std::size_t onto, double side) {
        const Vec2 p = end == 0 ? lines[from].a : lines[from].b;
        const double u = paramOn(lines[onto], p);
        if (side == 0 && u >= 0 && u <= 1) {
            cuts.push_back({from, end, p});
            cuts.push_back({onto, p == lines[onto].a ? 0 : p == lines[onto].b ? 1 : u, p});
        }
    };
    touch(s, 0, t, d1);
    touch(s, 1, t, d2);
    touch(t, 0, s, d3);
    touch(t, 1, s, d4);
}

// All cuts between lines of the outline, found by sweeping across x: lines whose x ranges do not
// overlap are never compared. Neighbours in a contour share an end and are not compared either.
// Nothing when merging the overlaps would take more than kMergeSteps, counting the comparisons
// and the passes over the lines that each contour and each cut will need.
std::optional<std::vector<Cut>> cutsOf(const std::vector<FieldLine>& lines, const std::vector<std::size_t>& contourOf,
                                       const std::vector<std::size_t>& contourStart)
{
    const std::size_t contours = contourStart.size() - 1;
    if (contours > kMergeSteps / std::max<std::size_t>(lines.size(), 1))
        return std::nullopt;
    std::size_t steps = contours * lines.size();
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), 0);
    auto minX = [&](std::size_t i) { return std::min(lines[i].a.x, lines[i].b.x); };
    auto maxX = [&](std::size_t i) { return std::max(lines[i].a.x, lines[i].b.x); };
    std::sort(order.begin(), order.end(),
              [&](std::size_t i, std::size_t j) { return minX(i) != minX(j) ? minX(i) < minX(j) : i < j; });
    auto neighbours = [&](std::size_t i, std::size_t j) {
        if (contourOf[i] != contourOf[j])
            return false;
        const std::size_t first = contourStart[contourOf[i]];
        const std::size_t size = contourStart[contourOf[i] + 1] - first;
        const std::size_t apart = (i > j ? i - j : j - i);
        return apart == 1 || apart == size - 1;
    };
    std::vector<Cut> cuts;
    std::vector<std::size_t> active;
    for (std::size_t s : order) {
        const double left = minX(s);
        std::erase_if(active, [&](std::size_t t) { return maxX(t) < left; });
        const double top = std::min(lines[s].a.y, lines[s].b.y);
        const double bottom = std::max(lines[s].a.y, lines[s].b.y);
        for (std::size_t t : active) {
            if (std::max(lines[t].a.y, lines[t].b.y) >= top && std::min(lines[t].a.y, lines[t].b.y) <= bottom &&
                !neighbours(s, t)) {
                const std::size_t before = cuts.size();
                findCuts(lines, std::min(s, t), std::max(s, t), cuts);
                steps += (cuts.size() - before) * lines.size();
            }
            if (++steps > kMergeSteps)
                return std::nullopt;
        }
        active.push_back(s);
    }
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

// Whether a piece lies on the boundary of the filled area, by the winding numbers on its two sides:
// 1 when the inside lies where cross(b - a, p - a) > 0, -1 when on the other side, 0 when on both
// sides or neither. The two sides are points just before and just beyond the piece's middle on a
// ray across it; the line the piece comes from, and any line through that middle, lies between them.
int sideOfInside(const std::vector<FieldLine>& lines, const Piece& piece)
{
    const Vec2 d = piece.b - piece.a;
    const Vec2 middle = (piece.a + piece.b) * 0.5;
    const bool alongX = std::abs(d.y) >= std::abs(d.x);
    auto along = [&](Vec2 p) { return alongX ? p.x : p.y; };
    auto across = [&](Vec2 p) { return alongX ? p.y : p.x; };
    const double u = along(middle);
    const double v = across(middle);
    int beyond = 0;
    int before = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double va = across(lines[i].a);
        const double vb = across(lines[i].b);
        const int direction = va < vb ? 1 : -1;
        if (i == piece.line) {
            before += direction;
            continue;
        }
        if (!((va <= v && v < vb) || (vb <= v && v < va)))
            continue;
        const double ua = along(lines[i].a);
        const double crossing = ua + (v - va) * (along(lines[i].b) - ua) / (vb - va);
        if (crossing > u + kOnRay) {
            beyond += direction;
            before += direction;
        } else if (crossing >= u - kOnRay) {
            before += direction;
        }
    }
    // The point beyond lies on the positive side of the piece when the ray's direction does.
    const bool beyondPositive = (alongX ? -d.y : d.x) > 0;
    const bool positiveFilled = (beyondPositive ? beyond : before) != 0;
    const bool negativeFilled = (beyondPositive ? before : beyond) != 0;
    return positiveFilled == negativeFilled ? 0 : positiveFilled ? 1 : -1;
}

// The side of its lines on which the contour of the largest area has its inside (1: positive, as
// for FieldEdge), or 0 for an outline without area.
int largestContourSide(const std::vector<std::vector<Vertex>>& contours)
{
    double largest = 0;
    for (const std::vector<Vertex>& contour : contours) {
        double area = 0;
        for (std::size_t k = 0, n = contour.size(); k < n; ++k)
            area += cross(contour[k].p, contour[(k + 1) % n].p);
        if (std::abs(area) > std::abs(largest))
            largest = area;
    }
    return largest > 0 ? 1 : largest < 0 ? -1 : 0;
}

using Chain = std::vector<Piece>;

// Puts pieces that meet end to start together again, as far as they do.
void linkPieces(const std::vector<Piece>& pieces, std::vector<Chain>& chains, std::vector<bool>& chainClosed)
{
    std::vector<std::size_t> byStart(pieces.size());
    std::iota(byStart.begin(), byStart.end(), 0);
    auto before = [&](Vec2 p, Vec2 q) { return p.x != q.x ? p.x < q.x : p.y < q.y; };
    std::sort(byStart.begin(), byStart.end(), [&](std::size_t i, std::size_t j) {
        return pieces[i].a != pieces[j].a ? before(pieces[i].a, pieces[j].a) : i < j;
    });
    std::vector<bool> used(pieces.size());
    for (std::size_t first = 0; first < pieces.size(); ++first) {
        if (used[first])
            continue;
        Chain chain;
        for (std::size_t at = first; at != pieces.size();) {
            used[at] = true;
            chain.push_back(pieces[at]);
            const Vec2 end = pieces[at].b;
            if (end == pieces[first].a)
                break;
            std::size_t next = pieces.size();
            if (at + 1 < pieces.size() && !used[at + 1] && pieces[at + 1].a == end) {
                next = at + 1;
            } else {
                auto it = std::lower_bound(byStart.begin(), byStart.end(), end,
                                           [&](std::size_t i, Vec2 p) { return before(pieces[i].a, p); });
                for (; it != byStart.end() && pieces[*it].a == end; ++it) {
                    if (!used[*it]) {
                        next = *it;
                        break;
                    }
                }
            }
            at = next;
        }
        chainClosed.push_back(chain.back().b == chain.front().a);
        chains.push_back(std::move(chain));
    }
}

// Distance between the segments a-b and c-d.
double segmentDistance(Vec2 a, Vec2 b, Vec2 c, Vec2 d)
{
    const double d1 = cross(b - a, c - a);
    const double d2 = cross(b - a, d - a);
    const double d3 = cross(d - c, a - c);
    const double d4 = cross(d - c, b - c);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return 0;
    auto toSegment = [](Vec2 p, Vec2 from, Vec2 to) {
        const Vec2 v = to - from;
        const double length2 = dot(v, v);
        const double t = length2 > 0 ? std::clamp(dot(p - from, v) / length2, 0.0, 1.0) : 0;
        const Vec2 off = p - (from + v * t);
        return dot(off, off);
    };
    return std::sqrt(std::min({toSegment(a, c, d), toSegment(b, c, d), toSegment(c, a, b), toSegment(d, a, b)}));
}

// Two edges this many pixels apart or nearer that have the same two channels leave the pixels
// between them nothing but their common distance: a narrow gap or stroke between them closes or
// opens in the field. The strokes of CJK glyphs and the gaps between them are often that narrow
// at text sizes.
constexpr double kNearEdges = 2;

// How much two edges lie near each other: the shorter one's length, the more the nearer they are.
double nearness(Vec2 a, Vec2 b, Vec2 c, Vec2 d)
{
    const auto box = [](Vec2 p, Vec2 q, Vec2 r, Vec2 s) {
        return std::max(std::min(p.x, q.x), std::min(r.x, s.x)) - std::min(std::max(p.x, q.x), std::max(r.x, s.x));
    };
    if (box(a, b, c, d) >= kNearEdges || box({a.y, a.x}, {b.y, b.x}, {c.y, c.x}, {d.y, d.x}) >= kNearEdges)
        return 0;
    const double apart = segmentDistance(a, b, c, d);
    if (apart >= kNearEdges)
        return 0;
    return std::sqrt(std::min(dot(b - a, b - a), dot(d - c, d - c))) * (1 - apart / kNearEdges);
}

constexpr unsigned kCycle[3] = {kGreen | kBlue, kRed | kBlue, kRed | kGreen};

// Pieces of the chains in a row, from piece first to end - 1 (all chains' pieces numbered in
// order), within one run of edges from corner to corner, as one straight span from a to b.
struct Span
{
    Vec2 a, b;
    std::size_t first = 0;
    std::size_t end = 0;
};

// The chains' pieces as spans of about a pixel (a curve's pieces are far shorter), in squares of at
// least kNearEdges and at most 256 on a side, so that the spans near one are found among a few.
class NearGrid
{
public:
    explicit NearGrid(const std::vector<Chain>& chains)
    {
        constexpr double kSpan = 1;
        std::size_t id = 0;
        for (const Chain& chain : chains) {
            for (std::size_t k = 0; k < chain.size(); ++k, ++id) {
                const Piece& piece = chain[k];
                const bool corner = k == 0 || piece.cornerA || chain[k - 1].cornerB;
                if (corner || m_spans.back().end != id ||
                    dot(m_spans.back().b - m_spans.back().a, m_spans.back().b - m_spans.back().a) >= kSpan * kSpan)
                    m_spans.push_back({piece.a, piece.b, id, id + 1});
                else
                    m_spans.back().b = piece.b, m_spans.back().end = id + 1;
                m_low = {std::min({m_low.x, piece.a.x, piece.b.x}), std::min({m_low.y, piece.a.y, piece.b.y})};
                m_high = {std::max({m_high.x, piece.a.x, piece.b.x}), std::max({m_high.y, piece.a.y, piece.b.y})};
            }
        }
        if (m_spans.empty())
            return;
        m_side = std::max({kNearEdges, (m_high.x - m_low.x) / 256, (m_high.y - m_low.y) / 256});
        m_columns = std::size_t((m_high.x - m_low.x) / m_side) + 1;
        m_rows = std::size_t((m_high.y - m_low.y) / m_side) + 1;
        m_start.assign(m_columns * m_rows + 1, 0);
        for (const Span& span : m_spans)
            forSquares(span.a, span.b, 0, [&](std::size_t square) { ++m_start[square + 1]; });
        for (std::size_t i = 1; i < m_start.size(); ++i)
            m_start[i] += m_start[i - 1];
        std::vector<std::size_t> fill(m_start.begin(), m_start.end() - 1);
        m_ids.resize(m_start.back());
        for (std::size_t i = 0; i < m_spans.size(); ++i)
            forSquares(m_spans[i].a, m_spans[i].b, 0, [&](std::size_t square) { m_ids[fill[square]++] = i; });
        m_seen.assign(m_spans.size(), std::numeric_limits<std::size_t>::max());
    }

    // The spans of the pieces from first to end - 1, which begin and end spans.
    std::span<const Span> spans(std::size_t first, std::size_t end) const
    {
        auto from = [&](std::size_t id) {
            return std::lower_bound(m_spans.begin(), m_spans.end(), id,
                                    [](const Span& span, std::size_t at) { return span.first < at; });
        };
        return {from(first), from(end)};
    }

    // Calls near(span) once for each span that ends by piece end and whose square lies within
    // kNearEdges of a-b.
    template <typename Near> void forNear(Vec2 a, Vec2 b, std::size_t end, Near&& near)
    {
        ++m_query;
        forSquares(a, b, kNearEdges, [&](std::size_t square) {
            for (std::size_t k = m_start[square]; k < m_start[square + 1]; ++k) {
                const std::size_t i = m_ids[k];
                if (m_spans[i].end <= end && m_seen[i] != m_query) {
                    m_seen[i] = m_query;
                    near(m_spans[i]);
                }
            }
        });
    }

private:
    template <typename Body> void forSquares(Vec2 a, Vec2 b, double margin, Body&& body) const
    {
        auto index = [&](double v, double low, std::size_t count) {
            return std::min(count - 1, std::size_t(std::max(0.0, (v - low) / m_side)));
        };
        const std::size_t left = index(std::min(a.x, b.x) - margin, m_low.x, m_columns);
        const std::size_t right = index(std::max(a.x, b.x) + margin, m_low.x, m_columns);
        const std::size_t top = index(std::min(a.y, b.y) - margin, m_low.y, m_rows);
        const std::size_t bottom = index(std::max(a.y, b.y) + margin, m_low.y, m_rows);
        for (std::size_t y = top; y <= bottom; ++y) {
            for (std::size_t x = left; x <= right; ++x)
                body(y * m_columns + x);
        }
    }

    std::vector<Span> m_spans;
    Vec2 m_low{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    Vec2 m_high{-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    double m_side = kNearEdges;
    std::size_t m_columns = 0;
    std::size_t m_rows = 0;
    std::vector<std::size_t> m_start; // of each square's spans in m_ids
    std::vector<std::size_t> m_ids;
    std::vector<std::size_t> m_seen; // the query that last found each span
    std::size_t m_query = 0;
};

// Which of the colours of kCycle an edge has, or 3 for all channels.
std::size_t colourIndex(unsigned channels)
{
    const auto at = std::find(std::begin(kCycle), std::end(kCycle), channels);
    return std::size_t(at - std::begin(kCycle));
}

// Gives each edge of a chain its channels. Edges run from corner to corner and change colour at
// each, cyan, magenta and yellow, so two edges meeting at a corner share one channel; a contour
// with a single corner gets three edges. A contour without corners takes one of the three colours
// (smooth counts them). Of the colours a run of edges may take, it takes the one least used by
// the edges near it, those coloured before (earlier chains in edges) and the runs of the chain
// before it; the last two runs of a closed chain are chosen together, as the last also meets the
// first. Where nothing is near, the colours cycle in order, the last run of a closed chain taking
// the colour that is neither its predecessor's nor the first's.
void colourChain(const Chain& chain, bool closed, std::vector<FieldEdge>& edges, std::size_t& smooth, NearGrid& grid)
{
    const std::size_t n = chain.size();
    std::vector<bool> corner(n + 1);
    for (std::size_t k = 0; k < n; ++k)
        corner[k] = chain[k].cornerA || (k > 0 ? chain[k - 1].cornerB : !closed || chain[n - 1].cornerB);
    corner[n] = closed ? corner[0] : true;
    const auto corners = std::size_t(std::count(corner.begin(), corner.begin() + std::ptrdiff_t(n), true));
    std::vector<unsigned> colour(n, kAllChannels);
    if (corners == 1 && closed) {
        const auto first = std::size_t(std::find(corner.begin(), corner.end(), true) - corner.begin());
        double whole = 0;
        for (const Piece& piece : chain)
            whole += piece.length();
        constexpr unsigned kThirds[3] = {kRed | kBlue, kAllChannels, kRed | kGreen};
        double before = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const Piece& piece = chain[(first + j) % n];
            const int third = std::clamp(int(3 * (before + piece.length() / 2) / whole), 0, 2);
            colour[(first + j) % n] = kThirds[third];
            before += piece.length();
        }
    } else {
        // The runs of edges from corner to corner, from the first corner on.
        const auto first = std::size_t(std::find(corner.begin(), corner.end(), true) - corner.begin()) % n;
        const std::size_t runs = std::max<std::size_t>(corners, 1);
        std::vector<std::size_t> runOf(n);
        for (std::size_t j = 0, run = 0; j < n; ++j) {
            const std::size_t k = (first + j) % n;
            run += j > 0 && corner[k];
            runOf[k] = run;
        }
        // near[r][c]: how near run r lies to the edges of colour c coloured before; between[r][q]:
        // how near runs r and q lie to each other.
        std::vector<std::array<double, 3>> near(runs);
        std::vector<std::vector<double>> between(runs, std::vector<double>(runs));
        const std::size_t before = edges.size(); // the chain's pieces are numbered from here on
        for (const Span& span : grid.spans(before, before + n)) {
            const std::size_t run = runOf[span.first - before];
            grid.forNear(span.a, span.b, span.first, [&](const Span& other) {
                const double w = nearness(span.a, span.b, other.a, other.b);
                if (other.first < before) {
                    if (const std::size_t c = colourIndex(edges[other.first].channels); c < 3)
                        near[run][c] += w;
                } else if (const std::size_t q = runOf[other.first - before]; q != run) {
                    between[run][q] += w;
                    between[q][run] += w;
                }
            });
        }
        std::vector<std::size_t> chosen(runs);
        // The colour in cycle order: the last run of a closed chain that would meet the first's
        // colour takes the one neither its predecessor's nor the first's.
        auto inOrder = [&](std::size_t r) { return closed && r + 1 == runs && runs % 3 == 1 && runs > 1 ? 1 : r % 3; };
        auto cost = [&](std::size_t r, std::size_t c) {
            double sum = near[r][c];
            for (std::size_t q = 0; q < r; ++q)
                sum += chosen[q] == c ? between[r][q] : 0;
            return sum;
        };
        auto allowed = [&](std::size_t r, std::size_t c) {
            return (corners == 0 || r == 0 || c != chosen[r - 1]) &&
                   !(closed && corners > 0 && runs > 1 && r + 1 == runs && c == chosen[0]);
        };
        const std::size_t together = closed && runs >= 3 ? runs - 2 : runs;
        for (std::size_t r = 0; r < together; ++r) {
            std::size_t best = corners == 0 ? smooth++ % 3 : inOrder(r);
            for (std::size_t c = 0; c < 3; ++c) {
                if (allowed(r, c) && cost(r, c) < cost(r, best))
                    best = c;
            }
            chosen[r] = best;
        }
        if (together < runs) {
            const std::size_t r = together;
            double least = std::numeric_limits<double>::infinity();
            std::array<std::size_t, 2> best{};
            auto consider = [&](std::size_t c, std::size_t d) {
                chosen[r] = c;
                if (!allowed(r, c) || !allowed(r + 1, d) || c == d)
                    return;
                const double sum = cost(r, c) + cost(r + 1, d);
                if (sum < least) {
                    least = sum;
                    best = {c, d};
                }
            };
            consider(inOrder(r), inOrder(r + 1));
            for (std::size_t c = 0; c < 3; ++c) {
                for (std::size_t d = 0; d < 3; ++d)
                    consider(c, d);
            }
            chosen[r] = best[0];
            chosen[r + 1] = best[1];
        }
        for (std::size_t k = 0; k < n; ++k)
            colour[k] = kCycle[chosen[runOf[k]]];
    }
    for (std::size_t k = 0; k < n; ++k) {
        const bool changeBefore = k > 0 ? colour[k - 1] != colour[k] : closed && colour[n - 1] != colour[k];
        const bool changeAfter = k + 1 < n ? colour[k + 1] != colour[k] : closed && colour[0] != colour[k];
        edges.push_back({chain[k].a, chain[k].b, colour[k], corner[k] || changeBefore, corner[k + 1] || changeAfter,
                         chain[k].tangentA, chain[k].tangentB});
    }
}

} // namespace

FieldOutline makeFieldOutline(const QPainterPath& path, Vec2 offset, bool coloured)
{
    FieldOutline outline;
    const std::vector<std::vector<Vertex>> contours = flatten(path, offset);
    std::vector<std::size_t> contourOfLine;
    std::vector<std::size_t> contourStart{0};
    for (std::size_t c = 0; c < contours.size(); ++c) {
        for (std::size_t k = 0, n = contours[c].size(); k < n; ++k) {
            outline.lines.push_back({contours[c][k].p, contours[c][(k + 1) % n].p});
            contourOfLine.push_back(c);
        }
        contourStart.push_back(outline.lines.size());
    }
    const std::optional<std::vector<Cut>> found = cutsOf(outline.lines, contourOfLine, contourStart);
    const std::vector<Cut> cuts = found.value_or(std::vector<Cut>());
    // Without the cuts every contour counts as lying on the boundary, the filled area on the side
    // where the largest contour has its inside: right for outlines that run as fonts draw them,
    // the overlaps of the others left in.
    const int sideOfAll = found ? 0 : largestContourSide(contours);

    std::vector<Chain> chains;
    std::vector<bool> chainClosed;
    std::vector<Piece> crossed; // pieces of contours that others cross, to be linked anew
    auto cut = cuts.begin();
    for (std::size_t c = 0; c < contours.size(); ++c) {
        const std::vector<Vertex>& contour = contours[c];
        const std::size_t n = contour.size();
        Chain pieces;
        bool cutAtEnd = false; // a cut that fell on the end of the line before
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t line = contourStart[c] + k;
            Piece piece{contour[k].p,
                        contour[(k + 1) % n].p,
                        contour[k].corner || cutAtEnd,
                        contour[(k + 1) % n].corner,
                        cutAtEnd,
                        line,
                        contour[k].out,
                        contour[(k + 1) % n].in};
            cutAtEnd = false;
            for (; cut != cuts.end() && cut->line == line; ++cut) {
                if (cut->p == piece.a || cut->p == piece.b) {
                    // A cut on a point of the contour begins a new run all the same.
                    cutAtEnd |= cut->p == piece.b;
                    piece.cutA |= cut->p == piece.a;
                    piece.cornerA |= cut->p == piece.a;
                    continue;
                }
                // Where others cut it, the outline turns: its direction there is the line's own.
                const Vec2 direction = piece.b - piece.a;
                pieces.push_back({piece.a, cut->p, piece.cornerA, true, piece.cutA, line, piece.tangentA, direction});
                piece.a = cut->p;
                piece.cornerA = piece.cutA = true;
                piece.tangentA = direction;
            }
            pieces.push_back(piece);
        }
        if (cutAtEnd && !pieces.empty())
            pieces.front().cornerA = pieces.front().cutA = true;
        const auto firstCut = std::find_if(pieces.begin(), pieces.end(), [](const Piece& p) { return p.cutA; });
        if (firstCut == pieces.end()) {
            // Nothing crosses this contour: it is on the boundary or buried as a whole.
            const auto longest = std::max_element(
                pieces.begin(), pieces.end(), [](const Piece& p, const Piece& q) { return p.length() < q.length(); });
            const int side = pieces.empty() ? 0 : found ? sideOfInside(outline.lines, *longest) : sideOfAll;
            if (side == 0)
                continue;
            if (side < 0) {
                std::reverse(pieces.begin(), pieces.end());
                std::transform(pieces.begin(), pieces.end(), pieces.begin(),
                               [](const Piece& p) { return p.reversed(); });
            }
            chains.push_back(std::move(pieces));
            chainClosed.push_back(true);
            continue;
        }
        // Between two cuts all pieces lie on the same side of the other contours.
        std::rotate(pieces.begin(), firstCut, pieces.end());
        for (auto run = pieces.begin(); run != pieces.end();) {
            const auto end = std::find_if(run + 1, pieces.end(), [](const Piece& p) { return p.cutA; });
            const int side = sideOfInside(
                outline.lines,
                *std::max_element(run, end, [](const Piece& p, const Piece& q) { return p.length() < q.length(); }));
            for (auto it = run; side != 0 && it != end; ++it)
                crossed.push_back(side > 0 ? *it : it->reversed());
            run = end;
        }
    }
    linkPieces(crossed, chains, chainClosed);

    std::size_t smooth = 0;
    const std::vector<Chain> none;
    NearGrid grid(coloured ? chains : none);
    for (std::size_t i = 0; i < chains.size(); ++i) {
        if (coloured) {
            colourChain(chains[i], chainClosed[i], outline.edges, smooth, grid);
            continue;
        }
        for (const Piece& piece : chains[i])
            outline.edges.push_back({piece.a, piece.b, kAllChannels, false, false, piece.tangentA, piece.tangentB});
    }
    return outline;
}

} // namespace glyfrax
