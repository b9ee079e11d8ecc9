#include "export/Kerning.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace glyfrax {

namespace {

// Big-endian reads that give 0 outside the table, so a damaged font ends a loop instead of a read.
class Table
{
public:
    explicit Table(const QByteArray& bytes) : m_bytes(bytes) {}

    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    quint16 u16(qint64 at) const { return has(at, 2) ? qFromBigEndian<quint16>(m_bytes.constData() + at) : 0; }
    qint16 s16(qint64 at) const { return qint16(u16(at)); }
    quint32 u32(qint64 at) const { return has(at, 4) ? qFromBigEndian<quint32>(m_bytes.constData() + at) : 0; }

private:
    const QByteArray& m_bytes;
};

constexpr quint32 kKernTag = 0x6B65726E; // 'kern'
constexpr int kGlyphIdCount = 1 << 16;   // glyph ids in these tables are 16 bits wide

// Sums of adjustments by pair, the key being first << 16 | second.
using PairSums = std::unordered_map<quint32, int>;

quint32 pairKey(quint32 first, quint32 second)
{
    return first << 16 | second;
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

int valueRecordSize(quint16 format)
{
    return 2 * std::popcount(unsigned(format & 0xFF));
}

// The horizontal advance change of a value record; the fields before it are X and Y placement.
int xAdvance(const Table& t, qint64 record, quint16 format)
{
    return (format & 0x4) != 0 ? t.s16(record + 2 * std::popcount(unsigned(format & 0x3))) : 0;
}

// The lookups of every 'kern' feature, each once, in lookup order as a shaper applies them.
std::vector<qint64> kernLookups(const Table& t)
{
    if (t.u16(0) != 1)
        return {};
    const qint64 features = t.u16(6);
    const qint64 lookups = t.u16(8);
    std::vector<int> indices;
    for (int i = 0, count = t.u16(features); i < count; ++i) {
        const qint64 record = features + 2 + 6 * qint64(i);
        if (t.u32(record) != kKernTag)
            continue;
        const qint64 feature = features + t.u16(record + 4);
        for (int j = 0, n = t.u16(feature + 2); j < n; ++j)
            indices.push_back(t.u16(feature + 4 + 2 * qint64(j)));
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    std::vector<qint64> offsets;
    for (const int index : indices) {
        if (index < t.u16(lookups))
            offsets.push_back(lookups + t.u16(lookups + 2 + 2 * qint64(index)));
    }
    return offsets;
}

// The pair-positioning subtables of a lookup, those behind extension subtables included.
std::vector<qint64> pairSubtables(const Table& t, qint64 lookup)
{
    constexpr quint16 kPairPositioning = 2;
    constexpr quint16 kExtension = 9;
    const quint16 type = t.u16(lookup);
    std::vector<qint64> subtables;
    for (int i = 0, count = t.u16(lookup + 4); i < count; ++i) {
        qint64 subtable = lookup + t.u16(lookup + 6 + 2 * qint64(i));
        if (type == kExtension && t.u16(subtable) == 1 && t.u16(subtable + 2) == kPairPositioning)
            subtable += t.u32(subtable + 4);
        else if (type != kPairPositioning)
            continue;
        subtables.push_back(subtable);
    }
    return subtables;
}

class GposReader
{
public:
    GposReader(const Table& t, const std::vector<quint32>& glyphs, const std::vector<bool>& wanted)
        : m_t(t), m_glyphs(glyphs), m_wanted(wanted), m_decidedFor(kGlyphIdCount, 0)
    {
    }

    // Within one lookup the first subtable that applies to a pair decides it: a format-1
    // subtable applies to the pairs it lists, a format-2 subtable to every pair whose first
    // glyph it covers. Adjustments of different lookups add up.
    void readLookup(qint64 lookup, PairSums& sums)
    {
        const std::vector<qint64> subtables = pairSubtables(m_t, lookup);
        std::vector<std::vector<std::vector<quint32>>> secondsByClass(subtables.size());
        for (const quint32 first : m_glyphs) {
            ++m_stamp; // a new first glyph: no second glyph decided yet
            for (std::size_t s = 0; s < subtables.size(); ++s) {
                const qint64 subtable = subtables[s];
                const qint64 covered = coverageIndex(m_t, subtable + m_t.u16(subtable + 2), first);
                if (covered < 0)
                    continue;
                if (m_t.u16(subtable) == 1) {
                    readPairSet(subtable, covered, first, sums);
                } else if (m_t.u16(subtable) == 2) {
                    readClassPairs(subtable, secondsByClass[s], first, sums);
                    break;
                }
            }
        }
    }

private:
    void add(PairSums& sums, quint32 first, quint32 second, int adjustment)
    {
        m_decidedFor[second] = m_stamp;
        if (adjustment != 0)
            sums[pairKey(first, second)] += adjustment;
    }

    bool open(quint32 second) const { return m_wanted[second] && m_decidedFor[second] != m_stamp; }

    void readPairSet(qint64 subtable, qint64 covered, quint32 first, PairSums& sums)
    {
        const quint16 format1 = m_t.u16(subtable + 4);
        const int recordSize = 2 + valueRecordSize(format1) + valueRecordSize(m_t.u16(subtable + 6));
        if (covered >= m_t.u16(subtable + 8))
            return;
        const qint64 pairSet = subtable + m_t.u16(subtable + 10 + 2 * covered);
        for (int i = 0, count = m_t.u16(pairSet); i < count; ++i) {
            const qint64 record = pairSet + 2 + qint64(i) * recordSize;
            const quint32 second = m_t.u16(record);
            if (open(second))
                add(sums, first, second, xAdvance(m_t, record + 2, format1));
        }
    }

    void readClassPairs(qint64 subtable, std::vector<std::vector<quint32>>& secondsByClass, quint32 first,
                        PairSums& sums)
    {
        const quint16 format1 = m_t.u16(subtable + 4);
        const int recordSize = valueRecordSize(format1) + valueRecordSize(m_t.u16(subtable + 6));
        const int class1Count = m_t.u16(subtable + 12);
        const int class2Count = m_t.u16(subtable + 14);
        const qint64 records = subtable + 16;
        if (!m_t.has(records, qint64(class1Count) * class2Count * recordSize))
            return;
        if (secondsByClass.empty()) {
            // Once per subtable: the wanted glyphs by their second-glyph class, so each first glyph
            // visits only the classes with an adjustment.
            secondsByClass.resize(std::size_t(class2Count));
            const qint64 classDef2 = subtable + m_t.u16(subtable + 10);
            for (const quint32 glyph : m_glyphs) {
                const int c = classOf(m_t, classDef2, glyph);
                if (c < class2Count)
                    secondsByClass[std::size_t(c)].push_back(glyph);
            }
        }
        const int class1 = classOf(m_t, subtable + m_t.u16(subtable + 8), first);
        if (class1 >= class1Count)
            return;
        for (int class2 = 0; class2 < class2Count; ++class2) {
            const int adjustment =
                xAdvance(m_t, records + (qint64(class1) * class2Count + class2) * recordSize, format1);
            for (const quint32 second : secondsByClass[std::size_t(class2)]) {
                if (open(second))
                    add(sums, first, second, adjustment);
            }
        }
    }

    const Table& m_t;
    const std::vector<quint32>& m_glyphs;
    const std::vector<bool>& m_wanted;
    std::vector<quint32> m_decidedFor; // the stamp of the first glyph a second glyph was decided for
    quint32 m_stamp = 0;
};

// The legacy table, in its Microsoft (version 0) and Apple (version 1.0) headers.
void readKernTable(const Table& t, const std::vector<bool>& wanted, PairSums& sums)
{
    const bool apple = t.u32(0) == 0x00010000;
    if (!apple && t.u16(0) != 0)
        return;
    const quint32 tableCount = apple ? t.u32(4) : t.u16(2);
    qint64 at = apple ? 8 : 4;
    for (quint32 i = 0; i < tableCount && t.has(at, 8); ++i) {
        const quint16 coverage = t.u16(at + 4);
        const qint64 length = apple ? t.u32(at) : t.u16(at + 2);
        const int format = apple ? coverage & 0xFF : coverage >> 8;
        // Microsoft: bit 0 horizontal, bit 1 minimum values, bit 2 cross-stream, bit 3 override.
        // Apple: bit 15 vertical, bit 14 cross-stream, bit 13 variation.
        const bool plainKerning = apple ? (coverage & 0xE000) == 0 : (coverage & 0x7) == 0x1;
        const bool replaces = !apple && (coverage & 0x8) != 0;
        const qint64 body = at + (apple ? 8 : 6);
        const int pairCount = t.u16(body);
        // A format-0 subtable's length field overflows for large ones; the pair count does not.
        at = format == 0 ? body + 8 + 6 * qint64(pairCount) : at + std::max<qint64>(length, 8);
        if (format != 0 || !plainKerning)
            continue;
        for (int p = 0; p < pairCount; ++p) {
            const qint64 pair = body + 8 + 6 * qint64(p);
            const quint32 first = t.u16(pair);
            const quint32 second = t.u16(pair + 2);
            if (!wanted[first] || !wanted[second])
                continue;
            int& sum = sums[pairKey(first, second)];
            sum = replaces ? t.s16(pair + 4) : sum + t.s16(pair + 4);
        }
    }
}

} // namespace

std::vector<GlyphKerning> readKerning(const QByteArray& gpos, const QByteArray& kern,
                                      const std::vector<quint32>& glyphs)
{
    std::vector<quint32> unique;
    std::vector<bool> wanted(kGlyphIdCount, false);
    for (const quint32 glyph : glyphs) {
        if (glyph < quint32(kGlyphIdCount) && !wanted[glyph]) {
            wanted[glyph] = true;
            unique.push_back(glyph);
        }
    }
    PairSums sums;
    const Table gposTable(gpos);
    const std::vector<qint64> lookups = kernLookups(gposTable);
    if (!lookups.empty()) {
        GposReader reader(gposTable, unique, wanted);
        for (const qint64 lookup : lookups)
            reader.readLookup(lookup, sums);
    } else {
        readKernTable(Table(kern), wanted, sums);
    }

    std::vector<GlyphKerning> pairs;
    for (const auto& [key, adjustment] : sums) {
        if (adjustment != 0)
            pairs.push_back({key >> 16, key & 0xFFFF, adjustment});
    }
    std::sort(pairs.begin(), pairs.end(), [](const GlyphKerning& a, const GlyphKerning& b) {
        return pairKey(a.first, a.second) < pairKey(b.first, b.second);
    });
    return pairs;
}

} // namespace glyfrax
