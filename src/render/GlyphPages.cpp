#include "render/GlyphPages.h"

#include "base/Parallel.h"
#include "render/DistanceField.h"
#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"
#include "render/PngWriter.h"

#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace glyfrax {

QRect inkBox(const QRawFont& font, quint32 glyph, QSize largest)
{
    return InkReader(font, false).read(glyph, largest).box;
}

namespace {

// The coverage of the glyphs, copied into their cells: what drawing white on black gives, as
// the inks were found that way.
QImage coveragePage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_Alpha8);
    if (page.isNull())
        return page;
    page.fill(0);
    for (const PlacedGlyph& placed : glyphs) {
        const GlyphInk& ink = source.inks->at(placed.ink);
        const QRect box = ink.box.translated(placed.pen);
        if (ink.coverage.empty() || !placed.cell.contains(box))
            continue;
        for (int y = 0; y < box.height(); ++y)
            std::memcpy(page.scanLine(box.top() + y) + box.left(), &ink.coverage[std::size_t(y * box.width())],
                        std::size_t(box.width()));
    }
    return page;
}

// Draws every glyph of a page on up to threads threads, each thread with the tools that start()
// makes for it; start returns what draws one glyph. The cells do not overlap, so the threads
// never write the same pixels.
template <typename Start> void drawOnThreads(int threads, const std::vector<PlacedGlyph>& glyphs, Start start)
{
    std::atomic<std::size_t> next{0};
    constexpr std::size_t kBatch = 32;
    runOnThreads(std::max(1, std::min(threads, int(glyphs.size() / kBatch) + 1)), [&](int) {
        start([&](auto&& draw) {
            for (std::size_t first; (first = next.fetch_add(kBatch)) < glyphs.size();) {
                for (std::size_t i = first; i < std::min(first + kBatch, glyphs.size()); ++i)
                    draw(glyphs[i]);
            }
        });
    });
}

// The glyphs drawn in the text colour on the background. Each thread paints on a view of the
// page's pixels of its own, and each glyph is clipped to its cell.
QImage drawnPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs, const QColor& text,
                 const QColor& background)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_RGB32);
    if (page.isNull())
        return page;
    page.fill(background);
    uchar* const pixels = page.bits();
    const qsizetype rowBytes = page.bytesPerLine();
    drawOnThreads(source.threads, glyphs, [&](auto&& drawAll) {
        std::vector<QRawFont> fonts;
        for (const FontMeasure& font : *source.fonts)
            fonts.push_back(font.rawFontForThisThread());
        QImage view(pixels, size.width(), size.height(), rowBytes, QImage::Format_RGB32);
        view.setDotsPerMeterX(page.dotsPerMeterX());
        view.setDotsPerMeterY(page.dotsPerMeterY());
        QPainter painter(&view);
        painter.setPen(text);
        setGlyphRendering(painter, source.monochrome);
        drawAll([&](const PlacedGlyph& placed) {
            painter.setClipRect(placed.cell);
            drawGlyph(painter, fonts.at(std::size_t(placed.font)), placed.glyph, placed.pen);
        });
    });
    return page;
}

// Between the cells of a field page every channel holds the farthest distance outside, 0, and an
// msdf page's alpha, which holds no distance, is 255 everywhere.
QRgb fieldBackground(PageField field)
{
    return pageFieldFacts(field).alphaIsOne ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0);
}

// Draws the fields of glyphs into page, whose row 0 is row top of the whole page.
void drawFields(const PageSource& source, const std::vector<PlacedGlyph>& glyphs, QImage& page, int top)
{
    drawOnThreads(source.threads, glyphs, [&](auto&& drawAll) {
        drawAll([&](const PlacedGlyph& placed) {
            drawDistanceField(page, placed.cell.translated(0, -top), source.outlines->at(placed.ink),
                              placed.pen - QPoint(0, top), source.field, source.distanceRange);
        });
    });
}

// Each glyph's distance field in its cell.
QImage fieldPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_ARGB32);
    if (page.isNull())
        return page;
    page.fill(fieldBackground(source.field));
    drawFields(source, glyphs, page, 0);
    return page;
}

// A field page drawn band by band from the top, for a file written as it is drawn: the glyphs whose
// cells begin in a band are drawn whole into a strip that reaches below the band by the tallest
// cell, and what lies below the band moves up for the next. Each glyph's field is the same
// wherever its cell is drawn, so the rows are those of fieldPage.
class FieldBands
{
public:
    FieldBands(const PageSource& source, const std::vector<PlacedGlyph>& glyphs) : m_source(source), m_glyphs(glyphs)
    {
        std::stable_sort(m_glyphs.begin(), m_glyphs.end(),
                         [](const PlacedGlyph& a, const PlacedGlyph& b) { return a.cell.top() < b.cell.top(); });
        for (const PlacedGlyph& glyph : m_glyphs)
            m_tallest = std::max(m_tallest, glyph.cell.height());
    }

