// glyfrax-export's command line as arbitrary argument strings (separated by NUL bytes): the
// parser never crashes, a refusal says why, and what it accepts lies within the settings' limits.
#include "FuzzInput.h"
#include "cli/CommandLine.h"
#include "settings/SettingLimits.h"

using namespace glyfrax;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments{QStringLiteral("glyfrax-export")};
    while (!input.isEmpty())
        arguments.append(QString::fromUtf8(fuzz::take(input)));
    const Result<CommandLine> parsed = parseCommandLine(arguments);
    if (!parsed) {
        FUZZ_REQUIRE(!parsed.error().isEmpty());
        return 0;
    }
    if (parsed->action != CommandLine::Action::Export)
        return 0;
    const SettingOverrides& o = parsed->overrides;
    FUZZ_REQUIRE(arguments.contains(parsed->bitmapPath));
    FUZZ_REQUIRE(!o.face || (parsed->fontFile.isEmpty() && !o.face->isEmpty()));
    FUZZ_REQUIRE(!o.size || (*o.size >= 0.0F && *o.size <= kMaxFontSize));
    for (const std::optional<std::int32_t>& gap : {o.xDist, o.yDist})
        FUZZ_REQUIRE(!gap || (*gap >= 0 && *gap <= kMaxGap));
    return 0;
}
