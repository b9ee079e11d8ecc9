#include "layout/CellPacking.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

namespace glyfrax {

namespace {

// The top outline of the cells placed so far: segments left to right, each with the lowest free
// row above which everything is taken.
class Skyline
{
public:
    Skyline(std::int32_t width, std::int32_t height) : m_width(width), m_height(height), m_segments{{0, 0, width}} {}
    // Below what is taken already: the lowest taken row of each column.
    Skyline(std::int32_t width, std::int32_t height, const std::vector<std::int32_t>& columnBottoms)
        : m_width(width), m_height(height)
    {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t bottom = columnBottoms[std::size_t(x)];
            if (!m_segments.empty() && m_segments.back().y == bottom)
                ++m_segments.back().width;
            else
                m_segments.push_back({x, bottom, 1});
        }
    }

    // Places a cell as high as it fits, then as far left; nothing when it fits nowhere.
    std::optional<PackedCell> place(std::int32_t width, std::int32_t height)
    {
        std::optional<std::pair<std::int32_t, std::size_t>> best; // top, segment
        for (std::size_t i = 0; i < m_segments.size() && m_segments[i].x + width <= m_width; ++i) {
            std::int32_t top = 0;
            for (std::size_t j = i; j < m_segments.size() && m_segments[j].x < m_segments[i].x + width; ++j)
                top = std::max(top, m_segments[j].y);
            if (top + height <= m_height && (!best || top < best->first))
                best = {top, i};
        }
        if (!best)
            return std::nullopt;
        const PackedCell cell{0, m_segments[best->second].x, best->first};
        occupy(best->second, cell.x + width, cell.y + height);
        return cell;
    }

private:
    struct Segment
    {
        std::int32_t x;
        std::int32_t y;
        std::int32_t width;
    };

    // The segments from index first up to column right now end at row bottom.
    void occupy(std::size_t first, std::int32_t right, std::int32_t bottom)
    {
        const std::int32_t left = m_segments[first].x;
        std::size_t end = first;
        while (end < m_segments.size() && m_segments[end].x + m_segments[end].width <= right)
            ++end;
        if (end < m_segments.size() && m_segments[end].x < right) {
            // The last segment reaches beyond the cell: keep its right part.
            m_segments[end].width -= right - m_segments[end].x;
            m_segments[end].x = right;
        }
        m_segments.erase(m_segments.begin() + std::ptrdiff_t(first), m_segments.begin() + std::ptrdiff_t(end));
        m_segments.insert(m_segments.begin() + std::ptrdiff_t(first), Segment{left, bottom, right - left});
        // Neighbours at the same row become one segment, so the outline stays short.
        if (first + 1 < m_segments.size() && m_segments[first + 1].y == bottom) {
            m_segments[first].width += m_segments[first + 1].width;
            m_segments.erase(m_segments.begin() + std::ptrdiff_t(first) + 1);
        }
        if (first > 0 && m_segments[first - 1].y == bottom) {
            m_segments[first - 1].width += m_segments[first].width;
            m_segments.erase(m_segments.begin() + std::ptrdiff_t(first));
        }
    }

    std::int32_t m_width;
    std::int32_t m_height;
    std::vector<Segment> m_segments;
};

struct Job
{
    const std::vector<CellSize>& sizes;
    std::vector<std::size_t> order; // cells with room, tallest first
    std::int32_t across;            // the spacing
    std::int32_t down;
};

// Places the cells of order on one page, in that order; those that do not fit are returned.
std::vector<std::size_t> fillPage(const Job& job, const std::vector<std::size_t>& order, std::int32_t width,
                                  std::int32_t height, int page, Packing& packing)
{
    // Every cell and the page grow by the spacing at right and bottom: cells are then at least
    // that far apart, while the last ones may still touch the page's edge.
    Skyline skyline(width + job.across, height + job.down);
    std::vector<std::size_t> left;
    for (const std::size_t index : order) {
        const CellSize& size = job.sizes[index];
        if (const std::optional<PackedCell> cell = skyline.place(size.width + job.across, size.height + job.down))
            packing.cells[index] = {page, cell->x, cell->y};
        else
            left.push_back(index);
    }
    return left;
}

bool fitsOnePage(const Job& job, std::int32_t width, std::int32_t height, Packing& packing)
{
    if (!fillPage(job, job.order, width, height, 0, packing).empty())
        return false;
    packing.width = width;
    packing.height = height;
    packing.pageCount = 1;
    return true;
}

// The page shapes that rules allow and holds accepts, smallest area first; a squarer one, then a
// wider one, before the rest.
template <typename Holds>
std::vector<std::pair<std::int32_t, std::int32_t>> pageShapes(const PackingRules& rules, Holds holds)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> shapes;
    for (std::int32_t width = 1; width <= rules.maxSide; width *= 2) {
        for (std::int32_t height = 1; height <= rules.maxSide; height *= 2) {
            if (holds(width, height) && (!rules.square || width == height))
                shapes.emplace_back(width, height);
        }
    }
    std::sort(shapes.begin(), shapes.end(), [](const auto& a, const auto& b) {
        const auto key = [](const std::pair<std::int32_t, std::int32_t>& s) {
            return std::make_tuple(std::int64_t(s.first) * s.second, std::max(s.first, s.second), -s.first);
        };
        return key(a) < key(b);
    });
    return shapes;
}

