#pragma once

#include "base/CodePage.h"
#include "layout/CharacterSet.h"
#include "layout/TextMeasure.h"
#include "settings/BmFontOptions.h"
#include "settings/FontSettings.h"

#include <QFont>
#include <QImage>
#include <QRawFont>

#include <array>

namespace glyfrax {

// The size used when the settings hold none (a missing settings file gives 0 points).
constexpr float kFallbackPointSize = 10.0F;

// An image whose text is drawn at 96 dots per inch.
QImage makeCanvas(int width, int height, QImage::Format format);

// The font of the settings, with the rendering options that keep its output reproducible.
QFont realizeFont(const FontSettings& settings);

// How a font's glyphs become pixels: with anti-aliasing or each pixel covered or not, and fitted
// to the pixel grid by the font's hints or not. Measures follow the choice, for hinted advances and
// heights may be whole pixels where the design's are not.
struct GlyphRaster
{
    bool monochrome = false;
    Hinting hinting = Hinting::None;

    bool operator==(const GlyphRaster&) const = default;
};

// Measures the characters of a Qt font as single glyphs, exactly as drawCharacter draws them.
// A character the font lacks is its substitute glyph, measured and drawn like any other.
class FontMeasure final : public TextMeasure
{
public:
    // The codes 32 to 255 stand for the characters of the code page.
    explicit FontMeasure(const FontSettings& settings, const CodePage& codePage = CodePage::windows1252(),
                         GlyphRaster raster = {});

    int charWidth(int code) const override { return m_widths[std::size_t(code - kFirstCode)]; }
    int lineHeight() const override { return m_lineHeight; }
    int ascent() const { return m_ascent; }
    quint32 glyph(int code) const { return m_glyphs[std::size_t(code - kFirstCode)]; }
    const QRawFont& rawFont() const { return m_rawFont; }
    // The same font made anew, for drawing on the calling thread: a font's glyph caches must not
    // be shared between threads.
    QRawFont rawFontForThisThread() const;
    // The advance of any glyph of the font in whole pixels, rounded as every character width is.
    int advanceOf(quint32 glyph) const;

private:
    FontSettings m_settings;
    GlyphRaster m_raster;
    QRawFont m_rawFont;
    std::array<quint32, kCharacterCount> m_glyphs{};
    std::array<int, kCharacterCount> m_widths{};
    int m_lineHeight = 0;
    int m_ascent = 0;
};

} // namespace glyfrax
