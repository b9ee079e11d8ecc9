#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <cstdint>
#include <optional>

namespace glyfrax {

// A stored colour value as a colour. A negative value names a system colour by the index in
// its low byte; it shows as the matching colour of the given palette.
QColor colorFromValue(std::int32_t value, const QPalette& palette);

// The stored value of a plain colour: red in bits 0-7, green 8-15, blue 16-23.
std::int32_t valueFromColor(const QColor& color);

// A colour as the user writes it: a stored decimal value, #RGB or #RRGGBB (hex digits in any case).
std::optional<std::int32_t> colorValueFromText(const QString& text);

// A colour with alpha as the user writes it: what colorValueFromText takes (opaque; system colours
// apart, which the pages of a texture font cannot follow), or #RRGGBBAA with the alpha last, as in CSS.
std::optional<QRgb> colorWithAlphaFromText(const QString& text);

// "#RRGGBB" for an opaque colour, "#RRGGBBAA" otherwise; colorWithAlphaFromText reads it back.
QString colorWithAlphaText(QRgb color);

} // namespace glyfrax