    // The bands come in order, the first the tallest.
    bool draw(QImage& band, int first)
    {
        if (m_strip.isNull()) {
            m_strip = makeCanvas(band.width(), band.height() + m_tallest, QImage::Format_ARGB32);
            if (m_strip.isNull())
                return false;
            m_strip.fill(fieldBackground(m_source.field));
        }
        Q_ASSERT(first == m_top && band.height() + m_tallest <= m_strip.height());
        const auto end = std::find_if(m_next, m_glyphs.cend(), [&](const PlacedGlyph& glyph) {
            return glyph.cell.top() >= first + band.height();
        });
        drawFields(m_source, std::vector<PlacedGlyph>(m_next, end), m_strip, m_top);
        m_next = end;
        const qsizetype rowBytes = m_strip.bytesPerLine();
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(band.scanLine(y), m_strip.constScanLine(y), std::size_t(rowBytes));
        const int below = m_strip.height() - band.height();
        std::memmove(m_strip.bits(), m_strip.constScanLine(band.height()), std::size_t(rowBytes * below));
        const QRgb background = fieldBackground(m_source.field);
        for (int y = below; y < m_strip.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(m_strip.scanLine(y)), m_strip.width(), background);
        m_top += band.height();
        return true;
    }

private:
    const PageSource& m_source;
    std::vector<PlacedGlyph> m_glyphs; // by the top of their cells
    std::vector<PlacedGlyph>::const_iterator m_next = m_glyphs.cbegin();
    int m_tallest = 0;
    QImage m_strip;
    int m_top = 0; // the row of the page at the top of the strip
};

// A colour with alpha, its channels from 0 to 1, premultiplied by alpha.
struct Paint
{
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    // This paint with a layer of colour laid over it, covering coverage / 255 of the pixel.
    void cover(QRgb colour, std::uint8_t coverage)
    {
        const double a = coverage / 255.0 * qAlpha(colour) / 255.0;
        red = red * (1 - a) + qRed(colour) / 255.0 * a;
        green = green * (1 - a) + qGreen(colour) / 255.0 * a;
        blue = blue * (1 - a) + qBlue(colour) / 255.0 * a;
        alpha = alpha * (1 - a) + a;
    }
    QRgb straight(QRgb bare) const
    {
        if (alpha <= 0)
            return bare;
        auto channel = [this](double c) { return int(std::lround(std::clamp(c / alpha, 0.0, 1.0) * 255)); };
        return qRgba(channel(red), channel(green), channel(blue), int(std::lround(alpha * 255)));
    }
};

// The glyphs with their effects, composed from the inks: shadow, outline and glyph laid over one
// another, on the background for opaque pages. Pages with alpha hold straight colours; where
// nothing is drawn they are transparent in the colour of the outermost effect, so that a
// filtering engine blends no other colour into the effects' edges.
QImage effectsPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    const PageColors& colors = source.colors;
    const bool alpha = colors.coverageInAlpha;
    QImage page = makeCanvas(size.width(), size.height(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (page.isNull())
        return page;
    const bool shadowed = std::any_of(glyphs.begin(), glyphs.end(),
                                      [&](const PlacedGlyph& g) { return !source.inks->at(g.ink).shadow.empty(); });
    const QRgb bare = alpha ? (shadowed ? colors.shadow : colors.outline) & 0xFFFFFFU : colors.background.rgb();
    page.fill(bare);
    const QRgb text = alpha ? qRgb(255, 255, 255) : colors.text.rgb();
    uchar* const pixels = page.bits();
    const qsizetype rowBytes = page.bytesPerLine();
    drawOnThreads(source.threads, glyphs, [&](auto&& drawAll) {
        drawAll([&](const PlacedGlyph& placed) {
            const GlyphInk& ink = source.inks->at(placed.ink);
            const QRect box = ink.box.translated(placed.pen);
            if (ink.coverage.empty() || !placed.cell.contains(box))
                return;
            for (int y = 0; y < box.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(pixels + qsizetype(box.top() + y) * rowBytes) + box.left();
                for (int x = 0; x < box.width(); ++x) {
                    const std::size_t k = std::size_t(y) * std::size_t(box.width()) + std::size_t(x);
                    const std::uint8_t shadow = ink.shadow.empty() ? 0 : ink.shadow[k];
                    const std::uint8_t outline = ink.outline.empty() ? 0 : ink.outline[k];
                    if ((shadow | outline | ink.coverage[k]) == 0)
                        continue; // the page's own bare pixel
                    Paint paint;
                    if (!alpha)
                        paint.cover(bare | 0xFF000000U, 255);
                    paint.cover(colors.shadow, shadow);
                    paint.cover(colors.outline, outline);
                    if (ink.colors.empty())
                        paint.cover(text, ink.coverage[k]);
                    else
                        paint.cover(ink.colors[k], 255); // its alpha is its coverage
                    row[x] = paint.straight(bare);
                }
            }
        });
    });
    return page;
}

// Qt draws glyphs from kLargestCachedGlyph pixels per em up as outlines, whose pixels may differ a
// little with their place on the page; smaller ones come from a cache of glyph images, the same
// everywhere.
bool inksAreThePages(const PageSource& source)
{
    return std::all_of(source.fonts->begin(), source.fonts->end(),
                       [](const FontMeasure& font) { return font.rawFont().pixelSize() < kLargestCachedGlyph; });
}

} // namespace

