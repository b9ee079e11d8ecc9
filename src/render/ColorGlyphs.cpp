#include "render/ColorGlyphs.h"

#include "render/FontTables.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace glyfrax {

namespace {

// Palette index of a layer drawn in the text colour.
constexpr quint16 kTextColorLayer = 0xFFFF;
// Real colour glyphs have tens of layers of a few hundred points; a font that claims far more is
// drawn as plain glyphs rather than keep an export busy for minutes.
constexpr quint32 kMostLayers = 512;
constexpr int kMostLayerElements = 1 << 18;

// The colour records of CPAL's first palette, blue, green, red, alpha a byte each.
std::vector<QColor> firstPalette(const QByteArray& bytes)
{
    const FontTableReader cpal(bytes);
    const quint16 entries = cpal.u16(2);
    const quint32 records = cpal.u32(8);
    const quint16 first = cpal.u16(12);
    std::vector<QColor> palette;
    if (cpal.u16(4) == 0 || !cpal.has(qint64(records) + 4 * (qint64(first) + entries), 0))
        return palette;
    for (quint16 i = 0; i < entries; ++i) {
        const qint64 at = qint64(records) + 4 * (qint64(first) + i);
        palette.emplace_back(cpal.u8(at + 2), cpal.u8(at + 1), cpal.u8(at), cpal.u8(at + 3));
    }
    return palette;
}

// The smallest rectangle that holds every pixel of image with some alpha.
QRect inkedArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) != 0)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

} // namespace

ColorGlyphs::ColorGlyphs(const QRawFont& font) : m_font(font)
{
    m_bitmaps = !font.fontTable("CBDT").isEmpty() || !font.fontTable("sbix").isEmpty();
    m_colr = font.fontTable("COLR");
    const FontTableReader colr(m_colr);
    if (colr.u16(0) != 0 && colr.u16(0) != 1)
        return;
    m_palette = firstPalette(font.fontTable("CPAL"));
    const quint16 count = colr.u16(2);
    const quint32 bases = colr.u32(4);
    for (quint16 i = 0; i < count && !m_palette.empty(); ++i) {
        const qint64 at = qint64(bases) + 6 * qint64(i);
        if (!colr.has(at, 6))
            break;
        m_bases.push_back({colr.u16(at), colr.u16(at + 2), colr.u16(at + 4)});
    }
    std::sort(m_bases.begin(), m_bases.end());
}

std::vector<ColorGlyphs::Layer> ColorGlyphs::layersOf(quint32 glyph) const
{
    const auto base = std::lower_bound(m_bases.begin(), m_bases.end(), std::array<quint16, 3>{quint16(glyph), 0, 0});
    if (glyph > 0xFFFF || base == m_bases.end() || (*base)[0] != glyph)
        return {};
    const FontTableReader colr(m_colr);
    const quint32 layers = colr.u32(8);
    const quint16 layerCount = colr.u16(12);
    std::vector<Layer> found;
    if ((*base)[2] > kMostLayers)
        return {};
    for (quint32 i = (*base)[1]; i < quint32((*base)[1]) + (*base)[2] && i < layerCount; ++i) {
        const qint64 at = qint64(layers) + 4 * qint64(i);
        const quint16 index = colr.u16(at + 2);
        if (!colr.has(at, 4) || (index != kTextColorLayer && index >= m_palette.size()))
            continue;
        found.push_back({colr.u16(at), index == kTextColorLayer ? QColor(Qt::white) : m_palette[index]});
    }
    return found;
}

std::optional<DrawnColorGlyph> ColorGlyphs::draw(quint32 glyph, QSize largest) const
{
    const std::vector<Layer> layers = layersOf(glyph);
    if (layers.empty() && !m_bitmaps)
        return std::nullopt;
    // The drawing's box from the pen: the layers' outlines, or the bitmap's as Qt gives it.
    QRectF bounds;
    std::vector<QPainterPath> paths;
    int elements = 0;
    for (const Layer& layer : layers) {
        paths.push_back(m_font.pathForGlyph(layer.glyph));
        bounds |= paths.back().boundingRect();
        if ((elements += paths.back().elementCount()) > kMostLayerElements)
            return std::nullopt;
    }
    if (layers.empty())
        bounds = m_font.boundingRect(glyph);
    const QRect area = bounds.toAlignedRect().adjusted(-1, -1, 1, 1);
    if (bounds.isEmpty() || area.width() > largest.width() || area.height() > largest.height())
        return std::nullopt;
    QImage canvas(area.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-area.topLeft());
        for (std::size_t i = 0; i < layers.size(); ++i)
            painter.fillPath(paths[i], layers[i].color);
        if (layers.empty()) {
            QGlyphRun run;
            run.setRawFont(m_font);
            run.setGlyphIndexes({glyph});
            run.setPositions({QPointF()});
            painter.setPen(Qt::white);
            painter.drawGlyphRun(QPointF(), run);
        }
    }
    const QRect inked = inkedArea(canvas);
    if (inked.isEmpty())
        return DrawnColorGlyph{QImage(), area.topLeft()};
    return DrawnColorGlyph{canvas.copy(inked).convertToFormat(QImage::Format_ARGB32), area.topLeft() + inked.topLeft()};
}

} // namespace glyfrax
