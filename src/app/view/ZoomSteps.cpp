#include "app/view/ZoomSteps.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace glyfrax {

namespace {

constexpr std::array kSteps{0.25, 0.5, 1.0, 2.0, 3.0, 4.0, 6.0, 8.0, 12.0, 16.0};

// Zooms that differ by less than this are one zoom: a fitted zoom may land a hair off a step.
constexpr double kSameZoom = 1e-9;

} // namespace

double zoomedIn(double zoom)
{
    const auto next =
        std::find_if(kSteps.begin(), kSteps.end(), [zoom](double step) { return step > zoom + kSameZoom; });
    return next == kSteps.end() ? kLargestZoom : *next;
}

double zoomedOut(double zoom)
{
    const auto next =
        std::find_if(kSteps.rbegin(), kSteps.rend(), [zoom](double step) { return step < zoom - kSameZoom; });
    return next == kSteps.rend() ? kSmallestZoom : *next;
}

double fittingZoom(QSize pageSize, QSize area)
{
    if (pageSize.isEmpty() || area.isEmpty())
        return 1.0;
    const double fit = std::min(double(area.width()) / pageSize.width(), double(area.height()) / pageSize.height());
    return std::clamp(fit >= 1.0 ? std::floor(fit) : fit, kSmallestZoom, kLargestZoom);
}

QString zoomCaption(double zoom)
{
    return QStringLiteral("Zoom: %1 %").arg(std::lround(zoom * 100));
}

} // namespace glyfrax
