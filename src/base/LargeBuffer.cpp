#include "base/LargeBuffer.h"

#include <cstdlib>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace glyfrax {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

} // namespace

LargeBuffer::LargeBuffer(qint64 size) : m_size(size)
{
    // Rounded up to whole huge pages, so that the last one is huge too.
    const std::size_t rounded = (std::size_t(size) + kHugePage - 1) / kHugePage * kHugePage;
    m_data.reset(static_cast<char*>(std::aligned_alloc(kHugePage, rounded)));
#ifdef Q_OS_LINUX
    if (m_data)
        ::madvise(m_data.get(), rounded, MADV_HUGEPAGE); // a hint: without it the pages are small
#endif
    if (!m_data)
        m_size = 0;
}

void LargeBuffer::Free::operator()(char* data) const
{
    std::free(data);
}

} // namespace glyfrax