// How many cells of one size a page holds in each direction, spacing between them.
std::pair<std::int64_t, std::int64_t> gridOf(std::int32_t width, std::int32_t height, CellSize cell,
                                             const PackingRules& rules)
{
    return {(std::int64_t(width) + rules.spacingAcross) / (std::int64_t(cell.width) + rules.spacingAcross),
            (std::int64_t(height) + rules.spacingDown) / (std::int64_t(cell.height) + rules.spacingDown)};
}

} // namespace

Result<void> checkCellSize(CellSize size, std::int32_t maxSide, const QString& maxSideName)
{
    if (size.width <= maxSide && size.height <= maxSide)
        return {};
    return failure(QStringLiteral("Ein Zeichen braucht %1 x %2 Pixel und passt auf keine Textur bis %3 x %3 "
                                  "Pixel. Wählen Sie eine größere %4 oder eine kleinere Schrift.")
                       .arg(size.width)
                       .arg(size.height)
                       .arg(maxSide)
                       .arg(maxSideName));
}

Result<Packing> packCells(const std::vector<CellSize>& sizes, const PackingRules& rules)
{
    Packing packing;
    packing.cells.resize(sizes.size());
    Job job{sizes, {}, rules.spacingAcross, rules.spacingDown};
    std::int64_t area = 0;
    std::int32_t widest = 1;
    std::int32_t tallest = 1;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const CellSize& size = sizes[i];
        if (size.width <= 0 || size.height <= 0)
            continue;
        if (const Result<void> fits = checkCellSize(size, rules.maxSide); !fits)
            return failure(fits.error());
        job.order.push_back(i);
        area += std::int64_t(size.width + rules.spacingAcross) * (size.height + rules.spacingDown);
        widest = std::max(widest, size.width);
        tallest = std::max(tallest, size.height);
    }
    std::stable_sort(job.order.begin(), job.order.end(), [&sizes](std::size_t a, std::size_t b) {
        return std::tie(sizes[b].height, sizes[b].width) < std::tie(sizes[a].height, sizes[a].width);
    });

    const auto holds = [&](std::int32_t width, std::int32_t height) {
        return width >= widest && height >= tallest &&
               std::int64_t(width + rules.spacingAcross) * (height + rules.spacingDown) >= area;
    };
    const std::vector<std::pair<std::int32_t, std::int32_t>> shapes = pageShapes(rules, holds);
    for (const auto& [width, height] : shapes) {
        if (fitsOnePage(job, width, height, packing))
            return packing;
    }

    packing.width = rules.maxSide;
    packing.height = rules.maxSide;
    packing.pageCount = 0;
    for (std::vector<std::size_t> left = job.order; !left.empty(); ++packing.pageCount)
        left = fillPage(job, left, rules.maxSide, rules.maxSide, packing.pageCount, packing);
    packing.pageCount = std::max(packing.pageCount, 1);
    return packing;
}

namespace {

struct Rect
{
    int page;
    std::int32_t x, y, width, height;

    bool overlaps(const Rect& o) const
    {
        return page == o.page && x < o.x + o.width && o.x < x + width && y < o.y + o.height && o.y < y + height;
    }
};

// More pages than any set has (256 images of four channels each): a place beyond is a false claim.
constexpr int kMostKeptPages = 1024;

// Rects that lie on their page and on none before them, in the order given; the others are left out.
std::vector<bool> acceptedRects(const std::vector<Rect>& rects, std::int32_t width, std::int32_t height)
{
    std::vector<bool> accepted(rects.size(), false);
    std::map<int, std::vector<std::size_t>> takenOn; // by page
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Rect& r = rects[i];
        if (r.page < 0 || r.page >= kMostKeptPages || r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0 ||
            r.x > width - r.width || r.y > height - r.height)
            continue;
        std::vector<std::size_t>& taken = takenOn[r.page];
        const bool free = std::none_of(taken.begin(), taken.end(), [&](std::size_t t) { return rects[t].overlaps(r); });
        if (free) {
            accepted[i] = true;
            taken.push_back(i);
        }
    }
    return accepted;
}

} // namespace

