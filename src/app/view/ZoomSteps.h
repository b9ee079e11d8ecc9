#pragma once

#include <QSize>
#include <QString>

namespace glyfrax {

// How large the texture view shows a page: device pixels per texture pixel. Above 100 % the
// steps are whole numbers, so that every texture pixel becomes a square of the same size.
constexpr double kSmallestZoom = 0.25;
constexpr double kLargestZoom = 16.0;

// The next step above or below zoom, within the limits; a zoom between steps goes to the
// neighbouring step in that direction.
double zoomedIn(double zoom);
double zoomedOut(double zoom);

// The largest zoom within the limits at which a page of pageSize fits into area (both in device
// pixels), rounded down to a whole number above 100 %.
double fittingZoom(QSize pageSize, QSize area);

// "Zoom: 800 %".
QString zoomCaption(double zoom);

} // namespace glyfrax
