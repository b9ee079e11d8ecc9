#pragma once

#include <functional>

namespace glyfrax {

// The number of threads a parallel step uses when none is asked for: one per core this process
// may run on.
int defaultThreadCount();

// Runs body(worker) for worker 0 to threads - 1 at once, the calling thread being worker 0, and
// returns when every one has finished. Each worker makes its own state: fonts and painters are
// not shared between threads. A worker whose thread the system will not start runs on the calling
// thread after the others, so a body must never wait for a worker that has not begun.
void runOnThreads(int threads, const std::function<void(int worker)>& body);

} // namespace glyfrax
