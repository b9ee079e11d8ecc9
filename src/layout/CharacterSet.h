#pragma once

namespace glyfrax {

// The characters of a texture font: codes 32 to 255, in code order.
constexpr int kFirstCode = 32;
constexpr int kLastCode = 255;
constexpr int kCharacterCount = kLastCode - kFirstCode + 1;

} // namespace glyfrax
