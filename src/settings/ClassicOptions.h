#pragma once

#include <QString>

#include <cstdint>

namespace glyfrax {

// The three forms of the metrics file.
enum class MetricsForm
{
    Text,
    Binary16,
    Binary32
};

// How the metrics file is written and how far apart the characters stand in the texture.
struct ClassicOptions
{
    bool writeBinary = false; // binary metrics file; clear: readable text
    bool takeLong = false;    // binary fields are 32 bits wide; clear: 16 bits
    QString charTxt;          // labels written before each item of a readable metrics line
    QString xTxt;
    QString yTxt;
    QString wTxt;
    QString hTxt;
    std::int32_t xDist = 0; // gap beside each character, pixels
    std::int32_t yDist = 0; // gap between texture lines, pixels

    // The form the two stored flags choose; the field width is kept while text is chosen.
    MetricsForm metricsForm() const
    {
        if (!writeBinary)
            return MetricsForm::Text;
        return takeLong ? MetricsForm::Binary32 : MetricsForm::Binary16;
    }

    bool operator==(const ClassicOptions&) const = default;
};

} // namespace glyfrax
