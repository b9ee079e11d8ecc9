#pragma once

#include "export/bmfont/BmFontWriter.h"
#include "settings/BmFontOptions.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>

class QPainter;

namespace glyfrax {

// How a page is shown: a distance field's kind and range and the colour its glyphs take, and the
// channel an engine reads the glyphs from.
struct PageLook
{
    PageField field = PageField::None;
    double range = 4;
    QColor color = Qt::white;
    // As a descriptor numbers channels (1 blue, 2 green, 4 red, 8 alpha); all: the page as it is.
    int channel = kAllChannels;

    bool operator==(const PageLook&) const = default;
};

// The channels of a packed page, in the order the view offers them, with their names.
struct ChannelName
{
    int channel = kAllChannels;
    const char16_t* name = u"";
};
inline constexpr std::array<ChannelName, 4> kPageChannelNames{{{4, u"Rot"}, {2, u"Grün"}, {1, u"Blau"}, {8, u"Alpha"}}};

QString channelName(int channel);

// The area of a page's channel as an engine reads it: white with the channel's value as coverage,
// or for a distance field the value as an opaque grey (Format_ARGB32).
QImage readChannel(const QImage& page, int channel, const QRect& area, bool field);

// A page as the texture view shows it: the one place that turns a page's pixels into what is on
// the screen. A page whose look names a channel shows that channel alone, read by readChannel. From 100 % up each
// texture pixel is drawn as a square of device pixels, never smoothed; below, copies at a half and a quarter of the
// size, averaged over their pixels, keep thin strokes from vanishing. A distance-field page is shown as an engine draws
// it: the field sampled bilinearly at every device pixel (the median of the three channels of a multi-channel one), its
// edge at the middle value, smoothed over about one device pixel, in the look's colour; below 100 % from copies of that
// drawing at 100 %.
//
// It is made where the page is drawn, off the window's thread, and only read afterwards.
class ShownPage
{
public:
    ShownPage() = default;
    explicit ShownPage(QImage page, const PageLook& look = {});

    // The page as its file holds it.
    const QImage& page() const { return m_page; }
    QSize size() const { return m_page.size(); }
    const PageLook& look() const { return m_look; }
    bool hasAlpha() const { return m_read.hasAlphaChannel(); }
    // The bytes it holds, copies included.
    qint64 bytes() const;

    // Draws the part of the page that lies in target at zoom (device pixels per texture pixel),
    // the page's top-left corner at the painter's origin, with the painter in device pixels.
    void paint(QPainter& painter, const QRect& target, double zoom) const;

private:
    // The field drawn for the device pixels of area at zoom (Format_ARGB32_Premultiplied).
    QImage reconstructed(const QRect& area, double zoom) const;

    QImage m_page;
    PageLook m_look;
    QImage m_read; // what an engine reads of it: the page itself, or the look's channel
    QImage m_full; // a field as it shows at 100 %, which the smaller copies are made from
    QImage m_half;
    QImage m_quarter;
};

} // namespace glyfrax
