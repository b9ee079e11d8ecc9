#include "app/view/ShownPage.h"

#include <QPainter>

#include <algorithm>
#include <bit>
#include <cmath>

namespace glyfrax {

namespace {

QImage halved(const QImage& image)
{
    if (image.width() < 2 || image.height() < 2)
        return image;
    return image.scaled(image.width() / 2, image.height() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The value of a field's channels at a point, from 0 to 1: the median of red, green and blue for a
// multi-channel field, red for one whose channels are all alike.
double fieldValue(QRgb a, QRgb b, QRgb c, QRgb d, double fx, double fy, bool median)
{
    auto at = [&](int (*channel)(QRgb)) {
        const double top = channel(a) + (channel(b) - channel(a)) * fx;
        const double bottom = channel(c) + (channel(d) - channel(c)) * fx;
        return (top + (bottom - top) * fy) / 255.0;
    };
    const double red = at(qRed);
    if (!median)
        return red;
    const double green = at(qGreen);
    const double blue = at(qBlue);
    return std::max(std::min(red, green), std::min(std::max(red, green), blue));
}

} // namespace

QString channelName(int channel)
{
    const auto named = std::find_if(kPageChannelNames.begin(), kPageChannelNames.end(),
                                    [channel](const ChannelName& name) { return name.channel == channel; });
    return named == kPageChannelNames.end() ? QString() : QString::fromUtf16(named->name);
}

QImage readChannel(const QImage& page, int channel, const QRect& area, bool field)
{
    const QImage pixels = page.format() == QImage::Format_ARGB32 || page.format() == QImage::Format_RGB32
                              ? page
                              : page.convertToFormat(QImage::Format_ARGB32);
    const QRect read = area & pixels.rect();
    QImage channelOnly(read.size(), QImage::Format_ARGB32);
    if (channelOnly.isNull())
        return channelOnly;
    // QRgb holds blue in its lowest byte, then green, red and alpha: the order of the channel bits.
    const int shift = 8 * std::countr_zero(unsigned(channel));
    for (int y = 0; y < read.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(pixels.constScanLine(read.top() + y)) + read.left();
        auto* to = reinterpret_cast<QRgb*>(channelOnly.scanLine(y));
        for (int x = 0; x < read.width(); ++x) {
            const int value = int(from[x] >> shift & 0xFF);
            to[x] = field ? qRgb(value, value, value) : qRgba(255, 255, 255, value);
        }
    }
    return channelOnly;
}

ShownPage::ShownPage(QImage page, const PageLook& look) : m_page(std::move(page)), m_look(look)
{
    const bool field = m_look.field != PageField::None;
    m_read = m_look.channel == kAllChannels || m_page.isNull()
                 ? m_page
                 : readChannel(m_page, m_look.channel, m_page.rect(), field);
    if (field && !m_read.isNull()) {
        m_read.convertTo(QImage::Format_ARGB32);
        m_full = reconstructed(m_read.rect(), 1.0);
    }
    m_half = halved(m_full.isNull() ? m_read : m_full);
    m_quarter = halved(m_half);
}

qint64 ShownPage::bytes() const
{
    const qint64 read = m_read.cacheKey() == m_page.cacheKey() ? 0 : m_read.sizeInBytes();
    return m_page.sizeInBytes() + read + m_full.sizeInBytes() + m_half.sizeInBytes() + m_quarter.sizeInBytes();
}

QImage ShownPage::reconstructed(const QRect& area, double zoom) const
{
    QImage shown(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (shown.isNull())
        return shown;
    const bool median = pageFieldFacts(m_look.field).severalDistances;
    // Field values per device pixel: the range in texture pixels times the zoom.
    const double screenRange = m_look.range * zoom;
    const QRgb colour = m_look.color.rgb();
    const int lastColumn = m_read.width() - 1;
    const int lastRow = m_read.height() - 1;
    // Texture coordinates of the device pixels' centres, the texels' centres at whole numbers.
    std::vector<std::pair<int, double>> columns(std::size_t(area.width()));
    for (int x = 0; x < area.width(); ++x) {
        const double u = (area.left() + x + 0.5) / zoom - 0.5;
        columns[std::size_t(x)] = {int(std::floor(u)), u - std::floor(u)};
    }
    for (int y = 0; y < area.height(); ++y) {
        const double v = (area.top() + y + 0.5) / zoom - 0.5;
        const int row = int(std::floor(v));
        const double fy = v - row;
        // The border repeated, as a sampler clamping to the edge reads it.
        const auto* upper = reinterpret_cast<const QRgb*>(m_read.constScanLine(std::clamp(row, 0, lastRow)));
        const auto* lower = reinterpret_cast<const QRgb*>(m_read.constScanLine(std::clamp(row + 1, 0, lastRow)));
        auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const auto [column, fx] = columns[std::size_t(x)];
            const int left = std::clamp(column, 0, lastColumn);
            const int right = std::clamp(column + 1, 0, lastColumn);
            const double value = fieldValue(upper[left], upper[right], lower[left], lower[right], fx, fy, median);
            const double t = std::clamp((value - 0.5) * screenRange + 0.5, 0.0, 1.0);
            const double cover = t * t * (3 - 2 * t);
            out[x] = qPremultiply(qRgba(qRed(colour), qGreen(colour), qBlue(colour), int(std::lround(cover * 255))));
        }
    }
    return shown;
}

void ShownPage::paint(QPainter& painter, const QRect& target, double zoom) const
{
    if (m_read.isNull() || zoom <= 0.0)
        return;
    // The texture pixels that reach into target, and where they land.
    const int left = std::max(0, int(std::floor(target.left() / zoom)));
    const int top = std::max(0, int(std::floor(target.top() / zoom)));
    const int right = std::min(m_read.width(), int(std::ceil((target.right() + 1) / zoom)));
    const int bottom = std::min(m_read.height(), int(std::ceil((target.bottom() + 1) / zoom)));
    if (left >= right || top >= bottom)
        return;
    const QRectF landing(left * zoom, top * zoom, (right - left) * zoom, (bottom - top) * zoom);
    painter.save();
    if (zoom >= 1.0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        if (m_full.isNull()) {
            painter.drawImage(landing, m_read, QRectF(left, top, right - left, bottom - top));
        } else {
            const QRect area = target & landing.toAlignedRect();
            painter.drawImage(area.topLeft(), reconstructed(area, zoom));
        }
    } else {
        // The smallest copy that still has at least one pixel per device pixel.
        const QImage& level = zoom <= 0.25 && !m_quarter.isNull() ? m_quarter
                              : zoom <= 0.5 && !m_half.isNull()   ? m_half
                              : m_full.isNull()                   ? m_read
                                                                  : m_full;
        const double fx = double(level.width()) / m_read.width();
        const double fy = double(level.height()) / m_read.height();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(landing, level, QRectF(left * fx, top * fy, (right - left) * fx, (bottom - top) * fy));
    }
    painter.restore();
}

} // namespace glyfrax
