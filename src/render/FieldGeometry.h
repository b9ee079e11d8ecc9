#pragma once

namespace glyfrax {

// A point or direction in pixels. Distance fields need exact comparisons, as the ends of pieces
// cut from an outline must meet exactly; QPointF compares fuzzily.
struct Vec2
{
    double x = 0;
    double y = 0;

    friend Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
    friend Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
    friend Vec2 operator*(Vec2 a, double f) { return {a.x * f, a.y * f}; }
    friend bool operator==(Vec2 a, Vec2 b) = default;
};

inline double dot(Vec2 a, Vec2 b)
{
    return a.x * b.x + a.y * b.y;
}

// Positive when b lies counter-clockwise of a in a y-up frame (clockwise on screen).
inline double cross(Vec2 a, Vec2 b)
{
    return a.x * b.y - a.y * b.x;
}

// The channels of a multi-channel field an edge counts in: red, green and blue bits.
enum : unsigned
{
    kRed = 1,
    kGreen = 2,
    kBlue = 4,
    kAllChannels = 7
};

// A straight piece of a glyph's boundary from a to b, the inside lying where cross(b - a, p - a) > 0.
// extendA/extendB: beyond that end the edge's channels see the outline continued straight along
// its direction there (its pseudo-distance), as a corner or a change of colour lies there.
// tangentA/tangentB: the outline's direction at a and b, that of the curve the edge stands for.
struct FieldEdge
{
    Vec2 a;
    Vec2 b;
    unsigned channels = kAllChannels;
    bool extendA = false;
    bool extendB = false;
    Vec2 tangentA;
    Vec2 tangentB;
};

// A straight piece of the outline as drawn, for the nonzero winding rule.
struct FieldLine
{
    Vec2 a;
    Vec2 b;
};

} // namespace glyfrax
