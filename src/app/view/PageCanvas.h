#pragma once

#include "app/view/ShownPage.h"
#include "export/bmfont/BmFontWriter.h"

#include <QWidget>

#include <cstddef>
#include <memory>
#include <vector>

namespace glyfrax {

// A cell the canvas knows: where it lies in the image, and which of the descriptor's characters
// it shows.
struct CanvasCell
{
    QRect rect;
    std::size_t index = 0; // into BmFont::chars
};

// Room where a character the font lacks would stand, marked in red: what its tip and the
// canvas's description say of it.
struct CanvasGap
{
    QRect rect;
    QString description;
};

// Shows an image of texture pixels at a zoom, in device pixels so that it stays sharp at any
// scale factor of the screen: a checkerboard behind transparent pixels, the cells' outlines on
// demand, gaps framed in red. Pointing at a cell, or stepping through the cells with the arrow keys,
// tells which character it holds; pointing at a gap tells what it lacks, and so does the canvas's
// description while nothing is pointed at.
class PageCanvas : public QWidget
{
    Q_OBJECT

public:
    explicit PageCanvas(QWidget* parent = nullptr);

    void showPage(const ShownPage& page, std::shared_ptr<const BmFont> descriptor, std::vector<CanvasCell> cells,
                  std::vector<CanvasGap> gaps = {});
    const ShownPage& page() const { return m_page; }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void setOutlines(bool shown);
    // The part of the page in texture pixels that the rectangle of the widget covers.
    QRectF toTexture(const QRectF& widgetRect) const;
    QRectF fromTexture(const QRectF& textureRect) const;

    // "„A“ U+0041 · Zelle (12, 30, 9, 14) · Versatz (0, 3) · Vorschub 9" for the characters of a cell,
    // with " · Seite 0, Kanal Blau" on packed pages.
    static QString describeCell(const BmFont& font, const std::vector<std::size_t>& indices);

signals:
    // What the cell under the pointer or the chosen cell holds; empty when there is none.
    void cellTold(const QString& description);
    // A part of the widget to scroll into view.
    void wantsVisible(const QRect& rect);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitSize();
    // The cells that show the characters of cell at, one glyph shared by several included.
    std::vector<std::size_t> charactersOf(const QRect& rect) const;
    void tell(const QRect& rect, const QString& gap = {});
    // What the gaps at a point of the widget lack; empty where there is none.
    QString gapAt(const QPointF& at) const;
    void choose(int cell);

    ShownPage m_page;
    std::shared_ptr<const BmFont> m_descriptor;
    std::vector<CanvasCell> m_cells;
    std::vector<CanvasGap> m_gaps;
    QString m_gapsTold; // all that the gaps lack, one line
    double m_zoom = 1.0;
    bool m_outlines = false;
    int m_chosen = -1; // the cell the arrow keys reached, or -1
};

} // namespace glyfrax
