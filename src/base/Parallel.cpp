#include "base/Parallel.h"

#include <QThread>

#include <algorithm>
#include <thread>
#include <vector>

namespace glyfrax {

int defaultThreadCount()
{
    return std::max(1, QThread::idealThreadCount());
}

void runOnThreads(int threads, const std::function<void(int worker)>& body)
{
    std::vector<std::jthread> others;
    others.reserve(std::size_t(std::max(0, threads - 1)));
    for (int worker = 1; worker < threads; ++worker)
        others.emplace_back(body, worker);
    body(0);
    // The jthreads join as they go out of scope.
}

} // namespace glyfrax
