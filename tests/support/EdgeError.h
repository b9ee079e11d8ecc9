#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace glyfrax::test {

constexpr int kMagnify = 8;
// The magnified samples lie off the sixteenths of a pixel that font edges often lie on: a sample
// right on an edge would count as wrong whichever way rounding takes it.
constexpr double kSampleShift = 1.0 / 97;

// How far the outline a shader shows, magnifying the field kMagnify times with bilinear sampling of
// the channels, their median and a threshold at the middle value, lies from the outline filled
// directly with the nonzero rule, in pixels of the field: the area between the two over the
// outline's length, and the largest distance of a wrongly shown point from the true outline.
struct EdgeError
{
    double area = 0;
    double length = 0;
    double largest = 0;

    double mean() const { return area / length; }
    // Adds the error of field, the pen position of outline lying at pen in it.
    void add(const QImage& field, const QPainterPath& outline, QPointF pen);
};

inline void EdgeError::add(const QImage& field, const QPainterPath& outline, QPointF pen)
{
    const int columns = field.width();
    const int rows = field.height();
    const int width = columns * kMagnify;
    const int height = rows * kMagnify;
    QImage truth(width, height, QImage::Format_Grayscale8);
    truth.fill(0);
    {
        QPainter painter(&truth);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(kMagnify, kMagnify);
        painter.translate(pen - QPointF(kSampleShift, kSampleShift));
        QPainterPath filled = outline;
        filled.setFillRule(Qt::WindingFill);
        painter.fillPath(filled, Qt::white);
    }
    // Texels with the border repeated, as a sampler clamping to the edge reads them.
    std::vector<std::array<double, 3>> texels(std::size_t(columns + 2) * std::size_t(rows + 2));
    auto texel = [&](int x, int y) -> std::array<double, 3>& {
        return texels[std::size_t(y + 1) * std::size_t(columns + 2) + std::size_t(x + 1)];
    };
    for (int y = -1; y <= rows; ++y) {
        for (int x = -1; x <= columns; ++x) {
            const QRgb rgb = field.pixel(std::clamp(x, 0, columns - 1), std::clamp(y, 0, rows - 1));
            texel(x, y) = {double(qRed(rgb)), double(qGreen(rgb)), double(qBlue(rgb))};
        }
    }
    auto inside = [&](int x, int y) { return truth.constScanLine(y)[x] >= 128; };
    std::vector<QPoint> wrong;
    for (int ty = -1; ty < rows; ++ty) {
        for (int tx = -1; tx < columns; ++tx) {
            const std::array<double, 3>* corners[4] = {&texel(tx, ty), &texel(tx + 1, ty), &texel(tx, ty + 1),
                                                       &texel(tx + 1, ty + 1)};
            // Between texels whose channels all lie on one side, every point shows that side.
            int above = 0;
            for (const auto* corner : corners)
                above += int(std::count_if(corner->begin(), corner->end(), [](double v) { return v > 127.5; }));
            const int half = kMagnify / 2;
            for (int y = std::max(0, ty * kMagnify + half); y < std::min(height, (ty + 1) * kMagnify + half); ++y) {
                for (int x = std::max(0, tx * kMagnify + half); x < std::min(width, (tx + 1) * kMagnify + half); ++x) {
                    bool shown = above == 12;
                    if (above != 0 && above != 12) {
                        const double fx = (x + 0.5) / kMagnify + kSampleShift - 0.5 - tx;
                        const double fy = (y + 0.5) / kMagnify + kSampleShift - 0.5 - ty;
                        std::array<double, 3> c;
                        for (std::size_t i = 0; i < 3; ++i) {
                            const double top = (*corners[0])[i] + ((*corners[1])[i] - (*corners[0])[i]) * fx;
                            const double bottom = (*corners[2])[i] + ((*corners[3])[i] - (*corners[2])[i]) * fx;
                            c[i] = top + (bottom - top) * fy;
                        }
                        shown = std::max(std::min(c[0], c[1]), std::min(std::max(c[0], c[1]), c[2])) > 127.5;
                    }
                    if (shown != inside(x, y))
                        wrong.emplace_back(x, y);
                }
            }
        }
    }
    // The true outline as the points between differing neighbours, in buckets of a texel.
    std::vector<std::vector<QPointF>> buckets(std::size_t(columns) * std::size_t(rows));
    std::size_t steps = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (const QPoint& next : {QPoint(x + 1, y), QPoint(x, y + 1)}) {
                if (next.x() < width && next.y() < height && inside(x, y) != inside(next.x(), next.y())) {
                    buckets[std::size_t(y / kMagnify) * std::size_t(columns) + std::size_t(x / kMagnify)].emplace_back(
                        (x + next.x() + 1) / 2.0, (y + next.y() + 1) / 2.0);
                    ++steps;
                }
            }
        }
    }
    // Horizontal and vertical steps along a line add up to 4 / pi of its length on average.
    length += double(steps) * std::numbers::pi / 4 / kMagnify;
    area += double(wrong.size()) / (kMagnify * kMagnify);
    constexpr int kSearch = 3; // texels; farther errors count as this far
    for (const QPoint& w : wrong) {
        double nearest2 = kSearch * kSearch * kMagnify * kMagnify;
        for (int by = std::max(0, w.y() / kMagnify - kSearch); by <= std::min(rows - 1, w.y() / kMagnify + kSearch);
             ++by) {
            for (int bx = std::max(0, w.x() / kMagnify - kSearch);
                 bx <= std::min(columns - 1, w.x() / kMagnify + kSearch); ++bx) {
                for (const QPointF& b : buckets[std::size_t(by) * std::size_t(columns) + std::size_t(bx)]) {
                    const double dx = b.x() - w.x() - 0.5;
                    const double dy = b.y() - w.y() - 0.5;
                    nearest2 = std::min(nearest2, dx * dx + dy * dy);
                }
            }
        }
        largest = std::max(largest, std::sqrt(nearest2) / kMagnify);
    }
}

} // namespace glyfrax::test
