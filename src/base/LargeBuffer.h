#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>

namespace glyfrax {

// A block of memory for tens of megabytes of pixels, its contents undefined. Where the system
// offers them it is made of huge pages: mapping a fresh 4 KiB page costs about as much as
// drawing on it, and a large texture passes hundreds of megabytes through such blocks.
class LargeBuffer
{
public:
    LargeBuffer() = default;
    explicit LargeBuffer(qint64 size);

    char* data() const { return m_data.get(); }
    qint64 size() const { return m_size; }
    bool isNull() const { return !m_data; }

private:
    struct Free
    {
        void operator()(char* data) const;
    };
    std::unique_ptr<char, Free> m_data;
    qint64 m_size = 0;
};

} // namespace glyfrax
