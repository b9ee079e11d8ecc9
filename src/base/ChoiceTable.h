#pragma once

#include <cstddef>

namespace glyfrax {

// The number of an enumerated choice's values, counted by listed: a function that returns true in
// a switch without default for each value, so that a value added to the enum but not to the
// switch is a warning (-Wswitch), and false after it. The values must be numbered from 0 on.
template <typename E> constexpr int choiceCount(bool (*listed)(E))
{
    int count = 0;
    while (listed(E(count)))
        ++count;
    return count;
}

// Whether a table of facts has a row for each value of its choice, each once: the check that a
// value added to the enum has its row. Rows are found by their value, never by their place.
template <typename Row, std::size_t N, typename E> constexpr bool oneRowEach(const Row (&rows)[N], bool (*listed)(E))
{
    if (int(N) != choiceCount(listed))
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        for (std::size_t j = i + 1; j < N; ++j) {
            if (rows[i].value == rows[j].value)
                return false;
        }
    }
    return true;
}

// The row of value in a table that oneRowEach holds for.
template <typename Row, std::size_t N, typename E> constexpr const Row& rowOf(const Row (&rows)[N], E value)
{
    for (const Row& row : rows) {
        if (row.value == value)
            return row;
    }
    return rows[0]; // not reached: every value has its row
}

} // namespace glyfrax
