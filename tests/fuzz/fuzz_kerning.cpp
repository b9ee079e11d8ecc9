// The kerning reader with arbitrary GPOS or 'kern' bytes and wanted glyphs: no read outside the
// tables, the work stays within its limit (a unit that is slow all the same did work the limit
// does not count, which libFuzzer's -timeout reports), and the pairs are sorted, distinct, not
// zero and between wanted glyphs only.
#include "FuzzInput.h"
#include "export/bmfont/Kerning.h"

#include <QtEndian>

#include <algorithm>

using namespace glyfrax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A byte: how many glyphs, the lowest bit choosing the table; the glyphs as 16-bit numbers;
    // then the table.
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const int head = input.isEmpty() ? 0 : std::uint8_t(input[0]);
    const qsizetype glyphCount = std::min<qsizetype>(head >> 1, (input.size() - 1) / 2);
    std::vector<quint32> glyphs;
    for (qsizetype i = 0; i < glyphCount; ++i)
        glyphs.push_back(qFromBigEndian<quint16>(input.constData() + 1 + 2 * i));
    const QByteArray table = input.mid(1 + 2 * glyphCount);
    constexpr std::int64_t kLimit = 1 << 20;
    const FoundKerning found =
        readKerning((head & 1) != 0 ? table : QByteArray(), (head & 1) != 0 ? QByteArray() : table, glyphs, kLimit);
    FUZZ_REQUIRE(found.work >= 0 && found.work <= kLimit);
    const auto wanted = [&](quint32 glyph) { return std::count(glyphs.begin(), glyphs.end(), glyph) > 0; };
    for (const GlyphKerning& pair : found.pairs)
        FUZZ_REQUIRE(pair.adjustment != 0 && wanted(pair.first) && wanted(pair.second));
    const auto notBefore = [](const GlyphKerning& a, const GlyphKerning& b) {
        return std::pair(a.first, a.second) >= std::pair(b.first, b.second);
    };
    FUZZ_REQUIRE(std::adjacent_find(found.pairs.begin(), found.pairs.end(), notBefore) == found.pairs.end());
    return 0;
}