Result<Packing> packAround(const std::vector<CellSize>& sizes, const PackingRules& rules, const KeptPlaces& kept)
{
    Packing packing;
    packing.width = kept.width;
    packing.height = kept.height;
    packing.cells.resize(sizes.size());
    std::vector<Rect> rects; // the kept cells, then the freed ones
    std::vector<std::size_t> keptIndex;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i].width <= 0 || sizes[i].height <= 0)
            continue;
        // A page always holds any one cell, so the new pages below end.
        if (sizes[i].width > kept.width || sizes[i].height > kept.height)
            return failure(QStringLiteral("Ein Zeichen braucht %1 x %2 Pixel und passt nicht auf die Seiten des "
                                          "früheren Satzes (%3 x %4).")
                               .arg(sizes[i].width)
                               .arg(sizes[i].height)
                               .arg(kept.width)
                               .arg(kept.height));
        if (i < kept.places.size() && kept.places[i]) {
            const PackedCell& at = *kept.places[i];
            rects.push_back({at.page, at.x, at.y, sizes[i].width, sizes[i].height});
            keptIndex.push_back(i);
        }
    }
    // The rooms of removed cells are only ever offered to new cells: a few more than those will do,
    // however many an earlier file lists (each is checked against every other on its page).
    for (const auto& [at, size] : kept.freed) {
        if (rects.size() >= 2 * sizes.size() + 256)
            break;
        rects.push_back({at.page, at.x, at.y, size.width, size.height});
    }
    const std::vector<bool> accepted = acceptedRects(rects, kept.width, kept.height);

    int pages = 1;
    std::vector<bool> placed(sizes.size(), false);
    for (std::size_t k = 0; k < keptIndex.size(); ++k) {
        if (!accepted[k])
            continue;
        const Rect& r = rects[k];
        packing.cells[keptIndex[k]] = {r.page, r.x, r.y};
        placed[keptIndex[k]] = true;
        pages = std::max(pages, r.page + 1);
    }
    std::vector<Rect> holes;
    for (std::size_t k = keptIndex.size(); k < rects.size(); ++k) {
        if (accepted[k])
            holes.push_back(rects[k]);
    }

    // The new cells, tallest first, as packCells takes them.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (!placed[i] && sizes[i].width > 0 && sizes[i].height > 0)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&sizes](std::size_t a, std::size_t b) {
        return std::tie(sizes[b].height, sizes[b].width) < std::tie(sizes[a].height, sizes[a].width);
    });
    std::vector<std::size_t> left;
    for (const std::size_t i : order) {
        const auto hole = std::find_if(holes.begin(), holes.end(), [&](const Rect& h) {
            return sizes[i].width <= h.width && sizes[i].height <= h.height;
        });
        if (hole == holes.end()) {
            left.push_back(i);
            continue;
        }
        packing.cells[i] = {hole->page, hole->x, hole->y};
        pages = std::max(pages, hole->page + 1);
        holes.erase(hole); // the rest of its room is not offered again
    }

    // Below everything on the pages there are, then on new ones. The pages and every cell grow by the
    // spacing at right and bottom, as packCells lets them.
    const std::int32_t across = rules.spacingAcross;
    const std::int32_t down = rules.spacingDown;
    for (int page = 0; !left.empty(); ++page) {
        std::vector<std::int32_t> bottoms(std::size_t(kept.width + across), 0);
        for (std::size_t k = 0; k < rects.size(); ++k) {
            const Rect& r = rects[k];
            if (!accepted[k] || r.page != page)
                continue;
            for (std::int32_t x = r.x; x < r.x + r.width + across; ++x)
                bottoms[std::size_t(x)] = std::max(bottoms[std::size_t(x)], r.y + r.height + down);
        }
        Skyline skyline(kept.width + across, kept.height + down, bottoms);
        std::vector<std::size_t> still;
        for (const std::size_t i : left) {
            if (const std::optional<PackedCell> cell = skyline.place(sizes[i].width + across, sizes[i].height + down))
                packing.cells[i] = {page, cell->x, cell->y};
            else
                still.push_back(i);
        }
        if (still.size() != left.size())
            pages = std::max(pages, page + 1);
        left = std::move(still);
    }
    packing.pageCount = pages;
    return packing;
}

Result<Packing> gridCells(std::size_t count, CellSize cell, const PackingRules& rules)
{
    Packing packing;
    packing.cells.resize(count);
    if (cell.width <= 0 || cell.height <= 0) { // nothing to place, as packCells gives it
        packing.width = 1;
        packing.height = 1;
        return packing;
    }
    if (const Result<void> fits = checkCellSize(cell, rules.maxSide); !fits)
        return failure(fits.error());
    const auto holds = [&](std::int32_t width, std::int32_t height) {
        const auto [columns, rows] = gridOf(width, height, cell, rules);
        return columns * rows >= std::int64_t(count);
    };
    const std::vector<std::pair<std::int32_t, std::int32_t>> shapes = pageShapes(rules, holds);
    std::tie(packing.width, packing.height) = shapes.empty() ? std::pair(rules.maxSide, rules.maxSide) : shapes.front();
    const auto [columns, rows] = gridOf(packing.width, packing.height, cell, rules);
    const std::int64_t perPage = columns * rows;
    packing.pageCount = std::max(1, int((std::int64_t(count) + perPage - 1) / perPage));
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t onPage = std::int64_t(i) % perPage;
        packing.cells[i] = {int(std::int64_t(i) / perPage),
                            std::int32_t(onPage % columns * (cell.width + rules.spacingAcross)),
                            std::int32_t(onPage / columns * (cell.height + rules.spacingDown))};
    }
    return packing;
}

} // namespace glyfrax
