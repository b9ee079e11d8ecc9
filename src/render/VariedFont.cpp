#include "render/VariedFont.h"

#include "render/FontTables.h"
#include "render/VariedPositions.h"

#include <QtEndian>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MULTIPLE_MASTERS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <limits>
#include <memory>

namespace glyfrax {

namespace {

// Tables that describe the variations, or hold what only the defaults had: hints and metrics
// per pixel size.
constexpr const char* kDroppedTables[] = {"fvar", "gvar", "avar", "cvar", "HVAR", "VVAR", "MVAR", "STAT",
                                          "hdmx", "LTSH", "VDMX", "fpgm", "prep", "cvt ", "DSIG"};

struct FreeTypeLibrary
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~FreeTypeLibrary()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

void append16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value >> 8)).append(char(value & 0xFF));
}

void put16(QByteArray& table, qsizetype at, qint64 value)
{
    if (at + 2 <= table.size())
        qToBigEndian<quint16>(quint16(value), table.data() + at);
}

bool fits16(qint64 value)
{
    return value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max();
}

// A glyph of the glyf table: a simple glyph of the outline (composites come flattened), its box.
struct Glyph
{
    QByteArray bytes; // empty: no outline
    qint64 xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    qint64 advance = 0;
    qint64 points = 0, contours = 0;
};

Result<Glyph> glyphOf(const FT_GlyphSlot slot)
{
    const FT_Outline& outline = slot->outline;
    Glyph glyph;
    glyph.advance = slot->metrics.horiAdvance;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || outline.n_contours <= 0 || outline.n_points <= 0)
        return glyph;
    glyph.points = outline.n_points;
    glyph.contours = outline.n_contours;
    glyph.xMin = glyph.xMax = outline.points[0].x;
    glyph.yMin = glyph.yMax = outline.points[0].y;
    QByteArray flags, xs, ys;
    FT_Pos x = 0, y = 0;
    for (int i = 0; i < outline.n_points; ++i) {
        const FT_Vector point = outline.points[i];
        if (FT_CURVE_TAG(outline.tags[i]) == FT_CURVE_TAG_CUBIC || !fits16(point.x) || !fits16(point.y) ||
            !fits16(point.x - x) || !fits16(point.y - y))
            return failure(QStringLiteral("Ein Umriss der Schrift passt nicht in eine TrueType-Glyphe"));
        flags.append(char(FT_CURVE_TAG(outline.tags[i]) == FT_CURVE_TAG_ON ? 1 : 0));
        append16(xs, quint16(point.x - x));
        append16(ys, quint16(point.y - y));
        x = point.x;
        y = point.y;
        glyph.xMin = std::min<qint64>(glyph.xMin, x);
        glyph.xMax = std::max<qint64>(glyph.xMax, x);
        glyph.yMin = std::min<qint64>(glyph.yMin, y);
        glyph.yMax = std::max<qint64>(glyph.yMax, y);
    }
    for (const qint64 value : {qint64(outline.n_contours), glyph.xMin, glyph.yMin, glyph.xMax, glyph.yMax})
        append16(glyph.bytes, quint16(value));
    for (int c = 0; c < outline.n_contours; ++c)
        append16(glyph.bytes, quint16(outline.contours[c]));
    append16(glyph.bytes, 0); // no instructions
    glyph.bytes += flags + xs + ys;
    glyph.bytes.append(glyph.bytes.size() % 2, '\0');
    return glyph;
}

// The glyf, loca and hmtx tables of the face at its coordinates, and what the headers say of them.
struct VariedGlyphs
{
    QByteArray glyf, loca, hmtx;
    Glyph box; // of every outline
    qint64 advanceMax = 0;
    qint64 minRight = std::numeric_limits<qint16>::max();
    qint64 maxPoints = 0;
    qint64 maxContours = 0;
};

Result<VariedGlyphs> variedGlyphs(FT_Face face)
{
    VariedGlyphs varied;
    bool first = true;
    const auto addOffset = [&varied] {
        qToBigEndian<quint32>(quint32(varied.glyf.size()), varied.loca.append(4, '\0').data() + varied.loca.size() - 4);
    };
    for (FT_Long index = 0; index < face->num_glyphs; ++index) {
        if (FT_Load_Glyph(face, FT_UInt(index), FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0)
            return failure(QStringLiteral("Die Glyphe %1 der Schrift ist beschädigt").arg(index));
        const Result<Glyph> glyph = glyphOf(face->glyph);
        if (!glyph)
            return failure(glyph.error());
        if (!fits16(glyph->advance) || glyph->advance < 0)
            return failure(QStringLiteral("Die Glyphe %1 der Schrift ist zu breit").arg(index));
        addOffset();
        varied.glyf += glyph->bytes;
        append16(varied.hmtx, quint16(glyph->advance));
        append16(varied.hmtx, quint16(glyph->xMin));
        varied.advanceMax = std::max(varied.advanceMax, glyph->advance);
        varied.maxPoints = std::max(varied.maxPoints, glyph->points);
        varied.maxContours = std::max(varied.maxContours, glyph->contours);
        if (glyph->bytes.isEmpty())
            continue;
        Glyph& box = varied.box;
        varied.minRight = std::min(varied.minRight, glyph->advance - glyph->xMax);
        box.xMin = first ? glyph->xMin : std::min(box.xMin, glyph->xMin);
        box.yMin = first ? glyph->yMin : std::min(box.yMin, glyph->yMin);
        box.xMax = first ? glyph->xMax : std::max(box.xMax, glyph->xMax);
        box.yMax = first ? glyph->yMax : std::max(box.yMax, glyph->yMax);
        first = false;
    }
    addOffset();
    return varied;
}

// The coordinates FreeType works with, from -1 to 1 on each axis (avar applied).
std::vector<double> normalizedCoordinates(FT_Face face, std::size_t axes)
{
    std::vector<FT_Fixed> blend(axes);
    std::vector<double> normalized;
    if (FT_Get_Var_Blend_Coordinates(face, FT_UInt(blend.size()), blend.data()) == 0) {
        for (const FT_Fixed value : blend)
            normalized.push_back(double(value) / 65536.0);
    }
    return normalized;
}

} // namespace

