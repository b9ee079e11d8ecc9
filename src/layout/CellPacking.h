#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace glyfrax {

// The size of one cell to pack, in pixels. A cell of zero width or height takes no room.
struct CellSize
{
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Where a cell went: its page and its top-left corner on that page.
struct PackedCell
{
    int page = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;

    bool operator==(const PackedCell&) const = default;
};

struct PackingRules
{
    std::int32_t spacingAcross = 1; // pixels at least between two cells side by side
    std::int32_t spacingDown = 1;   // pixels at least between two cells one above the other
    std::int32_t maxSide = 4096;    // a power of two: the largest page side
    bool square = true;             // pages are squares; clear: any power-of-two rectangle
};

struct Packing
{
    std::int32_t width = 0; // every page has this size
    std::int32_t height = 0;
    int pageCount = 1;
    std::vector<PackedCell> cells; // in the order of the sizes given

    bool operator==(const Packing&) const = default;
};

// Fails, naming the size, when a cell is larger than maxSide in either direction; the message asks
// for a larger maxSideName, the name its reader knows the largest side by.
Result<void> checkCellSize(CellSize size, std::int32_t maxSide,
                           const QString& maxSideName = QStringLiteral("--max-texture"));

// Packs the cells on the smallest power-of-two page (by area; the squarer shape first) that holds
// them all, tallest cells first along a skyline, each as high and then as far left as it goes.
// When a page of maxSide x maxSide cannot hold them, they fill as many such pages as they need.
// The result depends only on the sizes and rules. Fails when one cell is larger than maxSide.
Result<Packing> packCells(const std::vector<CellSize>& sizes, const PackingRules& rules);

// The cells an earlier packing placed, to be kept: its pages' size, the place of each cell that
// stays (by the index of its size; none: the cell is new), and the cells of the earlier packing
// that are no longer wanted, whose room the new cells may take.
struct KeptPlaces
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::optional<PackedCell>> places;
    std::vector<std::pair<PackedCell, CellSize>> freed;
};

// Packs cells on pages of the kept size, each kept cell where it was: every new cell, tallest first,
// takes the room of a freed cell it fits in, or goes below the kept cells on the first page with
// room (as packCells places along a skyline), or onto a new page. A kept place that lies off its
// page or on another kept cell is not kept, whatever an earlier file claimed: that cell is placed
// as a new one. Fails when a cell is larger than the pages.
Result<Packing> packAround(const std::vector<CellSize>& sizes, const PackingRules& rules, const KeptPlaces& kept);

// Places count cells of one size in rows and columns, spacing between them, on the smallest page
// packCells would choose that holds them all, or on as many maxSide x maxSide pages as they need:
// cell n lies on page n / (columns * rows), in column n % columns and row n / columns of that
// page, so its place follows from n alone. Fails when the cell is larger than maxSide.
Result<Packing> gridCells(std::size_t count, CellSize cell, const PackingRules& rules);

} // namespace glyfrax
