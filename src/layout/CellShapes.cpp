#include "layout/CellShapes.h"

#include <algorithm>

namespace glyfrax {

std::vector<QRect> shapeCells(const std::vector<QRect>& inks, const CellPadding& padding, const CellShapeRules& rules,
                              LineSpan line)
{
    std::vector<QRect> cells;
    cells.reserve(inks.size());
    QRect all; // the union of the cells that hold something
    for (const QRect& ink : inks) {
        QRect cell = ink.isEmpty() ? QRect() : ink.adjusted(-padding.left, -padding.up, padding.right, padding.down);
        if (rules.zeroOffsets && !cell.isEmpty()) {
            // Edges as coordinates past the last pixel, so that a cell that ends at the pen is empty.
            const int right = std::max(cell.left() + cell.width(), 0);
            const int bottom = std::max(cell.top() + cell.height(), -line.base);
            cell = QRect(0, -line.base, right, bottom + line.base);
        }
        cells.push_back(cell);
        all |= cell;
    }
    if (rules.equalHeight && !all.isEmpty()) {
        const int top = std::min(all.top(), -line.base);
        const int bottom = std::max(all.top() + all.height(), line.height - line.base);
        all.setTop(top);
        all.setHeight(bottom - top);
        for (QRect& cell : cells) {
            if (!cell.isEmpty())
                cell = QRect(cell.left(), top, cell.width(), bottom - top);
        }
    }
    if (rules.grid)
        std::fill(cells.begin(), cells.end(), all);
    return cells;
}

} // namespace glyfrax
