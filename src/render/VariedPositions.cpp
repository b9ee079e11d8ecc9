#include "render/VariedPositions.h"

#include "render/FontTables.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

namespace glyfrax {

namespace {

constexpr quint16 kXAdvance = 0x04;
constexpr quint16 kXAdvanceDevice = 0x40;
constexpr quint16 kVariationIndex = 0x8000; // a device table's deltaFormat that names a variation

// The deltas of GDEF's item variation store at one set of coordinates.
class VariationStore
{
public:
    // The regions' scalars are worked out once; a store whose regions do not fit GDEF, or name
    // other axes than the font has, varies nothing.
    VariationStore(const QByteArray& gdef, const std::vector<double>& normalized) : m_t(gdef)
    {
        // GDEF 1.3 names the store at offset 14.
        if (m_t.u16(0) != 1 || m_t.u16(2) < 3 || m_t.u32(14) == 0 || m_t.u16(m_t.u32(14)) != 1)
            return;
        m_store = m_t.u32(14);
        const qint64 list = m_store + m_t.u32(m_store + 2);
        const int axes = m_t.u16(list);
        const int regions = m_t.u16(list + 2);
        if (std::size_t(axes) != normalized.size() || !m_t.has(list + 4, qint64(regions) * axes * 6))
            return;
        for (int region = 0; region < regions; ++region) {
            double scalar = 1.0;
            for (int a = 0; a < axes && scalar != 0.0; ++a) {
                const qint64 at = list + 4 + (qint64(region) * axes + a) * 6;
                scalar *= axisScalar(m_t.s16(at) / 16384.0, m_t.s16(at + 2) / 16384.0, m_t.s16(at + 4) / 16384.0,
                                     normalized[std::size_t(a)]);
            }
            m_scalars.push_back(scalar);
        }
    }

    // The delta of item inner of the outer-th data subtable (0 for one the store does not have),
    // each read once; work grows by the regions read.
    double delta(quint16 outer, quint16 inner, qint64& work)
    {
        const auto [cached, added] = m_deltas.try_emplace(quint32(outer) << 16 | inner, 0.0);
        if (!added || m_scalars.empty() || outer >= m_t.u16(m_store + 6))
            return cached->second;
        const qint64 data = m_store + m_t.u32(m_store + 8 + 4 * qint64(outer));
        const int items = m_t.u16(data);
        const quint16 wordField = m_t.u16(data + 2);
        const int regionCount = m_t.u16(data + 4);
        const bool longWords = (wordField & 0x8000) != 0;
        const int words = std::min<int>(wordField & 0x7FFF, regionCount);
        const int wordSize = longWords ? 4 : 2;
        const int shortSize = longWords ? 2 : 1;
        const qint64 rowSize = qint64(words) * wordSize + qint64(regionCount - words) * shortSize;
        const qint64 row = data + 6 + 2 * qint64(regionCount) + inner * rowSize;
        if (inner >= items || !m_t.has(row, rowSize))
            return 0.0;
        work += regionCount;
        double sum = 0.0;
        for (int r = 0; r < regionCount; ++r) {
            const qint64 at =
                r < words ? row + qint64(r) * wordSize : row + qint64(words) * wordSize + qint64(r - words) * shortSize;
            const qint64 value = r < words ? (longWords ? qint32(m_t.u32(at)) : m_t.s16(at))
                                           : (longWords ? m_t.s16(at) : qint8(m_t.u8(at)));
            const std::size_t region = m_t.u16(data + 6 + 2 * qint64(r));
            if (region < m_scalars.size())
                sum += double(value) * m_scalars[region];
        }
        cached->second = sum;
        return sum;
    }

private:
    // How much a region applies along one axis at coordinate v, by the rules of OpenType's
    // variations: a peak of 0, or a range that is no range, leaves the axis out.
    static double axisScalar(double start, double peak, double end, double v)
    {
        if (peak == 0.0 || start > peak || peak > end || (start < 0.0 && end > 0.0) || v == peak)
            return 1.0;
        if (v <= start || v >= end)
            return 0.0;
        return v < peak ? (v - start) / (peak - start) : (end - v) / (end - peak);
    }

    FontTableReader m_t;
    qint64 m_store = 0;
    std::vector<double> m_scalars;                // by region; empty: nothing varies
    std::unordered_map<quint32, double> m_deltas; // by outer << 16 | inner
};

class PairVariation
{
public:
    PairVariation(QByteArray& gpos, VariationStore& store, qint64 workLimit)
        : m_gpos(gpos), m_t(gpos), m_store(store), m_workLimit(workLimit),
          m_subtableSeen(std::size_t(gpos.size()), false), m_varied(std::size_t(gpos.size()), false)
    {
    }

