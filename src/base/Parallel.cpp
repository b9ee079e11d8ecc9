#include "base/Parallel.h"

#include <QThread>

#include <algorithm>
#include <thread>
#include <vector>

#ifdef Q_OS_LINUX
#include <pthread.h>
#include <sched.h>
#endif

namespace glyfrax {

int defaultThreadCount()
{
    return std::max(1, QThread::idealThreadCount());
}

#ifdef Q_OS_LINUX

namespace {

struct Helper
{
    const std::function<void(int worker)>* body;
    int worker;
    const cpu_set_t* anywhere; // the CPUs the process may use; null when unknown
    pthread_t thread{};
};

void* runHelper(void* data)
{
    auto* helper = static_cast<Helper*>(data);
    if (helper->anywhere)
        sched_setaffinity(0, sizeof *helper->anywhere, helper->anywhere);
    (*helper->body)(helper->worker);
    return nullptr;
}

} // namespace

// A new thread starts on the CPU of the thread that made it. While that one keeps working, some
// kernels leave the two taking turns on one CPU for many milliseconds, a whole small export, before
// they move one away. Each helper therefore starts on one of the other CPUs and may then run anywhere.
void runOnThreads(int threads, const std::function<void(int worker)>& body)
{
    std::vector<Helper> helpers(std::size_t(std::max(0, threads - 1)));
    cpu_set_t elsewhere;
    const bool placed = sched_getaffinity(0, sizeof elsewhere, &elsewhere) == 0;
    const cpu_set_t anywhere = elsewhere;
    const int here = sched_getcpu();
    if (here >= 0)
        CPU_CLR(here, &elsewhere);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (placed && CPU_COUNT(&elsewhere) > 0)
        pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere);
    std::vector<Helper*> started;
    for (std::size_t i = 0; i < helpers.size(); ++i) {
        helpers[i] = Helper{&body, int(i) + 1, placed ? &anywhere : nullptr};
        if (pthread_create(&helpers[i].thread, &attributes, runHelper, &helpers[i]) == 0)
            started.push_back(&helpers[i]);
    }
    pthread_attr_destroy(&attributes);
    body(0);
    for (Helper* helper : started)
        pthread_join(helper->thread, nullptr);
    // A helper the system would not start does its share here.
    for (Helper& helper : helpers) {
        if (std::find(started.begin(), started.end(), &helper) == started.end())
            body(helper.worker);
    }
}

#else

void runOnThreads(int threads, const std::function<void(int worker)>& body)
{
    std::vector<std::jthread> others;
    others.reserve(std::size_t(std::max(0, threads - 1)));
    for (int worker = 1; worker < threads; ++worker)
        others.emplace_back(body, worker);
    body(0);
    // The jthreads join as they go out of scope.
}

#endif

} // namespace glyfrax
