#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>
#include <functional>
#include <utility>

class QIODevice;
class QRawFont;

namespace glyfrax {

class FontMeasure;
class GlyphTable;

// The texture: side x side pixels of background, each character drawn in the text colour with
// its text origin at its cell's top-left corner, clipped to its cell and to the texture.
//
// It is drawn in bands of rows spread over threads. Where the bands lie depends only on the side,
// never on the number of threads, so every thread count gives the same bytes.
class TextureRenderer
{
public:
    TextureRenderer(const FontMeasure& measure, const GlyphTable& table, std::int32_t side, const QColor& text,
                    const QColor& background, int threads);

    std::int32_t side() const { return m_side; }
    // Writes the texture as a 24-bit bitmap (see bmpHeader), drawn band by band on the threads
    // and written in order as the bands are done. progress is told the rows written so far, on
    // the calling thread only. Returns false when a write failed (errno tells why) or memory ran out.
    using Progress = std::function<void(int rowsWritten)>;
    bool writeBmp(QIODevice& device, const Progress& progress) const;

    // The whole texture, drawn on the calling thread; a null image when the memory cannot be had.
    QImage render() const;

private:
    // Draws the texture's rows from top down into image, as wide as the texture.
    void renderRows(QImage& image, int top, const QRawFont& font) const;
    // Draws the characters of the codes firstCode to lastCode into image, which holds the texture's
    // rows from top down.
    void drawCells(QImage& image, int top, const QRawFont& font, int firstCode, int lastCode) const;
    int bandCount() const;
    // Band k's first row and the row after its last. Band 0 is at the bottom: the file's order.
    std::pair<int, int> bandRows(int band) const;
    // At least as many bands as threads: each thread draws bands of its own, one at a time.
    bool writeBandsApart(QIODevice& device, int threads, const Progress& progress) const;
    // Fewer bands than threads: all threads draw each band.
    bool writeBandsTogether(QIODevice& device, int threads, const Progress& progress) const;

    const FontMeasure& m_measure;
    const GlyphTable& m_table;
    std::int32_t m_side;
    QColor m_text;
    QColor m_background;
    int m_threads;
    int m_bandRows; // the height of a band
};

} // namespace glyfrax
