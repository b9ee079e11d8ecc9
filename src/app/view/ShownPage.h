#pragma once

#include "settings/BmFontOptions.h"

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

namespace glyfrax {

// How a distance-field page is shown: its kind and range, and the colour the glyphs take.
struct FieldLook
{
    PageField field = PageField::None;
    double range = 4;
    QColor color = Qt::white;
};

// A page as the texture view shows it: the one place that turns a page's pixels into what is on
// the screen. From 100 % up each texture pixel is drawn as a square of device pixels, never
// smoothed; below, copies at a half and a quarter of the size, averaged over their pixels, keep
// thin strokes from vanishing. A distance-field page is shown as an engine draws it: the field
// sampled bilinearly at every device pixel (the median of the three channels of a multi-channel
// one), its edge at the middle value, smoothed over about one device pixel, in the look's colour;
// below 100 % from copies of that drawing at 100 %.
//
// It is made where the page is drawn, off the window's thread, and only read afterwards.
class ShownPage
{
public:
    ShownPage() = default;
    explicit ShownPage(QImage page, const FieldLook& look = {});

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
    // The field drawn for the device pixels of area at zoom (Format_ARGB32_Premultiplied).
    QImage reconstructed(const QRect& area, double zoom) const;

    QImage m_page;
    FieldLook m_look;
    QImage m_full; // a field as it shows at 100 %, which the smaller copies are made from
    QImage m_half;
    QImage m_quarter;
};

} // namespace glyfrax
