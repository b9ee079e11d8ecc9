#include "export/bmfont/Kerning.h"

#include "render/FontTables.h"

#include <algorithm>
#include <bit>
#include <unordered_map>
#include <unordered_set>

namespace glyfrax {

namespace {

using Table = FontTableReader;

constexpr quint32 kKernTag = 0x6B65726E; // 'kern'
constexpr int kGlyphIdCount = 1 << 16;   // glyph ids in these tables are 16 bits wide
// A new pair also costs memory and a line of the descriptor: it is charged as this many units, so
// that no font makes more than about a million pairs.
constexpr std::int64_t kPairCost = 64;

// Sums of adjustments by pair, the key being first << 16 | second.
using PairSums = std::unordered_map<quint32, std::int64_t>;

quint32 pairKey(quint32 first, quint32 second)
{
    return first << 16 | second;
}

// The work a font may cause, counted before it is done. Once a request is refused, every later
// one is too, so the reading ends at one point and the result depends only on the input.
class WorkBudget
{
public:
    explicit WorkBudget(std::int64_t limit) : m_left(std::max<std::int64_t>(limit, 0)) {}

    bool spend(std::int64_t units)
    {
        if (m_exhausted || units > m_left) {
            m_exhausted = true;
            return false;
        }
        m_left -= units;
        m_spent += units;
        return true;
    }
    bool exhausted() const { return m_exhausted; }
    std::int64_t spent() const { return m_spent; }

private:
    std::int64_t m_left;
    std::int64_t m_spent = 0;
    bool m_exhausted = false;
};

// The units a binary search over count records costs.
std::int64_t searchCost(qint64 count)
{
    return std::bit_width(quint64(count)) + 1;
}

// The binary search of a sorted array of records whose first field is the glyph (or the first
// glyph of a range); the index of the last record that does not start after glyph, or -1.
qint64 lastRecordAtOrBefore(const Table& t, qint64 records, int count, int size, quint32 glyph)
{
    qint64 low = 0;
    qint64 high = qint64(count) - 1;
    qint64 found = -1;
    while (low <= high) {
        const qint64 middle = (low + high) / 2;
        if (t.u16(records + middle * size) <= glyph) {
            found = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return found;
}

// The index of the first record whose glyph is not below glyph; count when there is none.
qint64 firstRecordNotBefore(const Table& t, qint64 records, int count, int size, quint32 glyph)
{
    qint64 low = 0;
    qint64 high = count;
    while (low < high) {
        const qint64 middle = (low + high) / 2;
        if (t.u16(records + middle * size) < glyph)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The glyph's index in a coverage table, or -1 when it is not covered.
qint64 coverageIndex(const Table& t, qint64 coverage, quint32 glyph)
{
    const int count = t.u16(coverage + 2);
    const qint64 records = coverage + 4;
    switch (t.u16(coverage)) {
    case 1: {
        const qint64 i = lastRecordAtOrBefore(t, records, count, 2, glyph);
        return i >= 0 && t.u16(records + i * 2) == glyph ? i : -1;
    }
    case 2: {
        const qint64 i = lastRecordAtOrBefore(t, records, count, 6, glyph);
        const qint64 range = records + i * 6;
        return i >= 0 && glyph <= t.u16(range + 2) ? t.u16(range + 4) + qint64(glyph - t.u16(range)) : -1;
    }
    default:
        return -1;
    }
}

// The glyph's class in a class definition table; 0 for a glyph it does not list.
int classOf(const Table& t, qint64 classDef, quint32 glyph)
{
    switch (t.u16(classDef)) {
    case 1: {
        const quint32 start = t.u16(classDef + 2);
        return glyph >= start && glyph - start < t.u16(classDef + 4) ? t.u16(classDef + 6 + 2 * qint64(glyph - start))
                                                                     : 0;
    }
    case 2: {
        const qint64 records = classDef + 4;
        const qint64 i = lastRecordAtOrBefore(t, records, t.u16(classDef + 2), 6, glyph);
        return i >= 0 && glyph <= t.u16(records + i * 6 + 2) ? t.u16(records + i * 6 + 4) : 0;
    }
    default:
        return 0;
    }
}

// What finding one glyph's class costs: a search for the ranges of format 2, one read otherwise.
std::int64_t classCost(const Table& t, qint64 classDef)
{
    return t.u16(classDef) == 2 ? searchCost(t.u16(classDef + 2)) : 1;
}

int valueRecordSize(quint16 format)
{
    return 2 * std::popcount(unsigned(format & 0xFF));
}

// The horizontal advance change of a value record; the fields before it are X and Y placement.
int xAdvance(const Table& t, qint64 record, quint16 format)
{
    return (format & 0x4) != 0 ? t.s16(record + 2 * std::popcount(unsigned(format & 0x3))) : 0;
}

// A lookup and how often the 'kern' features list it under different indices: a shaper applies
// it that often, so its adjustments count that often.
struct ListedLookup
{
    qint64 offset;
    int times;
};

// The lookups of every 'kern' feature, each index once, as a shaper applies them. A feature
// listed twice adds no lookup, so it is read once.
std::vector<ListedLookup> kernLookups(const Table& t, WorkBudget& budget)
{
    if (t.u16(0) != 1)
        return {};
    const qint64 features = t.u16(6);
    const qint64 lookups = t.u16(8);
    std::vector<bool> listed(kGlyphIdCount, false);
    std::unordered_set<qint64> seen;
    for (int i = 0, count = t.u16(features); i < count && budget.spend(1); ++i) {
        const qint64 record = features + 2 + 6 * qint64(i);
        const qint64 feature = features + t.u16(record + 4);
        if (t.u32(record) != kKernTag || !seen.insert(feature).second)
            continue;
        const int n = t.u16(feature + 2);
        if (!budget.spend(n))
            break;
        for (int j = 0; j < n; ++j)
            listed[t.u16(feature + 4 + 2 * qint64(j))] = true;
    }
    std::vector<ListedLookup> result;
    std::unordered_map<qint64, std::size_t> at; // by offset
    const int count = t.u16(lookups);
    if (!budget.spend(count))
        return {};
    for (int index = 0; index < count; ++index) {
        if (!listed[std::size_t(index)])
            continue;
        const qint64 offset = lookups + t.u16(lookups + 2 + 2 * qint64(index));
        if (const auto [found, added] = at.try_emplace(offset, result.size()); added)
            result.push_back({offset, 1});
        else
            ++result[found->second].times;
    }
    return result;
}

class GposReader
{
public:
    GposReader(const Table& t, const std::vector<quint32>& glyphs, const std::vector<bool>& wanted, WorkBudget& budget,
               PairSums& sums)
        : m_t(t), m_glyphs(glyphs), m_wanted(wanted), m_budget(budget), m_sums(sums), m_closedIn(kGlyphIdCount, 0),
          m_pairSetIn(kGlyphIdCount, 0)
    {
    }

    // Within one lookup the first subtable that applies to a pair decides it: a format-1
    // subtable applies to the pairs it lists, a format-2 subtable to every pair whose first
    // glyph it covers. Adjustments of different lookups add up. A subtable listed twice in one
    // lookup decides nothing the first listing has not, so it is read once.
    void readLookup(const ListedLookup& lookup)
    {
        const std::vector<qint64> subtables = pairSubtables(lookup.offset);
        ++m_lookup;
        if (!m_decided.empty()) // clear() would cost every bucket a large lookup left, each time
            std::unordered_set<quint32>().swap(m_decided);
        m_times = lookup.times;
        for (const qint64 subtable : subtables) {
            const quint16 format = m_t.u16(subtable);
            if (format != 1 && format != 2)
                continue;
            const std::vector<std::pair<quint32, qint64>> covered = coveredFirsts(subtable + m_t.u16(subtable + 2));
            if (covered.empty())
                continue;
            if (format == 1)
                readPairSets(subtable, covered);
            else
                readClassPairs(subtable, covered);
        }
    }

private:
    // The distinct pair-positioning subtables of a lookup, those behind extension subtables included.
    std::vector<qint64> pairSubtables(qint64 lookup)
    {
        constexpr quint16 kPairPositioning = 2;
        constexpr quint16 kExtension = 9;
        const quint16 type = m_t.u16(lookup);
        const int count = m_t.u16(lookup + 4);
        if ((type != kPairPositioning && type != kExtension) || !m_budget.spend(1 + qint64(count)))
            return {};
        std::vector<qint64> subtables;
        std::unordered_set<qint64> seen;
        for (int i = 0; i < count; ++i) {
            qint64 subtable = lookup + m_t.u16(lookup + 6 + 2 * qint64(i));
            if (type == kExtension) {
                if (m_t.u16(subtable) != 1 || m_t.u16(subtable + 2) != kPairPositioning)
                    continue;
                subtable += m_t.u32(subtable + 4);
            }
            if (seen.insert(subtable).second)
                subtables.push_back(subtable);
        }
        return subtables;
    }

    // The wanted first glyphs a coverage table covers and that no earlier format-2 subtable of
    // the lookup decided, with their coverage indices. Only the wanted glyphs between the
    // table's first and last are looked up.
    std::vector<std::pair<quint32, qint64>> coveredFirsts(qint64 coverage)
    {
        const quint16 format = m_t.u16(coverage);
        const int count = m_t.u16(coverage + 2);
        if ((format != 1 && format != 2) || count == 0 || !m_budget.spend(2 * searchCost(qint64(m_glyphs.size()))))
            return {};
        const int size = format == 1 ? 2 : 6;
        const quint32 low = m_t.u16(coverage + 4);
        const quint32 high = m_t.u16(coverage + 4 + qint64(count - 1) * size + (format == 1 ? 0 : 2));
        const auto begin = std::lower_bound(m_glyphs.begin(), m_glyphs.end(), low);
        const auto end = std::upper_bound(begin, m_glyphs.end(), high);
        std::vector<std::pair<quint32, qint64>> covered;
        if (begin >= end || !m_budget.spend((end - begin) * searchCost(count)))
            return covered;
        for (auto glyph = begin; glyph != end; ++glyph) {
            const qint64 index = m_closedIn[*glyph] == m_lookup ? -1 : coverageIndex(m_t, coverage, *glyph);
            if (index >= 0)
                covered.emplace_back(*glyph, index);
        }
        return covered;
    }

    void add(quint32 first, quint32 second, int adjustment)
    {
        if (adjustment == 0 || !m_budget.spend(kPairCost))
            return;
        m_sums[pairKey(first, second)] += std::int64_t(adjustment) * m_times;
    }

    // Format 1: each covered first glyph's set of pairs, sorted by second glyph. A long set is
    // searched for the wanted glyphs instead of read whole.
    void readPairSets(qint64 subtable, const std::vector<std::pair<quint32, qint64>>& covered)
    {
        const quint16 format1 = m_t.u16(subtable + 4);
        const int recordSize = 2 + valueRecordSize(format1) + valueRecordSize(m_t.u16(subtable + 6));
        const int setCount = m_t.u16(subtable + 8);
        const qint64 wantedCount = qint64(m_glyphs.size());
        for (const auto& entry : covered) {
            const quint32 first = entry.first; // not a structured binding: the lambda below uses it
            const qint64 index = entry.second;
            if (index >= setCount)
                continue;
            const qint64 pairSet = subtable + m_t.u16(subtable + 10 + 2 * index);
            const int count = m_t.u16(pairSet);
            const qint64 records = pairSet + 2;
            const bool search = count > 4 * wantedCount;
            if (!m_budget.spend(search ? wantedCount * searchCost(count) : count))
                return;
            m_pairSetIn[first] = m_lookup;
            const auto decide = [&](qint64 i) {
                const qint64 record = records + i * recordSize;
                const quint32 second = m_t.u16(record);
                if (m_wanted[second] && m_decided.insert(pairKey(first, second)).second)
                    add(first, second, xAdvance(m_t, record + 2, format1));
            };
            if (!search) {
                for (int i = 0; i < count; ++i)
                    decide(i);
                continue;
            }
            for (const quint32 second : m_glyphs) {
                // The first record for the glyph, as reading the set in order would find it.
                const qint64 i = firstRecordNotBefore(m_t, records, count, recordSize, second);
                if (i < count && m_t.u16(records + i * recordSize) == second)
                    decide(i);
            }
        }
    }

    // Format 2: a covered first glyph's class row holds an adjustment for every class of second
    // glyphs. Only the classes of wanted glyphs are read, not every class the table claims.
    void readClassPairs(qint64 subtable, const std::vector<std::pair<quint32, qint64>>& covered)
    {
        for (const auto& entry : covered)
            m_closedIn[entry.first] = m_lookup; // later subtables of the lookup no longer apply to it
        const quint16 format1 = m_t.u16(subtable + 4);
        const int recordSize = valueRecordSize(format1) + valueRecordSize(m_t.u16(subtable + 6));
        const int class1Count = m_t.u16(subtable + 12);
        const int class2Count = m_t.u16(subtable + 14);
        const qint64 records = subtable + 16;
        const qint64 classDef1 = subtable + m_t.u16(subtable + 8);
        const qint64 classDef2 = subtable + m_t.u16(subtable + 10);
        if (!m_t.has(records, qint64(class1Count) * class2Count * recordSize) ||
            !m_budget.spend(qint64(m_glyphs.size()) * classCost(m_t, classDef2)))
            return;
        // The wanted glyphs by class, classes in ascending order.
        std::vector<std::pair<int, quint32>> byClass;
        for (const quint32 glyph : m_glyphs) {
            if (const int c = classOf(m_t, classDef2, glyph); c < class2Count)
                byClass.emplace_back(c, glyph);
        }
        std::sort(byClass.begin(), byClass.end());
        std::vector<std::size_t> classStarts; // where each class's glyphs begin in byClass
        for (std::size_t i = 0; i < byClass.size(); ++i) {
            if (i == 0 || byClass[i].first != byClass[i - 1].first)
                classStarts.push_back(i);
        }
        classStarts.push_back(byClass.size());

        for (const auto& entry : covered) {
            const quint32 first = entry.first;
            if (!m_budget.spend(classCost(m_t, classDef1) + qint64(classStarts.size())))
                return;
            const int class1 = classOf(m_t, classDef1, first);
            if (class1 >= class1Count)
                continue;
            const bool somePairsDecided = m_pairSetIn[first] == m_lookup;
            for (std::size_t k = 0; k + 1 < classStarts.size(); ++k) {
                const int class2 = byClass[classStarts[k]].first;
                const int adjustment =
                    xAdvance(m_t, records + (qint64(class1) * class2Count + class2) * recordSize, format1);
                if (adjustment == 0)
                    continue;
                if (!m_budget.spend(qint64(classStarts[k + 1] - classStarts[k])))
                    return;
                for (std::size_t i = classStarts[k]; i < classStarts[k + 1]; ++i) {
                    const quint32 second = byClass[i].second;
                    if (!somePairsDecided || !m_decided.contains(pairKey(first, second)))
                        add(first, second, adjustment);
                }
            }
        }
    }

    const Table& m_t;
    const std::vector<quint32>& m_glyphs; // sorted
    const std::vector<bool>& m_wanted;
    WorkBudget& m_budget;
    PairSums& m_sums;
    // The lookup in which a first glyph was decided by a format-2 subtable, and in which it met a
    // format-1 subtable's pairs, by the number of the lookup read.
    std::vector<quint32> m_closedIn;
    std::vector<quint32> m_pairSetIn;
    std::unordered_set<quint32> m_decided; // the pairs format-1 subtables decided in this lookup
    quint32 m_lookup = 0;
    int m_times = 1;
};

// The legacy table, in its Microsoft (version 0) and Apple (version 1.0) headers.
void readKernTable(const Table& t, const std::vector<bool>& wanted, WorkBudget& budget, PairSums& sums)
{
    const bool apple = t.u32(0) == 0x00010000;
    if (!apple && t.u16(0) != 0)
        return;
    const quint32 tableCount = apple ? t.u32(4) : t.u16(2);
    qint64 at = apple ? 8 : 4;
    for (quint32 i = 0; i < tableCount && t.has(at, 8) && budget.spend(1); ++i) {
        const quint16 coverage = t.u16(at + 4);
        const qint64 length = apple ? t.u32(at) : t.u16(at + 2);
        const int format = apple ? coverage & 0xFF : coverage >> 8;
        // Microsoft: bit 0 horizontal, bit 1 minimum values, bit 2 cross-stream, bit 3 override.
        // Apple: bit 15 vertical, bit 14 cross-stream, bit 13 variation.
        const bool plainKerning = apple ? (coverage & 0xE000) == 0 : (coverage & 0x7) == 0x1;
        const bool replaces = !apple && (coverage & 0x8) != 0;
        const qint64 body = at + (apple ? 8 : 6);
        // Only the pairs inside the table: a count beyond its end would read zeros.
        const qint64 pairCount = std::clamp<qint64>((t.size() - body - 8) / 6, 0, t.u16(body));
        // A format-0 subtable's length field overflows for large ones; the pair count does not.
        at = format == 0 ? body + 8 + 6 * qint64(t.u16(body)) : at + std::max<qint64>(length, 8);
        if (format != 0 || !plainKerning || !budget.spend(pairCount))
            continue;
        for (qint64 p = 0; p < pairCount; ++p) {
            const qint64 pair = body + 8 + 6 * p;
            const quint32 first = t.u16(pair);
            const quint32 second = t.u16(pair + 2);
            if (!wanted[first] || !wanted[second])
                continue;
            const auto [sum, added] = sums.try_emplace(pairKey(first, second), 0);
            if (added && !budget.spend(kPairCost)) {
                sums.erase(sum);
                return;
            }
            sum->second = replaces ? t.s16(pair + 4) : sum->second + t.s16(pair + 4);
        }
    }
}

} // namespace

FoundKerning readKerning(const QByteArray& gpos, const QByteArray& kern, const std::vector<quint32>& glyphs,
                         std::int64_t workLimit)
{
    std::vector<quint32> unique;
    std::vector<bool> wanted(kGlyphIdCount, false);
    for (const quint32 glyph : glyphs) {
        if (glyph < quint32(kGlyphIdCount) && !wanted[glyph]) {
            wanted[glyph] = true;
            unique.push_back(glyph);
        }
    }
    std::sort(unique.begin(), unique.end());
    WorkBudget budget(workLimit);
    PairSums sums;
    const Table gposTable(gpos);
    const std::vector<ListedLookup> lookups = kernLookups(gposTable, budget);
    if (!lookups.empty()) {
        GposReader reader(gposTable, unique, wanted, budget, sums);
        for (const ListedLookup& lookup : lookups) {
            if (budget.exhausted())
                break;
            reader.readLookup(lookup);
        }
    } else {
        readKernTable(Table(kern), wanted, budget, sums);
    }

    FoundKerning found;
    for (const auto& [key, adjustment] : sums) {
        if (adjustment != 0)
            found.pairs.push_back({key >> 16, key & 0xFFFF, adjustment});
    }
    std::sort(found.pairs.begin(), found.pairs.end(), [](const GlyphKerning& a, const GlyphKerning& b) {
        return pairKey(a.first, a.second) < pairKey(b.first, b.second);
    });
    found.complete = !budget.exhausted();
    found.work = budget.spent();
    return found;
}

} // namespace glyfrax
