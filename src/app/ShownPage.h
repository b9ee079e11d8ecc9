#pragma once

#include <QImage>
#include <QRect>

class QPainter;

namespace glyfrax {

// A page as the texture view shows it: the one place that turns a page's pixels into what is on
// the screen. From 100 % up each texture pixel is drawn as a square of device pixels, never
// smoothed; below, copies at a half and a quarter of the size, averaged over their pixels, keep
// thin strokes from vanishing. A distance-field page would be reconstructed here instead, its
// edge at the middle value, sampled at the zoom.
//
// It is made where the page is drawn, off the window's thread, and only read afterwards.
class ShownPage
{
public:
    ShownPage() = default;
    explicit ShownPage(QImage page);

    // The page as its file holds it.
    const QImage& page() const { return m_page; }
    QSize size() const { return m_page.size(); }
    bool hasAlpha() const { return m_page.hasAlphaChannel(); }
    // The bytes it holds, copies included.
    qint64 bytes() const;

    // Draws the part of the page that lies in target at zoom (device pixels per texture pixel),
    // the page's top-left corner at the painter's origin, with the painter in device pixels.
    void paint(QPainter& painter, const QRect& target, double zoom) const;

private:
    QImage m_page;
    QImage m_half;
    QImage m_quarter;
};

} // namespace glyfrax