Result<QByteArray> fontAtCoordinates(const QByteArray& font, const std::vector<double>& coordinates)
{
    std::vector<FontTable> tables = fontTables(font);
    if (std::none_of(tables.begin(), tables.end(), [](const FontTable& table) { return table.tag == "glyf"; }))
        return failure(QStringLiteral("Die variable Schrift hat keine TrueType-Umrisse (etwa CFF2); Glyfrax zeichnet "
                                      "sie nur an ihren Vorgabewerten"));
    FreeTypeLibrary ft;
    if (FT_Init_FreeType(&ft.library) != 0 ||
        FT_New_Memory_Face(ft.library, reinterpret_cast<const FT_Byte*>(font.constData()), FT_Long(font.size()), 0,
                           &ft.face) != 0)
        return failure(QStringLiteral("Die Schrift ist beschädigt"));
    std::vector<FT_Fixed> fixed;
    for (const double value : coordinates)
        fixed.push_back(FT_Fixed(std::lround(value * 65536.0)));
    if (!FT_HAS_MULTIPLE_MASTERS(ft.face) ||
        FT_Set_Var_Design_Coordinates(ft.face, FT_UInt(fixed.size()), fixed.data()) != 0)
        return failure(QStringLiteral("Die Schrift lässt sich nicht an diesen Werten ihrer Achsen zeichnen"));
    const Result<VariedGlyphs> varied = variedGlyphs(ft.face);
    if (!varied)
        return failure(varied.error());
    const Glyph& box = varied->box;
    const std::vector<double> normalized = normalizedCoordinates(ft.face, fixed.size());
    const QByteArray gdef = fontTable(font, "GDEF");

    const auto* horizontal = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_HHEA));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_OS2));
    std::erase_if(tables, [](const FontTable& table) {
        return std::any_of(std::begin(kDroppedTables), std::end(kDroppedTables),
                           [&table](const char* tag) { return table.tag == tag; });
    });
    for (FontTable& table : tables) {
        QByteArray& t = table.bytes;
        if (table.tag == "GPOS") {
            t = variedPairAdvances(t, gdef, normalized);
        } else if (table.tag == "glyf") {
            t = varied->glyf;
        } else if (table.tag == "loca") {
            t = varied->loca;
        } else if (table.tag == "hmtx") {
            t = varied->hmtx;
        } else if (table.tag == "head") {
            // No checksum adjustment (nothing reads it), the new box, long loca offsets.
            for (const auto& [at, value] : {std::pair{8, qint64(0)},
                                            {10, qint64(0)},
                                            {36, box.xMin},
                                            {38, box.yMin},
                                            {40, box.xMax},
                                            {42, box.yMax},
                                            {50, qint64(1)}})
                put16(t, at, value);
        } else if (table.tag == "hhea" && horizontal) {
            for (const auto& [at, value] : {std::pair{4, qint64(horizontal->Ascender)},
                                            {6, qint64(horizontal->Descender)},
                                            {8, qint64(horizontal->Line_Gap)},
                                            {10, varied->advanceMax},
                                            {12, box.xMin},
                                            {14, varied->minRight},
                                            {16, box.xMax},
                                            {34, qint64(ft.face->num_glyphs)}})
                put16(t, at, value);
        } else if (table.tag == "maxp") {
            for (const auto& [at, value] : {std::pair{6, varied->maxPoints},
                                            {8, varied->maxContours},
                                            {10, qint64(0)},
                                            {12, qint64(0)},
                                            {26, qint64(0)},
                                            {30, qint64(0)}})
                put16(t, at, value);
        } else if (table.tag == "OS/2" && os2) {
            for (const auto& [at, value] : {std::pair{68, qint64(os2->sTypoAscender)},
                                            {70, qint64(os2->sTypoDescender)},
                                            {72, qint64(os2->sTypoLineGap)},
                                            {74, qint64(os2->usWinAscent)},
                                            {76, qint64(os2->usWinDescent)},
                                            {86, qint64(os2->sxHeight)},
                                            {88, qint64(os2->sCapHeight)}})
                put16(t, at, value);
        }
    }
    return fontFileOf(std::move(tables));
}

} // namespace glyfrax
