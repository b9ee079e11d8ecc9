#include "render/FontMeasure.h"

#include "base/CheckedMath.h"
#include "layout/Units.h"
#include "settings/FontSettings.h"

#include <QFontMetricsF>
#include <QList>

namespace glyfrax {

QImage makeCanvas(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    return image;
}

QFont realizeFont(const FontSettings& settings)
{
    QFont font(settings.face);
    font.setPointSizeF(settings.size > 0.0F ? double(settings.size) : double(kFallbackPointSize));
    font.setBold(settings.bold);
    font.setItalic(settings.italic);
    font.setKerning(false);
    // Fixed choices instead of the desktop's: the same settings give the same pixels everywhere.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

namespace {

constexpr QFont::HintingPreference kHintingPreferences[] = { // by Hinting
    QFont::PreferNoHinting, QFont::PreferVerticalHinting, QFont::PreferFullHinting};

// Bound to a 96 dpi device, so the glyphs have the same pixel size on every screen. The font
// engine renders glyphs without anti-aliasing only when the font asks for it.
QFont boundFont(const FontSettings& settings, GlyphRaster raster)
{
    const QImage canvas = makeCanvas(1, 1, QImage::Format_RGB32);
    QFont font = realizeFont(settings);
    if (raster.monochrome)
        font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(kHintingPreferences[std::size_t(raster.hinting)]);
    return QFont(font, &canvas);
}

} // namespace

FontMeasure::FontMeasure(const FontSettings& settings, const CodePage& codePage, GlyphRaster raster)
    : m_settings(settings), m_raster(raster)
{
    const QImage canvas = makeCanvas(1, 1, QImage::Format_RGB32);
    const QFont bound = boundFont(settings, raster);
    m_rawFont = QRawFont::fromFont(bound);
    // Unrounded metrics, rounded here like every measured size: to the nearest pixel, a half
    // to the even neighbour. QFontMetrics would round ascent and descent each, halves upwards.
    const QFontMetricsF metrics(bound, &canvas);
    m_lineHeight = int(roundHalfEven(metrics.ascent() + metrics.descent()));
    m_ascent = int(roundHalfEven(metrics.ascent()));

    // Glyphs, not shaped text: shaping would hide a soft hyphen and join nothing anyway.
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        // A code the code page leaves unassigned has no glyph list: it shows the substitute glyph 0.
        const QList<quint32> glyphs = m_rawFont.glyphIndexesForString(codePage.text(static_cast<unsigned char>(code)));
        const quint32 glyph = glyphs.isEmpty() ? 0 : glyphs.first();
        m_glyphs[std::size_t(code - kFirstCode)] = glyph;
        m_widths[std::size_t(code - kFirstCode)] = advanceOf(glyph);
    }
}

QRawFont FontMeasure::rawFontForThisThread() const
{
    return QRawFont::fromFont(boundFont(m_settings, m_raster));
}

int FontMeasure::advanceOf(quint32 glyph) const
{
    const QList<QPointF> advances = m_rawFont.advancesForGlyphIndexes(QList<quint32>{glyph});
    return advances.isEmpty() ? 0 : int(roundHalfEven(advances.first().x()));
}

} // namespace glyfrax
