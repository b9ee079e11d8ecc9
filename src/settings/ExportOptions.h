#pragma once

#include <QString>

#include <cstdint>

namespace glyfrax {

// How the metrics file is written and how far apart the characters stand in the texture.
struct ExportOptions
{
    bool WriteBinary = false; // binary metrics file; clear: readable text
    bool TakeLong = false;    // binary fields are 32 bits wide; clear: 16 bits
    QString CharTxt;          // labels written before each item of a readable metrics line
    QString XTxt;
    QString YTxt;
    QString WTxt;
    QString HTxt;
    std::int32_t XDist = 0; // gap beside each character, pixels
    std::int32_t YDist = 0; // gap between texture lines, pixels

    bool operator==(const ExportOptions&) const = default;
};

} // namespace glyfrax
