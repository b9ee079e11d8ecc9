#pragma once

#include "layout/CharacterSet.h"
#include "layout/TextMeasure.h"

#include <array>

namespace glyfrax::test {

// Every character as wide as given, with some characters set apart, for exact layout tests.
class FixedMeasure final : public TextMeasure
{
public:
    FixedMeasure(int width, int height) : m_height(height) { m_widths.fill(width); }

    void setWidth(int code, int width) { m_widths[std::size_t(code - kFirstCode)] = width; }
    int charWidth(int code) const override { return m_widths[std::size_t(code - kFirstCode)]; }
    int lineHeight() const override { return m_height; }

private:
    std::array<int, kCharacterCount> m_widths{};
    int m_height;
};

} // namespace glyfrax::test