QImage renderPageForFile(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    if (source.field != PageField::None)
        return fieldPage(source, size, glyphs);
    const bool fromInks = source.supersample > 1 || source.inksOnly;
    const bool colours = std::any_of(glyphs.begin(), glyphs.end(),
                                     [&](const PlacedGlyph& g) { return !source.inks->at(g.ink).colors.empty(); });
    if (source.effects || colours || (fromInks && !source.colors.coverageInAlpha))
        return effectsPage(source, size, glyphs);
    if (!source.colors.coverageInAlpha)
        return drawnPage(source, size, glyphs, source.colors.text, source.colors.background);
    if (fromInks || inksAreThePages(source))
        return coveragePage(source, size, glyphs);
    const QImage drawn = drawnPage(source, size, glyphs, Qt::white, Qt::black);
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_Alpha8);
    if (drawn.isNull() || page.isNull())
        return {};
    for (int y = 0; y < page.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        std::transform(from, from + page.width(), page.scanLine(y), [](QRgb pixel) { return uchar(qRed(pixel)); });
    }
    return page;
}

bool writePageFile(QIODevice& device, const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs,
                   PageImage format, PageChannels channels)
{
    if (source.field == PageField::None || format != PageImage::Png)
        return writeImage(device, renderPageForFile(source, size, glyphs), format, source.threads, channels);
    FieldBands bands(source, glyphs);
    return writePngRows(
        device, size, QImage::Format_ARGB32, source.threads,
        [&bands](QImage& band, int first) { return bands.draw(band, first); }, channels);
}

QImage renderPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    const QImage drawn = renderPageForFile(source, size, glyphs);
    if (drawn.format() != QImage::Format_Alpha8)
        return drawn;
    // White everywhere, also where nothing is drawn: a filtering engine then blends no dark fringe in.
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_ARGB32);
    if (page.isNull())
        return page;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* alpha = drawn.constScanLine(y);
        auto* row = reinterpret_cast<QRgb*>(page.scanLine(y));
        for (int x = 0; x < page.width(); ++x)
            row[x] = QRgb(alpha[x]) << 24 | 0xFFFFFFU;
    }
    return page;
}

QImage premultipliedPage(const QImage& page)
{
    if (page.format() != QImage::Format_Alpha8 && page.format() != QImage::Format_ARGB32)
        return page;
    QImage multiplied = makeCanvas(page.width(), page.height(), QImage::Format_ARGB32);
    if (multiplied.isNull())
        return multiplied;
    const bool alphaOnly = page.format() == QImage::Format_Alpha8;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* from = page.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(multiplied.scanLine(y));
        for (int x = 0; x < page.width(); ++x)
            to[x] = alphaOnly ? qRgba(from[x], from[x], from[x], from[x])
                              : qPremultiply(reinterpret_cast<const QRgb*>(from)[x]);
    }
    return multiplied;
}

void packIntoChannel(QImage& packed, const QImage& page, int channel)
{
    const int shift = 8 * channel;
    const bool alphaOnly = page.format() == QImage::Format_Alpha8;
    for (int y = 0; y < packed.height(); ++y) {
        const uchar* from = page.constScanLine(y);
        auto* to = reinterpret_cast<QRgb*>(packed.scanLine(y));
        for (int x = 0; x < packed.width(); ++x) {
            const QRgb value = alphaOnly ? from[x] : QRgb(qRed(reinterpret_cast<const QRgb*>(from)[x]));
            to[x] = (to[x] & ~(QRgb(0xFF) << shift)) | value << shift;
        }
    }
}

} // namespace glyfrax
