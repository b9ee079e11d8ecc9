#include "settings/ColorValue.h"

#include "settings/Conversions.h"

#include <algorithm>
#include <array>
#include <utility>

namespace glyfrax {

namespace {

using Role = std::pair<QPalette::ColorGroup, QPalette::ColorRole>;

// Windows' system colour indices, in order, matched to the nearest palette role.
const std::array<Role, 25> kSystemColorRoles = {{
    {QPalette::Active, QPalette::Button},            // scroll bars
    {QPalette::Active, QPalette::Dark},              // desktop
    {QPalette::Active, QPalette::Highlight},         // active title bar
    {QPalette::Inactive, QPalette::Highlight},       // inactive title bar
    {QPalette::Active, QPalette::Window},            // menu bar
    {QPalette::Active, QPalette::Base},              // window background
    {QPalette::Active, QPalette::Shadow},            // window frame
    {QPalette::Active, QPalette::WindowText},        // menu text
    {QPalette::Active, QPalette::Text},              // window text
    {QPalette::Active, QPalette::HighlightedText},   // active title text
    {QPalette::Active, QPalette::Button},            // active border
    {QPalette::Inactive, QPalette::Button},          // inactive border
    {QPalette::Active, QPalette::Dark},              // application workspace
    {QPalette::Active, QPalette::Highlight},         // highlight
    {QPalette::Active, QPalette::HighlightedText},   // highlighted text
    {QPalette::Active, QPalette::Button},            // button face
    {QPalette::Active, QPalette::Dark},              // button shadow
    {QPalette::Disabled, QPalette::Text},            // grey text
    {QPalette::Active, QPalette::ButtonText},        // button text
    {QPalette::Inactive, QPalette::HighlightedText}, // inactive title text
    {QPalette::Active, QPalette::Light},             // button highlight
    {QPalette::Active, QPalette::Shadow},            // 3D dark shadow
    {QPalette::Active, QPalette::Midlight},          // 3D light
    {QPalette::Active, QPalette::ToolTipText},       // tooltip text
    {QPalette::Active, QPalette::ToolTipBase},       // tooltip background
}};

} // namespace

QColor colorFromValue(std::int32_t value, const QPalette& palette)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (value < 0) {
        const std::uint32_t index = bits & 0xFFU;
        if (index >= kSystemColorRoles.size())
            return QColor(Qt::black);
        const auto& [group, role] = kSystemColorRoles[index];
        return palette.color(group, role);
    }
    return QColor(int(bits & 0xFFU), int((bits >> 8) & 0xFFU), int((bits >> 16) & 0xFFU));
}

std::int32_t valueFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return std::int32_t(rgb.red()) | (std::int32_t(rgb.green()) << 8) | (std::int32_t(rgb.blue()) << 16);
}

namespace {

// The digits after a "#": hex digits only, as toUInt would also take a sign, blanks or a "0x".
bool hexDigits(QStringView digits)
{
    return std::all_of(digits.begin(), digits.end(), [](QChar ch) {
        return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
    });
}

} // namespace

std::optional<std::int32_t> colorValueFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(u'#')) {
        const Result<std::int32_t> value = toInt32(trimmed);
        return value ? std::optional<std::int32_t>(*value) : std::nullopt;
    }
    const QString digits = trimmed.mid(1);
    if (!hexDigits(digits) || (digits.size() != 3 && digits.size() != 6))
        return std::nullopt;
    // "#RGB" stands for "#RRGGBB", each digit doubled, as in CSS.
    const QColor color(QLatin1Char('#') + digits);
    return color.isValid() ? std::optional<std::int32_t>(valueFromColor(color)) : std::nullopt;
}

std::optional<QRgb> colorWithAlphaFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() == 9 && trimmed.startsWith(u'#') && hexDigits(QStringView(trimmed).mid(1))) {
        // QColor would read eight digits as #AARRGGBB.
        const uint rgba = trimmed.mid(1).toUInt(nullptr, 16);
        return qRgba(int(rgba >> 24), int((rgba >> 16) & 0xFFU), int((rgba >> 8) & 0xFFU), int(rgba & 0xFFU));
    }
    const std::optional<std::int32_t> value = colorValueFromText(trimmed);
    if (!value || *value < 0 || *value > 0xFFFFFF)
        return std::nullopt;
    return colorFromValue(*value, {}).rgba();
}

QString colorWithAlphaText(QRgb color)
{
    const QString rgb = QStringLiteral("#%1").arg(color & 0xFFFFFFU, 6, 16, QChar(u'0')).toUpper();
    return qAlpha(color) == 255 ? rgb : rgb + QStringLiteral("%1").arg(qAlpha(color), 2, 16, QChar(u'0')).toUpper();
}

} // namespace glyfrax