    void run()
    {
        constexpr quint16 kPairPositioning = 2;
        constexpr quint16 kExtension = 9;
        if (m_t.u16(0) != 1)
            return;
        const qint64 lookups = m_t.u16(8);
        for (int l = 0, count = m_t.u16(lookups); l < count; ++l) {
            const qint64 lookup = lookups + m_t.u16(lookups + 2 + 2 * qint64(l));
            const quint16 type = m_t.u16(lookup);
            if (type != kPairPositioning && type != kExtension)
                continue;
            for (int s = 0, subtables = m_t.u16(lookup + 4); s < subtables; ++s) {
                if (++m_work > m_workLimit)
                    return;
                qint64 subtable = lookup + m_t.u16(lookup + 6 + 2 * qint64(s));
                if (type == kExtension && (m_t.u16(subtable) != 1 || m_t.u16(subtable + 2) != kPairPositioning))
                    continue;
                if (type == kExtension)
                    subtable += m_t.u32(subtable + 4);
                if (m_t.has(subtable, 2) && !m_subtableSeen[std::size_t(subtable)]) {
                    m_subtableSeen[std::size_t(subtable)] = true;
                    varySubtable(subtable);
                }
            }
        }
    }

private:
    void varySubtable(qint64 subtable)
    {
        const quint16 format1 = m_t.u16(subtable + 4);
        if ((format1 & (kXAdvance | kXAdvanceDevice)) != (kXAdvance | kXAdvanceDevice))
            return;
        const int size1 = 2 * std::popcount(unsigned(format1 & 0xFF));
        const int size2 = 2 * std::popcount(unsigned(m_t.u16(subtable + 6) & 0xFF));
        if (m_t.u16(subtable) == 1) {
            for (int p = 0, sets = m_t.u16(subtable + 8); p < sets; ++p) {
                const qint64 pairSet = subtable + m_t.u16(subtable + 10 + 2 * qint64(p));
                for (int i = 0, pairs = m_t.u16(pairSet); i < pairs; ++i) {
                    if (!varyRecord(pairSet, pairSet + 2 + qint64(i) * (2 + size1 + size2) + 2, format1))
                        return;
                }
            }
        } else if (m_t.u16(subtable) == 2) {
            const qint64 records = qint64(m_t.u16(subtable + 12)) * m_t.u16(subtable + 14);
            for (qint64 i = 0; i < records; ++i) {
                if (!varyRecord(subtable, subtable + 16 + i * (size1 + size2), format1))
                    return;
            }
        }
    }

    // Adds the delta to one value record's advance, once for each place; false once the limit is
    // reached. Its device offsets count from base: the pair set in format 1, the subtable in format 2.
    bool varyRecord(qint64 base, qint64 record, quint16 format)
    {
        if (++m_work > m_workLimit || !m_t.has(record, 2 * std::popcount(unsigned(format & 0xFF))))
            return false;
        const qint64 advance = record + 2 * std::popcount(unsigned(format & (kXAdvance - 1)));
        const qint64 device = base + m_t.u16(record + 2 * std::popcount(unsigned(format & (kXAdvanceDevice - 1))));
        if (device == base || m_t.u16(device + 4) != kVariationIndex || m_varied[std::size_t(advance)])
            return true;
        m_varied[std::size_t(advance)] = true;
        const double varied = m_t.s16(advance) + m_store.delta(m_t.u16(device), m_t.u16(device + 2), m_work);
        if (m_work > m_workLimit)
            return false;
        qToBigEndian<qint16>(qint16(std::clamp(std::lround(varied), -32768L, 32767L)), m_gpos.data() + advance);
        return true;
    }

    QByteArray& m_gpos;
    FontTableReader m_t;
    VariationStore& m_store;
    qint64 m_workLimit;
    std::vector<bool> m_subtableSeen; // by offset
    std::vector<bool> m_varied;       // the advances varied, by offset
    qint64 m_work = 0;
};

} // namespace

QByteArray variedPairAdvances(QByteArray gpos, const QByteArray& gdef, const std::vector<double>& normalized,
                              qint64 workLimit)
{
    VariationStore store(gdef, normalized);
    PairVariation(gpos, store, workLimit).run();
    return gpos;
}

} // namespace glyfrax
