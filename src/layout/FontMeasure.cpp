#include "FontMeasure.h"

#include "../settings/FontSettings.h"
#include "../settings/Windows1252.h"

#include <QFontMetrics>

namespace glyfrax {

namespace {
constexpr int kDotsPerMeter = 3780; // 96 dots per inch, as Qt rounds it back
}

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
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

FontMeasure::FontMeasure(const QFont& font) : m_font(font)
{
    const QImage canvas = makeCanvas(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(m_font, &canvas);
    for (int code = kFirstCode; code <= kLastCode; ++code)
        m_widths[std::size_t(code - kFirstCode)] =
            metrics.horizontalAdvance(QString(charFromWindows1252(static_cast<unsigned char>(code))));
    m_lineHeight = metrics.height();
    m_ascent = metrics.ascent();
}

FontMeasure::FontMeasure(const FontSettings& settings) : FontMeasure(realizeFont(settings)) {}

} // namespace glyfrax
