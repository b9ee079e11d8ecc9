#include "settings/SettingLimits.h"

#include "settings/Conversions.h"

namespace glyfrax {

QString fontSizeRangeText()
{
    return QStringLiteral("0 bis %1").arg(double(kMaxFontSize));
}

QString gapRangeText()
{
    return QStringLiteral("0 bis %1").arg(kMaxGap);
}

Result<float> fontSizeFromText(const QString& text)
{
    const Result<float> size = toSingle(text);
    if (size && (*size < 0.0F || *size > kMaxFontSize))
        return failure(QStringLiteral("außerhalb von %1 Punkt").arg(fontSizeRangeText()));
    return size;
}

Result<std::int32_t> gapFromText(const QString& text)
{
    const Result<std::int32_t> gap = toInt32(text);
    if (gap && (*gap < 0 || *gap > kMaxGap))
        return failure(QStringLiteral("außerhalb von %1").arg(gapRangeText()));
    return gap;
}

} // namespace glyfrax
