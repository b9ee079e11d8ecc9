#pragma once

#include "base/LargeBuffer.h"

#include <QColor>
#include <QImage>

#include <cstdint>
#include <vector>

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
    // How many rows to ask for at once so that every thread has a band to draw.
    int bandRows() const;

    // Draws the rows top to top + rows - 1 and stores them as bitmap rows (see BmpRowSource).
    bool fillBmpRows(int top, int rows, char* out, qint64 stride) const;
    // The whole texture, drawn on the calling thread; a null image when the memory cannot be had.
    QImage render() const;

private:
    // Draws the texture's rows from top down into image, as wide as the texture.
    void renderRows(QImage& image, int top, const QRawFont& font) const;

    const FontMeasure& m_measure;
    const GlyphTable& m_table;
    std::int32_t m_side;
    QColor m_text;
    QColor m_background;
    int m_threads;
    int m_pieceRows;                           // the height of a band
    mutable std::vector<LargeBuffer> m_images; // the pixels each thread draws on
};

} // namespace glyfrax
