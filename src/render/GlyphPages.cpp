#include "render/GlyphPages.h"

#include "base/Parallel.h"
#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <atomic>
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

// The glyphs drawn in the text colour on the background. Each thread paints on a view of the
// page's pixels of its own: the cells do not overlap, and each glyph is clipped to its cell.
QImage drawnPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs, const QColor& text,
                 const QColor& background)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_RGB32);
    if (page.isNull())
        return page;
    page.fill(background);
    uchar* const pixels = page.bits();
    const qsizetype rowBytes = page.bytesPerLine();
    std::atomic<std::size_t> next{0};
    constexpr std::size_t kBatch = 32;
    runOnThreads(std::max(1, std::min(source.threads, int(glyphs.size() / kBatch) + 1)), [&](int) {
        std::vector<QRawFont> fonts;
        for (const FontMeasure& font : *source.fonts)
            fonts.push_back(font.rawFontForThisThread());
        QImage view(pixels, size.width(), size.height(), rowBytes, QImage::Format_RGB32);
        view.setDotsPerMeterX(page.dotsPerMeterX());
        view.setDotsPerMeterY(page.dotsPerMeterY());
        QPainter painter(&view);
        painter.setPen(text);
        setGlyphRendering(painter, source.monochrome);
        for (std::size_t first; (first = next.fetch_add(kBatch)) < glyphs.size();) {
            for (std::size_t i = first; i < std::min(first + kBatch, glyphs.size()); ++i) {
                const PlacedGlyph& placed = glyphs[i];
                painter.setClipRect(placed.cell);
                drawGlyph(painter, fonts.at(std::size_t(placed.font)), placed.glyph, placed.pen);
            }
        }
    });
    return page;
}

// Qt draws glyphs from 64 pixels per em up as outlines, whose pixels may differ a little with
// their place on the page; smaller ones come from a cache of glyph images, the same everywhere.
bool inksAreThePages(const PageSource& source)
{
    constexpr double kLargestCachedGlyph = 64;
    return std::all_of(source.fonts->begin(), source.fonts->end(),
                       [](const FontMeasure& font) { return font.rawFont().pixelSize() < kLargestCachedGlyph; });
}

} // namespace

QImage renderPageForFile(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    if (!source.colors.coverageInAlpha)
        return drawnPage(source, size, glyphs, source.colors.text, source.colors.background);
    if (inksAreThePages(source))
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

QImage renderPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    const QImage drawn = renderPageForFile(source, size, glyphs);
    if (!source.colors.coverageInAlpha || drawn.isNull())
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

} // namespace glyfrax
