#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace glyfrax::fuzz {

// The piece of the input up to its next NUL byte, taken off the input's front.
inline QByteArray take(QByteArray& input)
{
    const qsizetype end = input.contains('\0') ? input.indexOf('\0') : input.size();
    const QByteArray piece = input.left(end);
    input.remove(0, end + 1);
    return piece;
}

} // namespace glyfrax::fuzz

// A broken property is a finding: say which and stop, so the fuzzer keeps the input.
#define FUZZ_REQUIRE(condition)                                                                                        \
    ((condition)                                                                                                       \
         ? void()                                                                                                      \
         : (std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__), std::abort()))
