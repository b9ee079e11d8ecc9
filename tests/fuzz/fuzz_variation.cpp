// A variable font's tables from arbitrary bytes: the first byte chooses. 0: the rest is a font
// file, whose axes and instances are read and a variation chosen over them; otherwise the rest is
// a GPOS table's length (16 bits) and bytes, then a GDEF table, whose pair advances are varied. No
// read outside the bytes, instances with a value for each axis within its range, and the varied
// table as long as the table was.
#include "FuzzInput.h"
#include "render/FontAxes.h"
#include "render/VariedPositions.h"

#include <QtEndian>

using namespace glyfrax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (input.size() < 3)
        return 0;
    if (input[0] == 0) {
        const FontAxes font = readFontAxes(input.mid(1));
        for (const FontInstance& instance : font.instances) {
            FUZZ_REQUIRE(instance.coordinates.size() == font.axes.size());
            for (std::size_t a = 0; a < font.axes.size(); ++a)
                FUZZ_REQUIRE(instance.coordinates[a] >= font.axes[a].minimum &&
                             instance.coordinates[a] <= font.axes[a].maximum);
        }
        const FontVariation variation{font.instances.empty() ? QString() : font.instances.back().name,
                                      {{QStringLiteral("wght"), 700.0}}};
        static_cast<void>(variationCoordinates(font, variation));
        return 0;
    }
    const qsizetype length = qFromBigEndian<quint16>(input.constData() + 1);
    const QByteArray gpos = input.mid(3, length);
    const QByteArray gdef = input.mid(3 + length);
    for (const double weight : {-0.25, 1.0})
        FUZZ_REQUIRE(variedPairAdvances(gpos, gdef, {weight, -weight}, 1 << 16).size() == gpos.size());
    return 0;
}
