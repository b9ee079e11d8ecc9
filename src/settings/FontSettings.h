#pragma once

#include <QString>

#include <cstdint>

namespace glyfrax {

// The font and colours of the preview and the texture.
struct FontSettings
{
    QString face;
    float size = 0.0F; // points; may carry a fraction
    bool bold = false;
    bool italic = false;
    // Colours as stored: red in bits 0-7, green 8-15, blue 16-23; a negative value (top bit
    // set) names a system colour.
    std::int32_t textColor = 0;
    std::int32_t backColor = 0;

    bool operator==(const FontSettings&) const = default;
};

} // namespace glyfrax
