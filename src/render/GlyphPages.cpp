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
QImage opaquePage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_RGB32);
    if (page.isNull())
        return page;
    page.fill(source.colors.background);
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
        painter.setPen(source.colors.text);
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

} // namespace

QImage renderPageForFile(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs)
{
    return source.colors.coverageInAlpha ? coveragePage(source, size, glyphs) : opaquePage(source, size, glyphs);
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
